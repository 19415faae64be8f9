#pragma once

#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVKitTimings.h"

class QVariantAnimation;

// A refresh-style button: a blue rounded square whose image turns once on
// every click. A click during a turn starts the turn again from 0.
class QVRotatingButton : public QVBaseButton
{
    Q_OBJECT
public:
    explicit QVRotatingButton(QWidget *parent = nullptr);
    // `image` is the image that turns; it stays the turning image even if the
    // button's image changes later.
    explicit QVRotatingButton(const QPixmap &image, QWidget *parent = nullptr);

    QPixmap preloadedImage() const { return m_preloadedImage; }
    // The image's angle as shown, in radians, counter-clockwise on screen.
    double imageRotation() const { return m_rotation; }
    bool isRotating() const;

    void setTimings(const QVKitTimings &timings);

public Q_SLOTS:
    void rotateBackgroundImage();

protected:
    void paintContent(QPainter &painter) override;

private:
    QPixmap m_preloadedImage;
    QVariantAnimation *m_rotationAnimation = nullptr;
    double m_rotation = 0;
    QVKitTimings m_timings;
};

#pragma once

#include "BaseViewController/View/QVKitTimings.h"
#include "BaseViewController/View/QVLook.h"

#include <QPixmap>
#include <QWidget>

class QVariantAnimation;

// A 50 x 50 spinner: its image turns once a second, without end, while it
// is animating.
class QVCustomLoadingView : public QWidget
{
    Q_OBJECT
public:
    explicit QVCustomLoadingView(const QRect &frame, QWidget *parent = nullptr);

    QPixmap image() const { return m_image; }
    void setImage(const QPixmap &image);
    // The image's angle as shown, in radians, counter-clockwise on screen.
    double spinningRotation() const { return m_rotation; }
    bool isAnimating() const;

    void setTimings(const QVKitTimings &timings);

    // Starts the turn again from the image's resting angle; a running turn
    // is replaced.
    void startAnimating();
    // Stops the turn (nothing happens when none is running).
    void stopAnimating();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void setUpProgressIndicator();

    QPixmap m_image;
    QVariantAnimation *m_spinning = nullptr;
    double m_rotation = 0;
    QVKitTimings m_timings;
};

// The overlay a page lays over its panel while it waits: it has the look of
// a background view, a spinner centred where the overlay stood when it was
// made, and, while shown, it takes every click inside it so that nothing
// beneath reacts.
class QVLoadingView : public QWidget
{
    Q_OBJECT
public:
    // Visible, not blocking, spinner still; pages configure it and hide it.
    explicit QVLoadingView(const QRect &frame, QWidget *parent = nullptr);

    QColor backgroundColor() const { return m_look.backgroundColor(); }
    void setBackgroundColor(const QColor &color);
    bool isBorder() const { return m_look.isBorder; }
    void setIsBorder(bool isBorder);
    QColor borderColor() const { return m_look.borderColor; }
    void setBorderColor(const QColor &color);
    double borderWidth() const { return m_look.borderWidth; }
    void setBorderWidth(double width);
    bool isRadius() const { return m_look.isRadius; }
    void setIsRadius(bool isRadius);
    double cornerRadius() const { return m_look.cornerRadius; }
    void setCornerRadius(double radius);
    bool isOpacity() const { return m_look.isOpacity; }
    void setIsOpacity(bool isOpacity);
    double opacity() const { return m_look.opacity; }
    // Always kept; in force while isOpacity is set.
    void setOpacity(double opacity);
    // Made on first use: 50 x 50, centred in the overlay's frame of that
    // moment, with the image "main_loading".
    QVCustomLoadingView *customLoadingView();
    bool isBlockingEvents() const { return m_isBlockingEvents; }
    void setIsBlockingEvents(bool blocking);

    void setTimings(const QVKitTimings &timings);

    // Blocking, visible, spinner turning.
    void showLoadingView();
    // Not blocking, hidden, spinner still.
    void hiddenLoadingView();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void lookChanged();

    QVLook m_look;
    QVCustomLoadingView *m_customLoadingView = nullptr;
    bool m_isBlockingEvents = false;
};

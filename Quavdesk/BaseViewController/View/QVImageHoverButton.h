#pragma once

#include <QAbstractButton>
#include <QPixmap>

// An image button that shows a light grey disc behind its image while the
// pointer is over it.
class QVImageHoverButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit QVImageHoverButton(QWidget *parent = nullptr);

    bool mouseInside() const { return m_mouseInside; }
    QPixmap image() const { return m_image; }
    void setImage(const QPixmap &image);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    bool m_mouseInside = false;
    QPixmap m_image;
};

#pragma once

#include "BaseViewController/View/QVLook.h"

#include <QWidget>

// The plain panel of the pages: a fill, a border, rounded corners that clip
// the content, a layer opacity, and optionally swallowing mouse clicks so
// that nothing behind it reacts. Setters store the value and the look
// follows at the next draw.
class QVBackgrounView : public QWidget
{
    Q_OBJECT
public:
    explicit QVBackgrounView(QWidget *parent = nullptr);

    QColor backgroundColor() const { return m_look.backgroundColor(); }
    // A nil (invalid) colour leaves the fill that was showing.
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
    // The layer opacity is in force only while isOpacity is set; the value is
    // kept whenever it is set, also before the flag.
    bool isOpacity() const { return m_look.isOpacity; }
    void setIsOpacity(bool isOpacity);
    double opacity() const { return m_look.opacity; }
    void setOpacity(double opacity);
    // Swallows presses and releases on the view's own area; children still
    // receive their own clicks.
    bool isBlockingEvents() const { return m_isBlockingEvents; }
    void setIsBlockingEvents(bool blocking);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void childEvent(QChildEvent *event) override;

private:
    void lookChanged();

    QVLook m_look;
    bool m_isBlockingEvents = false;
};

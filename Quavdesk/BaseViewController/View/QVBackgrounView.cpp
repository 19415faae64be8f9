#include "BaseViewController/View/QVBackgrounView.h"

#include <QChildEvent>
#include <QMouseEvent>
#include <QPainter>

QVBackgrounView::QVBackgrounView(QWidget *parent)
    : QWidget(parent)
{
}

void QVBackgrounView::lookChanged()
{
    m_look.applyLayer(this);
    update();
}

void QVBackgrounView::setBackgroundColor(const QColor &color)
{
    m_look.setBackgroundColor(color);
    update();
}

void QVBackgrounView::setIsBorder(bool isBorder)
{
    m_look.isBorder = isBorder;
    update();
}

void QVBackgrounView::setBorderColor(const QColor &color)
{
    m_look.borderColor = color;
    update();
}

void QVBackgrounView::setBorderWidth(double width)
{
    m_look.borderWidth = width;
    update();
}

void QVBackgrounView::setIsRadius(bool isRadius)
{
    m_look.isRadius = isRadius;
    lookChanged();
}

void QVBackgrounView::setCornerRadius(double radius)
{
    m_look.cornerRadius = radius;
    lookChanged();
}

void QVBackgrounView::setIsOpacity(bool isOpacity)
{
    m_look.isOpacity = isOpacity;
    lookChanged();
}

void QVBackgrounView::setOpacity(double opacity)
{
    m_look.opacity = opacity;
    lookChanged();
}

void QVBackgrounView::setIsBlockingEvents(bool blocking)
{
    m_isBlockingEvents = blocking;
}

void QVBackgrounView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_look.paint(painter, rect());
}

void QVBackgrounView::mousePressEvent(QMouseEvent *event)
{
    if (m_isBlockingEvents)
        event->accept();
    else
        QWidget::mousePressEvent(event);
}

void QVBackgrounView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_isBlockingEvents)
        event->accept();
    else
        QWidget::mouseReleaseEvent(event);
}

void QVBackgrounView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (m_isBlockingEvents)
        event->accept();
    else
        QWidget::mouseDoubleClickEvent(event);
}

void QVBackgrounView::childEvent(QChildEvent *event)
{
    QWidget::childEvent(event);
    // Only child widgets can spill over the rounded corners.
    if ((event->added() || event->removed()) && event->child()->isWidgetType())
        m_look.applyLayer(this);
}

#include "BaseViewController/View/QVImageHoverButton.h"

#include "BaseViewController/View/QVImageDrawing.h"
#include "Categories/QVViewAdd.h"
#include "Categories/RVColor.h"

#include <QPainter>

QVImageHoverButton::QVImageHoverButton(QWidget *parent)
    : QAbstractButton(parent)
{
    setFocusPolicy(Qt::TabFocus);
}

void QVImageHoverButton::setImage(const QPixmap &image)
{
    m_image = image;
    updateGeometry();
    update();
}

QSize QVImageHoverButton::sizeHint() const
{
    const QSizeF size = QVImageDrawing::logicalSize(m_image);
    return size.isEmpty() ? QSize(24, 24) : size.toSize() + QSize(8, 8);
}

void QVImageHoverButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (m_mouseInside) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(rv_colorWithHexString(QStringLiteral("E7E7E7")));
        painter.drawEllipse(QRectF(rect()));
    }
    if (!m_image.isNull()) {
        const QRectF target = QVImageDrawing::proportionallyDown(QRectF(rect()), QVImageDrawing::logicalSize(m_image));
        painter.drawPixmap(target, m_image, QRectF(m_image.rect()));
    }
}

void QVImageHoverButton::enterEvent(QEnterEvent *event)
{
    QAbstractButton::enterEvent(event);
    if (!QVAdd::applicationIsActive())
        return;
    m_mouseInside = true;
    update();
}

void QVImageHoverButton::leaveEvent(QEvent *event)
{
    QAbstractButton::leaveEvent(event);
    m_mouseInside = false;
    update();
}

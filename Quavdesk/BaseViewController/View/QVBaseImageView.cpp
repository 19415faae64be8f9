#include "BaseViewController/View/QVBaseImageView.h"

#include "BaseViewController/View/QVImageDrawing.h"

#include <QPainter>

QVBaseImageView::QVBaseImageView(QWidget *parent)
    : QWidget(parent)
{
}

void QVBaseImageView::setImage(const QPixmap &image)
{
    m_image = image;
    updateGeometry();
    update();
}

QSize QVBaseImageView::sizeHint() const
{
    return QVImageDrawing::logicalSize(m_image).toSize();
}

void QVBaseImageView::paintEvent(QPaintEvent *)
{
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF target = QVImageDrawing::proportionallyDown(QRectF(rect()), QVImageDrawing::logicalSize(m_image));
    painter.drawPixmap(target, m_image, QRectF(m_image.rect()));
}

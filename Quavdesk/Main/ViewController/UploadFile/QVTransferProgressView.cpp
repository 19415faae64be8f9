#include "Main/ViewController/UploadFile/QVTransferProgressView.h"

#include <QPainter>
#include <QPainterPath>

QVTransferProgressView::QVTransferProgressView(QWidget *parent) : QProgressBar(parent)
{
    setTextVisible(false);
}

void QVTransferProgressView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    const double radius = bounds.height() / 2.0;
    QPainterPath track;
    track.addRoundedRect(bounds, radius, radius);
    painter.fillPath(track, QColor::fromRgbF(89 / 255.0, 131 / 255.0, 236 / 255.0, 1.0));
    const double span = double(maximum() - minimum());
    const double share = span > 0 ? double(value() - minimum()) / span : 0.0;
    const double width = bounds.width() * qBound(0.0, share, 1.0);
    if (width <= 0.0)
        return;
    QPainterPath bar;
    bar.addRoundedRect(QRectF(bounds.left(), bounds.top(), width, bounds.height()), radius, radius);
    painter.fillPath(bar, Qt::white);
}

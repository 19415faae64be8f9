#include "BaseViewController/View/QVLook.h"

#include "Categories/QVLayerEffect.h"
#include "Categories/QVViewAdd.h"

#include <QGraphicsEffect>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

void QVLook::setBackgroundColor(const QColor &color)
{
    m_backgroundColor = color;
    if (color.isValid())
        m_fill = color;
}

void QVLook::paint(QPainter &painter, const QRectF &bounds) const
{
    const qreal radius = isRadius ? cornerRadius : 0;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath outer;
    outer.addRoundedRect(bounds, radius, radius);
    if (m_fill.isValid() && m_fill.alpha() > 0)
        painter.fillPath(outer, m_fill);
    if (isBorder && borderWidth > 0 && borderColor.isValid()) {
        const QRectF innerRect = bounds.adjusted(borderWidth, borderWidth, -borderWidth, -borderWidth);
        QPainterPath inner;
        if (innerRect.isValid()) {
            const qreal innerRadius = qMax<qreal>(0.0, radius - borderWidth);
            inner.addRoundedRect(innerRect, innerRadius, innerRadius);
        }
        painter.fillPath(outer.subtracted(inner), borderColor);
    }
    painter.restore();
}

void QVLook::applyLayer(QWidget *view) const
{
    const double layerOpacity = isOpacity ? opacity : 1.0;
    // Clipping renders the view through an image; only children can spill
    // over corners that the fill already rounds.
    bool hasChildren = false;
    for (QObject *child : view->children()) {
        if (child && child->isWidgetType() && !static_cast<QWidget *>(child)->isWindow())
            hasChildren = true;
    }
    const bool clip = isRadius && cornerRadius > 0 && hasChildren;
    // A view that needs neither keeps no layer effect at all.
    if (!clip && layerOpacity >= 1.0 && !qobject_cast<QVLayerEffect *>(view->graphicsEffect()))
        return;
    QVLayerEffect *layer = QVAdd::layer(view);
    layer->setCornerRadius(isRadius ? cornerRadius : 0);
    layer->setMasksToBounds(clip);
    layer->setOpacity(layerOpacity);
}

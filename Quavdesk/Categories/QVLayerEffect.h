#pragma once

#include <QColor>
#include <QGraphicsEffect>
#include <QPointF>

// What a backing layer gives a view beyond its own drawing: an opacity that
// covers the view and everything inside it, corners that clip the view's
// children, and a drop shadow. The effect stays switched off while none of
// these differs from a plain view, so plain views cost nothing.
class QVLayerEffect : public QGraphicsEffect
{
    Q_OBJECT
public:
    explicit QVLayerEffect(QObject *parent = nullptr);

    qreal opacity() const { return m_opacity; }
    void setOpacity(qreal opacity);

    // The clipping radius; it clips only while masksToBounds is set.
    qreal cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(qreal radius);
    bool masksToBounds() const { return m_masksToBounds; }
    void setMasksToBounds(bool masks);

    QColor shadowColor() const { return m_shadowColor; }
    QPointF shadowOffset() const { return m_shadowOffset; }
    qreal shadowRadius() const { return m_shadowRadius; }
    // Offset in the view's own coordinates; an invalid or clear colour removes the shadow.
    void setShadow(const QColor &color, const QPointF &offset, qreal radius);

    QRectF boundingRectFor(const QRectF &sourceRect) const override;

protected:
    void draw(QPainter *painter) override;

private:
    bool clips() const;
    bool hasShadow() const;
    void refresh();

    qreal m_opacity = 1.0;
    qreal m_cornerRadius = 0;
    bool m_masksToBounds = false;
    QColor m_shadowColor;
    QPointF m_shadowOffset;
    qreal m_shadowRadius = 0;
};

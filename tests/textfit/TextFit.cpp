#include "TextFit.h"

#include <QAbstractScrollArea>
#include <QGraphicsEffect>
#include <QLabel>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QWidget>

#include <climits>
#include <optional>

namespace TextFit {

namespace {

// Rounding of positions and glyph boxes.
constexpr double kSlack = 0.75;

struct DrawnText {
    QString text;
    QRectF box;
    QRectF room;
};

// Draws nothing; notes every text with where it lands and how much room the
// painting left it.
class RecordingEngine final : public QPaintEngine
{
public:
    RecordingEngine()
        : QPaintEngine(QPaintEngine::AllFeatures)
    {
    }

    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &) override {}
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
    void drawPath(const QPainterPath &) override {}
    Type type() const override { return QPaintEngine::User; }

    void drawTextItem(const QPointF &origin, const QTextItem &item) override
    {
        QPainter *p = painter();
        const QTransform toDevice = p->deviceTransform();
        const QRectF logical(origin.x(), origin.y() - item.ascent(), item.width(), item.ascent() + item.descent());
        QRectF room = widgetRect;
        if (p->hasClipping())
            room &= toDevice.mapRect(p->clipBoundingRect());
        texts.append({item.text(), toDevice.mapRect(logical), room});
    }

    QRectF widgetRect;
    QList<DrawnText> texts;
};

class RecordingDevice final : public QPaintDevice
{
public:
    RecordingDevice(const QWidget *widget)
        : m_size(widget->size())
        , m_dpiX(widget->logicalDpiX())
        , m_dpiY(widget->logicalDpiY())
    {
        m_engine.widgetRect = QRectF(QPointF(), QSizeF(m_size));
    }
    ~RecordingDevice() override = default;

    QPaintEngine *paintEngine() const override { return &m_engine; }
    QList<DrawnText> texts() const { return m_engine.texts; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
            return m_size.width();
        case PdmHeight:
            return m_size.height();
        case PdmWidthMM:
            return qRound(m_size.width() * 25.4 / m_dpiX);
        case PdmHeightMM:
            return qRound(m_size.height() * 25.4 / m_dpiY);
        case PdmNumColors:
            return INT_MAX;
        case PdmDepth:
            return 32;
        case PdmDpiX:
        case PdmPhysicalDpiX:
            return m_dpiX;
        case PdmDpiY:
        case PdmPhysicalDpiY:
            return m_dpiY;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    QSize m_size;
    int m_dpiX;
    int m_dpiY;
    mutable RecordingEngine m_engine;
};

QString pathOf(const QWidget *widget, const QWidget *window)
{
    QStringList names;
    for (const QWidget *at = widget; at; at = at->parentWidget()) {
        const QString name = at->objectName();
        names.prepend(name.isEmpty() ? QString::fromLatin1(at->metaObject()->className()) : name);
        if (at == window)
            break;
    }
    return names.join(QLatin1Char('/')) + QStringLiteral(" (") + QLatin1String(widget->metaObject()->className())
           + QLatin1Char(')');
}

bool isViewport(const QWidget *widget)
{
    const auto *area = qobject_cast<const QAbstractScrollArea *>(widget ? widget->parentWidget() : nullptr);
    return area && area->viewport() == widget;
}

// Room to spare is asked where the room is fixed, so that a font a little
// wider than CI's still fits. Lines that wrap fill their width by design,
// and a widget that got at least what its own measure of its text asks for
// grows with the font.
bool roomFollowsText(const QWidget *widget)
{
    const auto *label = qobject_cast<const QLabel *>(widget);
    if ((label && label->wordWrap()) || isViewport(widget))
        return true;
    const QSize hint = widget->sizeHint();
    return hint.isValid() && widget->width() >= hint.width();
}

// What the widget paints itself, children aside, as it shows now.
QList<DrawnText> textsOf(QWidget *widget)
{
    QGraphicsEffect *effect = widget->graphicsEffect();
    const bool effectOn = effect && effect->isEnabled();
    // An effect would paint the widget into a picture first: its texts
    // would reach the engine as pixels.
    if (effectOn)
        effect->setEnabled(false);
    RecordingDevice device(widget);
    widget->render(&device, QPoint(), QRegion(), QWidget::RenderFlags());
    if (effectOn)
        effect->setEnabled(true);
    return device.texts();
}

// The first ancestor edge that cuts `widget`, if any.
std::optional<QRectF> cutByAncestor(const QWidget *widget, const QWidget *window, QRectF *cutRoom)
{
    QRectF rect(widget->rect());
    for (const QWidget *at = widget; at != window && at->parentWidget(); at = at->parentWidget()) {
        const QWidget *parent = at->parentWidget();
        rect.translate(at->pos());
        const QRectF room(parent->rect());
        // Inside a scroll area's viewport rows go out of view by scrolling;
        // only their width is asked to fit.
        const bool scrolled = isViewport(parent);
        const bool fits = scrolled ? (rect.left() >= room.left() - kSlack && rect.right() <= room.right() + kSlack)
                                   : room.adjusted(-kSlack, -kSlack, kSlack, kSlack).contains(rect);
        if (!fits) {
            *cutRoom = room;
            return rect;
        }
        if (scrolled)
            break;
    }
    return std::nullopt;
}

} // namespace

QString Misfit::describe() const
{
    return QStringLiteral("%1: \"%2\" needs %3x%4 at (%5,%6), has %7x%8 at (%9,%10)")
        .arg(where, text)
        .arg(textBox.width(), 0, 'f', 1)
        .arg(textBox.height(), 0, 'f', 1)
        .arg(textBox.x(), 0, 'f', 1)
        .arg(textBox.y(), 0, 'f', 1)
        .arg(room.width(), 0, 'f', 1)
        .arg(room.height(), 0, 'f', 1)
        .arg(room.x(), 0, 'f', 1)
        .arg(room.y(), 0, 'f', 1);
}

namespace {

QList<QWidget *> shownWidgets(QWidget *window)
{
    QList<QWidget *> widgets{window};
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (widget->isVisibleTo(window) && widget->width() > 0 && widget->height() > 0)
            widgets.append(widget);
    }
    return widgets;
}

} // namespace

QStringList textsIn(QWidget *window)
{
    QStringList texts;
    for (QWidget *widget : shownWidgets(window)) {
        for (const DrawnText &drawn : textsOf(widget))
            texts.append(drawn.text);
    }
    return texts;
}

QList<Misfit> misfitsIn(QWidget *window, double margin)
{
    QList<Misfit> misfits;
    for (QWidget *widget : shownWidgets(window)) {
        const QList<DrawnText> texts = textsOf(widget);
        if (texts.isEmpty())
            continue;
        const bool viewport = isViewport(widget);
        const double spare = roomFollowsText(widget) ? 0.0 : margin;
        for (const DrawnText &drawn : texts) {
            if (drawn.text.trimmed().isEmpty() && drawn.box.width() < 1.0)
                continue;
            const bool across = drawn.box.left() >= drawn.room.left() - kSlack
                                && drawn.box.right() <= drawn.room.right() + kSlack
                                && drawn.box.width() + spare <= drawn.room.width() + kSlack;
            // Glyph boxes reach a pixel past a line box at most.
            const bool down = viewport
                              || (drawn.box.top() >= drawn.room.top() - 1.0 && drawn.box.bottom() <= drawn.room.bottom() + 1.0);
            if (!across || !down)
                misfits.append({pathOf(widget, window), drawn.text, drawn.box, drawn.room});
        }
        QRectF room;
        if (const std::optional<QRectF> cut = cutByAncestor(widget, window, &room))
            misfits.append({pathOf(widget, window) + QStringLiteral(" cut by its parent"), texts.first().text, *cut, room});
    }
    return misfits;
}

} // namespace TextFit

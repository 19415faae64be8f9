#include "Categories/QVViewAdd.h"

#include "Categories/QVLayerEffect.h"

#include <QApplication>
#include <QWidget>
#include <cmath>

namespace QVAdd {

namespace {

void setFrame(QWidget *view, const QRect &frame)
{
    view->setGeometry(frame);
}

} // namespace

int left(const QWidget *view)
{
    return view->geometry().x();
}

void setLeft(QWidget *view, int left)
{
    QRect frame = view->geometry();
    frame.moveLeft(left);
    setFrame(view, frame);
}

int top(const QWidget *view)
{
    return view->geometry().y();
}

void setTop(QWidget *view, int top)
{
    QRect frame = view->geometry();
    frame.moveTop(top);
    setFrame(view, frame);
}

int right(const QWidget *view)
{
    const QRect frame = view->geometry();
    return frame.x() + frame.width();
}

void setRight(QWidget *view, int right)
{
    QRect frame = view->geometry();
    frame.moveLeft(right - frame.width());
    setFrame(view, frame);
}

int bottom(const QWidget *view)
{
    const QRect frame = view->geometry();
    return frame.y() + frame.height();
}

void setBottom(QWidget *view, int bottom)
{
    QRect frame = view->geometry();
    frame.moveTop(bottom - frame.height());
    setFrame(view, frame);
}

int width(const QWidget *view)
{
    return view->geometry().width();
}

void setWidth(QWidget *view, int width)
{
    QRect frame = view->geometry();
    frame.setWidth(width);
    setFrame(view, frame);
}

int height(const QWidget *view)
{
    return view->geometry().height();
}

void setHeight(QWidget *view, int height)
{
    QRect frame = view->geometry();
    frame.setHeight(height);
    setFrame(view, frame);
}

QPoint origin(const QWidget *view)
{
    return view->geometry().topLeft();
}

void setOrigin(QWidget *view, const QPoint &origin)
{
    QRect frame = view->geometry();
    frame.moveTopLeft(origin);
    setFrame(view, frame);
}

QSize size(const QWidget *view)
{
    return view->geometry().size();
}

void setSize(QWidget *view, const QSize &size)
{
    QRect frame = view->geometry();
    frame.setSize(size);
    setFrame(view, frame);
}

double centerX(const QWidget *view)
{
    return left(view) + width(view) * 0.5;
}

void setCenterX(QWidget *view, double centerX)
{
    setLeft(view, static_cast<int>(std::lround(centerX - width(view) * 0.5)));
}

double centerY(const QWidget *view)
{
    return top(view) + height(view) * 0.5;
}

void setCenterY(QWidget *view, double centerY)
{
    setTop(view, static_cast<int>(std::lround(centerY - height(view) * 0.5)));
}

void removeAllSubviews(QWidget *view)
{
    for (;;) {
        // Windows owned by the view (tips, pop-ups) are not among its subviews.
        QWidget *last = nullptr;
        for (QWidget *child : view->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (!child->isWindow())
                last = child;
        }
        if (!last)
            return;
        last->hide();
        last->setParent(nullptr);
        last->deleteLater();
    }
}

QVLayerEffect *layer(QWidget *view)
{
    if (auto *existing = qobject_cast<QVLayerEffect *>(view->graphicsEffect()))
        return existing;
    auto *effect = new QVLayerEffect; // the widget takes it over
    view->setGraphicsEffect(effect);
    return effect;
}

double layerOpacity(const QWidget *view)
{
    if (auto *existing = qobject_cast<QVLayerEffect *>(view->graphicsEffect()))
        return existing->opacity();
    return 1.0;
}

void setLayerOpacity(QWidget *view, double opacity)
{
    if (opacity >= 1.0 && !qobject_cast<QVLayerEffect *>(view->graphicsEffect()))
        return; // a view without a layer already stands at full opacity
    layer(view)->setOpacity(opacity);
}

void setLayerShadow(QWidget *view, const QColor &color, const QSizeF &offset, double radius)
{
    layer(view)->setShadow(color, QPointF(offset.width(), offset.height()), radius);
}

bool applicationIsActive()
{
    // One of the program's windows has the focus: the program is the one in
    // front, whichever of its windows that is.
    return QApplication::activeWindow() != nullptr;
}

} // namespace QVAdd

#pragma once

#include <QColor>
#include <QPoint>
#include <QSize>
#include <QSizeF>

class QWidget;
class QVLayerEffect;

// The view category: frame geometry on any widget, in its parent's
// coordinates (y grows downward, so `top` is the upper edge), plus the
// layer-level look of a view. Each setter reads the frame, changes one field
// and sets the whole frame back.
namespace QVAdd {

int left(const QWidget *view);
void setLeft(QWidget *view, int left);
int top(const QWidget *view);
void setTop(QWidget *view, int top);
// Origin x plus width / set origin x to the value minus the width.
int right(const QWidget *view);
void setRight(QWidget *view, int right);
// Origin y plus height / set origin y to the value minus the height.
int bottom(const QWidget *view);
void setBottom(QWidget *view, int bottom);
int width(const QWidget *view);
void setWidth(QWidget *view, int width);
int height(const QWidget *view);
void setHeight(QWidget *view, int height);
QPoint origin(const QWidget *view);
void setOrigin(QWidget *view, const QPoint &origin);
QSize size(const QWidget *view);
void setSize(QWidget *view, const QSize &size);
double centerX(const QWidget *view);
void setCenterX(QWidget *view, double centerX);
double centerY(const QWidget *view);
void setCenterY(QWidget *view, double centerY);

// Removes the child widgets, the topmost first, and disposes of them once
// control returns to the event loop (one of them may be the caller).
void removeAllSubviews(QWidget *view);

// A shadow of `color` under the view and its children, moved by `offset` and
// blurred over `radius` points, at full shadow opacity.
void setLayerShadow(QWidget *view, const QColor &color, const QSizeF &offset, double radius);

// The view's layer: made on first use; it replaces any other graphics effect
// the widget had.
QVLayerEffect *layer(QWidget *view);
// The layer's opacity (1.0 for a view without a layer) and its setter.
double layerOpacity(const QWidget *view);
void setLayerOpacity(QWidget *view, double opacity);

// Whether this program is the one the user works in: the buttons that
// follow the pointer do so only then, as their tracking on the desktop
// they were drawn for did.
bool applicationIsActive();

} // namespace QVAdd

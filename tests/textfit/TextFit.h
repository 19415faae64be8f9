#pragma once

// Finds texts that do not fit where they are shown: every text a widget
// paints (labels, buttons, item delegates, custom drawing alike) is caught
// as it is drawn, with the font it is drawn in, and measured against the
// room the widget gives it. A text fits when it lies inside its widget (and
// inside any clip the painting sets) and whole lines of it show top to
// bottom; where the room is fixed (not sized from the widget's own measure
// of its text, nor wrapping), with at least `margin` pixels to spare across.
// A widget cut off by its parent's edge is reported too: its texts do not
// show there.
//
// Texts a page elides on purpose are drawn elided, and so fit. Rows that a
// scroll area scrolls out of view are not cut texts: inside a scroll area's
// viewport only the width is measured.

#include <QList>
#include <QRectF>
#include <QString>

class QWidget;

namespace TextFit {

struct Misfit {
    // Object names from the window down to the widget, and its class.
    QString where;
    QString text;
    // The text's box and the room it had, in the widget's coordinates.
    QRectF textBox;
    QRectF room;

    QString describe() const;
};

// Every visible widget under `window` (the window included).
QList<Misfit> misfitsIn(QWidget *window, double margin = 2.0);

// Every text the visible widgets under `window` draw, in drawing order.
QStringList textsIn(QWidget *window);

} // namespace TextFit

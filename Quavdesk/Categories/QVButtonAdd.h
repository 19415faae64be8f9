#pragma once

#include <QColor>

class QAbstractButton;

namespace QVAdd {

// Recolours the button's title, keeping its font, when the colour is valid
// and the title is not empty (white space alone counts as empty).
void setTitleTextColor(QAbstractButton *button, const QColor &color);

} // namespace QVAdd

#include "Categories/QVButtonAdd.h"

#include "Categories/RVString.h"

#include <QAbstractButton>
#include <QPalette>

namespace QVAdd {

void setTitleTextColor(QAbstractButton *button, const QColor &color)
{
    if (!button || !color.isValid() || rv_isEmpty(button->text()))
        return;
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, color);
    button->setPalette(palette);
}

} // namespace QVAdd

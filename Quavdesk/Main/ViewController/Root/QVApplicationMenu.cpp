#include "Main/ViewController/Root/QVApplicationMenu.h"

#include <QMenu>
#include <QPointer>

namespace QVApplicationMenu {

namespace {

QPointer<QMenu> &current()
{
    static QPointer<QMenu> menu;
    return menu;
}

} // namespace

QMenu *menu()
{
    return current().data();
}

void setMenu(QMenu *menu)
{
    current() = menu;
}

} // namespace QVApplicationMenu

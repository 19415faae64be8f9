#pragma once

class QMenu;

// The program's own menu: the tray icon's menu where the desktop has a tray,
// else the menu bar of the main window. The application delegate makes it
// at launch; the main window's page host adds the privacy item to it.
namespace QVApplicationMenu {

QMenu *menu();
void setMenu(QMenu *menu);

} // namespace QVApplicationMenu

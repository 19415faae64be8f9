#pragma once

// What the screenshot tools of the main window's pages share: the program's
// settings, store and English texts in a private folder, the page alone in a
// window of the main window's size at the screen's top left corner (there is
// no window manager to place it), and pictures of that area of the X screen.

#include <QString>

class QTemporaryDir;
class QWidget;

namespace PageShots {

// Runs the event loop for `ms`.
void wait(int ms);
// Settings and the key-value store in `work`, and the program's texts.
void setUp(const QTemporaryDir &work);
// Shows the page where and as large as the main window shows it.
void showPage(QWidget *page);
// Lets the page settle, then saves the main window's area of the screen as
// `outDir`/`name`; `extraWidth` more to its right takes in what floats over
// the window's edge (a tip).
void grab(const QString &outDir, const QString &name, int extraWidth = 0);

} // namespace PageShots

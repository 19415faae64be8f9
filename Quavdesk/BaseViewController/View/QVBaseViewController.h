#pragma once

#include <QRect>
#include <QSize>
#include <QWidget>

// The base of every page of the program. A page is its own widget; it builds
// its interface when it is made.
class QVBaseViewController : public QWidget
{
    Q_OBJECT
public:
    explicit QVBaseViewController(QWidget *parent = nullptr);

    // Fixes the size of the page's window: its minimum and maximum size both
    // become `size`.
    void setCannotChangedSize(const QSize &size);
    // Moves and resizes the page's window to `frame` and redraws it at once.
    void setViewWindowFrame(const QRect &frame);
};

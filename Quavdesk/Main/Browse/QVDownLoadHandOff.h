#pragma once

#include "Main/Browse/QVRemoteFileModels.h"

#include <QList>
#include <QString>

#include <functional>

// The browser's way out: the picked files (with the root's password) handed
// to the download page of the main window, or nothing handed over. The
// window itself is the caller's; it is hidden through `orderOut`, which may
// find the window already gone.
namespace QVDownLoadHandOff {

inline const QString ShareScreenClassName = QStringLiteral("QVShareScreenViewController");

// A download folder is stored and can be reached.
bool checkIsSaveBookMark();

// The files and the password go to the shared tools for the download page;
// the application hears that the window closes, the window is hidden, and
// the download page is asked for: from the casting screen while it is
// alive, else from the receiver list.
void toDownLoadFilePage(const QString &password, const QList<QVRemoteFileEntryPtr> &picked,
                        const std::function<void()> &orderOut);

// The application hears that the window closes; the window is hidden.
void cancel(const std::function<void()> &orderOut);

} // namespace QVDownLoadHandOff

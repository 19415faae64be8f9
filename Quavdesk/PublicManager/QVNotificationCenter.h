#pragma once

#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>

// Names and user-info keys of the notifications between the program's windows.
namespace QVNotificationName {
// "openStatus": "1" open the settings window, "0" it closed.
inline const QString MainSettingBtnClick = QStringLiteral("MainSettingBtnClick");
// "openStatus": "1" open the download window, "0" it closed.
inline const QString MainDownLoadFileBtnClick = QStringLiteral("MainDownLoadFileBtnClick");
// No user info: the download window has been forgotten.
inline const QString MainDownLoadSelectFile_Close = QStringLiteral("MainDownLoadSelectFile_Close");
// "jumpFrom": "share" or "main": the page that shows the download page.
inline const QString MainDownLoadFileList_Jump = QStringLiteral("MainDownLoadFileList_Jump");

inline const QString OpenStatusKey = QStringLiteral("openStatus");
inline const QString JumpFromKey = QStringLiteral("jumpFrom");
inline const QString JumpFromShare = QStringLiteral("share");
inline const QString JumpFromMain = QStringLiteral("main");
} // namespace QVNotificationName

// The program's notification centre: posting calls every observer of the
// name at once, on the posting thread, in the order they were added. An
// observer belongs to a context object and is dropped when that goes, so it
// may remove itself or others, or post again, from inside its callback.
class QVNotificationCenter
{
public:
    using Observer = std::function<void(const QVariantMap &userInfo)>;

    static QVNotificationCenter *defaultCenter();

    QVNotificationCenter() = default;
    QVNotificationCenter(const QVNotificationCenter &) = delete;
    QVNotificationCenter &operator=(const QVNotificationCenter &) = delete;

    void addObserver(QObject *context, const QString &name, Observer observer);
    // Every observer of `context`, or only those of `name` when one is given.
    void removeObserver(QObject *context, const QString &name = QString());

    void postNotificationName(const QString &name, const QVariantMap &userInfo = {});

    // A user-info value read as a yes-or-no: leading white space is skipped,
    // then a sign and zeros; "Y", "y", "T", "t" or a digit 1 to 9 means yes.
    // "1" is yes and "0" no.
    static bool boolValue(const QVariant &value);

private:
    struct Entry {
        QString name;
        QPointer<QObject> context;
        bool hasContext = false;
        Observer observer;
        std::shared_ptr<bool> active;
    };

    QMutex m_mutex;
    QList<Entry> m_entries;
};

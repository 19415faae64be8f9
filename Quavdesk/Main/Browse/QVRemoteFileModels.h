#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <memory>

// One entry of the file share's root menu.
struct QVRootMenuListModel {
    // The device's title (new interface) or a text key (fixed menu).
    QString name;
    // The root's key, which is also the path of its folder on the device.
    QString rootKey;
    bool needPwd = false;
    // The password known for this root; empty when none.
    QString encryptPwd = QStringLiteral("");
    // The entry came from the device's root groups.
    bool isGlimraVersion = false;
};

using QVRootMenuGroups = QList<QList<QVRootMenuListModel>>;

// One entry of a remote folder listing, as the browser shows it, with the
// device's whole entry kept for the hand-over to the download page. Entries
// are held by shared pointer: the path is a list of the very folder objects
// that were opened.
struct QVRemoteFileEntry {
    QString name;
    QString fileType;
    QString absPath;
    QString lastModifyTime;
    QString pinyinName;
    // Every member the device sent.
    QJsonObject keyValues;
    // `lastModifyTime` read once as a whole number, for sorting.
    bool timeIsNumber = false;
    quint64 timeNumber = 0;

    bool isFolder() const { return fileType == QLatin1String("FOLDER"); }
    // The device's entry as the download page reads it.
    QVariantMap handOver() const { return keyValues.toVariantMap(); }
};

using QVRemoteFileEntryPtr = std::shared_ptr<QVRemoteFileEntry>;

namespace QVRemoteFiles {

// A folder entry for a root (its path is the root key).
QVRemoteFileEntryPtr rootFolder(const QString &rootKey, const QString &name);

// What a listing's content holds for the browser.
struct Listing {
    QList<QVRemoteFileEntryPtr> entries;
    // Entries past the limit, counted but not kept.
    qsizetype notShown = 0;
};

// The entries of a listing's content: the objects of an array, at most
// `limit` of them in the device's order (a negative limit keeps all);
// members that are numbers are read as their decimal text, members of other
// types stay empty; anything that is not an object is passed over.
Listing entriesWithListing(const QJsonValue &content, qsizetype limit = -1);

// The device's root groups (content member "rootGroup"): groups that are
// arrays, entries that are objects with a text "rootKey". Empty groups are
// dropped, so a non-empty result always has a first entry.
QVRootMenuGroups rootGroupsWithContent(const QJsonValue &content);
// The menu of a device without the new interface.
QVRootMenuGroups fixedRootGroups();

} // namespace QVRemoteFiles

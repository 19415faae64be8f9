#include "Main/Browse/QVRemoteFileModels.h"

#include "AFNetwork/QVHttpBaseResponse.h"

#include <QJsonArray>

namespace {

QString textMember(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (value.isString())
        return value.toString();
    if (value.isDouble()) {
        if (const auto whole = QVJsonValue::integerValue(value))
            return QString::number(*whole);
        return QString::number(value.toDouble(), 'g', 17);
    }
    return QString();
}

// A whole decimal number without sign or blanks.
bool wholeNumber(const QString &text, quint64 *value)
{
    if (text.isEmpty() || text.size() > 19)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    bool ok = false;
    *value = text.toULongLong(&ok);
    return ok;
}

} // namespace

namespace QVRemoteFiles {

QVRemoteFileEntryPtr rootFolder(const QString &rootKey, const QString &name)
{
    auto entry = std::make_shared<QVRemoteFileEntry>();
    entry->absPath = rootKey;
    entry->name = name;
    entry->fileType = QStringLiteral("FOLDER");
    return entry;
}

Listing entriesWithListing(const QJsonValue &content, qsizetype limit)
{
    Listing listing;
    if (!content.isArray())
        return listing;
    const QJsonArray array = content.toArray();
    for (const QJsonValue &value : array) {
        if (!value.isObject())
            continue;
        if (limit >= 0 && listing.entries.size() >= limit) {
            ++listing.notShown;
            continue;
        }
        const QJsonObject object = value.toObject();
        auto entry = std::make_shared<QVRemoteFileEntry>();
        entry->name = textMember(object, QStringLiteral("name"));
        entry->fileType = textMember(object, QStringLiteral("fileType"));
        entry->absPath = textMember(object, QStringLiteral("absPath"));
        entry->lastModifyTime = textMember(object, QStringLiteral("lastModifyTime"));
        entry->pinyinName = textMember(object, QStringLiteral("pinyinName"));
        entry->timeIsNumber = wholeNumber(entry->lastModifyTime, &entry->timeNumber);
        entry->keyValues = object;
        listing.entries.append(entry);
    }
    return listing;
}

QVRootMenuGroups rootGroupsWithContent(const QJsonValue &content)
{
    QVRootMenuGroups groups;
    const QJsonValue rootGroup = QVJsonValue::member(content, QStringLiteral("rootGroup"));
    if (!rootGroup.isArray())
        return groups;
    for (const QJsonValue &groupValue : rootGroup.toArray()) {
        if (!groupValue.isArray())
            continue;
        QList<QVRootMenuListModel> group;
        for (const QJsonValue &entryValue : groupValue.toArray()) {
            if (!entryValue.isObject())
                continue;
            const QJsonObject object = entryValue.toObject();
            const QString rootKey = textMember(object, QStringLiteral("rootKey"));
            if (rootKey.isEmpty())
                continue;
            QVRootMenuListModel model;
            model.rootKey = rootKey;
            model.name = textMember(object, QStringLiteral("name"));
            model.needPwd = QVJsonValue::boolValue(object.value(QStringLiteral("needPwd")));
            model.isGlimraVersion = true;
            group.append(model);
        }
        if (!group.isEmpty())
            groups.append(group);
    }
    return groups;
}

QVRootMenuGroups fixedRootGroups()
{
    const auto entry = [](const char *rootKey, const char *name) {
        QVRootMenuListModel model;
        model.rootKey = QString::fromLatin1(rootKey);
        model.name = QString::fromLatin1(name);
        return model;
    };
    return {
        {entry("Root-Local", QT_TRANSLATE_NOOP("Localizable", "downLoadFile_menuName_local")),
         entry("Root-Download", QT_TRANSLATE_NOOP("Localizable", "downLoadFile_menuName_downLoad")),
         entry("Root-Share", QT_TRANSLATE_NOOP("Localizable", "downLoadFile_menuName_share"))},
        {entry("Root-Meeting", QT_TRANSLATE_NOOP("Localizable", "downLoadFile_menuName_meetingRecord")),
         entry("Root-Picture", QT_TRANSLATE_NOOP("Localizable", "downLoadFile_menuName_picture"))},
    };
}

} // namespace QVRemoteFiles

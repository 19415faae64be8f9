#include "QVDownLoadFileModel.h"

#include <QJsonArray>

#include <limits>

#include "PublicManager/QVNotificationCenter.h"
#include "QVModelText.h"

using QVModelText::integerOf;
using QVModelText::textOf;

namespace {

const QString DirKey = QStringLiteral("dir");
const QString AbsPathKey = QStringLiteral("absPath");
const QString AbsPathWithSuffixKey = QStringLiteral("absPathWithSuffix");
const QString ExtensionKey = QStringLiteral("extension");
const QString BelongToKey = QStringLiteral("belongTo");
const QString FileTypeKey = QStringLiteral("fileType");
const QString NameKey = QStringLiteral("name");
const QString ParentPathKey = QStringLiteral("parentPath");
const QString PinyinNameKey = QStringLiteral("pinyinName");
const QString FileSizeKey = QStringLiteral("fileSize");
const QString LastModifyTimeKey = QStringLiteral("lastModifyTime");

// "dir" as the listing's peers mean it: a non-zero number, or a text that
// says yes ("true", "YES", "1").
bool boolOf(const QJsonValue &value)
{
    if (value.isDouble())
        return value.toDouble() != 0.0;
    return QVNotificationCenter::boolValue(value.toVariant());
}

} // namespace

qint64 QVDownLoadFileModel::fileSizeValue() const
{
    return integerOf(m_fileSize);
}

QString QVDownLoadFileModel::tmpFileURL() const
{
    if (m_downloadFolder.isEmpty() || m_timeStamp.isEmpty())
        return QString();
    return m_downloadFolder + QLatin1Char('/') + m_timeStamp;
}

QJsonObject QVDownLoadFileModel::keyValues() const
{
    return QJsonObject{
        {DirKey, m_dir},
        {AbsPathKey, m_absPath},
        {AbsPathWithSuffixKey, m_absPathWithSuffix},
        {ExtensionKey, m_extension},
        {BelongToKey, m_belongTo},
        {FileTypeKey, m_fileType},
        {NameKey, m_name},
        {ParentPathKey, m_parentPath},
        {PinyinNameKey, m_pinyinName},
        {FileSizeKey, m_fileSize},
        {LastModifyTimeKey, m_lastModifyTime},
    };
}

QVDownLoadFileModel QVDownLoadFileModel::objectWithKeyValues(const QJsonObject &keyValues)
{
    QVDownLoadFileModel model;
    model.m_dir = boolOf(keyValues.value(DirKey));
    model.m_absPath = textOf(keyValues.value(AbsPathKey));
    model.m_absPathWithSuffix = textOf(keyValues.value(AbsPathWithSuffixKey));
    model.m_extension = textOf(keyValues.value(ExtensionKey));
    model.m_belongTo = textOf(keyValues.value(BelongToKey));
    model.m_fileType = textOf(keyValues.value(FileTypeKey));
    model.m_name = textOf(keyValues.value(NameKey));
    model.m_parentPath = textOf(keyValues.value(ParentPathKey));
    model.m_pinyinName = textOf(keyValues.value(PinyinNameKey));
    model.m_fileSize = textOf(keyValues.value(FileSizeKey));
    model.m_lastModifyTime = textOf(keyValues.value(LastModifyTimeKey));
    return model;
}

QVDownLoadFileModel QVDownLoadFileModel::objectWithKeyValues(const QVariantMap &keyValues)
{
    return objectWithKeyValues(QJsonObject::fromVariantMap(keyValues));
}

QList<std::shared_ptr<QVDownLoadFileModel>> QVDownLoadFileModel::modelsWithListing(const QJsonValue &content)
{
    QList<std::shared_ptr<QVDownLoadFileModel>> models;
    if (!content.isArray())
        return models;
    const QJsonArray entries = content.toArray();
    for (const QJsonValue &entry : entries) {
        if (entry.isObject())
            models.append(std::make_shared<QVDownLoadFileModel>(objectWithKeyValues(entry.toObject())));
    }
    return models;
}

QList<std::shared_ptr<QVDownLoadFileModel>> QVDownLoadFileModel::modelsWithHandOver(const QVariantList &list)
{
    QList<std::shared_ptr<QVDownLoadFileModel>> models;
    for (const QVariant &entry : list) {
        if (entry.typeId() == QMetaType::QVariantMap)
            models.append(std::make_shared<QVDownLoadFileModel>(objectWithKeyValues(entry.toMap())));
    }
    return models;
}

#include "Categories/RVArray.h"

#include "Categories/RVEncoding.h"
#include "Categories/RVJson_p.h"
#include "Categories/RVPlist_p.h"

bool RVArray::rv_isEmpty(const QVariant &object)
{
    if (object.typeId() == QMetaType::QVariantList)
        return object.toList().isEmpty();
    if (object.typeId() == QMetaType::QStringList)
        return object.toStringList().isEmpty();
    return true;
}

std::optional<QVariantList> rv_arrayWithPlistData(const QByteArray &data)
{
    const std::optional<QVariant> root = rvPropertyListValue(data);
    if (!root || root->typeId() != QMetaType::QVariantList)
        return std::nullopt;
    return root->toList();
}

std::optional<QVariantList> rv_arrayWithPlistString(const QString &text)
{
    if (text.isNull())
        return std::nullopt;
    return rv_arrayWithPlistData(text.toUtf8());
}

std::optional<QByteArray> rv_plistData(const QVariantList &array)
{
    return rvBinaryPropertyList(QVariant(array));
}

std::optional<QString> rv_plistString(const QVariantList &array)
{
    const std::optional<QByteArray> xml = rvXmlPropertyList(QVariant(array));
    if (!xml)
        return std::nullopt;
    return rv_UTF8String(*xml);
}

std::optional<QString> rv_jsonStringEncoded(const QVariantList &array)
{
    return rvJsonText(QVariant(array), false);
}

std::optional<QString> rv_jsonPrettyStringEncoded(const QVariantList &array)
{
    return rvJsonText(QVariant(array), true);
}

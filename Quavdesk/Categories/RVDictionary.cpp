#include "Categories/RVDictionary.h"

#include "Categories/RVEncoding.h"
#include "Categories/RVJson_p.h"
#include "Categories/RVNumberValue_p.h"
#include "Categories/RVPlist_p.h"

#include <QLocale>

#include <algorithm>

namespace {

// The typed reads' number for a value: nothing means "use the default"; an
// invalid variant inside means the text was "nil" or "null", which reads as 0.
std::optional<QVariant> numberForTypedRead(const QVariantMap &dictionary, const QString &key)
{
    if (key.isNull())
        return std::nullopt;
    const auto found = dictionary.constFind(key);
    if (found == dictionary.constEnd() || rvIsNullObject(found.value()))
        return std::nullopt;
    if (rvIsNumber(found.value()))
        return found.value();
    if (found.value().typeId() == QMetaType::QString)
        return rvNumberFromValue(found.value());
    return std::nullopt;
}

template <typename T>
T typedRead(const QVariantMap &dictionary, const QString &key, T defaultValue)
{
    const std::optional<QVariant> number = numberForTypedRead(dictionary, key);
    if (!number)
        return defaultValue;
    if (!number->isValid())
        return T(0);
    return rvConvertNumber<T>(*number);
}

} // namespace

QVariant rvNumberFromValue(const QVariant &value)
{
    if (rvIsNullObject(value))
        return QVariant();
    if (rvIsNumber(value))
        return value;
    if (value.typeId() != QMetaType::QString)
        return QVariant();
    const QString lowered = value.toString().toLower();
    if (lowered == QLatin1String("true") || lowered == QLatin1String("yes"))
        return QVariant(true);
    if (lowered == QLatin1String("false") || lowered == QLatin1String("no"))
        return QVariant(false);
    if (lowered == QLatin1String("nil") || lowered == QLatin1String("null"))
        return QVariant();
    if (lowered.contains(QLatin1Char('.')))
        return QVariant(rvTextDoubleValue(lowered));
    return QVariant(rvTextIntegerValue(lowered));
}

bool RVDictionary::rv_isEmpty(const QVariant &object)
{
    if (object.typeId() == QMetaType::QVariantMap)
        return object.toMap().isEmpty();
    if (object.typeId() == QMetaType::QVariantHash)
        return object.toHash().isEmpty();
    return true;
}

std::optional<QVariantMap> rv_dictionaryWithPlistData(const QByteArray &data)
{
    const std::optional<QVariant> root = rvPropertyListValue(data);
    if (!root || root->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return root->toMap();
}

std::optional<QVariantMap> rv_dictionaryWithPlistString(const QString &text)
{
    if (text.isNull())
        return std::nullopt;
    return rv_dictionaryWithPlistData(text.toUtf8());
}

std::optional<QByteArray> rv_plistData(const QVariantMap &dictionary)
{
    return rvBinaryPropertyList(QVariant(dictionary));
}

std::optional<QString> rv_plistString(const QVariantMap &dictionary)
{
    const std::optional<QByteArray> xml = rvXmlPropertyList(QVariant(dictionary));
    if (!xml)
        return std::nullopt;
    return rv_UTF8String(*xml);
}

QStringList rv_allKeysSorted(const QVariantMap &dictionary)
{
    QStringList keys = dictionary.keys();
    std::stable_sort(keys.begin(), keys.end(), [](const QString &left, const QString &right) {
        return QString::compare(left, right, Qt::CaseInsensitive) < 0;
    });
    return keys;
}

QVariantList rv_allValuesSortedByKeys(const QVariantMap &dictionary)
{
    QVariantList values;
    const QStringList keys = rv_allKeysSorted(dictionary);
    values.reserve(keys.size());
    for (const QString &key : keys)
        values.append(dictionary.value(key));
    return values;
}

bool rv_containsObjectForKey(const QVariantMap &dictionary, const QString &key)
{
    return !key.isNull() && dictionary.contains(key);
}

QVariantMap rv_entriesForKeys(const QVariantMap &dictionary, const QStringList &keys)
{
    QVariantMap entries;
    for (const QString &key : keys) {
        const auto found = dictionary.constFind(key);
        if (found != dictionary.constEnd())
            entries.insert(key, found.value());
    }
    return entries;
}

std::optional<QString> rv_jsonString(const QVariantMap &dictionary)
{
    return rvJsonText(QVariant(dictionary), false);
}

std::optional<QString> rv_jsonPrettyString(const QVariantMap &dictionary)
{
    return rvJsonText(QVariant(dictionary), true);
}

bool rv_boolValueForKey(const QVariantMap &d, const QString &key, bool defaultValue) { return typedRead(d, key, defaultValue); }
qint8 rv_charValueForKey(const QVariantMap &d, const QString &key, qint8 defaultValue) { return typedRead(d, key, defaultValue); }
quint8 rv_unsignedCharValueForKey(const QVariantMap &d, const QString &key, quint8 defaultValue) { return typedRead(d, key, defaultValue); }
qint16 rv_shortValueForKey(const QVariantMap &d, const QString &key, qint16 defaultValue) { return typedRead(d, key, defaultValue); }
quint16 rv_unsignedShortValueForKey(const QVariantMap &d, const QString &key, quint16 defaultValue) { return typedRead(d, key, defaultValue); }
qint32 rv_intValueForKey(const QVariantMap &d, const QString &key, qint32 defaultValue) { return typedRead(d, key, defaultValue); }
quint32 rv_unsignedIntValueForKey(const QVariantMap &d, const QString &key, quint32 defaultValue) { return typedRead(d, key, defaultValue); }
qint64 rv_longValueForKey(const QVariantMap &d, const QString &key, qint64 defaultValue) { return typedRead(d, key, defaultValue); }
quint64 rv_unsignedLongValueForKey(const QVariantMap &d, const QString &key, quint64 defaultValue) { return typedRead(d, key, defaultValue); }
qint64 rv_longLongValueForKey(const QVariantMap &d, const QString &key, qint64 defaultValue) { return typedRead(d, key, defaultValue); }
quint64 rv_unsignedLongLongValueForKey(const QVariantMap &d, const QString &key, quint64 defaultValue) { return typedRead(d, key, defaultValue); }
float rv_floatValueForKey(const QVariantMap &d, const QString &key, float defaultValue) { return typedRead(d, key, defaultValue); }
double rv_doubleValueForKey(const QVariantMap &d, const QString &key, double defaultValue) { return typedRead(d, key, defaultValue); }
qint64 rv_integerValueForKey(const QVariantMap &d, const QString &key, qint64 defaultValue) { return typedRead(d, key, defaultValue); }
quint64 rv_unsignedIntegerValueForKey(const QVariantMap &d, const QString &key, quint64 defaultValue) { return typedRead(d, key, defaultValue); }

QVariant rv_numberValueForKey(const QVariantMap &dictionary, const QString &key, const QVariant &defaultValue)
{
    if (key.isNull())
        return defaultValue;
    const auto found = dictionary.constFind(key);
    if (found == dictionary.constEnd() || rvIsNullObject(found.value()))
        return defaultValue;
    if (rvIsNumber(found.value()))
        return found.value();
    if (found.value().typeId() == QMetaType::QString)
        return rvNumberFromValue(found.value());
    return defaultValue;
}

QString rv_stringValueForKey(const QVariantMap &dictionary, const QString &key, const QString &defaultValue)
{
    if (key.isNull())
        return defaultValue;
    const QVariant value = dictionary.value(key);
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    if (value.typeId() == QMetaType::ULongLong || value.typeId() == QMetaType::ULong)
        return QString::number(value.toULongLong());
    if (rvIsNumber(value))
        return QString::number(value.toLongLong());
    return defaultValue;
}

QVariant rv_popObjectForKey(QVariantMap &dictionary, const QString &key)
{
    if (key.isNull())
        return QVariant();
    return dictionary.take(key);
}

QVariantMap rv_popEntriesForKeys(QVariantMap &dictionary, const QStringList &keys)
{
    QVariantMap entries;
    for (const QString &key : keys) {
        const auto found = dictionary.find(key);
        if (found != dictionary.end()) {
            entries.insert(key, found.value());
            dictionary.erase(found);
        }
    }
    return entries;
}

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <QtGlobal>
#include <optional>

// The dictionary categories over QVariantMap. A nil key is a null QString;
// a nil value an invalid QVariant.

namespace RVDictionary {
// True when `object` is nil, is not a dictionary (a QVariantMap or
// QVariantHash) or has no entries.
bool rv_isEmpty(const QVariant &object);
} // namespace RVDictionary

// The dictionary held by binary or XML property-list bytes (or a text's
// UTF-8 bytes); nothing for no property list or another root type.
std::optional<QVariantMap> rv_dictionaryWithPlistData(const QByteArray &data);
std::optional<QVariantMap> rv_dictionaryWithPlistString(const QString &text);
std::optional<QByteArray> rv_plistData(const QVariantMap &dictionary);
std::optional<QString> rv_plistString(const QVariantMap &dictionary);

// Keys in case-insensitive order, and the values in that order.
QStringList rv_allKeysSorted(const QVariantMap &dictionary);
QVariantList rv_allValuesSortedByKeys(const QVariantMap &dictionary);
bool rv_containsObjectForKey(const QVariantMap &dictionary, const QString &key);
// The entries of those keys that exist.
QVariantMap rv_entriesForKeys(const QVariantMap &dictionary, const QStringList &keys);

std::optional<QString> rv_jsonString(const QVariantMap &dictionary);
std::optional<QString> rv_jsonPrettyString(const QVariantMap &dictionary);

// Typed reads. A nil key, a missing value, a null or a value that is neither
// a number nor a text gives the default. A number converts as C converts it
// (out-of-range reals saturate). A text is lower-cased and read: "true" and
// "yes" are 1, "false" and "no" 0, "nil" and "null" 0 (not the default);
// with a "." its leading real number, else its leading integer (0 when there
// is none).
bool rv_boolValueForKey(const QVariantMap &dictionary, const QString &key, bool defaultValue);
qint8 rv_charValueForKey(const QVariantMap &dictionary, const QString &key, qint8 defaultValue);
quint8 rv_unsignedCharValueForKey(const QVariantMap &dictionary, const QString &key, quint8 defaultValue);
qint16 rv_shortValueForKey(const QVariantMap &dictionary, const QString &key, qint16 defaultValue);
quint16 rv_unsignedShortValueForKey(const QVariantMap &dictionary, const QString &key, quint16 defaultValue);
qint32 rv_intValueForKey(const QVariantMap &dictionary, const QString &key, qint32 defaultValue);
quint32 rv_unsignedIntValueForKey(const QVariantMap &dictionary, const QString &key, quint32 defaultValue);
qint64 rv_longValueForKey(const QVariantMap &dictionary, const QString &key, qint64 defaultValue);
quint64 rv_unsignedLongValueForKey(const QVariantMap &dictionary, const QString &key, quint64 defaultValue);
qint64 rv_longLongValueForKey(const QVariantMap &dictionary, const QString &key, qint64 defaultValue);
quint64 rv_unsignedLongLongValueForKey(const QVariantMap &dictionary, const QString &key, quint64 defaultValue);
float rv_floatValueForKey(const QVariantMap &dictionary, const QString &key, float defaultValue);
double rv_doubleValueForKey(const QVariantMap &dictionary, const QString &key, double defaultValue);
qint64 rv_integerValueForKey(const QVariantMap &dictionary, const QString &key, qint64 defaultValue);
quint64 rv_unsignedIntegerValueForKey(const QVariantMap &dictionary, const QString &key, quint64 defaultValue);

// A number value itself, or the number a text reads as (nil for "nil" and
// "null"); the default for a nil key, a missing value, a null or another
// kind of value.
QVariant rv_numberValueForKey(const QVariantMap &dictionary, const QString &key, const QVariant &defaultValue);
// A text value itself, a number's decimal text, else the default.
QString rv_stringValueForKey(const QVariantMap &dictionary, const QString &key, const QString &defaultValue);

// Removes and returns the value of `key`; nil for a nil or missing key.
QVariant rv_popObjectForKey(QVariantMap &dictionary, const QString &key);
// Removes the entries of those keys that exist and returns them.
QVariantMap rv_popEntriesForKeys(QVariantMap &dictionary, const QStringList &keys);

// The number a value stands for: itself for a number; for a text, YES for
// "true"/"yes", NO for "false"/"no", nil for "nil"/"null" (any case), else
// its leading real number when it holds a "." and its leading integer when
// not; nil for nil, a null and anything else.
QVariant rvNumberFromValue(const QVariant &value);

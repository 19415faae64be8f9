#pragma once

#include <QByteArray>
#include <QVariant>
#include <optional>

// The bridge between property lists and Qt values, for the collection
// categories. Booleans, integers (qint64, or quint64 beyond its range),
// reals, texts, data (QByteArray), dates (QDateTime, UTC), arrays
// (QVariantList) and dictionaries (QVariantMap) map both ways; keyed-archive
// UIDs read as integers.

// The root object of binary or XML property-list bytes; nothing for bytes
// that are neither, or that nest deeper than any real document does.
std::optional<QVariant> rvPropertyListValue(const QByteArray &bytes);

// The value as a binary ("bplist00") or XML property list; nothing when the
// value holds something a property list cannot (nil, a null, a widget...).
std::optional<QByteArray> rvBinaryPropertyList(const QVariant &value);
std::optional<QByteArray> rvXmlPropertyList(const QVariant &value);

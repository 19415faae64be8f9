#pragma once

#include <QByteArray>
#include <QVariant>
#include <optional>

// The bridge between property lists and Qt values, for the collection
// categories. Booleans, integers (qint64), reals, texts, data (QByteArray),
// dates (QDateTime, UTC), arrays (QVariantList) and dictionaries
// (QVariantMap) map both ways; keyed-archive UIDs read as integers.
// Integers beyond qint64 and dates beyond what the property-list library
// keeps (about 1933 to 2069) are refused both ways rather than changed.

// The root object of binary or XML property-list bytes; nothing for bytes
// that are neither, or that go beyond the bounded reader's limits (see
// Support/BoundedPlist.h).
std::optional<QVariant> rvPropertyListValue(const QByteArray &bytes);

// The value as a binary ("bplist00") or XML property list; nothing when the
// value holds something a property list cannot (nil, a null, a widget...).
std::optional<QByteArray> rvBinaryPropertyList(const QVariant &value);
std::optional<QByteArray> rvXmlPropertyList(const QVariant &value);

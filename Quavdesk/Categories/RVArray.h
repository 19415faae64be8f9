#pragma once

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <optional>
#include <type_traits>
#include <utility>

// The array categories. Arrays are QList values; the mutable operations take
// the list by reference. None is safe against another thread changing the
// same list at the same time.

// The element at `index`, or nothing when the index is not below the count.
// The index is unsigned, as callers pass counts and offsets computed from them.
template <typename T>
std::optional<T> rv_objectOrNilAtIndex(const QList<T> &array, quint64 index)
{
    if (index >= static_cast<quint64>(array.size()))
        return std::nullopt;
    return array.at(static_cast<qsizetype>(index));
}

// A uniformly chosen element; nothing when empty.
template <typename T>
std::optional<T> rv_randomObject(const QList<T> &array)
{
    if (array.isEmpty())
        return std::nullopt;
    return array.at(static_cast<qsizetype>(QRandomGenerator::global()->bounded(quint64(array.size()))));
}

template <typename T>
void rv_removeFirstObject(QList<T> &array)
{
    if (!array.isEmpty())
        array.removeFirst();
}

template <typename T>
void rv_removeLastObject(QList<T> &array)
{
    if (!array.isEmpty())
        array.removeLast();
}

template <typename T>
std::optional<T> rv_popFirstObject(QList<T> &array)
{
    if (array.isEmpty())
        return std::nullopt;
    return array.takeFirst();
}

template <typename T>
std::optional<T> rv_popLastObject(QList<T> &array)
{
    if (array.isEmpty())
        return std::nullopt;
    return array.takeLast();
}

namespace RVArrayDetail {
// A nil element (an invalid variant) cannot stand in an array; adding one
// does nothing instead of failing.
template <typename T>
bool isNil(const T &object)
{
    if constexpr (std::is_same_v<T, QVariant>)
        return !object.isValid();
    else
        return false;
}
} // namespace RVArrayDetail

template <typename T>
void rv_appendObject(QList<T> &array, const T &object)
{
    if (!RVArrayDetail::isNil(object))
        array.append(object);
}

template <typename T>
void rv_prependObject(QList<T> &array, const T &object)
{
    if (!RVArrayDetail::isNil(object))
        array.prepend(object);
}

template <typename T>
void rv_appendObjects(QList<T> &array, const QList<T> &objects)
{
    array.append(objects);
}

template <typename T>
void rv_prependObjects(QList<T> &array, const QList<T> &objects)
{
    array = objects + array;
}

// Inserts the objects from `index` on, in their order. An index beyond the
// count inserts nothing.
template <typename T>
void rv_insertObjects(QList<T> &array, const QList<T> &objects, quint64 index)
{
    if (index > static_cast<quint64>(array.size()))
        return;
    QList<T> merged;
    merged.reserve(array.size() + objects.size());
    merged.append(array.mid(0, static_cast<qsizetype>(index)));
    merged.append(objects);
    merged.append(array.mid(static_cast<qsizetype>(index)));
    array = std::move(merged);
}

template <typename T>
void rv_reverse(QList<T> &array)
{
    const qsizetype count = array.size();
    for (qsizetype i = 0; i < count / 2; ++i)
        array.swapItemsAt(i, count - 1 - i);
}

// Fisher-Yates with an unbiased bounded random choice.
template <typename T>
void rv_shuffle(QList<T> &array)
{
    for (qsizetype k = array.size(); k > 1; --k)
        array.swapItemsAt(k - 1, static_cast<qsizetype>(QRandomGenerator::global()->bounded(quint64(k))));
}

namespace RVArray {
// True when `object` is nil, is not an array (a QVariantList or
// QStringList) or has no elements.
bool rv_isEmpty(const QVariant &object);
} // namespace RVArray

// The array held by binary or XML property-list bytes (or the UTF-8 bytes
// of a text); nothing for bytes that are no property list or whose root is
// not an array. Mutable and immutable readings are the same list here.
std::optional<QVariantList> rv_arrayWithPlistData(const QByteArray &data);
std::optional<QVariantList> rv_arrayWithPlistString(const QString &text);

// The array as a binary property list, or as XML property-list text;
// nothing when an element has no property-list form.
std::optional<QByteArray> rv_plistData(const QVariantList &array);
std::optional<QString> rv_plistString(const QVariantList &array);

// Compact and indented JSON text of the array; nothing when it is not a
// JSON graph (texts, finite numbers, booleans, nulls, arrays and
// dictionaries only).
std::optional<QString> rv_jsonStringEncoded(const QVariantList &array);
std::optional<QString> rv_jsonPrettyStringEncoded(const QVariantList &array);

#pragma once

#include <QList>
#include <QtGlobal>
#include <optional>

// The element at `index`, or nothing when the index is not below the count.
// The index is unsigned, as callers pass counts and offsets computed from them.
template <typename T>
std::optional<T> rv_objectOrNilAtIndex(const QList<T> &array, quint64 index)
{
    if (index >= static_cast<quint64>(array.size()))
        return std::nullopt;
    return array.at(static_cast<qsizetype>(index));
}

#pragma once

#include <QString>
#include <QVariant>
#include <optional>

// JSON text of an array or dictionary, compact or indented; nothing when the
// value is not a JSON graph: only texts, finite numbers, booleans, nulls,
// lists and string-keyed maps, under a list or map root.
std::optional<QString> rvJsonText(const QVariant &root, bool pretty);

#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QString>
#include <optional>

// Python's plistlib as an independent reader and writer of the control
// session's property lists. Values cross over as "tagged" JSON so that types
// are compared too: {"int": 110}, {"bool": true}, {"data": "<hex>"},
// {"str": "..."}, {"real": 1.5}, arrays and dictionaries as themselves.
namespace PlistOracle {

bool available();

// plistlib.loads of `bytes` as tagged JSON; none when plistlib refuses it.
std::optional<QJsonValue> decode(const QByteArray &bytes);

// plistlib.dumps(FMT_BINARY) of the Python literal `pythonValue`.
QByteArray encodeBinary(const QString &pythonValue);

// plistlib.dumps(FMT_XML) of the Python literal `pythonValue`.
QByteArray encodeXml(const QString &pythonValue);

// Both forms of many literals with one run of Python: for each literal its
// binary and its XML form, empty where plistlib has no such form for it.
QList<QPair<QByteArray, QByteArray>> encodeBoth(const QStringList &pythonValues);

// Parses tagged JSON text written in a test.
QJsonValue tagged(const char *json);

} // namespace PlistOracle

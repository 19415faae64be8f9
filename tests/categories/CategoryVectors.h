#pragma once

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

// One section of a checked-in vector file; empty when the file is missing,
// which the tests then report as having no cases.
inline QJsonArray categoryVectors(const char *file, const char *section)
{
    QFile in(QStringLiteral(CATEGORY_VECTORS_DIR "/") + QLatin1String(file));
    if (!in.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(in.readAll()).object().value(QLatin1String(section)).toArray();
}

inline QByteArray hexField(const QJsonObject &entry, const char *name)
{
    return QByteArray::fromHex(entry.value(QLatin1String(name)).toString().toLatin1());
}

#include "QVHttpBaseResponse.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

namespace QVJsonValue {

std::optional<qint64> integerValue(const QJsonValue &value)
{
    double number = 0;
    if (value.isDouble()) {
        number = value.toDouble();
    } else if (value.isString()) {
        bool ok = false;
        const QString text = value.toString().trimmed();
        const qint64 whole = text.toLongLong(&ok);
        if (ok)
            return whole;
        number = text.toDouble(&ok);
        if (!ok)
            return std::nullopt;
    } else if (value.isBool()) {
        return value.toBool() ? 1 : 0;
    } else {
        return std::nullopt;
    }
    // 2^63 and beyond do not fit.
    if (!std::isfinite(number) || std::fabs(number) >= 9.2e18)
        return std::nullopt;
    return static_cast<qint64>(std::trunc(number));
}

bool boolValue(const QJsonValue &value)
{
    if (value.isBool())
        return value.toBool();
    if (value.isDouble())
        return value.toDouble() != 0.0;
    if (value.isString()) {
        const QString text = value.toString().trimmed();
        if (text.isEmpty())
            return false;
        const QChar first = text.at(0);
        if (first == QLatin1Char('t') || first == QLatin1Char('T') || first == QLatin1Char('y')
            || first == QLatin1Char('Y'))
            return true;
        // Leading sign and zeros, then a non-zero digit.
        for (QChar c : text) {
            if (c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('0'))
                continue;
            return c >= QLatin1Char('1') && c <= QLatin1Char('9');
        }
    }
    return false;
}

QJsonValue member(const QJsonValue &value, const QString &key)
{
    if (!value.isObject())
        return QJsonValue(QJsonValue::Undefined);
    return value.toObject().value(key);
}

} // namespace QVJsonValue

QVHttpBaseResponse QVHttpBaseResponse::fromJsonObject(const QJsonObject &object)
{
    QVHttpBaseResponse response;
    const QJsonValue msg = object.value(QStringLiteral("msg"));
    if (msg.isString())
        response.msg = msg.toString();
    else if (msg.isDouble())
        response.msg = QString::number(msg.toDouble(), 'g', 17);
    response.code = QVJsonValue::integerValue(object.value(QStringLiteral("code"))).value_or(0);
    response.data = object.value(QStringLiteral("data"));
    response.body = object.value(QStringLiteral("body"));
    response.content = object.value(QStringLiteral("content"));

    const QJsonValue byteStart = object.value(QStringLiteral("byteStart"));
    if (byteStart.isDouble()) {
        const double number = byteStart.toDouble();
        if (std::isfinite(number) && number == std::trunc(number) && std::fabs(number) < 9.2e18)
            response.byteStart = static_cast<qint64>(number);
    } else if (byteStart.isString()) {
        bool ok = false;
        const qint64 whole = byteStart.toString().trimmed().toLongLong(&ok);
        if (ok)
            response.byteStart = whole;
    }
    return response;
}

void QVHttpBaseResponse::decodeContentText()
{
    if (!content.isString())
        return;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(content.toString().toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        return;
    if (document.isObject())
        content = document.object();
    else if (document.isArray())
        content = document.array();
}

#include "QVQueryString.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>
#include <QUrl>

namespace QVQueryString {

namespace {

// Characters of the URL-query set beyond the unreserved ones.
const QByteArray kQueryExtras = QByteArrayLiteral("!$&'()*+,;=:@/?");

QString textOf(const QVariant &value)
{
    return value.toString();
}

QString escapeWithQuerySet(const QString &text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text, kQueryExtras));
}

QString escapeUnreserved(const QString &text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

} // namespace

QString queryStringWithParameters(const QVariantMap &parameters)
{
    QStringList pairs;
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
        pairs << escapeWithQuerySet(it.key()) + QLatin1Char('=') + escapeUnreserved(textOf(it.value()));
    return pairs.join(QLatin1Char('&'));
}

QVariantMap parametersFromUrlString(const QString &urlString)
{
    QVariantMap result;
    const qsizetype mark = urlString.lastIndexOf(QLatin1Char('?'));
    if (mark < 0)
        return result;
    const QStringList pairs = urlString.mid(mark + 1).split(QLatin1Char('&'));
    for (const QString &pair : pairs) {
        const QStringList parts = pair.split(QLatin1Char('='));
        if (parts.size() == 2)
            result.insert(parts.at(0), escapeWithQuerySet(parts.at(1)));
    }
    return result;
}

QString strictQueryStringWithParameters(const QVariantMap &parameters)
{
    QStringList pairs;
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) {
        const QJsonValue json = QJsonValue::fromVariant(it.value());
        QString text;
        if (json.isArray())
            text = QString::fromUtf8(QJsonDocument(json.toArray()).toJson(QJsonDocument::Compact));
        else if (json.isObject())
            text = QString::fromUtf8(QJsonDocument(json.toObject()).toJson(QJsonDocument::Compact));
        else if (!json.isNull() && !json.isUndefined())
            text = textOf(it.value());
        pairs << escapeUnreserved(it.key()) + QLatin1Char('=') + escapeUnreserved(text);
    }
    return pairs.join(QLatin1Char('&'));
}

QString urlStringByAppendingParameters(const QString &urlString, const QVariantMap &parameters)
{
    return urlString + QLatin1Char('?') + queryStringWithParameters(parameters);
}

QByteArray formEncodedParameters(const QVariantMap &parameters)
{
    QByteArray out;
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) {
        if (!out.isEmpty())
            out += '&';
        out += QUrl::toPercentEncoding(it.key(), "/?");
        out += '=';
        out += QUrl::toPercentEncoding(textOf(it.value()), "/?");
    }
    return out;
}

} // namespace QVQueryString

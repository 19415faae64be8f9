#pragma once

#include <QString>
#include <QVariantMap>

// Query strings of the request base.
namespace QVQueryString {

// "key=value" pairs in key order joined by "&". Keys are escaped with the
// URL-query character set; values (numbers as decimal text) so that exactly
// the characters !*'();:@&=+$,/?%#[] are escaped on top of it.
QString queryStringWithParameters(const QVariantMap &parameters);

// The pairs of a URL text's query (after its last "?"): pairs separated by
// "&", key and value by "="; only pairs of exactly two parts are kept, each
// value escaped with the URL-query character set.
QVariantMap parametersFromUrlString(const QString &urlString);

// Like queryStringWithParameters, but keys and values are escaped down to the
// unreserved characters, arrays and objects are written as JSON text with
// sorted keys and a null value as the empty text.
QString strictQueryStringWithParameters(const QVariantMap &parameters);

// "url?query" with the query of queryStringWithParameters.
QString urlStringByAppendingParameters(const QString &urlString, const QVariantMap &parameters);

// How the HTTP client writes the arguments of a request into its query or
// form body: keys in order, both sides percent-escaped so that only the
// unreserved characters, "/" and "?" stay as they are.
QByteArray formEncodedParameters(const QVariantMap &parameters);

} // namespace QVQueryString

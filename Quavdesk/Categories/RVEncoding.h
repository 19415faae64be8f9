#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QtGlobal>
#include <optional>

// Base64, hexadecimal, UTF-8 and JSON readings of bytes, and their text
// forms (a text is its UTF-8 bytes). Pure functions, safe on any thread.

// Standard-alphabet Base64 with "=" padding. Width 76 or 64 gives lines of
// that many characters; any other width above 3 gives lines of the width
// rounded down to a multiple of 4, and 0 to 3 one line. Lines are joined by
// CR LF with none after the last. Nothing for empty data.
std::optional<QString> rv_base64EncodedStringWithWrapWidth(const QByteArray &data, quint32 width);
std::optional<QString> rv_base64EncodedString(const QByteArray &data);
std::optional<QString> rv_base64EncodedStringWithWrapWidth(const QString &text, quint32 width);
std::optional<QString> rv_base64EncodedString(const QString &text);

// Base64 text to bytes. Characters outside A-Z a-z 0-9 + / = are ignored
// (line breaks, spaces); what is left must be whole groups of four with "="
// only as padding at the end. Nothing for an empty text, malformed Base64 or
// a decoding of no bytes.
std::optional<QByteArray> rv_dataWithBase64EncodedString(const QString &text);
// The decoded bytes read as UTF-8; nothing when either step fails.
std::optional<QString> rv_stringWithBase64EncodedString(const QString &text);
std::optional<QString> rv_base64DecodedString(const QString &text);
std::optional<QByteArray> rv_base64DecodedData(const QString &text);

// The bytes as UTF-8 text; nothing when they are not well-formed UTF-8
// (overlong forms, surrogates and truncated sequences are refused). A byte
// order mark is kept as U+FEFF.
std::optional<QString> rv_UTF8String(const QByteArray &data);

// Upper-case hexadecimal, two digits a byte.
QString rv_hexString(const QByteArray &data);

// Hexadecimal text to bytes, leniently: spaces are dropped, then every pair
// of characters becomes one byte from its leading hexadecimal digits (a pair
// that starts with a non-digit is 0, "1g" is 1); a last odd character is
// ignored. Nothing when no character is left after dropping the spaces.
std::optional<QByteArray> rv_dataWithHexString(const QString &text);

// The JSON object (QVariantMap) or array (QVariantList) the bytes hold; an
// invalid variant for anything else, fragments included, and for arrays
// and objects nested more than 512 deep (deeper than the JSON writers
// take). A failure is logged as "jsonValueDecoded error:" with the reason.
QVariant rv_jsonValueDecoded(const QByteArray &data);

// The bytes as lower-case hexadecimal without separators.
QString rv_APNSToken(const QByteArray &data);

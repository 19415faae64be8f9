#include "Categories/RVEncoding.h"

#include "Categories/RVNumberValue_p.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QStringDecoder>
#include <QtDebug>

namespace {

constexpr qsizetype kCrLfWidth76 = 76;
constexpr qsizetype kCrLfWidth64 = 64;

QString joinedPieces(const QString &line, qsizetype pieceLength)
{
    QString out;
    out.reserve(line.size() + (line.size() / pieceLength) * 2);
    for (qsizetype start = 0; start < line.size(); start += pieceLength) {
        if (start > 0)
            out += QLatin1String("\r\n");
        out += QStringView(line).mid(start, pieceLength);
    }
    return out;
}

// Arrays and objects nest at most this deep, as the JSON writer allows.
constexpr int kJsonMaxDepth = 512;

// Whether arrays and objects, outside strings, nest at most `bound` deep.
// The parser would read deeper documents into values no writer takes.
bool jsonNestsWithin(const QByteArray &data, int bound)
{
    int depth = 0;
    bool inString = false;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const char c = data.at(i);
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > bound)
                return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

bool isBase64Character(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/'
        || c == '=';
}

// Padding is "=" or "==" closing the last group, nowhere else.
bool isWellFormedBase64(const QByteArray &filtered)
{
    if (filtered.isEmpty() || filtered.size() % 4 != 0)
        return false;
    const qsizetype firstPad = filtered.indexOf('=');
    if (firstPad < 0)
        return true;
    if (firstPad < filtered.size() - 2)
        return false;
    for (qsizetype i = firstPad; i < filtered.size(); ++i) {
        if (filtered.at(i) != '=')
            return false;
    }
    return true;
}

} // namespace

std::optional<QString> rv_base64EncodedStringWithWrapWidth(const QByteArray &data, quint32 width)
{
    if (data.isEmpty())
        return std::nullopt;
    const QString line = QString::fromLatin1(data.toBase64());
    if (width == kCrLfWidth76 || width == kCrLfWidth64)
        return joinedPieces(line, static_cast<qsizetype>(width));
    if (width == 0 || static_cast<quint64>(line.size()) <= width)
        return line;
    // Widths below 4 have no whole group per line; stepping by zero would
    // never end, so they give one line.
    const qsizetype pieceLength = static_cast<qsizetype>(width / 4 * 4);
    if (pieceLength == 0)
        return line;
    return joinedPieces(line, pieceLength);
}

std::optional<QString> rv_base64EncodedString(const QByteArray &data)
{
    return rv_base64EncodedStringWithWrapWidth(data, 0);
}

std::optional<QString> rv_base64EncodedStringWithWrapWidth(const QString &text, quint32 width)
{
    return rv_base64EncodedStringWithWrapWidth(text.toUtf8(), width);
}

std::optional<QString> rv_base64EncodedString(const QString &text)
{
    return rv_base64EncodedString(text.toUtf8());
}

std::optional<QByteArray> rv_dataWithBase64EncodedString(const QString &text)
{
    QByteArray filtered;
    filtered.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() < 0x80 && isBase64Character(static_cast<char>(c.unicode())))
            filtered.append(static_cast<char>(c.unicode()));
    }
    if (!isWellFormedBase64(filtered))
        return std::nullopt;
    const auto decoded = QByteArray::fromBase64Encoding(filtered, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.isEmpty())
        return std::nullopt;
    return decoded.decoded;
}

std::optional<QString> rv_stringWithBase64EncodedString(const QString &text)
{
    const std::optional<QByteArray> bytes = rv_dataWithBase64EncodedString(text);
    if (!bytes)
        return std::nullopt;
    return rv_UTF8String(*bytes);
}

std::optional<QString> rv_base64DecodedString(const QString &text)
{
    return rv_stringWithBase64EncodedString(text);
}

std::optional<QByteArray> rv_base64DecodedData(const QString &text)
{
    return rv_dataWithBase64EncodedString(text);
}

std::optional<QString> rv_UTF8String(const QByteArray &data)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(data);
    if (decoder.hasError())
        return std::nullopt;
    // Empty bytes are the empty text, not nothing.
    if (text.isNull())
        text = QLatin1String("");
    return text;
}

QString rv_hexString(const QByteArray &data)
{
    return QString::fromLatin1(data.toHex().toUpper());
}

std::optional<QByteArray> rv_dataWithHexString(const QString &text)
{
    QString lowered = text;
    lowered.remove(QLatin1Char(' '));
    lowered = lowered.toLower();
    if (lowered.isEmpty())
        return std::nullopt;
    QByteArray out;
    out.reserve(lowered.size() / 2);
    for (qsizetype i = 0; i + 1 < lowered.size(); i += 2) {
        // Only the low byte of each unit is read, so a character outside
        // ASCII may alias a digit; leniency is this reader's contract.
        const int high = rvHexDigitValue(static_cast<char16_t>(lowered.at(i).unicode() & 0xFF));
        const int low = rvHexDigitValue(static_cast<char16_t>(lowered.at(i + 1).unicode() & 0xFF));
        int value = 0;
        if (high >= 0)
            value = low >= 0 ? high * 16 + low : high;
        out.append(static_cast<char>(value));
    }
    return out;
}

QVariant rv_jsonValueDecoded(const QByteArray &data)
{
    if (!jsonNestsWithin(data, kJsonMaxDepth)) {
        qWarning().noquote() << QStringLiteral("jsonValueDecoded error:%1").arg(QStringLiteral("nested too deep"));
        return QVariant();
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError) {
        qWarning().noquote() << QStringLiteral("jsonValueDecoded error:%1").arg(error.errorString());
        return QVariant();
    }
    if (document.isObject())
        return document.object().toVariantMap();
    if (document.isArray())
        return document.array().toVariantList();
    qWarning().noquote() << QStringLiteral("jsonValueDecoded error:%1").arg(QStringLiteral("not an object or an array"));
    return QVariant();
}

QString rv_APNSToken(const QByteArray &data)
{
    return QString::fromLatin1(data.toHex());
}

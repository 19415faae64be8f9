// JSON helpers, the hexadecimal reader, validators and probes of TavlinGlobal.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QJsonParseError>
#include <QVariantList>
#include <algorithm>
#include <cmath>

#include "Utils/TavlinGlobal/TavlinGlobal.h"

namespace {

// Writes JSON the way the receivers have always seen it: two-space
// indentation, " : " between key and value, one member per line, "/"
// escaped. Receivers must accept any valid JSON, but byte-identical output
// keeps the master-control lines predictable.
class PrettyJsonWriter {
public:
    bool write(const QVariant &value, int depth)
    {
        switch (value.typeId()) {
        case QMetaType::UnknownType:
        case QMetaType::Nullptr:
            out += "null";
            return true;
        case QMetaType::Bool:
            out += value.toBool() ? "true" : "false";
            return true;
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::SChar:
            out += QByteArray::number(value.toLongLong());
            return true;
        case QMetaType::UInt:
        case QMetaType::UShort:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
        case QMetaType::UChar:
            out += QByteArray::number(value.toULongLong());
            return true;
        case QMetaType::Double:
        case QMetaType::Float:
            return writeDouble(value.toDouble());
        case QMetaType::QString:
            writeString(value.toString());
            return true;
        case QMetaType::QByteArray:
            writeString(QString::fromUtf8(value.toByteArray()));
            return true;
        case QMetaType::QVariantMap:
            return writeObject(value.toMap(), depth);
        case QMetaType::QVariantHash: {
            const QVariantHash hash = value.toHash();
            QVariantMap map;
            for (auto it = hash.constBegin(); it != hash.constEnd(); ++it)
                map.insert(it.key(), it.value());
            return writeObject(map, depth);
        }
        case QMetaType::QVariantList:
        case QMetaType::QStringList:
            return writeArray(value.toList(), depth);
        case QMetaType::QJsonValue:
            return write(value.toJsonValue().toVariant(), depth);
        case QMetaType::QJsonObject:
            return writeObject(value.toJsonObject().toVariantMap(), depth);
        case QMetaType::QJsonArray:
            return writeArray(value.toJsonArray().toVariantList(), depth);
        case QMetaType::QJsonDocument:
            return write(value.toJsonDocument().toVariant(), depth);
        default:
            error = QStringLiteral("Invalid type in JSON write (%1)").arg(QString::fromLatin1(value.typeName()));
            return false;
        }
    }

    bool writeObject(const QVariantMap &map, int depth)
    {
        if (map.isEmpty()) {
            out += "{}";
            return true;
        }
        out += "{\n";
        bool first = true;
        for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
            if (!first)
                out += ",\n";
            first = false;
            indent(depth + 1);
            writeString(it.key());
            out += " : ";
            if (!write(it.value(), depth + 1))
                return false;
        }
        out += '\n';
        indent(depth);
        out += '}';
        return true;
    }

    QByteArray out;
    QString error;

private:
    void indent(int depth) { out += QByteArray(depth * 2, ' '); }

    bool writeArray(const QVariantList &list, int depth)
    {
        if (list.isEmpty()) {
            out += "[]";
            return true;
        }
        out += "[\n";
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (i > 0)
                out += ",\n";
            indent(depth + 1);
            if (!write(list.at(i), depth + 1))
                return false;
        }
        out += '\n';
        indent(depth);
        out += ']';
        return true;
    }

    bool writeDouble(double number)
    {
        if (!std::isfinite(number)) {
            error = QStringLiteral("Invalid number value (NaN or infinity) in JSON write");
            return false;
        }
        if (number == std::floor(number) && std::fabs(number) < 1e15) {
            out += QByteArray::number(static_cast<qint64>(number));
            return true;
        }
        out += QByteArray::number(number, 'g', QLocale::FloatingPointShortest);
        return true;
    }

    void writeString(const QString &text)
    {
        out += '"';
        for (const QChar ch : text) {
            const char16_t u = ch.unicode();
            switch (u) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '/': out += "\\/"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (u < 0x20) {
                    out += "\\u00";
                    out += QByteArray::number(u, 16).rightJustified(2, '0');
                } else {
                    pending += ch;
                    flushIfComplete();
                    continue;
                }
            }
        }
        flushPending();
        out += '"';
    }

    // Characters are collected so that surrogate pairs are encoded together.
    void flushIfComplete()
    {
        if (!pending.isEmpty() && !pending.back().isHighSurrogate())
            flushPending();
    }
    void flushPending()
    {
        out += pending.toUtf8();
        pending.clear();
    }

    QString pending;
};

} // namespace

QString TavlinGlobal::jsonStringWithDict(const QVariantMap &dict)
{
    PrettyJsonWriter writer;
    if (!writer.writeObject(dict, 0)) {
        qWarning("%s", qUtf8Printable(writer.error));
        return {};
    }
    return QString::fromUtf8(writer.out);
}

QString TavlinGlobal::jsonStrReplacelinebreak(const QString &text)
{
    QString line = text;
    line.remove(QLatin1Char('\n'));
    line.append(QLatin1Char('\n'));
    return line;
}

namespace {

std::optional<QJsonObject> parseObject(const QByteArray &bytes, const char *failureFormat)
{
    if (bytes.isEmpty())
        return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        qInfo(failureFormat, qUtf8Printable(error.errorString()));
        return std::nullopt;
    }
    // Callers read members by key; any other top-level value is a failure too.
    if (!document.isObject()) {
        qInfo(failureFormat, "not a JSON object");
        return std::nullopt;
    }
    return document.object();
}

} // namespace

std::optional<QJsonObject> TavlinGlobal::dictionaryWithJsonString(const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    return parseObject(text.toUtf8(), "json字符串转字典解析失败：%s");
}

std::optional<QJsonObject> TavlinGlobal::dictionaryWithJsonData(const QByteArray &data)
{
    return parseObject(data, "dictionaryWithJsonData解析失败：%s");
}

qint64 TavlinGlobal::numberWithHexString(const QString &text)
{
    // As "%x" reads: leading white space, an optional sign, an optional "0x",
    // then hex digits up to the first other character, kept to 32 bits.
    const QByteArray bytes = text.toUtf8();
    qsizetype i = 0;
    const qsizetype n = bytes.size();
    auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < n && isSpace(bytes[i]))
        ++i;
    bool negative = false;
    if (i < n && (bytes[i] == '+' || bytes[i] == '-')) {
        negative = bytes[i] == '-';
        ++i;
    }
    auto hexValue = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    // A "0x" without a digit after it reads as the number 0, as "%x" does.
    if (i + 2 < n && bytes[i] == '0' && (bytes[i + 1] == 'x' || bytes[i + 1] == 'X')
        && hexValue(bytes[i + 2]) >= 0)
        i += 2;
    quint32 value = 0;
    for (; i < n; ++i) {
        const int digit = hexValue(bytes[i]);
        if (digit < 0)
            break;
        value = (value << 4) | static_cast<quint32>(digit);
    }
    if (negative)
        value = 0u - value;
    return static_cast<qint32>(value);
}

bool TavlinGlobal::isValidIPAddress(const QString &text)
{
    // The IPv4 form the system's text-to-address conversion accepts: exactly
    // four decimal parts of 0-255, no leading zeros, nothing else.
    int parts = 0;
    int digits = 0;
    int part = 0;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u >= '0' && u <= '9') {
            if (digits > 0 && part == 0)
                return false;
            part = part * 10 + (u - '0');
            if (part > 255)
                return false;
            if (digits == 0 && ++parts > 4)
                return false;
            ++digits;
        } else if (u == '.' && digits > 0) {
            if (parts == 4)
                return false;
            digits = 0;
            part = 0;
        } else {
            return false;
        }
    }
    return parts == 4 && digits > 0;
}

bool TavlinGlobal::ifEnterPinCountIsValid(const QString &pin)
{
    return pin.size() == 6 || pin.size() == 8;
}

bool TavlinGlobal::ifSixNumberPin(const QString &pin)
{
    return std::all_of(pin.cbegin(), pin.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

bool TavlinGlobal::compareCharter(const QString &pin)
{
    return ifSixNumberPin(pin);
}

bool TavlinGlobal::ifEightBigCharPin(const QString &pin)
{
    return std::all_of(pin.cbegin(), pin.cend(), [](QChar c) { return c >= u'A' && c <= u'Z'; });
}

bool TavlinGlobal::ifContainDot(const QString &text)
{
    return text.contains(QLatin1Char('.'));
}

bool TavlinGlobal::removeChinese(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 256; });
}

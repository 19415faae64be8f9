#include "MainControl/TLConnectPack/HandshakeCodec.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringDecoder>
#include <cmath>

#include "Utils/TavlinGlobal/TavlinGlobal.h"

namespace HandshakeCodec {

namespace {

const QString kSuccess = QStringLiteral("success");
const QString kFailed = QStringLiteral("failed");
const QString kFalied = QStringLiteral("falied");
const QString kConfigured = QStringLiteral("configed password");
const QString kName = QStringLiteral("name");
const QString kHasChanged = QStringLiteral("hasChanged");

std::optional<QJsonObject> parseObject(const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

QString textMember(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    return value.isString() ? value.toString() : QString();
}

HandshakeReply serverInfo(const std::optional<QJsonObject> &object)
{
    HandshakeReply reply;
    reply.kind = HandshakeReply::Kind::ServerInfo;
    reply.extraInfo = QStringLiteral("");
    if (!object)
        return reply;
    reply.name = textMember(*object, kName);
    const QJsonValue feature = object->value(QStringLiteral("feature"));
    if (feature.isString())
        reply.features = TavlinGlobal::numberWithHexString(feature.toString());
    else if (!feature.isUndefined())
        qInfo("server information: \"feature\" is not text, taken as 0");
    if (object->value(QStringLiteral("extraInfo")).isString())
        reply.extraInfo = object->value(QStringLiteral("extraInfo")).toString();
    return reply;
}

// A port: a whole number or the text of one, within 1..65535; 0 otherwise.
qint64 portValue(const QJsonValue &value)
{
    qint64 port = 0;
    if (value.isDouble()) {
        const double number = value.toDouble();
        if (std::isfinite(number) && number == std::floor(number) && number >= 1 && number <= 65535)
            port = static_cast<qint64>(number);
    } else if (value.isString()) {
        bool ok = false;
        const qint64 number = value.toString().trimmed().toLongLong(&ok);
        if (ok)
            port = number;
    }
    return port >= 1 && port <= 65535 ? port : 0;
}

bool truthValue(const QJsonValue &value)
{
    if (value.isBool())
        return value.toBool();
    if (value.isDouble())
        return value.toDouble() != 0;
    if (value.isString()) {
        const QString text = value.toString().trimmed();
        return text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || text == QLatin1String("1");
    }
    return false;
}

HandshakeReply ports(const std::optional<QJsonObject> &object)
{
    HandshakeReply reply;
    reply.kind = HandshakeReply::Kind::Ports;
    if (!object)
        return reply;
    reply.portsParsed = true;
    reply.hasChanged = truthValue(object->value(kHasChanged));
    const QJsonObject table = object->value(QStringLiteral("ports")).toObject();
    for (size_t i = 0; i < kPortKeys.size(); ++i)
        reply.ports[i] = portValue(table.value(QLatin1String(kPortKeys[i])));
    return reply;
}

std::optional<HandshakeReply> bySubstring(const QString &message, const QString &wholeText)
{
    HandshakeReply reply;
    if (message.contains(kSuccess)) {
        reply.kind = HandshakeReply::Kind::CodeAccepted;
        return reply;
    }
    if (message.contains(kFailed) || message.contains(kFalied)) {
        reply.kind = HandshakeReply::Kind::CodeRefused;
        return reply;
    }
    if (message.contains(kConfigured)) {
        reply.kind = HandshakeReply::Kind::CodeConfigured;
        return reply;
    }
    if (message.contains(kName))
        return serverInfo(parseObject(message));
    if (message.contains(kHasChanged)) {
        std::optional<QJsonObject> object = parseObject(message);
        if (!object)
            object = parseObject(wholeText);
        return ports(object);
    }
    return std::nullopt;
}

bool holdsProtocolWord(const QString &text)
{
    for (const QString *word : {&kSuccess, &kFailed, &kFalied, &kConfigured, &kName, &kHasChanged}) {
        if (text.contains(*word))
            return true;
    }
    return false;
}

// Decodes UTF-8; none when the bytes are not (or not yet) whole UTF-8.
std::optional<QString> decodeWhole(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

enum class Scan { Complete, LineEnded, Incomplete };

// Finds the end of the JSON object that starts at `start`. Within one line
// unless `acrossLines`.
Scan scanObject(const QByteArray &bytes, qsizetype start, bool acrossLines, qsizetype &end)
{
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (qsizetype i = start; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\n' && !acrossLines) {
            end = i;
            return Scan::LineEnded;
        }
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (--depth == 0) {
                end = i + 1;
                return Scan::Complete;
            }
        }
    }
    return Scan::Incomplete;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A line that holds nothing but "{": the start of an object written over
// several lines.
bool opensMultiLineObject(const QByteArray &bytes, qsizetype start)
{
    for (qsizetype i = start + 1; i < bytes.size(); ++i) {
        if (bytes[i] == '\n')
            return true;
        if (bytes[i] != ' ' && bytes[i] != '\t' && bytes[i] != '\r')
            return false;
    }
    return false;
}

} // namespace

QByteArray passwordConfigRequest()
{
    return QByteArrayLiteral("GETPASSWORDCONFIG\r\ntavlin\r\n\r\n");
}

QByteArray serverInfoRequest()
{
    return QByteArrayLiteral("getServerInfo\r\n1\r\n\r\n");
}

QByteArray listenedPortRequest()
{
    return QByteArrayLiteral("getListenedPort\r\n1\r\n\r\n");
}

std::optional<HandshakeReply> classify(const QString &message, const QString &wholeText)
{
    if (const std::optional<QJsonObject> object = parseObject(message)) {
        if (object->contains(kName))
            return serverInfo(object);
        if (object->contains(kHasChanged))
            return ports(object);
    }
    return bySubstring(message, wholeText);
}

QList<HandshakeReply> HandshakeReplyFramer::feed(const QByteArray &chunk)
{
    QList<HandshakeReply> replies;
    m_pending.append(chunk);
    const QString wholeText = QString::fromUtf8(chunk);
    auto take = [&](const QByteArray &bytes) {
        // A message that is not UTF-8 is read with replacement characters:
        // the protocol's words and JSON syntax are plain ASCII.
        const QString message = QString::fromUtf8(bytes);
        if (std::optional<HandshakeReply> reply = classify(message, wholeText))
            replies.append(*reply);
    };

    qsizetype pos = 0;
    const qsizetype size = m_pending.size();
    while (pos < size) {
        if (isBlank(m_pending[pos])) {
            ++pos;
            continue;
        }
        const qsizetype newline = m_pending.indexOf('\n', pos);
        if (m_pending[pos] == '{') {
            qsizetype end = 0;
            const bool acrossLines = opensMultiLineObject(m_pending, pos);
            const Scan scan = scanObject(m_pending, pos, acrossLines, end);
            if (scan == Scan::Complete) {
                take(m_pending.mid(pos, end - pos));
                pos = end;
                continue;
            }
            if (scan == Scan::LineEnded) {
                // Not a whole object within its line: an ordinary line.
                QByteArray line = m_pending.mid(pos, end - pos);
                if (line.endsWith('\r'))
                    line.chop(1);
                take(line);
                pos = end + 1;
                continue;
            }
            break; // the rest of the object is still to come
        }
        if (newline >= 0) {
            QByteArray line = m_pending.mid(pos, newline - pos);
            if (line.endsWith('\r'))
                line.chop(1);
            take(line);
            pos = newline + 1;
            continue;
        }
        // Text without a line end: taken now when it already says something,
        // kept for the rest otherwise.
        const QByteArray rest = m_pending.mid(pos);
        const std::optional<QString> text = decodeWhole(rest);
        if (text && holdsProtocolWord(*text)) {
            take(rest);
            pos = size;
        }
        break;
    }
    m_pending.remove(0, pos);
    if (m_pending.size() > kMaxPendingBytes) {
        qInfo("handshake reply longer than %lld bytes without an end: dropped", static_cast<long long>(kMaxPendingBytes));
        m_pending.clear();
    }
    return replies;
}

} // namespace HandshakeCodec

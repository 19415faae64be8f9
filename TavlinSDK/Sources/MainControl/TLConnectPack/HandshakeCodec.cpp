#include "MainControl/TLConnectPack/HandshakeCodec.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <array>
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

// The replies that are plain words, as the receivers write them.
constexpr std::array<QByteArrayView, 4> kReplyWords = {"success", "failed", "falied", "configed password"};

// `text` is the beginning of a reply word, or the whole word.
bool beginsAReplyWord(QByteArrayView text)
{
    for (const QByteArrayView word : kReplyWords) {
        if (word.startsWith(text))
            return true;
    }
    return false;
}

bool isAReplyWord(QByteArrayView text)
{
    for (const QByteArrayView word : kReplyWords) {
        if (word == text)
            return true;
    }
    return false;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

QByteArray withoutCarriageReturn(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
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

void HandshakeReplyFramer::reset()
{
    m_pending.clear();
    m_scan = {};
    m_heldWord = 0;
}

HandshakeReplyFramer::ScanResult HandshakeReplyFramer::continueObject(qsizetype &end)
{
    using Extent = ObjectScan::Extent;
    ObjectScan &scan = m_scan;
    const qsizetype size = m_pending.size();
    const char *bytes = m_pending.constData();
    for (; scan.next < size; ++scan.next) {
        ++m_scannedBytes;
        const char c = bytes[scan.next];
        if (c == '\n') {
            if (scan.extent == Extent::Undecided) {
                scan.extent = Extent::SeveralLines;
            } else if (scan.extent == Extent::OneLine) {
                end = scan.next;
                return ScanResult::LineEnded;
            }
        } else if (scan.extent == Extent::Undecided && c != ' ' && c != '\t' && c != '\r') {
            scan.extent = Extent::OneLine;
        }
        if (scan.inString) {
            if (scan.escaped)
                scan.escaped = false;
            else if (c == '\\')
                scan.escaped = true;
            else if (c == '"')
                scan.inString = false;
            continue;
        }
        if (c == '"') {
            scan.inString = true;
        } else if (c == '{' || c == '[') {
            ++scan.depth;
        } else if ((c == '}' || c == ']') && --scan.depth == 0) {
            end = scan.next + 1;
            return ScanResult::Complete;
        }
    }
    return ScanResult::Incomplete;
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

    // Everything before `pos` has been taken.
    qsizetype pos = 0;
    const qsizetype size = m_pending.size();
    const QByteArrayView pending(m_pending);
    if (m_heldWord > 0) {
        // The beginning of a word waits: it grows with every byte that
        // continues it, and ends at the first that cannot.
        qsizetype end = m_heldWord;
        while (end < size && beginsAReplyWord(pending.first(end + 1))) {
            ++m_scannedBytes;
            ++end;
        }
        if (end == size && !isAReplyWord(pending.first(end))) {
            m_heldWord = end;
            return replies;
        }
        m_heldWord = 0;
        take(m_pending.left(end));
        pos = end;
    }
    while (pos < size) {
        if (m_scan.active) {
            qsizetype end = 0;
            const ScanResult result = continueObject(end);
            if (result == ScanResult::Incomplete)
                break; // the rest of the object is still to come
            m_scan = {};
            if (result == ScanResult::Complete) {
                take(m_pending.mid(pos, end - pos));
                pos = end;
            } else {
                // Not a whole object within its line: an ordinary line.
                take(withoutCarriageReturn(m_pending.mid(pos, end - pos)));
                pos = end + 1;
            }
            continue;
        }
        ++m_scannedBytes;
        if (isBlank(m_pending[pos])) {
            ++pos;
            continue;
        }
        if (m_pending[pos] == '{') {
            m_scan.active = true;
            m_scan.next = pos + 1;
            m_scan.depth = 1;
            continue;
        }
        const qsizetype newline = m_pending.indexOf('\n', pos);
        const qsizetype end = newline >= 0 ? newline : size;
        m_scannedBytes += end - pos;
        if (newline < 0 && beginsAReplyWord(pending.sliced(pos)) && !isAReplyWord(pending.sliced(pos))) {
            // Cut by the transport inside a word: the rest is still to come.
            m_heldWord = size - pos;
            break;
        }
        // Any other text without a line end is a line of its own: holding it
        // would glue it onto the next reply.
        take(withoutCarriageReturn(m_pending.mid(pos, end - pos)));
        pos = newline >= 0 ? newline + 1 : size;
    }
    m_pending.remove(0, pos);
    if (m_scan.active)
        m_scan.next -= pos;
    if (m_pending.size() > kMaxPendingBytes) {
        qInfo("handshake reply longer than %lld bytes without an end: dropped", static_cast<long long>(kMaxPendingBytes));
        reset();
    }
    return replies;
}

} // namespace HandshakeCodec

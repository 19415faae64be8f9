#include "MainControl/TLMasterControlPack/MasterControlCodec.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QVariantMap>
#include <cmath>
#include <limits>

#include "TavlinLogText.h"
#include "Utils/IntegerValue.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

namespace MasterControlCodec {
namespace {

const QString kN = QStringLiteral("N");

QString line(const QVariantMap &members)
{
    return TavlinGlobal::jsonStrReplacelinebreak(TavlinGlobal::jsonStringWithDict(members));
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

QByteArray trimmed(const QByteArray &bytes)
{
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && isBlank(bytes[begin]))
        ++begin;
    while (end > begin && isBlank(bytes[end - 1]))
        --end;
    return bytes.mid(begin, end - begin);
}

std::optional<QJsonObject> parseObject(const QByteArray &bytes, bool logFailure)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        if (logFailure) {
            qInfo("master control line not understood (%s): %s",
                  error.error != QJsonParseError::NoError ? qUtf8Printable(error.errorString()) : "not a JSON object",
                  qUtf8Printable(escapedForLog(bytes, 120)));
        }
        return std::nullopt;
    }
    return document.object();
}

} // namespace

// The lines without a variable part are written once: a receiver may ask
// for some of them as fast as it can send.

QString heartbeat(qint64 index)
{
    return line({{QStringLiteral("heartbeat"), index}});
}

QString clientInformation(const ClientInformation &info)
{
    return line({
        {QStringLiteral("reportClientInfo"), kN},
        {QStringLiteral("clientName"), info.clientName},
        {QStringLiteral("clientType"), kClientType},
        {QStringLiteral("isTouchable"), info.isTouchable},
        {QStringLiteral("versionName"), info.versionName},
        {QStringLiteral("versionCode"), info.versionCode},
    });
}

QString castRequest()
{
    static const QString text = line({{QStringLiteral("requestCast"), kCastRequestValue}});
    return text;
}

QString fullScreenRequest()
{
    static const QString text = line({{QStringLiteral("requestCast"), kFullScreenRequestValue}});
    return text;
}

QString exitFullScreen()
{
    static const QString text = line({{QStringLiteral("exitFullscreen"), kN}});
    return text;
}

QString disconnect()
{
    static const QString text = line({{QStringLiteral("disconnect"), kN}});
    return text;
}

QString replyInfo()
{
    static const QString text = line({{QStringLiteral("replyInfo"), kN}});
    return text;
}

qint64 integerMember(const QJsonObject &object, const QString &key)
{
    return integerValueOfJson(object.value(key));
}

std::optional<QString> textMember(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<ReceiverMessage> classify(const QByteArray &line)
{
    const std::optional<QJsonObject> parsed = parseObject(line, true);
    if (!parsed)
        return std::nullopt;
    const QJsonObject &object = *parsed;

    using Kind = ReceiverMessage::Kind;
    static const struct {
        const char *key;
        Kind kind;
    } kKeys[] = {
        {"replyHeartbeat", Kind::ReplyHeartbeat},     {"replyClientInfo", Kind::ReplyClientInfo},
        {"disconnectClient", Kind::DisconnectClient}, {"replyCastRequest", Kind::ReplyCastRequest},
        {"inviteCast", Kind::InviteCast},             {"cancelCastInvite", Kind::CancelCastInvite},
        {"reportInfo", Kind::ReportInfo},             {"replyExitFullscreen", Kind::ReplyExitFullscreen},
    };
    for (const auto &entry : kKeys) {
        const QString key = QString::fromLatin1(entry.key);
        if (!object.contains(key))
            continue;
        ReceiverMessage message;
        message.kind = entry.kind;
        switch (entry.kind) {
        case Kind::ReplyHeartbeat:
            message.castMode = integerMember(object, QStringLiteral("castMode"));
            message.multiScreen = integerMember(object, QStringLiteral("multiScreen"));
            message.mirrorMode = integerMember(object, QStringLiteral("mirrorMode"));
            message.castState = integerMember(object, QStringLiteral("castState"));
            break;
        case Kind::ReplyClientInfo:
            message.deviceName = textMember(object, QStringLiteral("deviceName"));
            message.rotation = integerMember(object, QStringLiteral("rotation"));
            if (object.contains(QStringLiteral("supportMirror")))
                message.supportMirror = integerMember(object, QStringLiteral("supportMirror"));
            message.platform = textMember(object, QStringLiteral("platform")).value_or(QString());
            message.flavor = textMember(object, QStringLiteral("flavor")).value_or(QString());
            break;
        case Kind::ReplyCastRequest:
            message.replyCastRequest = integerMember(object, key);
            break;
        case Kind::ReportInfo:
            message.deviceName = textMember(object, QStringLiteral("deviceName"));
            message.rotation = integerMember(object, QStringLiteral("rotation"));
            break;
        default:
            break;
        }
        return message;
    }
    return std::nullopt;
}

void LineFramer::reset()
{
    m_pending.clear();
    m_scanned = 0;
    m_started = m_object = m_settled = false;
    m_depth = 0;
    m_inString = m_escaped = false;
}

QList<QByteArray> LineFramer::feed(const QByteArray &chunk)
{
    QList<QByteArray> lines;
    m_pending.append(chunk);

    // Everything before `start` has been taken.
    qsizetype start = 0;
    bool wholeObject = false;
    const char *bytes = m_pending.constData();
    for (qsizetype i = m_scanned; i < m_pending.size(); ++i) {
        ++m_scannedBytes;
        const char c = bytes[i];
        if (c == '\n') {
            const QByteArray line = trimmed(m_pending.mid(start, i - start));
            if (!line.isEmpty())
                lines.append(line);
            start = i + 1;
            m_started = m_object = m_settled = false;
            m_depth = 0;
            m_inString = m_escaped = false;
            wholeObject = false;
            continue;
        }
        // Follows the unended line as a JSON object, so that one without its
        // line end is noticed the moment it is whole.
        if (m_settled) {
            if (!wholeObject || isBlank(c))
                continue;
            wholeObject = false;
            // A whole object followed at once by the next one: a receiver
            // that leaves out its line ends. Each is a message of its own.
            const QByteArray object = trimmed(m_pending.mid(start, i - start));
            if (c != '{' || !parseObject(object, false))
                continue;
            lines.append(object);
            start = i;
            m_started = m_object = m_settled = false;
            m_depth = 0;
            m_inString = m_escaped = false;
        }
        if (!m_started) {
            if (isBlank(c))
                continue;
            m_started = true;
            m_object = c == '{';
            if (!m_object) {
                m_settled = true;
                continue;
            }
        }
        if (m_inString) {
            if (m_escaped)
                m_escaped = false;
            else if (c == '\\')
                m_escaped = true;
            else if (c == '"')
                m_inString = false;
        } else if (c == '"') {
            m_inString = true;
        } else if (c == '{' || c == '[') {
            ++m_depth;
        } else if ((c == '}' || c == ']') && --m_depth == 0) {
            m_settled = true;
            wholeObject = true;
        }
    }
    m_scanned = m_pending.size();

    // A receiver that leaves out the last line end is still heard, as long as
    // what it sent is whole.
    if (wholeObject) {
        const QByteArray rest = trimmed(m_pending.mid(start));
        if (parseObject(rest, false)) {
            lines.append(rest);
            reset();
            return lines;
        }
        // An object that does not parse waits for its line end, as any line.
    }
    m_pending.remove(0, start);
    m_scanned -= start;
    if (m_pending.size() > kMaxPendingBytes) {
        qInfo("master control line longer than %lld bytes dropped", static_cast<long long>(kMaxPendingBytes));
        reset();
    }
    return lines;
}

QString directCastKeepAlive(const QString &ip, qint64 sequence, const QString &clientName, bool casting)
{
    return QStringLiteral("OPTIONS rtsp://%1 RTSP/1.0\r\nCSeq: %2\r\nName: %3\r\nStatus: %4\r\nSystem: 1\r\n"
                          "Content-Length: 0\r\n\r\n")
        .arg(ip)
        .arg(sequence)
        .arg(clientName)
        .arg(casting ? 1 : 0);
}

std::optional<qint64> directCastCommand(const QByteArray &answer)
{
    if (!answer.contains("command"))
        return std::nullopt;
    const qsizetype brace = answer.indexOf("{\"");
    if (brace < 0) {
        qInfo("Not Found");
        return std::nullopt;
    }
    const std::optional<QJsonObject> object = parseObject(trimmed(answer.mid(brace)), true);
    if (!object || !object->contains(QStringLiteral("command")))
        return std::nullopt;
    return integerMember(*object, QStringLiteral("command"));
}

} // namespace MasterControlCodec

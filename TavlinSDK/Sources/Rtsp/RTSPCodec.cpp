#include "Rtsp/RTSPCodec.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>
#include <cmath>
#include <limits>

#include "Utils/IntegerValue.h"

namespace RTSPCodec {

namespace {

const QByteArray kHeadEnd = QByteArrayLiteral("\r\n\r\n");
const QByteArray kContentLength = QByteArrayLiteral("Content-Length: ");
constexpr qint64 kInt64Max = std::numeric_limits<qint64>::max();

// Leading decimal digits of `text` from `pos`, saturating instead of wrapping.
qint64 leadingDigits(QByteArrayView text, qsizetype pos, bool negative = false)
{
    qint64 value = 0;
    bool saturated = false;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c < '0' || c > '9')
            break;
        const int digit = c - '0';
        if (!saturated && value > (kInt64Max - digit) / 10)
            saturated = true;
        if (!saturated)
            value = value * 10 + digit;
    }
    if (saturated)
        return negative ? std::numeric_limits<qint64>::min() : kInt64Max;
    return negative ? -value : value;
}

} // namespace

QByteArray requestHead(const QString &method, const QString &host, quint16 cseq,
                       std::optional<qint64> aspectRatio, qsizetype bodyLength,
                       const QList<QPair<QString, QString>> &headers)
{
    QByteArray head;
    head += method.toUtf8() + ' ' + QStringLiteral("rtsp://%1").arg(host).toUtf8() + " RTSP/1.0\r\n";
    head += "CSeq: " + QByteArray::number(cseq) + "\r\n";
    if (aspectRatio)
        head += "AspectRatio: " + QByteArray::number(*aspectRatio) + "\r\n";
    if (bodyLength > 0)
        head += "Content-Length: " + QByteArray::number(bodyLength) + "\r\n";
    head += "User-Agent: Tavlin (Tavlin 1.0)\r\n";
    for (const auto &[name, value] : headers)
        head += name.toUtf8() + ": " + value.toUtf8() + "\r\n";
    head += "\r\n";
    return head;
}

qint64 contentLength(const QByteArray &head)
{
    const qsizetype at = head.indexOf(kContentLength);
    if (at < 0)
        return 0;
    return leadingDigits(head, at + kContentLength.size());
}

void ReplyFramer::append(const QByteArray &bytes)
{
    m_buffer.append(bytes);
    skipBuffered();
}

void ReplyFramer::skipBuffered()
{
    if (m_skip <= 0 || m_buffer.isEmpty())
        return;
    const qint64 drop = std::min<qint64>(m_skip, m_buffer.size());
    m_buffer.remove(0, drop);
    m_skip -= drop;
}

std::optional<Reply> ReplyFramer::next()
{
    skipBuffered();
    if (m_skip > 0 || m_buffer.isEmpty())
        return std::nullopt;

    const qsizetype separator = m_buffer.indexOf(kHeadEnd);
    if (separator < 0) {
        if (m_buffer.size() <= kReplyHeadLimit)
            return std::nullopt;
        // Not a reply head: give it up in one piece so that memory stays
        // bounded and the session still sees the receiver talking.
        Reply reply{m_buffer, std::nullopt};
        m_buffer.clear();
        return reply;
    }

    const qsizetype headEnd = separator + kHeadEnd.size();
    const QByteArray head = m_buffer.left(headEnd);
    const qint64 length = contentLength(head);

    if (length <= 0) {
        m_buffer.remove(0, headEnd);
        return Reply{head, std::nullopt};
    }
    if (length > kReplyBodyLimit) {
        // Too large to use: the reply counts without its body, and the body
        // is dropped as it arrives.
        m_buffer.remove(0, headEnd);
        m_skip = length;
        skipBuffered();
        return Reply{head, std::nullopt};
    }
    if (m_buffer.size() - headEnd < length)
        return std::nullopt;

    Reply reply{m_buffer.left(headEnd + length), m_buffer.mid(headEnd, length)};
    m_buffer.remove(0, headEnd + length);
    return reply;
}

bool ReplyFramer::hasPartial() const
{
    return !m_buffer.isEmpty() && m_skip <= 0;
}

std::optional<Reply> ReplyFramer::takePartial()
{
    if (!hasPartial())
        return std::nullopt;
    Reply reply{m_buffer, std::nullopt};
    m_buffer.clear();
    return reply;
}

void ReplyFramer::clear()
{
    m_buffer.clear();
    m_skip = 0;
}

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    Q_UNUSED(text);
    return !decoder.hasError();
}


std::optional<EncoderSizeRequest> parseEncoderChange(const QByteArray &body)
{
    if (body.isEmpty())
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();

    const qint64 width = integerValueOfJson(object.value(QLatin1String("casting_win_width")));
    const qint64 height = integerValueOfJson(object.value(QLatin1String("casting_win_height")));
    qint64 fps = integerValueOfJson(object.value(QLatin1String("Framerate")));
    const qint64 feature = integerValueOfJson(object.value(QLatin1String("feature")));
    if (width == 0 || height == 0 || fps == 0 || feature == 0)
        return std::nullopt;
    if (fps < 0)
        fps = EncoderSizeRequest::kFallbackFps;
    if ((feature & 1) == 0)
        return std::nullopt;
    if (!EncoderSizeRequest::sideInRange(width) || !EncoderSizeRequest::sideInRange(height))
        return std::nullopt;
    fps = std::clamp<qint64>(fps, EncoderSizeRequest::kMinFps, EncoderSizeRequest::kMaxFps);
    return EncoderSizeRequest{int(width), int(height), int(fps)};
}

} // namespace RTSPCodec

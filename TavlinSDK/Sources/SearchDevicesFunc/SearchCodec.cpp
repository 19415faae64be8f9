#include "SearchCodec.h"

#include <QStringDecoder>
#include <QStringList>
#include <limits>

#include "Utils/TavlinGlobal/TavlinGlobal.h"

namespace SearchCodec {

namespace {

const char kProbeText[] = "FindMorvelant:";
constexpr int kProbeTextLength = sizeof(kProbeText) - 1;
constexpr int kProbeZeroHead = 12;

bool isAsciiSpace(char16_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

} // namespace

int intTobyteArray(quint32 value, QByteArray &buffer, int position)
{
    if (position < 0)
        return position;
    if (buffer.size() < position + 4)
        buffer.resize(position + 4, '\0');
    buffer[position] = char((value >> 24) & 0xff);
    buffer[position + 1] = char((value >> 16) & 0xff);
    buffer[position + 2] = char((value >> 8) & 0xff);
    buffer[position + 3] = char(value & 0xff);
    return position + 4;
}

QByteArray buildSearchDevicesMessage()
{
    QByteArray message(kProbeSize, '\0');
    int position = 0;
    position = intTobyteArray(0, message, position);
    position = intTobyteArray(0, message, position);
    position = intTobyteArray(0, message, position);
    position = intTobyteArray(kProbeTextLength, message, position);
    position = intTobyteArray(0, message, position);
    message.replace(position, kProbeTextLength, kProbeText, kProbeTextLength);
    // The remaining sixteen bytes stay zero.
    return message;
}

bool isSearchProbe(const QByteArray &datagram)
{
    if (datagram.size() != kProbeSize)
        return false;
    for (int i = 0; i < kProbeZeroHead; ++i) {
        if (datagram.at(i) != '\0')
            return false;
    }
    return true;
}

qint64 replyHexValue(QStringView field)
{
    for (const QChar ch : field) {
        if (ch.unicode() > 0x7f)
            return 0;
    }
    quint32 value = 0;
    for (const QChar ch : field) {
        const char16_t c = ch.unicode();
        quint32 digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            break;
        value = value * 16u + digit;   // unsigned: wraps by definition
    }
    return static_cast<qint64>(static_cast<qint32>(value));
}

qint64 replyDecimalValue(QStringView field)
{
    qsizetype i = 0;
    const qsizetype n = field.size();
    while (i < n && isAsciiSpace(field.at(i).unicode()))
        ++i;
    bool negative = false;
    if (i < n && (field.at(i) == u'+' || field.at(i) == u'-')) {
        negative = field.at(i) == u'-';
        ++i;
    }
    constexpr quint64 limit = quint64(std::numeric_limits<qint64>::max());
    quint64 magnitude = 0;
    bool saturated = false;
    for (; i < n; ++i) {
        const char16_t c = field.at(i).unicode();
        if (c < '0' || c > '9')
            break;
        if (!saturated) {
            magnitude = magnitude * 10 + (c - '0');
            if (magnitude > limit)
                saturated = true;
        }
    }
    if (saturated)
        return negative ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    return negative ? -static_cast<qint64>(magnitude) : static_cast<qint64>(magnitude);
}

ParsedReply parseSearchReply(const QByteArray &datagram, const QString &sourceIp)
{
    ParsedReply result;
    if (!TavlinGlobal::isValidIPAddress(sourceIp)) {
        result.status = ReplyStatus::NotIPv4Source;
        return result;
    }
    // Stateless: a character cut off at the end is an error, not pending input.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(datagram);
    if (decoder.hasError()) {
        result.status = ReplyStatus::NotUtf8;
        return result;
    }
    const QStringList fields = text.split(u':');
    if (fields.size() <= 2) {
        result.status = ReplyStatus::TooFewFields;
        return result;
    }
    Device &device = result.device;
    device.mDevicename = fields.at(1);
    device.mHostIp = sourceIp;
    device.mPort = replyDecimalValue(fields.at(2));
    if (fields.size() > 5)
        device.mServer_features = replyHexValue(fields.at(5));
    if (fields.size() > 6)
        device.mFps = replyHexValue(fields.at(6));
    result.status = ReplyStatus::Accepted;
    return result;
}

const char *replyStatusText(ReplyStatus status)
{
    switch (status) {
    case ReplyStatus::Accepted:
        return "accepted";
    case ReplyStatus::NotIPv4Source:
        return "sender is not an IPv4 address";
    case ReplyStatus::NotUtf8:
        return "text is not UTF-8";
    case ReplyStatus::TooFewFields:
        return "too few fields";
    }
    return "unknown";
}

} // namespace SearchCodec

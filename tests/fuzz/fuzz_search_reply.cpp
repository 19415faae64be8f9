// Any datagram on the search port: reading it must stay inside its bytes,
// and an accepted reply must carry the sender's address.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "SearchDevicesFunc/SearchCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray datagram(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString source = QStringLiteral("10.1.2.3");
    const SearchCodec::ParsedReply reply = SearchCodec::parseSearchReply(datagram, source);
    if (reply.status == SearchCodec::ReplyStatus::Accepted && reply.device.mHostIp != source)
        std::abort();
    SearchCodec::isSearchProbe(datagram);
    const QString text = QString::fromUtf8(datagram);
    SearchCodec::replyHexValue(text);
    SearchCodec::replyDecimalValue(text);
    return 0;
}

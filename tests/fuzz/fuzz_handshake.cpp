// Drives the handshake reply codec with hostile bytes: the first byte picks
// how the rest is cut into reads, every message is classified, and the
// pending buffer must stay within its bound.

#include <QByteArray>
#include <QtGlobal>
#include <cstdint>
#include <cstdlib>

#include "MainControl/TLConnectPack/HandshakeCodec.h"

namespace {
void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int stride = 1 + data[0] % 64;
    const QByteArray input(reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1));

    HandshakeCodec::HandshakeReplyFramer framer;
    for (qsizetype pos = 0; pos < input.size(); pos += stride) {
        const QList<HandshakeCodec::HandshakeReply> replies = framer.feed(input.mid(pos, stride));
        for (const HandshakeCodec::HandshakeReply &reply : replies) {
            for (qint64 port : reply.ports) {
                if (port < 0 || port > 65535)
                    std::abort();
            }
        }
        if (framer.pendingBytes() > HandshakeCodec::HandshakeReplyFramer::kMaxPendingBytes)
            std::abort();
    }
    // The whole input as one message, and as the fallback text of a port line.
    HandshakeCodec::classify(QString::fromUtf8(input), QString::fromUtf8(input));
    return 0;
}

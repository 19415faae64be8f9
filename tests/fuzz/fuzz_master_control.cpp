// Drives the master-control line codec with hostile bytes: the first byte
// picks how the rest is cut into reads; every line is classified and its
// members read; the pending buffer must stay within its bound, and framing
// must not depend on where the reads were cut. The keep-alive answer reader
// gets the whole input too.

#include <QByteArray>
#include <QtGlobal>
#include <cstdint>
#include <cstdlib>

#include "MainControl/TLMasterControlPack/MasterControlCodec.h"

namespace {

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

QList<QByteArray> frame(const QByteArray &input, qsizetype stride)
{
    MasterControlCodec::LineFramer framer;
    QList<QByteArray> lines;
    for (qsizetype pos = 0; pos < input.size(); pos += stride) {
        lines.append(framer.feed(input.mid(pos, stride)));
        if (framer.pendingBytes() > MasterControlCodec::LineFramer::kMaxPendingBytes)
            std::abort();
    }
    return lines;
}

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

    const QList<QByteArray> lines = frame(input, stride);
    for (const QByteArray &line : lines) {
        if (line.isEmpty() || line.contains('\n'))
            std::abort();
        if (const std::optional<MasterControlCodec::ReceiverMessage> message = MasterControlCodec::classify(line)) {
            if (message->deviceName && message->deviceName->isNull())
                std::abort();
        }
    }
    // Lines that end with their line feed come out the same however the
    // stream was cut; a last line without one may be taken early when whole.
    if (input.size() < MasterControlCodec::LineFramer::kMaxPendingBytes && input.endsWith('\n')
        && !input.contains("}") ) {
        if (frame(input, input.size()) != lines)
            std::abort();
    }
    MasterControlCodec::directCastCommand(input);
    return 0;
}

// Feeds arbitrary bytes to the control session's reply framing, in pieces
// whose sizes the input chooses, and reads every framed body as the session
// would: as an audio "SETUP" reply's property list (through the bounded
// reader) and as an encoder-size request. Inputs reach 8 KiB, so that a
// reply with a body of the largest size the framing takes is within reach.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "Rtsp/RTSPCodec.h"
#include "Rtsp/RTSPPlistBodies.h"

namespace {

void check(bool condition)
{
    if (!condition)
        abort();
}

void use(const RTSPCodec::Reply &reply)
{
    if (reply.body) {
        check(!reply.body->isEmpty() && reply.body->size() <= RTSPCodec::kReplyBodyLimit);
        check(reply.raw.endsWith(*reply.body));
        const std::optional<quint16> port = RTSPPlistBodies::audioDataPort(*reply.body);
        check(!port || *port != 0);
        if (auto change = RTSPCodec::parseEncoderChange(*reply.body)) {
            check(change->width >= RTSPCodec::kEncoderSizeMin && change->width <= RTSPCodec::kEncoderSizeMax);
            check(change->height >= RTSPCodec::kEncoderSizeMin && change->height <= RTSPCodec::kEncoderSizeMax);
            check(change->fps >= RTSPCodec::kEncoderFpsMin && change->fps <= RTSPCodec::kEncoderFpsMax);
        }
    }
    (void)RTSPCodec::isValidUtf8(reply.raw);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::allowInputsUpTo(argc, argv, 8192);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks the piece size, so splits land everywhere.
    const size_t piece = (data[0] % 64) + 1;
    ++data;
    --size;

    RTSPCodec::ReplyFramer framer;
    size_t delivered = 0;
    for (size_t at = 0; at < size; at += piece) {
        const size_t n = at + piece <= size ? piece : size - at;
        framer.append(QByteArray(reinterpret_cast<const char *>(data + at), static_cast<qsizetype>(n)));
        while (auto reply = framer.next()) {
            delivered += static_cast<size_t>(reply->raw.size());
            use(*reply);
        }
    }
    if (auto partial = framer.takePartial()) {
        check(!partial->body);
        delivered += static_cast<size_t>(partial->raw.size());
        use(*partial);
    }
    check(delivered <= size);
    check(!framer.hasPartial());

    // The whole input as one body, as a receiver could send it.
    const QByteArray whole(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::optional<quint16> port = RTSPPlistBodies::audioDataPort(whole);
    check(!port || *port != 0);
    (void)RTSPCodec::parseEncoderChange(whole);
    return 0;
}

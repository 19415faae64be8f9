#include "VideoStreamDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

VideoStreamDecoder::VideoStreamDecoder()
{
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    m_context = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (m_context) {
        m_context->flags |= AV_CODEC_FLAG_LOW_DELAY;
        m_context->thread_count = 1;
        if (avcodec_open2(m_context, codec, nullptr) < 0)
            avcodec_free_context(&m_context);
    }
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    m_last = av_frame_alloc();
}

VideoStreamDecoder::~VideoStreamDecoder()
{
    avcodec_free_context(&m_context);
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    av_frame_free(&m_last);
}

bool VideoStreamDecoder::decode(const QByteArray &annexB)
{
    if (!m_context) {
        ++m_errors;
        return false;
    }
    if (annexB.isEmpty())
        return true;
    // Parameter sets alone make no picture: they go in with the next payload,
    // as a receiver configures its decoder with them.
    bool hasSlice = false;
    for (int type : nalTypes(annexB))
        hasSlice = hasSlice || (type >= 1 && type <= 5);
    if (!hasSlice) {
        m_pending.append(annexB);
        return true;
    }
    const QByteArray data = m_pending + annexB;
    m_pending.clear();
    if (av_new_packet(m_packet, int(data.size())) < 0) {
        ++m_errors;
        return false;
    }
    memcpy(m_packet->data, data.constData(), size_t(data.size()));
    const int sent = avcodec_send_packet(m_context, m_packet);
    av_packet_unref(m_packet);
    if (sent < 0) {
        ++m_errors;
        return false;
    }
    receiveFrames();
    return true;
}

void VideoStreamDecoder::flush()
{
    if (!m_context)
        return;
    avcodec_send_packet(m_context, nullptr);
    receiveFrames();
}

void VideoStreamDecoder::receiveFrames()
{
    for (;;) {
        const int got = avcodec_receive_frame(m_context, m_frame);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
            return;
        if (got < 0) {
            ++m_errors;
            return;
        }
        if (m_frame->decode_error_flags)
            ++m_errors;
        ++m_frames;
        m_lastSize = QSize(m_frame->width, m_frame->height);
        if (m_sizes.isEmpty() || m_sizes.last() != m_lastSize)
            m_sizes.append(m_lastSize);
        av_frame_unref(m_last);
        av_frame_move_ref(m_last, m_frame);
    }
}

int VideoStreamDecoder::reorderDepth() const
{
    return m_context ? m_context->has_b_frames : 0;
}

int VideoStreamDecoder::lumaAt(int x, int y) const
{
    if (!m_last || !m_last->data[0] || x < 0 || y < 0 || x >= m_last->width || y >= m_last->height)
        return -1;
    return m_last->data[0][y * m_last->linesize[0] + x];
}

int VideoStreamDecoder::chromaBlueAt(int x, int y) const
{
    if (!m_last || !m_last->data[1] || x < 0 || y < 0 || x >= m_last->width || y >= m_last->height)
        return -1;
    return m_last->data[1][(y / 2) * m_last->linesize[1] + x / 2];
}

int VideoStreamDecoder::chromaRedAt(int x, int y) const
{
    if (!m_last || !m_last->data[2] || x < 0 || y < 0 || x >= m_last->width || y >= m_last->height)
        return -1;
    return m_last->data[2][(y / 2) * m_last->linesize[2] + x / 2];
}

int VideoStreamDecoder::colourMatrix() const
{
    return m_last && m_frames ? int(m_last->colorspace) : -1;
}

int VideoStreamDecoder::colourPrimaries() const
{
    return m_last && m_frames ? int(m_last->color_primaries) : -1;
}

int VideoStreamDecoder::colourTransfer() const
{
    return m_last && m_frames ? int(m_last->color_trc) : -1;
}

int VideoStreamDecoder::colourRange() const
{
    return m_last && m_frames ? int(m_last->color_range) : -1;
}

QList<int> VideoStreamDecoder::nalTypes(const QByteArray &annexB)
{
    QList<int> types;
    const auto *p = reinterpret_cast<const uchar *>(annexB.constData());
    const qsizetype n = annexB.size();
    for (qsizetype i = 0; i + 3 < n; ++i) {
        if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1) {
            types.append(p[i + 3] & 0x1f);
            i += 3;
        }
    }
    return types;
}

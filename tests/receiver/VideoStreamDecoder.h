#pragma once

// An H.264 decoder (libavcodec) for what the video stream carries: Annex B
// payloads, parameter sets and coded frames, fed one packet at a time.

#include <QByteArray>
#include <QList>
#include <QSize>

struct AVCodecContext;
struct AVPacket;
struct AVFrame;

class VideoStreamDecoder {
public:
    VideoStreamDecoder();
    ~VideoStreamDecoder();
    VideoStreamDecoder(const VideoStreamDecoder &) = delete;
    VideoStreamDecoder &operator=(const VideoStreamDecoder &) = delete;

    // Decodes one payload; false when the decoder rejected it.
    bool decode(const QByteArray &annexB);
    // Hands over what the decoder still holds.
    void flush();

    int frameCount() const { return m_frames; }
    int errorCount() const { return m_errors; }
    QSize lastSize() const { return m_lastSize; }
    QList<QSize> sizes() const { return m_sizes; }
    // Frames the decoder had to hold back for reordering (0 for a stream
    // without B-frames).
    int reorderDepth() const;
    // The luma and chroma values of the last frame at a point.
    int lumaAt(int x, int y) const;
    int chromaBlueAt(int x, int y) const;
    int chromaRedAt(int x, int y) const;
    // How the last frame's stream describes its colours (libavutil's values;
    // -1 before any frame).
    int colourMatrix() const;
    int colourPrimaries() const;
    int colourTransfer() const;
    int colourRange() const;

    // The NAL unit types of an Annex B byte stream, in order.
    static QList<int> nalTypes(const QByteArray &annexB);

private:
    void receiveFrames();

    AVCodecContext *m_context = nullptr;
    AVPacket *m_packet = nullptr;
    AVFrame *m_frame = nullptr;
    AVFrame *m_last = nullptr;
    int m_frames = 0;
    int m_errors = 0;
    QSize m_lastSize;
    QList<QSize> m_sizes;
    QByteArray m_pending;
};

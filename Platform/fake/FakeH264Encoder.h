#pragma once

// An encoder that codes nothing: each picture becomes one small unit that
// names its time stamp, so tests can follow frames through the pipeline.

#include <QByteArray>
#include <QtEndian>
#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <pthread.h>
#include <string>
#include <thread>

#include "Platform/H264Encoder.h"

namespace Platform::Fake {

struct FakeEncoderProbe {
    std::atomic<int> opened{0};
    std::atomic<int> closed{0};
    std::atomic<int> encoded{0};
    std::atomic<int> forcedKeyframes{0};
    std::atomic<int> reconfigured{0};
    std::atomic<int> encodeDelayMs{0}; // time each picture takes
    std::atomic<bool> failOpen{false};
    std::atomic<bool> failEncode{false};
    std::atomic<int> holdFrames{0};    // pictures kept back until flushed
    std::atomic<int> padBytes{0};      // extra bytes in every coded unit
    // The conversion stage of the two-stage form.
    std::atomic<int> converted{0};
    std::atomic<int> convertDelayMs{0};
    std::atomic<int> failConversion{-1};   // this conversion (counted from 0) fails
    // Coding of picture k waits (a few seconds at most) until picture k + 1
    // is converted, for the first this many pictures; `overlapped` counts the
    // waits that ended that way rather than by timing out.
    std::atomic<int> codeAfterNextConversion{0};
    std::atomic<int> overlapped{0};
    mutable std::mutex mutex;
    H264EncoderConfig config;          // last opened or reconfigured
    std::deque<std::thread::id> encodeThreads;
    std::string openThreadName;
    std::deque<std::string> convertThreadNames;
    std::deque<std::string> encodeThreadNames;

    H264EncoderConfig lastConfig() const
    {
        std::lock_guard lock(mutex);
        return config;
    }
};

class FakeH264Encoder final : public H264Encoder {
public:
    static QByteArray sps() { return QByteArray::fromHex("6742c01e"); }
    static QByteArray pps() { return QByteArray::fromHex("68ce3c80"); }

    // The length-prefixed unit the encoder makes for a picture.
    static QByteArray unitFor(qint64 pts, bool keyframe, int padBytes = 0)
    {
        QByteArray body = (keyframe ? QByteArray("\x65") : QByteArray("\x41")) + QByteArray::number(pts);
        body.append(QByteArray(padBytes, '\x55'));
        QByteArray out(4, '\0');
        qToBigEndian<quint32>(quint32(body.size()), out.data());
        return out + body;
    }

    explicit FakeH264Encoder(std::shared_ptr<FakeEncoderProbe> probe = std::make_shared<FakeEncoderProbe>())
        : m_probe(std::move(probe))
    {
    }
    ~FakeH264Encoder() override { close(); }

    bool open(const H264EncoderConfig &config, QString *error) override
    {
        if (m_probe->failOpen) {
            if (error)
                *error = QStringLiteral("refused by the test");
            return false;
        }
        {
            std::lock_guard lock(m_probe->mutex);
            m_probe->config = config;
            m_probe->openThreadName = threadName();
        }
        m_open = true;
        m_first = true;
        ++m_probe->opened;
        return true;
    }
    bool reconfigure(const H264EncoderConfig &config) override
    {
        if (!m_open)
            return false;
        std::lock_guard lock(m_probe->mutex);
        m_probe->config.averageBitrate = config.averageBitrate;
        m_probe->config.dataRateLimitBytes = config.dataRateLimitBytes;
        m_probe->config.dataRateLimitSeconds = config.dataRateLimitSeconds;
        ++m_probe->reconfigured;
        return true;
    }
    bool encode(const VideoFrame &frame, qint64 pts, qint64 duration, bool forceKeyframe,
                std::vector<H264EncodedFrame> &out) override
    {
        if (!m_open || !frame.isValid() || m_probe->failEncode)
            return false;
        {
            std::lock_guard lock(m_probe->mutex);
            m_probe->encodeThreads.push_back(std::this_thread::get_id());
        }
        if (const int ms = m_probe->encodeDelayMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        ++m_probe->encoded;
        if (forceKeyframe)
            ++m_probe->forcedKeyframes;
        H264EncodedFrame coded;
        coded.keyframe = forceKeyframe || m_first;
        m_first = false;
        coded.data = unitFor(pts, coded.keyframe, m_probe->padBytes);
        coded.sps = sps();
        coded.pps = pps();
        coded.pts = pts;
        coded.duration = duration;
        m_held.push_back(std::move(coded));
        while (int(m_held.size()) > m_probe->holdFrames) {
            out.push_back(std::move(m_held.front()));
            m_held.pop_front();
        }
        return true;
    }
    bool flush(std::vector<H264EncodedFrame> &out) override
    {
        while (!m_held.empty()) {
            out.push_back(std::move(m_held.front()));
            m_held.pop_front();
        }
        return m_open;
    }
    int delayedFrames() const override { return int(m_held.size()); }

    std::unique_ptr<H264Picture> makePicture() override { return std::make_unique<Picture>(); }
    bool convert(const VideoFramePtr &frame, H264Picture &picture) override
    {
        {
            std::lock_guard lock(m_probe->mutex);
            m_probe->convertThreadNames.push_back(threadName());
        }
        if (const int ms = m_probe->convertDelayMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        const int index = m_conversions++;
        if (index == m_probe->failConversion || !frame)
            return false;
        static_cast<Picture &>(picture).frame = frame;
        ++m_probe->converted;
        return true;
    }
    bool encodePicture(H264Picture &picture, qint64 pts, qint64 duration, bool forceKeyframe,
                       std::vector<H264EncodedFrame> &out) override
    {
        {
            std::lock_guard lock(m_probe->mutex);
            m_probe->encodeThreadNames.push_back(threadName());
        }
        const int index = m_coded++;
        if (index + 1 < m_probe->codeAfterNextConversion) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (m_probe->converted < index + 2 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (m_probe->converted >= index + 2)
                ++m_probe->overlapped;
        }
        const VideoFramePtr frame = std::move(static_cast<Picture &>(picture).frame);
        return frame && encode(*frame, pts, duration, forceKeyframe, out);
    }
    void close() override
    {
        if (m_open)
            ++m_probe->closed;
        m_open = false;
        m_held.clear();
    }

private:
    struct Picture final : H264Picture {
        VideoFramePtr frame;
    };
    static std::string threadName()
    {
        char name[16] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        return name;
    }

    std::shared_ptr<FakeEncoderProbe> m_probe;
    int m_conversions = 0; // touched by the conversion stage only
    int m_coded = 0;       // touched by the coding stage only
    std::deque<H264EncodedFrame> m_held;
    bool m_open = false;
    bool m_first = true;
};

} // namespace Platform::Fake

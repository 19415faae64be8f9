#pragma once

#include <QString>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "Platform/SoundSource.h"

// A capture device that plays a steady stereo tone: once started, a worker
// thread hands the handler 10 ms of PCM every 10 ms, as a sound server's
// record stream does, until stop() joins it.
class ToneSoundSource final : public Platform::SoundSource {
public:
    // What the test sees of every source made for it, also after the sender
    // dropped the source.
    struct Probe {
        std::atomic<bool> running{false};
        std::atomic<int> starts{0};
        std::atomic<int> stops{0};
        std::atomic<qint64> framesDelivered{0};
        std::mutex mutex;
        QString device;
        Platform::SoundFormat format;
    };

    ToneSoundSource(std::shared_ptr<Probe> probe, double leftHz, double rightHz);
    ~ToneSoundSource() override;

    bool start(const QString &deviceName, const Platform::SoundFormat &format, PcmHandler handler,
               FailureHandler onFailure) override;
    void stop() override;

private:
    void run(Platform::SoundFormat format, PcmHandler handler);

    std::shared_ptr<Probe> m_probe;
    double m_leftHz;
    double m_rightHz;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopRequested = false;
    std::thread m_thread;
};

#include "ToneSoundSource.h"

#include <chrono>
#include <pthread.h>

#include "AudioTestSupport.h"

ToneSoundSource::ToneSoundSource(std::shared_ptr<Probe> probe, double leftHz, double rightHz)
    : m_probe(std::move(probe)), m_leftHz(leftHz), m_rightHz(rightHz)
{
}

ToneSoundSource::~ToneSoundSource() { stop(); }

bool ToneSoundSource::start(const QString &deviceName, const Platform::SoundFormat &format, PcmHandler handler,
                            FailureHandler)
{
    stop();
    {
        std::lock_guard lock(m_probe->mutex);
        m_probe->device = deviceName;
        m_probe->format = format;
    }
    ++m_probe->starts;
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = false;
    }
    m_probe->running = true;
    m_thread = std::thread([this, format, handler = std::move(handler)] {
        // Named as the sound server's record thread is.
        pthread_setname_np(pthread_self(), "tavlin-audio");
        run(format, handler);
    });
    return true;
}

void ToneSoundSource::stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = true;
    }
    m_wake.notify_all();
    m_thread.join();
    m_probe->running = false;
    ++m_probe->stops;
}

void ToneSoundSource::run(Platform::SoundFormat format, PcmHandler handler)
{
    using namespace std::chrono;
    const int framesPerChunk = format.sampleRate / 100;
    int offset = 0;
    auto next = steady_clock::now();
    for (;;) {
        handler(AudioTest::stereoTone(framesPerChunk, m_leftHz, m_rightHz, format.sampleRate, offset));
        offset += framesPerChunk;
        m_probe->framesDelivered += framesPerChunk;
        next += milliseconds(10);
        std::unique_lock lock(m_mutex);
        if (m_wake.wait_until(lock, next, [this] { return m_stopRequested; }))
            return;
    }
}

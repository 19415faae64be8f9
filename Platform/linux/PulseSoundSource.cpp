#include <pulse/pulseaudio.h>

#include <QDebug>
#include <utility>

#include "Platform/LinuxSoundPlatform.h"
#include "PulseConnection.h"

namespace Platform::Linux {
namespace {

// A record stream on the link's connection. Its event-loop thread is the
// capture's worker thread: the sound is handed over there, with the loop
// locked, so once stop() has taken the lock and ended the stream no more
// sound arrives.
class PulseSoundSource final : public SoundSource {
public:
    explicit PulseSoundSource(std::shared_ptr<PulseLink> link) : m_link(std::move(link)) {}
    ~PulseSoundSource() override { stop(); }

    bool start(const QString &deviceName, const SoundFormat &format, PcmHandler handler,
               FailureHandler onFailure) override
    {
        stop();
        int error = 0;
        m_connection = m_link->connection(&error);
        if (!m_connection) {
            qInfo().noquote() << "sound capture: no sound server:" << pa_strerror(error);
            return false;
        }
        m_handler = std::move(handler);
        m_onFailure = std::move(onFailure);
        m_ready = false;

        const pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<uint32_t>(format.sampleRate),
                                  static_cast<uint8_t>(format.channels)};
        // Fragments of about 10 ms keep the latency of the cast low.
        const uint32_t fragment = static_cast<uint32_t>(pa_usec_to_bytes(10000, &spec));
        const pa_buffer_attr attributes{static_cast<uint32_t>(-1), static_cast<uint32_t>(-1),
                                        static_cast<uint32_t>(-1), static_cast<uint32_t>(-1), fragment};
        pa_threaded_mainloop *loop = m_connection->loop();

        pa_threaded_mainloop_lock(loop);
        m_stream = pa_stream_new(m_connection->context(), "Tavlin cast sound", &spec, nullptr);
        bool ready = false;
        if (m_stream) {
            pa_stream_set_state_callback(m_stream, onStreamState, this);
            pa_stream_set_read_callback(m_stream, onStreamRead, this);
            const QByteArray device = deviceName.toUtf8();
            if (pa_stream_connect_record(m_stream, device.constData(), &attributes, PA_STREAM_ADJUST_LATENCY) == 0) {
                pa_stream_state_t state;
                while ((state = pa_stream_get_state(m_stream)) == PA_STREAM_CREATING)
                    pa_threaded_mainloop_wait(loop);
                ready = state == PA_STREAM_READY;
            }
            m_ready = ready;
            if (!ready)
                qInfo().noquote() << "sound capture: cannot record from" << deviceName << ":"
                                  << pa_strerror(pa_context_errno(m_connection->context()));
        }
        pa_threaded_mainloop_unlock(loop);
        if (!ready) {
            stop();
            return false;
        }
        return true;
    }

    void stop() override
    {
        if (!m_connection)
            return;
        pa_threaded_mainloop *loop = m_connection->loop();
        pa_threaded_mainloop_lock(loop);
        if (m_stream) {
            pa_stream_set_read_callback(m_stream, nullptr, nullptr);
            pa_stream_set_state_callback(m_stream, nullptr, nullptr);
            pa_stream_disconnect(m_stream);
            pa_stream_unref(m_stream);
            m_stream = nullptr;
        }
        pa_threaded_mainloop_unlock(loop);
        m_connection.reset();
        m_handler = nullptr;
        m_onFailure = nullptr;
        m_ready = false;
    }

private:
    static void onStreamState(pa_stream *stream, void *userdata)
    {
        auto *self = static_cast<PulseSoundSource *>(userdata);
        const pa_stream_state_t state = pa_stream_get_state(stream);
        // A stream that was recording and ends on its own (the server went
        // away, or it failed): the owner hears it once. A stream that never
        // came up is start()'s own failure.
        if (self->m_ready && (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED)) {
            self->m_ready = false;
            self->m_handler = nullptr;
            if (FailureHandler onFailure = std::exchange(self->m_onFailure, nullptr)) {
                const int error = pa_context_errno(pa_stream_get_context(stream));
                onFailure(state == PA_STREAM_FAILED
                              ? QStringLiteral("the record stream failed: %1").arg(QString::fromUtf8(pa_strerror(error)))
                              : QStringLiteral("the record stream was ended by the sound server"));
            }
        }
        pa_threaded_mainloop_signal(self->m_connection->loop(), 0);
    }

    static void onStreamRead(pa_stream *stream, size_t, void *userdata)
    {
        auto *self = static_cast<PulseSoundSource *>(userdata);
        const void *data = nullptr;
        size_t length = 0;
        while (pa_stream_readable_size(stream) > 0) {
            if (pa_stream_peek(stream, &data, &length) < 0 || length == 0)
                return;
            // A hole in the stream carries no sound; it is skipped.
            if (data && self->m_handler)
                self->m_handler(QByteArray(static_cast<const char *>(data), static_cast<qsizetype>(length)));
            pa_stream_drop(stream);
        }
    }

    std::shared_ptr<PulseLink> m_link;
    std::shared_ptr<PulseConnection> m_connection;
    pa_stream *m_stream = nullptr;
    // Written under the loop's lock or while its thread is not running.
    PcmHandler m_handler;
    FailureHandler m_onFailure;
    bool m_ready = false;
};

} // namespace

std::unique_ptr<SoundSource> makeSoundSource(std::shared_ptr<PulseLink> link)
{
    return std::make_unique<PulseSoundSource>(std::move(link));
}

std::unique_ptr<SoundSource> makeSoundSource() { return makeSoundSource(std::make_shared<PulseLink>()); }

} // namespace Platform::Linux

#pragma once

#include <pulse/pulseaudio.h>

#include <QMutex>
#include <functional>
#include <memory>

#include "Platform/SoundDevices.h"
#include "Platform/SoundSource.h"

namespace Platform::Linux {

// A connection to the sound server with its own event-loop thread, for
// synchronous requests: open() waits until the context is ready, run() issues
// one request and waits for its end.
class PulseConnection {
public:
    PulseConnection();
    ~PulseConnection();
    PulseConnection(const PulseConnection &) = delete;
    PulseConnection &operator=(const PulseConnection &) = delete;

    bool open();
    // `request` is called with the loop locked and returns the operation
    // (null when it could not be issued). True when the operation completed.
    bool run(const std::function<pa_operation *(pa_context *)> &request);
    int error() const { return m_error; }
    // Opened, and still connected to the server.
    bool isReady() const;

    pa_threaded_mainloop *loop() const { return m_loop; }
    pa_context *context() const { return m_context; }

private:
    static void onContextState(pa_context *context, void *userdata);

    pa_threaded_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
    bool m_started = false;
    int m_error = 0;
};

// The process's way to the sound server: one connection, opened on first use
// and opened again once the server has gone away (a restart of the server,
// as the virtual device's installation does, ends every connection; a new
// one also lets the client library start a server that is not running).
// Users keep the connection they were handed for as long as they need it.
class PulseLink {
public:
    // The connection, or null with the server's error code in `error`.
    std::shared_ptr<PulseConnection> connection(int *error = nullptr);

private:
    QMutex m_mutex;
    std::shared_ptr<PulseConnection> m_connection;
};

// The sound server's devices and record streams over one link.
std::shared_ptr<SoundDevices> makeSoundDevices(std::shared_ptr<PulseLink> link);
std::unique_ptr<SoundSource> makeSoundSource(std::shared_ptr<PulseLink> link);

} // namespace Platform::Linux

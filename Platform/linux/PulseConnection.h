#pragma once

#include <pulse/pulseaudio.h>

#include <functional>

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

    pa_threaded_mainloop *loop() const { return m_loop; }
    pa_context *context() const { return m_context; }

private:
    static void onContextState(pa_context *context, void *userdata);

    pa_threaded_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
    bool m_started = false;
    int m_error = 0;
};

} // namespace Platform::Linux

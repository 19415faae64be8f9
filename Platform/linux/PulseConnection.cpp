#include "PulseConnection.h"

namespace Platform::Linux {

PulseConnection::PulseConnection()
{
    m_loop = pa_threaded_mainloop_new();
    if (!m_loop)
        return;
    // The loop's thread records the cast's sound and encodes it.
    pa_threaded_mainloop_set_name(m_loop, "tavlin-audio");
    pa_proplist *properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Tavlin");
    m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop), "Tavlin", properties);
    pa_proplist_free(properties);
    if (m_context)
        pa_context_set_state_callback(m_context, onContextState, this);
}

PulseConnection::~PulseConnection()
{
    if (m_started) {
        pa_threaded_mainloop_lock(m_loop);
        if (m_context)
            pa_context_disconnect(m_context);
        pa_threaded_mainloop_unlock(m_loop);
        pa_threaded_mainloop_stop(m_loop);
    }
    if (m_context) {
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_unref(m_context);
    }
    if (m_loop)
        pa_threaded_mainloop_free(m_loop);
}

void PulseConnection::onContextState(pa_context *, void *userdata)
{
    auto *self = static_cast<PulseConnection *>(userdata);
    pa_threaded_mainloop_signal(self->m_loop, 0);
}

bool PulseConnection::open()
{
    if (!m_loop || !m_context) {
        m_error = PA_ERR_INTERNAL;
        return false;
    }
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0) {
        m_error = pa_context_errno(m_context);
        return false;
    }
    if (pa_threaded_mainloop_start(m_loop) < 0) {
        m_error = PA_ERR_INTERNAL;
        return false;
    }
    m_started = true;
    pa_threaded_mainloop_lock(m_loop);
    pa_context_state_t state;
    while ((state = pa_context_get_state(m_context)) != PA_CONTEXT_READY && PA_CONTEXT_IS_GOOD(state))
        pa_threaded_mainloop_wait(m_loop);
    if (state != PA_CONTEXT_READY)
        m_error = pa_context_errno(m_context);
    pa_threaded_mainloop_unlock(m_loop);
    return state == PA_CONTEXT_READY;
}

bool PulseConnection::isReady() const
{
    if (!m_started)
        return false;
    pa_threaded_mainloop_lock(m_loop);
    const bool ready = pa_context_get_state(m_context) == PA_CONTEXT_READY;
    pa_threaded_mainloop_unlock(m_loop);
    return ready;
}

bool PulseConnection::run(const std::function<pa_operation *(pa_context *)> &request)
{
    if (!m_started)
        return false;
    pa_threaded_mainloop_lock(m_loop);
    pa_operation *operation = request(m_context);
    if (!operation) {
        m_error = pa_context_errno(m_context);
        pa_threaded_mainloop_unlock(m_loop);
        return false;
    }
    // A connection that dies cancels the operation and wakes us through the
    // context's state callback.
    while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING
           && PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)))
        pa_threaded_mainloop_wait(m_loop);
    const bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
    if (!done)
        m_error = pa_context_errno(m_context);
    pa_operation_unref(operation);
    pa_threaded_mainloop_unlock(m_loop);
    return done;
}

std::shared_ptr<PulseConnection> PulseLink::connection(int *error)
{
    QMutexLocker locker(&m_mutex);
    if (m_connection && m_connection->isReady())
        return m_connection;
    m_connection.reset();
    auto fresh = std::make_shared<PulseConnection>();
    if (!fresh->open()) {
        if (error)
            *error = fresh->error();
        return nullptr;
    }
    m_connection = fresh;
    return m_connection;
}

} // namespace Platform::Linux

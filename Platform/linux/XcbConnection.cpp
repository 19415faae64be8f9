#include "XcbConnection.h"

#include <QThread>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace Platform::Linux {

namespace {

// How long a server that took the connection may take to answer it: far
// beyond what a loaded machine's server needs.
constexpr auto kSetupBound = std::chrono::seconds(15);

// xcb_connect waits for the server's answer without end: a server that
// takes connections and never answers (one that hangs, or a socket left to
// something else) would hold the caller, often the GUI thread, for ever. The
// wait runs on a thread of its own; past the bound the caller goes on, and
// the thread closes whatever connection still comes.
xcb_connection_t *connectWithin(const QByteArray &name, int *screenNumber)
{
    struct Attempt {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        bool abandoned = false;
        xcb_connection_t *connection = nullptr;
        int screen = 0;
    };
    auto attempt = std::make_shared<Attempt>();
    std::thread([attempt, name] {
        int screen = 0;
        xcb_connection_t *connection = xcb_connect(name.isEmpty() ? nullptr : name.constData(), &screen);
        std::lock_guard lock(attempt->mutex);
        if (attempt->abandoned) {
            if (connection)
                xcb_disconnect(connection);
            return;
        }
        attempt->connection = connection;
        attempt->screen = screen;
        attempt->finished = true;
        attempt->done.notify_all();
    }).detach();
    std::unique_lock lock(attempt->mutex);
    if (!attempt->done.wait_for(lock, kSetupBound, [&] { return attempt->finished; })) {
        attempt->abandoned = true;
        return nullptr;
    }
    if (screenNumber)
        *screenNumber = attempt->screen;
    return attempt->connection;
}

} // namespace

xcb_connection_t *openXcbConnection(const QByteArray &name, int *screenNumber)
{
    constexpr int kAttempts = 5;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0)
            QThread::msleep(10 * attempt);
        xcb_connection_t *connection = connectWithin(name, screenNumber);
        // A server that never answered is not asked again.
        if (!connection)
            return nullptr;
        const int error = xcb_connection_has_error(connection);
        if (error == 0)
            return connection;
        xcb_disconnect(connection);
        if (error != XCB_CONN_ERROR)
            return nullptr;
    }
    return nullptr;
}

xcb_screen_t *xcbScreenOf(xcb_connection_t *connection, int number)
{
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; it.rem; xcb_screen_next(&it), ++i) {
        if (i == number)
            return it.data;
    }
    return nullptr;
}

} // namespace Platform::Linux

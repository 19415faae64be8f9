#pragma once

#include <QByteArray>
#include <QSize>
#include <sys/types.h>

// An Xvfb of the test's own, so that moving the pointer, pressing keys,
// changing the keymap or killing the server disturb no other suite sharing
// the run's display.
class PrivateXServer {
public:
    PrivateXServer() = default;
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer &) = delete;
    PrivateXServer &operator=(const PrivateXServer &) = delete;

    static bool available();

    // Starts the server with one screen of `size` and colour `depth`; false
    // when it did not come up.
    bool start(QSize size = QSize(1920, 1080), int depth = 24);
    void stop();
    // Ends the server at once, as a crash would: its clients are cut off.
    void kill();
    bool isRunning() const { return m_pid > 0; }
    // ":N", for xcb_connect and for DISPLAY.
    QByteArray displayName() const { return m_display; }

private:
    pid_t m_pid = -1;
    QByteArray m_display;
};

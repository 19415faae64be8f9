#pragma once

#include <QByteArray>
#include <QTemporaryDir>
#include <memory>
#include <sys/types.h>

// A PulseAudio server of the test's own, so that killing it, or what plays on
// it, disturbs no other suite sharing the run's server. It has one silent
// output, "Quiet", the default, whose capture side is "Quiet.monitor".
class PrivateSoundServer {
public:
    PrivateSoundServer() = default;
    ~PrivateSoundServer();
    PrivateSoundServer(const PrivateSoundServer &) = delete;
    PrivateSoundServer &operator=(const PrivateSoundServer &) = delete;

    static bool available();

    // False when the server did not come up.
    bool start();
    void stop();
    // Ends the server at once, as a crash would: its clients are cut off.
    void kill();
    bool isRunning() const { return m_pid > 0; }
    // For PULSE_SERVER: "unix:<socket>".
    QByteArray serverAddress() const { return m_address; }

private:
    pid_t m_pid = -1;
    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_address;
};

// Points the sound server of this process at another one while alive.
class SoundServerOverride {
public:
    explicit SoundServerOverride(const QByteArray &address);
    ~SoundServerOverride();
    SoundServerOverride(const SoundServerOverride &) = delete;
    SoundServerOverride &operator=(const SoundServerOverride &) = delete;

private:
    QByteArray m_previous;
    bool m_hadPrevious = false;
};

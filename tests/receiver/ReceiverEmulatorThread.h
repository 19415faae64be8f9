#pragma once

// A ReceiverEmulator on a thread of its own, so that a test's main thread can
// block or spin while the receiver keeps answering. Reach the emulator only
// through call(), which runs on its thread and waits.

#include <QHostAddress>
#include <QMetaObject>
#include <QThread>
#include <type_traits>
#include <utility>

#include "ReceiverEmulator.h"

class ReceiverEmulatorThread {
public:
    explicit ReceiverEmulatorThread(const QHostAddress &address);
    ~ReceiverEmulatorThread();
    ReceiverEmulatorThread(const ReceiverEmulatorThread &) = delete;
    ReceiverEmulatorThread &operator=(const ReceiverEmulatorThread &) = delete;

    QHostAddress address() const { return m_address; }

    // Runs f(emulator) on the emulator's thread and returns its result.
    template <class F>
    auto call(F &&f) -> std::invoke_result_t<F, ReceiverEmulator &>
    {
        using Result = std::invoke_result_t<F, ReceiverEmulator &>;
        if (QThread::currentThread() == &m_thread)
            return f(*m_emulator);
        if constexpr (std::is_void_v<Result>) {
            QMetaObject::invokeMethod(m_emulator, [&] { f(*m_emulator); }, Qt::BlockingQueuedConnection);
        } else {
            Result result{};
            QMetaObject::invokeMethod(m_emulator, [&] { result = f(*m_emulator); }, Qt::BlockingQueuedConnection);
            return result;
        }
    }

    // Starts the emulator's components; false when one failed.
    bool start();

private:
    QHostAddress m_address;
    QThread m_thread;
    ReceiverEmulator *m_emulator;
};

#pragma once

#include <functional>
#include <string>
#include <thread>

namespace Support {

// How the casting library runs a thread of its own (the serial worker is one
// too): its owner starts it with a name (as the system shows it, at most 15
// bytes) in the owner's start step, makes its body return and joins it in
// the owner's stop step or destructor. It is never detached and never shared
// through a static, so a thread never outlives the object that started it.
class NamedThread {
public:
    NamedThread() = default;
    // Joins: the owner has made the body return by then.
    ~NamedThread();
    NamedThread(const NamedThread &) = delete;
    NamedThread &operator=(const NamedThread &) = delete;

    // Runs `body` on a new thread called `name`; the thread must not be
    // running.
    void start(const std::string &name, std::function<void()> body);
    // Waits for the body to return; at once when nothing runs.
    void join();
    bool isRunning() const { return m_thread.joinable(); }
    bool isCurrent() const { return std::this_thread::get_id() == m_thread.get_id(); }

private:
    std::thread m_thread;
};

} // namespace Support

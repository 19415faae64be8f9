#include "Support/NamedThread.h"

#include <pthread.h>

namespace Support {

NamedThread::~NamedThread()
{
    join();
}

void NamedThread::start(const std::string &name, std::function<void()> body)
{
    join();
    m_thread = std::thread([name = name.substr(0, 15), body = std::move(body)] {
        pthread_setname_np(pthread_self(), name.c_str());
        body();
    });
}

void NamedThread::join()
{
    if (m_thread.joinable() && !isCurrent())
        m_thread.join();
}

} // namespace Support

#include "Main/App/QVQuitPath.h"

#include "PublicManager/QVLog.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QPointer<QVQuitPath> &currentPath()
{
    static QPointer<QVQuitPath> path;
    return path;
}

// The write end is used from the signal handler, which may only write().
int g_signalPipe[2] = {-1, -1};
QVQuitPath *g_signalOwner = nullptr;
struct sigaction g_previousTerm;
struct sigaction g_previousInt;

void onQuitSignal(int)
{
    const char byte = 1;
    if (g_signalPipe[1] >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
    }
}

} // namespace

QVQuitPath::QVQuitPath(QObject *parent)
    : QObject(parent)
    , m_exit([](int code) { QCoreApplication::exit(code); })
    , m_boundPassed([] {
        std::fputs("Quavdesk: quitting took too long; ending now\n", stderr);
        std::_Exit(0);
    })
{
    if (!currentPath())
        currentPath() = this;
}

QVQuitPath::~QVQuitPath()
{
    removeSignalHandlers();
    {
        std::lock_guard lock(m_boundMutex);
        m_ended = true;
    }
    m_boundWake.notify_all();
    if (m_bound.joinable())
        m_bound.join();
}

QVQuitPath *QVQuitPath::current()
{
    return currentPath().data();
}

void QVQuitPath::quitApplication()
{
    if (QVQuitPath *path = current())
        path->requestQuit();
    else
        QCoreApplication::exit(0);
}

bool QVQuitPath::installSignalHandlers()
{
    if (g_signalOwner)
        return g_signalOwner == this;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return false;
    g_signalOwner = this;
    m_signalNotifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(m_signalNotifier, &QSocketNotifier::activated, this, &QVQuitPath::signalReceived);

    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, &g_previousTerm);
    sigaction(SIGINT, &action, &g_previousInt);
    return true;
}

void QVQuitPath::removeSignalHandlers()
{
    if (g_signalOwner != this)
        return;
    sigaction(SIGTERM, &g_previousTerm, nullptr);
    sigaction(SIGINT, &g_previousInt, nullptr);
    delete m_signalNotifier;
    m_signalNotifier = nullptr;
    ::close(g_signalPipe[0]);
    ::close(g_signalPipe[1]);
    g_signalPipe[0] = g_signalPipe[1] = -1;
    g_signalOwner = nullptr;
}

void QVQuitPath::signalReceived()
{
    char bytes[16];
    [[maybe_unused]] const ssize_t read = ::read(g_signalPipe[0], bytes, sizeof bytes);
    QVLogInfo(0, QStringLiteral("Quavdesk asked to end by a signal"));
    requestQuit();
}

void QVQuitPath::startBound()
{
    const int boundMs = m_timings.boundMs;
    Step boundPassed = m_boundPassed;
    m_bound = std::thread([this, boundMs, boundPassed] {
        std::unique_lock lock(m_boundMutex);
        if (m_boundWake.wait_for(lock, std::chrono::milliseconds(boundMs), [this] { return m_ended; }))
            return;
        lock.unlock();
        if (boundPassed)
            boundPassed();
    });
}

void QVQuitPath::requestQuit()
{
    if (m_quitting)
        return;
    m_quitting = true;
    emit quitRequested();
    startBound();
    QVLogInfo(0, QStringLiteral("Quavdesk quits"));
    if (m_stopWork)
        m_stopWork();
    QVLog::flush();
    if (m_exit)
        m_exit(0);
}

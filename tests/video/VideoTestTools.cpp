#include "VideoTestTools.h"

#include <QThread>
#include <arpa/inet.h>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

HangingListener::HangingListener(const QHostAddress &address)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address.toIPv4Address());
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) < 0 || ::listen(m_fd, 0) < 0)
        return;
    socklen_t len = sizeof sa;
    ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&sa), &len);
    m_port = ntohs(sa.sin_port);
    // Fill the backlog with connections nobody accepts.
    for (int i = 0; i < 4; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
        ::connect(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa);
        m_fillers.append(fd);
    }
    QThread::msleep(50);
}

HangingListener::~HangingListener()
{
    for (int fd : m_fillers)
        ::close(fd);
    if (m_fd >= 0)
        ::close(m_fd);
}

namespace {
std::mutex g_logMutex;
QStringList g_lines;
QtMessageHandler g_previous = nullptr;
} // namespace

LogCapture::LogCapture()
{
    std::lock_guard lock(g_logMutex);
    g_lines.clear();
    g_previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) {
        std::lock_guard lock(g_logMutex);
        g_lines << text;
    });
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(g_previous);
}

QStringList LogCapture::lines() const
{
    std::lock_guard lock(g_logMutex);
    return g_lines;
}

int LogCapture::count(const QString &line) const
{
    std::lock_guard lock(g_logMutex);
    return int(g_lines.count(line));
}

#include "VideoTestTools.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <csignal>
#include <sys/wait.h>
#include <mutex>
#include <unistd.h>

PrivateXServer::PrivateXServer()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (program.isEmpty())
        return;
    // Parallel tests pick different numbers; a taken one makes Xvfb exit at
    // once, and the next is tried.
    const int base = 600 + int(getpid() % 300) * 3;
    for (int display = base; display < base + 30; ++display) {
        if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(display)))
            continue;
        QProcess xvfb;
        xvfb.setProgram(program);
        xvfb.setArguments({QStringLiteral(":%1").arg(display), QStringLiteral("-screen"), QStringLiteral("0"),
                           QStringLiteral("1920x1080x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                           QStringLiteral("+extension"), QStringLiteral("MIT-SHM")});
        xvfb.setStandardOutputFile(QProcess::nullDevice());
        xvfb.setStandardErrorFile(QProcess::nullDevice());
        qint64 pid = 0;
        if (!xvfb.startDetached(&pid))
            return;
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(display);
        bool up = false;
        for (int i = 0; i < 250 && !up; ++i) {
            QThread::msleep(20);
            if (::kill(pid_t(pid), 0) != 0)
                break;
            up = QFile::exists(socket);
        }
        if (!up) {
            ::kill(pid_t(pid), SIGTERM);
            ::waitpid(pid_t(pid), nullptr, WNOHANG);
            continue;
        }
        m_pid = pid;
        m_name = QByteArray(":") + QByteArray::number(display);
        return;
    }
}

PrivateXServer::~PrivateXServer()
{
    if (m_pid > 0) {
        ::kill(pid_t(m_pid), SIGTERM);
        for (int i = 0; i < 100 && ::kill(pid_t(m_pid), 0) == 0; ++i)
            QThread::msleep(10);
    }
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
        std::lock_guard guard(g_logMutex);
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

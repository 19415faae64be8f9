#include "PrivateXServer.h"

#include <QStandardPaths>
#include <QString>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

PrivateXServer::~PrivateXServer()
{
    stop();
}

bool PrivateXServer::available()
{
    return !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty();
}

bool PrivateXServer::start(QSize size, int depth)
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
        return false;
    int fds[2];
    if (pipe(fds) != 0)
        return false;

    // The server writes the display number it picked to descriptor 3.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    const QByteArray program = xvfb.toLocal8Bit();
    const QByteArray screen = QByteArray::number(size.width()) + 'x' + QByteArray::number(size.height()) + 'x'
                             + QByteArray::number(depth);
    const char *argv[] = {program.constData(), "-displayfd", "3", "-screen", "0", screen.constData(),
                          "-nolisten", "tcp", "+extension", "MIT-SHM", nullptr};
    const int rc = posix_spawn(&m_pid, program.constData(), &actions, nullptr, const_cast<char **>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        m_pid = -1;
        close(fds[0]);
        return false;
    }

    QByteArray number;
    pollfd pfd{fds[0], POLLIN, 0};
    while (!number.endsWith('\n') && poll(&pfd, 1, 10000) > 0) {
        char c;
        if (read(fds[0], &c, 1) != 1)
            break;
        number.append(c);
    }
    close(fds[0]);
    number = number.trimmed();
    if (number.isEmpty()) {
        stop();
        return false;
    }
    m_display = ':' + number;
    return true;
}

void PrivateXServer::kill()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
    m_display.clear();
}

void PrivateXServer::stop()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
    m_display.clear();
}

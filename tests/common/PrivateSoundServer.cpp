#include "PrivateSoundServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

PrivateSoundServer::~PrivateSoundServer()
{
    stop();
}

bool PrivateSoundServer::available()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty()
        && !QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty();
}

bool PrivateSoundServer::start()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
    if (program.isEmpty())
        return false;
    m_dir = std::make_unique<QTemporaryDir>();
    if (!m_dir->isValid())
        return false;
    const QString runtime = m_dir->filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    ::chmod(QFile::encodeName(runtime).constData(), 0700);
    const QString socket = m_dir->filePath(QStringLiteral("native"));
    const QString config = m_dir->filePath(QStringLiteral("server.pa"));
    {
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        // No user configuration, anonymous clients, one silent output.
        file.write("load-module module-native-protocol-unix auth-anonymous=1 socket=" + QFile::encodeName(socket)
                   + "\n"
                     "load-module module-null-sink sink_name=Quiet sink_properties=device.description=Quiet "
                     "rate=44100 channels=2\n"
                     "set-default-sink Quiet\n");
    }

    // The server's own environment: its home and runtime folder are ours.
    QByteArrayList environment;
    for (char **e = environ; *e; ++e) {
        const QByteArray entry(*e);
        if (!entry.startsWith("HOME=") && !entry.startsWith("XDG_RUNTIME_DIR=") && !entry.startsWith("PULSE_"))
            environment << entry;
    }
    environment << "HOME=" + QFile::encodeName(m_dir->path()) << "XDG_RUNTIME_DIR=" + QFile::encodeName(runtime);
    std::vector<char *> envp;
    for (QByteArray &entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    const QByteArray path = QFile::encodeName(program);
    const QByteArray configArgument = QFile::encodeName(config);
    const char *argv[] = {path.constData(), "-n", "-F", configArgument.constData(), "--daemonize=no",
                          "--system=no", "--use-pid-file=no", "--exit-idle-time=-1", "--disallow-exit",
                          "--disable-shm=yes", "--realtime=no", "--high-priority=no", "--no-cpu-limit",
                          "--log-target=stderr", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawn(&m_pid, path.constData(), &actions, nullptr, const_cast<char **>(argv), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        m_pid = -1;
        return false;
    }

    m_address = "unix:" + QFile::encodeName(socket);
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            break;
        }
        if (QFile::exists(socket)) {
            QProcess pactl;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("PULSE_SERVER"), QString::fromLocal8Bit(m_address));
            pactl.setProcessEnvironment(env);
            pactl.start(QStringLiteral("pactl"), {QStringLiteral("info")});
            if (pactl.waitForFinished(5000) && pactl.exitStatus() == QProcess::NormalExit && pactl.exitCode() == 0)
                return true;
        }
        QThread::msleep(50);
    }
    stop();
    return false;
}

void PrivateSoundServer::kill()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    m_pid = -1;
}

void PrivateSoundServer::stop()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    m_pid = -1;
    m_address.clear();
    m_dir.reset();
}

SoundServerOverride::SoundServerOverride(const QByteArray &address)
{
    m_hadPrevious = qEnvironmentVariableIsSet("PULSE_SERVER");
    m_previous = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", address);
}

SoundServerOverride::~SoundServerOverride()
{
    if (m_hadPrevious)
        qputenv("PULSE_SERVER", m_previous);
    else
        qunsetenv("PULSE_SERVER");
}

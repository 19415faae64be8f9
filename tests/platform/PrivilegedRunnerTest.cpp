// The administrator runner over a stand-in for pkexec (a shell script that
// runs what pkexec would, or plays a dismissed or hanging password dialog):
// the event loop keeps running while it waits, and a quit meanwhile ends the
// stand-in and every later command.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

#include "PkexecPrivilegedRunner.h"
#include "TestSupport.h"

namespace {

class PrivilegedRunnerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // A stand-in for pkexec with `body` after it noted its process id.
    QString standIn(const QByteArray &body)
    {
        const QString path = dir.filePath(QStringLiteral("pkexec"));
        QFile script(path);
        EXPECT_TRUE(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
        script.write("#!/bin/sh\necho $$ > '" + pidFile().toUtf8() + "'\n" + body + "\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    QString pidFile() const { return dir.filePath(QStringLiteral("pid")); }
    qint64 standInPid() const
    {
        QFile file(pidFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
    }

    // The application's loops are told to end, as the quit path does; the
    // process runs on, so the flag that tells later loops to return at once
    // is reset by one more turn of the application's own loop.
    static void resetAfterQuit()
    {
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(PrivilegedRunnerTest, RunsTheCommandWhileTheEventLoopRuns)
{
    Platform::Linux::PkexecPrivilegedRunner runner(standIn("exec \"$@\""));
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&ticks] { ++ticks; });
    tick.start(20);
    const Platform::PrivilegedResult result = runner.runShellCommand(QStringLiteral("sleep 0.3; echo done; exit 3"));
    EXPECT_TRUE(result.granted);
    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_EQ(result.output, QByteArray("done\n"));
    // The timer went on while the command ran.
    EXPECT_GE(ticks, 3);

    // A dismissed dialog, and one that could not authorise: not granted.
    for (const QByteArray status : {"126", "127"}) {
        Platform::Linux::PkexecPrivilegedRunner refused(standIn("exit " + status));
        const Platform::PrivilegedResult answer = refused.runShellCommand(QStringLiteral("true"));
        EXPECT_FALSE(answer.granted) << status.constData();
        EXPECT_EQ(answer.exitStatus, -1);
    }
    Platform::Linux::PkexecPrivilegedRunner missing(dir.filePath(QStringLiteral("no-such-program")));
    EXPECT_FALSE(missing.runShellCommand(QStringLiteral("true")).granted);
}

TEST_F(PrivilegedRunnerTest, AQuitWhileThePasswordIsAskedEndsPkexecAndWhatFollows)
{
    Platform::Linux::PkexecPrivilegedRunner runner(standIn("exec sleep 30"));
    QTimer::singleShot(100, [] { QCoreApplication::exit(0); });
    QElapsedTimer clock;
    clock.start();
    const Platform::PrivilegedResult result = runner.runShellCommand(QStringLiteral("true"));
    EXPECT_FALSE(result.granted);
    EXPECT_LT(clock.elapsed(), 10000);
    const qint64 pid = standInPid();
    ASSERT_GT(pid, 0);
    // The stand-in is gone (and reaped).
    EXPECT_TRUE(TestSupport::waitFor([pid] { return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH; }, 5000));

    // The program is ending: nothing more is started.
    QFile::remove(pidFile());
    resetAfterQuit();
    EXPECT_FALSE(runner.runShellCommand(QStringLiteral("true")).granted);
    TestSupport::spin(100);
    EXPECT_FALSE(QFile::exists(pidFile()));
}

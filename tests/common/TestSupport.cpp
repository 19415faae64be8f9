#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <atomic>
#include <unistd.h>

namespace TestSupport {

bool runningInCI()
{
    return qEnvironmentVariable("CI").compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0;
}

bool requireFacility(const char *facility, bool available)
{
    if (available)
        return true;
    if (runningInCI()) {
        ADD_FAILURE() << "required facility missing under CI: " << facility;
        return false;
    }
    // Records a skip for the running test; the caller returns at once.
    ::testing::internal::AssertHelper(::testing::TestPartResult::kSkip, __FILE__, __LINE__,
                                      facility) = ::testing::Message();
    return false;
}

QHostAddress uniqueLoopbackAddress()
{
    static std::atomic<quint32> counter{0};
    // 127.x.y.z with x from the process id and y.z from a counter; avoid
    // 127.0.0.1, which the machine's own services may use.
    const quint32 pidPart = (static_cast<quint32>(getpid()) % 250) + 2;
    const quint32 n = counter.fetch_add(1) + 2;
    const quint32 addr = (127u << 24) | (pidPart << 16) | ((n / 250) % 250 << 8) | (n % 250 + 2);
    return QHostAddress(addr);
}

int timeScale()
{
    static const int scale = [] {
        const int value = qEnvironmentVariableIntValue("QUAVDESK_TEST_TIME_SCALE");
        return value > 1 ? value : 1;
    }();
    return scale;
}

int scaled(int ms)
{
    return ms * timeScale();
}

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QDeadlineTimer deadline(qint64(timeoutMs) * timeScale());
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void spin(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

bool waitUntilSteady(const std::function<qint64()> &count, int quietMs, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    qint64 last = count();
    QDeadlineTimer quiet(quietMs);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
        const qint64 now = count();
        if (now != last) {
            last = now;
            quiet.setRemainingTime(quietMs);
        } else if (quiet.hasExpired()) {
            return true;
        }
    }
    return false;
}

void runPostedEvents()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

QString python3()
{
    return QStandardPaths::findExecutable(QStringLiteral("python3"));
}

::testing::AssertionResult ip(const QString &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("ip"), arguments.split(QLatin1Char(' ')));
    if (!process.waitForFinished(10000))
        return ::testing::AssertionFailure() << "ip " << arguments.toStdString() << " did not end";
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return ::testing::AssertionFailure() << "ip " << arguments.toStdString() << ": " << process.readAll().constData();
    return ::testing::AssertionSuccess();
}

} // namespace TestSupport

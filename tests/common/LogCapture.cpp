#include "LogCapture.h"

#include <mutex>

namespace TestSupport {

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

int LogCapture::countContaining(const QString &text) const
{
    std::lock_guard lock(g_logMutex);
    return int(g_lines.filter(text).size());
}

} // namespace TestSupport

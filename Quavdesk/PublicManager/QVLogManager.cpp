#include "QVLogManager.h"
#include "QVLog.h"
#include "QVLogFile.h"

#include "Categories/RVDate.h"

#include <QStandardPaths>

#include <spdlog/async.h>
#include <spdlog/async_logger.h>
#include <spdlog/sinks/base_sink.h>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/spdlog.h>

#include <condition_variable>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

namespace {

spdlog::level::level_enum levelForFlag(int flag)
{
    switch (flag) {
    case QVLog::FlagError:
        return spdlog::level::err;
    case QVLog::FlagWarning:
        return spdlog::level::warn;
    case QVLog::FlagInfo:
        return spdlog::level::info;
    case QVLog::FlagDebug:
        return spdlog::level::debug;
    default:
        return spdlog::level::trace;
    }
}

int flagForLevel(spdlog::level::level_enum level)
{
    switch (level) {
    case spdlog::level::err:
        return QVLog::FlagError;
    case spdlog::level::warn:
        return QVLog::FlagWarning;
    case spdlog::level::info:
        return QVLog::FlagInfo;
    case spdlog::level::debug:
        return QVLog::FlagDebug;
    default:
        return QVLog::FlagVerbose;
    }
}

// Writes each message with the program's own line format into the rolling
// log file; spdlog's pattern is not used here.
class FileSink final : public spdlog::sinks::base_sink<std::mutex>
{
public:
    explicit FileSink(const QVLogOptions &options)
        : m_file(options.folder, options.rollingFrequency, options.maximumFileSize, options.maximumNumberOfLogFiles)
        , m_clock(options.clock)
    {
    }

protected:
    void sink_it_(const spdlog::details::log_msg &msg) override
    {
        QVLogMessage message;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(msg.time.time_since_epoch()).count();
        message.timestamp = QDateTime::fromMSecsSinceEpoch(ms);
        message.flag = flagForLevel(msg.level);
        message.message = QString::fromUtf8(msg.payload.data(), static_cast<qsizetype>(msg.payload.size()));
        m_file.write(m_format.formatLogMessage(message), m_clock ? m_clock() : QDateTime::currentDateTime());
        // Every line reaches the disk at once, so a crash loses nothing.
        m_file.flush();
    }

    // Only explicit flushes come here; each one counts, so that a waiter
    // knows when the worker has handled everything queued before its flush.
    void flush_() override
    {
        m_file.flush();
        {
            std::lock_guard lock(m_flushMutex);
            ++m_flushes;
        }
        m_flushed.notify_all();
    }

public:
    quint64 flushCount()
    {
        std::lock_guard lock(m_flushMutex);
        return m_flushes;
    }

    void waitForFlushCount(quint64 target)
    {
        std::unique_lock lock(m_flushMutex);
        m_flushed.wait(lock, [&] { return m_flushes >= target; });
    }

private:
    std::mutex m_flushMutex;
    std::condition_variable m_flushed;
    quint64 m_flushes = 0;
    QVLogFile m_file;
    QVCustomerLogFormat m_format;
    std::function<QDateTime()> m_clock;
};

struct LogState {
    std::mutex mutex;
    QVLogOptions options;
    std::vector<spdlog::sink_ptr> sinks;
    std::shared_ptr<FileSink> fileSink;
    std::shared_ptr<spdlog::details::thread_pool> pool;
    std::map<int, std::shared_ptr<spdlog::logger>> loggers;
    std::shared_ptr<spdlog::logger> consoleOnly;
    bool configured = false;
};

LogState &state()
{
    static LogState instance;
    return instance;
}

std::string loggerName(int context)
{
    if (context == QVLog::ContextDefault)
        return "Quavdesk";
    if (context == QVLog::ContextHttp)
        return "http";
    return "context-" + std::to_string(context);
}

// Caller holds the state's mutex.
std::shared_ptr<spdlog::logger> loggerFor(LogState &s, int context)
{
    if (!s.configured) {
        if (!s.consoleOnly) {
            s.consoleOnly = std::make_shared<spdlog::logger>(
                "Quavdesk", std::make_shared<spdlog::sinks::stdout_color_sink_mt>());
            s.consoleOnly->set_level(spdlog::level::trace);
        }
        return s.consoleOnly;
    }
    auto found = s.loggers.find(context);
    if (found != s.loggers.end())
        return found->second;
    std::shared_ptr<spdlog::logger> logger;
    if (s.pool)
        logger = std::make_shared<spdlog::async_logger>(loggerName(context), s.sinks.begin(), s.sinks.end(), s.pool,
                                                        spdlog::async_overflow_policy::block);
    else
        logger = std::make_shared<spdlog::logger>(loggerName(context), s.sinks.begin(), s.sinks.end());
    logger->set_level(spdlog::level::trace);
    s.loggers.emplace(context, logger);
    return logger;
}

void flushLocked(LogState &s)
{
    if (!s.fileSink)
        return;
    // Each logger's flush travels through the same queue as its lines (one
    // worker, first in first out), so once the file sink has seen them all,
    // every earlier line is on disk.
    const quint64 target = s.fileSink->flushCount() + s.loggers.size();
    for (auto &[context, logger] : s.loggers)
        logger->flush();
    s.fileSink->waitForFlushCount(target);
}

void shutdownLocked(LogState &s)
{
    flushLocked(s);
    s.loggers.clear();
    s.sinks.clear();
    s.fileSink.reset();
    // Dropping the pool joins its worker after it has drained the queue.
    s.pool.reset();
    s.configured = false;
}

} // namespace

QString QVCustomerLogFormat::levelWord(int flag)
{
    switch (flag) {
    case QVLog::FlagError:
        return QStringLiteral("ERROR");
    case QVLog::FlagWarning:
        return QStringLiteral("WARN");
    case QVLog::FlagInfo:
        return QStringLiteral("INFO");
    case QVLog::FlagDebug:
        return QStringLiteral("DEBUG");
    default:
        return QStringLiteral("VIEW");
    }
}

QString QVCustomerLogFormat::formatLogMessage(const QVLogMessage &logMessage) const
{
    const QString timestamp = rv_stringWithFormat(logMessage.timestamp, QString::fromLatin1(TimestampFormat));
    return QStringLiteral("%1 | %2 | %3").arg(timestamp, levelWord(logMessage.flag), logMessage.message);
}

QString QVLogManager::defaultLogFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/Logs");
}

void QVLogManager::creatLogFile()
{
    creatLogFile(QVLogOptions{});
}

void QVLogManager::creatLogFile(const QVLogOptions &options)
{
    LogState &s = state();
    std::lock_guard lock(s.mutex);
    if (s.configured)
        shutdownLocked(s);
    s.options = options;
    if (s.options.folder.isEmpty())
        s.options.folder = defaultLogFolder();
    if (s.options.console)
        s.sinks.push_back(std::make_shared<spdlog::sinks::stdout_color_sink_mt>());
    s.fileSink = std::make_shared<FileSink>(s.options);
    s.sinks.push_back(s.fileSink);
    if (s.options.asynchronous)
        s.pool = std::make_shared<spdlog::details::thread_pool>(8192, 1);
    s.configured = true;

    // At exit the queue is drained and the worker joined while the console
    // sink's statics, made just now, still exist: a handler registered after
    // a static was made runs before that static is destroyed.
    static const bool closesAtExit = [] {
        std::atexit([] { QVLog::shutdown(); });
        return true;
    }();
    (void)closesAtExit;
}

namespace QVLog {

void write(int flag, int context, const QString &message, const char *file, const char *function, int line)
{
    LogState &s = state();
    std::shared_ptr<spdlog::logger> logger;
    std::function<QDateTime()> clock;
    {
        std::lock_guard lock(s.mutex);
        logger = loggerFor(s, context);
        if (s.configured)
            clock = s.options.clock;
    }
    const QByteArray text = message.toUtf8();
    const auto ms = clock ? clock().toMSecsSinceEpoch() : QDateTime::currentMSecsSinceEpoch();
    const spdlog::log_clock::time_point when{std::chrono::milliseconds(ms)};
    logger->log(when, spdlog::source_loc{file, line, function}, levelForFlag(flag),
                spdlog::string_view_t(text.constData(), static_cast<size_t>(text.size())));
}

void flush()
{
    LogState &s = state();
    std::lock_guard lock(s.mutex);
    flushLocked(s);
}

void shutdown()
{
    LogState &s = state();
    std::lock_guard lock(s.mutex);
    if (s.configured)
        shutdownLocked(s);
}

} // namespace QVLog

#pragma once

#include <QString>

// The program's log calls. Every page and manager logs its events at the info
// level with context 0; the HTTP layer logs answers at the debug level and its
// internal errors at the error level with context 2048. Lines go to the
// console and, once QVLogManager::creatLogFile() has run, to the log file.
// Safe from any thread; before the set-up only the console gets the lines.
namespace QVLog {

// Level flags of a message. The file writes any flag outside the first four
// with the word "VIEW".
enum Flag : int {
    FlagError = 1,
    FlagWarning = 2,
    FlagInfo = 4,
    FlagDebug = 8,
    FlagVerbose = 16,
};

inline constexpr int ContextDefault = 0;
inline constexpr int ContextHttp = 2048;

void write(int flag, int context, const QString &message, const char *file, const char *function, int line);

// Waits until every line logged so far has reached its sinks.
void flush();

// Flushes and closes the log; later calls reach the console only. The quit
// path calls it last.
void shutdown();

} // namespace QVLog

#define QVLogError(context, message) \
    ::QVLog::write(::QVLog::FlagError, (context), (message), __FILE__, __func__, __LINE__)
#define QVLogWarn(context, message) \
    ::QVLog::write(::QVLog::FlagWarning, (context), (message), __FILE__, __func__, __LINE__)
#define QVLogInfo(context, message) \
    ::QVLog::write(::QVLog::FlagInfo, (context), (message), __FILE__, __func__, __LINE__)
#define QVLogDebug(context, message) \
    ::QVLog::write(::QVLog::FlagDebug, (context), (message), __FILE__, __func__, __LINE__)
#define QVLogVerbose(context, message) \
    ::QVLog::write(::QVLog::FlagVerbose, (context), (message), __FILE__, __func__, __LINE__)

#pragma once

#include <QString>

// The one road by which the HTTP code writes to the program's log.
// Answers are logged at the debug level and the web service's internal error
// at the error level, both under the HTTP context.
namespace QVHttpLog {

inline constexpr int kHttpContext = 2048;


enum class Level { Debug, Error };

void write(Level level, int context, const QString &message);

} // namespace QVHttpLog

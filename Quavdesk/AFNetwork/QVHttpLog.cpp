#include "QVHttpLog.h"

#include <QLoggingCategory>

namespace {
Q_LOGGING_CATEGORY(lcHttp, "quavdesk.http")
}

namespace QVHttpLog {

void write(Level level, int context, const QString &message)
{
    Q_UNUSED(context)
    switch (level) {
    case Level::Debug:
        qCDebug(lcHttp).noquote() << message;
        break;
    case Level::Error:
        qCCritical(lcHttp).noquote() << message;
        break;
    }
}

} // namespace QVHttpLog

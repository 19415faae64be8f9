#include "QVHttpLog.h"

#include "PublicManager/QVLog.h"

namespace QVHttpLog {

void write(Level level, int context, const QString &message)
{
    QVLog::write(level == Level::Debug ? QVLog::FlagDebug : QVLog::FlagError, context, message, __FILE__, __func__,
                 __LINE__);
}

} // namespace QVHttpLog

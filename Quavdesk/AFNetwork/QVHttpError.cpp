#include "QVHttpError.h"

namespace QVHttpError {

TavlinError urlError(qint64 code, const QString &description)
{
    return TavlinError(kURLErrorDomain, code, description);
}

TavlinError requestError(qint64 code, const QString &description)
{
    return TavlinError(kRequestDomain, code, description);
}

bool isTimeout(const TavlinError &error)
{
    return error.domain == kURLErrorDomain && error.code == TimedOut;
}

bool isCancel(const TavlinError &error)
{
    return error.domain == kURLErrorDomain && error.code == Cancelled;
}

} // namespace QVHttpError

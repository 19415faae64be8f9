#include "Socket/SocketErrors.h"

#include <cerrno>
#include <system_error>

namespace SocketErrors {

TavlinError posixError(int errnoValue)
{
    return TavlinError(kPosixErrorDomain, errnoValue,
                       QString::fromStdString(std::generic_category().message(errnoValue)));
}

bool isConnectionReset(const TavlinError &error)
{
    return error.domain == kPosixErrorDomain && error.code == ECONNRESET;
}

bool isNotConnected(const TavlinError &error)
{
    return error.domain == kPosixErrorDomain && (error.code == ENOTCONN || error.code == EPIPE);
}

} // namespace SocketErrors

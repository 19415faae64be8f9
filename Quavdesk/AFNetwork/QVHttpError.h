#pragma once

#include <QString>

#include "TavlinError.h"

// Failures of the program's HTTP requests, in the program's one error type.
//
// Transport failures carry the URL-loading domain and its codes, because the
// pages act on their meaning: a time-out shows the network panel, a cancel is
// ignored, a lost network marks the transfer as such. Failures that the
// request base decides itself (an answer it refuses, a request it cannot
// send) carry the codes below.
namespace QVHttpError {

inline const QString kURLErrorDomain = QStringLiteral("NSURLErrorDomain");
inline const QString kRequestDomain = QStringLiteral("QVHttpBaseRequest");

enum URLErrorCode : qint64 {
    Unknown = -1,
    Cancelled = -999,
    BadURL = -1000,
    TimedOut = -1001,
    CannotFindHost = -1003,
    CannotConnectToHost = -1004,
    NetworkConnectionLost = -1005,
    NotConnectedToInternet = -1009,
    BadServerResponse = -1011,
    CannotDecodeContentData = -1016,
    CannotParseResponse = -1017,
    DataLengthExceedsMaximum = -1103,
};

// In the request domain, a web-service code that its request handled (and
// logged) instead of passing it on carries that code.
enum RequestErrorCode : qint64 {
    // The web service's own "internal error" answer.
    InternalError = 1001,
    // The road does not send this method.
    UnsupportedMethod = 2,
};

TavlinError urlError(qint64 code, const QString &description = {});
TavlinError requestError(qint64 code, const QString &description = {});

bool isTimeout(const TavlinError &error);
bool isCancel(const TavlinError &error);

} // namespace QVHttpError

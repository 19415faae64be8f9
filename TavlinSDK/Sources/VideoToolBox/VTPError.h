#pragma once

#include <QString>

#include "TavlinError.h"

// Status codes of the compression session, with the video toolbox's values.
namespace VTPStatus {
constexpr int kNoErr = 0;
constexpr int kPropertyNotSupportedErr = -12900;
constexpr int kPropertyReadOnlyErr = -12901;
constexpr int kParameterErr = -12902;
constexpr int kInvalidSessionErr = -12903;
constexpr int kCouldNotFindVideoEncoderErr = -12908;
constexpr int kVideoEncoderMalfunctionErr = -12912;
} // namespace VTPStatus

inline const QString kVideoToolboxPlusErrorDomain = QStringLiteral("VideoToolboxPlusError");

// The error for a compression-session status: domain "VideoToolboxPlusError",
// the status as its code.
TavlinError videoToolboxErrorWithStatus(int status);

// The error as a log line shows it.
QString describeVideoToolboxError(const TavlinError &error);

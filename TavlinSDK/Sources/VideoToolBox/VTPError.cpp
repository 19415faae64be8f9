#include "VideoToolBox/VTPError.h"

#include <QCoreApplication>

TavlinError videoToolboxErrorWithStatus(int status)
{
    const QString description = status == VTPStatus::kPropertyNotSupportedErr
        ? QCoreApplication::translate("Localizable", "Property Not Supported")
        : QCoreApplication::translate("Localizable", "Video Toolbox Error: %d")
              .replace(QLatin1String("%d"), QString::number(status));
    return TavlinError(kVideoToolboxPlusErrorDomain, status, description);
}

QString describeVideoToolboxError(const TavlinError &error)
{
    return QStringLiteral("Error Domain=%1 Code=%2 \"%3\"").arg(error.domain).arg(error.code).arg(error.description);
}

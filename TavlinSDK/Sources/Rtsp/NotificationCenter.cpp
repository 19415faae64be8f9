#include "Rtsp/NotificationCenter.h"

NotificationCenter *NotificationCenter::defaultCenter()
{
    static NotificationCenter *center = new NotificationCenter;
    return center;
}

void NotificationCenter::postNotification(const QString &name, const QVariant &object)
{
    emit notificationPosted(name, object);
}

void NotificationCenter::postEncoderSizeRequest(const QString &name, const EncoderSizeRequest &request)
{
    emit encoderSizeRequested(name, request);
    emit notificationPosted(name, QVariant::fromValue(request));
}

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

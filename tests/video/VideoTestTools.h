#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariant>

#include "LogCapture.h"
#include "PrivateXServer.h"

// Stands for the library's notification centre: posts named notifications
// with an object, as the control session posts the encoder-size requests.
class NotificationPoster : public QObject {
    Q_OBJECT
public:
    void post(const QString &name, const QVariant &object) { emit notificationPosted(name, object); }

signals:
    void notificationPosted(const QString &name, const QVariant &object);
};

using TestSupport::LogCapture;

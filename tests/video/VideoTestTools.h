#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <memory>

#include "LogCapture.h"
#include "PrivateXServer.h"
#include "TestSupport.h"
#include "VideoReceiver.h"

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

// The two capture roads, by the CPU brand that chooses them.
enum class Road { Apple, Intel };

inline const char *roadName(Road road)
{
    return road == Road::Apple ? "capture-session road" : "display-stream road";
}

// A started video receiver on a loopback address of its own (none, with
// `error` set, when none could start). The video port is fixed: should
// another test process hold it on one address, the next address is taken.
inline std::unique_ptr<VideoReceiver> startVideoReceiver(QHostAddress *address, QString *error)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        *address = TestSupport::uniqueLoopbackAddress();
        auto receiver = std::make_unique<VideoReceiver>(*address);
        if (receiver->start(error))
            return receiver;
    }
    return nullptr;
}

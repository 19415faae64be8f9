#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include "Mirror/EncoderSizeRequest.h"

// The library's in-process notifications: a poster names the notification and
// hands an object; observers connect to notificationPosted and pick the names
// they care about. Lives on the main thread.
class NotificationCenter : public QObject {
    Q_OBJECT
public:
    static NotificationCenter *defaultCenter();

    void postNotification(const QString &name, const QVariant &object);
    // Posts the receiver's encoder-size request under the road's name: on
    // its own signal, and as any notification with the request as object.
    void postEncoderSizeRequest(const QString &name, const EncoderSizeRequest &request);

signals:
    void notificationPosted(const QString &name, const QVariant &object);
    void encoderSizeRequested(const QString &name, const EncoderSizeRequest &request);

private:
    NotificationCenter() = default;
};

// The names of the receiver's encoder-size request, one for each capture
// road; the cast's video sender follows the one of its road.
namespace EncoderAttributeNotification {
inline const QString kAppleSiliconName = QStringLiteral("changeEncoderAttributeRelatedForM1");
inline const QString kIntelName = QStringLiteral("changeEncoderAttributeRelated");
} // namespace EncoderAttributeNotification

// The receiver asked to show or hide the on-screen keyboard (remote input).
// Posted without an object.
namespace KeyboardViewerNotification {
inline const QString kName = QStringLiteral("toggleKeyboardViewer");
} // namespace KeyboardViewerNotification

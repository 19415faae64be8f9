#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

// The library's in-process notifications: a poster names the notification and
// hands an object; observers connect to notificationPosted and pick the names
// they care about. Lives on the main thread.
class NotificationCenter : public QObject {
    Q_OBJECT
public:
    static NotificationCenter *defaultCenter();

    void postNotification(const QString &name, const QVariant &object);

signals:
    void notificationPosted(const QString &name, const QVariant &object);

private:
    NotificationCenter() = default;
};

// The receiver's request for a new encoder size, relayed to the video sender
// of the active capture road. The object is a QVariantMap of three decimal
// strings under the key constants below.
namespace EncoderAttributeNotification {
inline const QString kAppleSiliconName = QStringLiteral("changeEncoderAttributeRelatedForM1");
inline const QString kIntelName = QStringLiteral("changeEncoderAttributeRelated");
inline const QString kWidthKey = QStringLiteral("encoder_width");
inline const QString kHeightKey = QStringLiteral("encoder_height");
inline const QString kFpsKey = QStringLiteral("encoder_fps");
} // namespace EncoderAttributeNotification

// The receiver asked to show or hide the on-screen keyboard (remote input).
// Posted without an object.
namespace KeyboardViewerNotification {
inline const QString kName = QStringLiteral("toggleKeyboardViewer");
} // namespace KeyboardViewerNotification

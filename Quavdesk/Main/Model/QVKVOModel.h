#pragma once

#include <QList>
#include <QObject>
#include <QTimer>
#include <QVariant>

#include "DeviceInformation.h"

// The session state that pages of every window watch. Each member has a
// signal that its setter emits with the new value on the writing thread,
// every time, also when the value does not change (a second wrong casting
// code must show its tip again). Setting `disconnectDeviceType` also brings
// the cast-related members back to their defaults one second later, silently.
class QVKVOModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool fileDoesNotExist READ fileDoesNotExist WRITE setFileDoesNotExist NOTIFY fileDoesNotExistChanged)
    Q_PROPERTY(bool uploadSuccess_deleteFail READ uploadSuccess_deleteFail WRITE setUploadSuccess_deleteFail
                   NOTIFY uploadSuccess_deleteFailChanged)
    Q_PROPERTY(bool downLoadFileDoesNotExist READ downLoadFileDoesNotExist WRITE setDownLoadFileDoesNotExist
                   NOTIFY downLoadFileDoesNotExistChanged)
    Q_PROPERTY(bool localFileDoesNotExist READ localFileDoesNotExist WRITE setLocalFileDoesNotExist
                   NOTIFY localFileDoesNotExistChanged)
    Q_PROPERTY(QList<DeviceInformation> deviceList READ deviceList WRITE setDeviceList NOTIFY deviceListChanged)
    Q_PROPERTY(qint64 replyCastStatus READ replyCastStatus WRITE setReplyCastStatus NOTIFY replyCastStatusChanged)
    Q_PROPERTY(qint64 allowFullScreenStatus READ allowFullScreenStatus WRITE setAllowFullScreenStatus
                   NOTIFY allowFullScreenStatusChanged)
    Q_PROPERTY(qint64 fullScreenStatus READ fullScreenStatus WRITE setFullScreenStatus NOTIFY fullScreenStatusChanged)
    Q_PROPERTY(qint64 fullScreenStatusStyle READ fullScreenStatusStyle WRITE setFullScreenStatusStyle
                   NOTIFY fullScreenStatusStyleChanged)
    Q_PROPERTY(qint64 castScreenStatus READ castScreenStatus WRITE setCastScreenStatus NOTIFY castScreenStatusChanged)
    Q_PROPERTY(qint64 disconnectDeviceType READ disconnectDeviceType WRITE setDisconnectDeviceType
                   NOTIFY disconnectDeviceTypeChanged)
    Q_PROPERTY(qint64 networkStatus READ networkStatus WRITE setNetworkStatus NOTIFY networkStatusChanged)
    Q_PROPERTY(qint64 connectDeviceStatus READ connectDeviceStatus WRITE setConnectDeviceStatus
                   NOTIFY connectDeviceStatusChanged)
    Q_PROPERTY(QVariant versionInfoModel READ versionInfoModel WRITE setVersionInfoModel NOTIFY versionInfoModelChanged)

public:
    // Production delay of the reset after a disconnect.
    static constexpr int DefaultResetDelayMs = 1000;

    explicit QVKVOModel(QObject *parent = nullptr);
    QVKVOModel(int resetDelayMs, QObject *parent);

    // Writes the defaults of the cast-related members directly: nobody is told.
    void setDefaultValue();

    // Runs a reset that is still waiting at once. A new session calls it as it
    // comes up, so that the reset of the last one can no longer overwrite what
    // the new one reports.
    void applyPendingReset();
    bool isResetPending() const;

    bool fileDoesNotExist() const { return m_fileDoesNotExist; }
    void setFileDoesNotExist(bool value);
    bool uploadSuccess_deleteFail() const { return m_uploadSuccess_deleteFail; }
    void setUploadSuccess_deleteFail(bool value);
    bool downLoadFileDoesNotExist() const { return m_downLoadFileDoesNotExist; }
    void setDownLoadFileDoesNotExist(bool value);
    bool localFileDoesNotExist() const { return m_localFileDoesNotExist; }
    void setLocalFileDoesNotExist(bool value);

    // The receivers found, as the casting library last reported them.
    QList<DeviceInformation> deviceList() const { return m_deviceList; }
    void setDeviceList(const QList<DeviceInformation> &value);

    // 1 accepted, 0 refused, 2 timed out.
    qint64 replyCastStatus() const { return m_replyCastStatus; }
    void setReplyCastStatus(qint64 value);
    qint64 allowFullScreenStatus() const { return m_allowFullScreenStatus; }
    void setAllowFullScreenStatus(qint64 value);
    // Full screen as this program last asked for it and the library accepted.
    qint64 fullScreenStatus() const { return m_fullScreenStatus; }
    void setFullScreenStatus(qint64 value);
    // Full screen as the receiver reports it.
    qint64 fullScreenStatusStyle() const { return m_fullScreenStatusStyle; }
    void setFullScreenStatusStyle(qint64 value);
    // 0 casting, 1 not casting.
    qint64 castScreenStatus() const { return m_castScreenStatus; }
    void setCastScreenStatus(qint64 value);
    // The reason of the last disconnect (0 user, 1 network, 2 heartbeat,
    // 3 screen locked); 4 means none.
    qint64 disconnectDeviceType() const { return m_disconnectDeviceType; }
    void setDisconnectDeviceType(qint64 value);
    // 0 reachable, 1 unreachable, 2 no report yet.
    qint64 networkStatus() const { return m_networkStatus; }
    void setNetworkStatus(qint64 value);
    // The last connect failure shown: 3 wrong casting code, 4 failed.
    qint64 connectDeviceStatus() const { return m_connectDeviceStatus; }
    void setConnectDeviceStatus(qint64 value);
    // The update offer of the last version check; null while there is none.
    QVariant versionInfoModel() const { return m_versionInfoModel; }
    void setVersionInfoModel(const QVariant &value);

signals:
    void fileDoesNotExistChanged(bool value);
    void uploadSuccess_deleteFailChanged(bool value);
    void downLoadFileDoesNotExistChanged(bool value);
    void localFileDoesNotExistChanged(bool value);
    void deviceListChanged(const QList<DeviceInformation> &value);
    void replyCastStatusChanged(qint64 value);
    void allowFullScreenStatusChanged(qint64 value);
    void fullScreenStatusChanged(qint64 value);
    void fullScreenStatusStyleChanged(qint64 value);
    void castScreenStatusChanged(qint64 value);
    void disconnectDeviceTypeChanged(qint64 value);
    void networkStatusChanged(qint64 value);
    void connectDeviceStatusChanged(qint64 value);
    void versionInfoModelChanged(const QVariant &value);

private:
    void scheduleReset();

    bool m_fileDoesNotExist = false;
    bool m_uploadSuccess_deleteFail = false;
    bool m_downLoadFileDoesNotExist = false;
    bool m_localFileDoesNotExist = false;
    QList<DeviceInformation> m_deviceList;
    qint64 m_replyCastStatus = 1;
    qint64 m_allowFullScreenStatus = 1;
    qint64 m_fullScreenStatus = 0;
    qint64 m_fullScreenStatusStyle = 0;
    qint64 m_castScreenStatus = 1;
    qint64 m_disconnectDeviceType = 4;
    qint64 m_networkStatus = 2;
    qint64 m_connectDeviceStatus = 0;
    QVariant m_versionInfoModel;

    QTimer m_resetTimer;
};

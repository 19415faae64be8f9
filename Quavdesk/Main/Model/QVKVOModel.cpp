#include "QVKVOModel.h"

#include <QThread>

QVKVOModel::QVKVOModel(QObject *parent) : QVKVOModel(DefaultResetDelayMs, parent) {}

QVKVOModel::QVKVOModel(int resetDelayMs, QObject *parent) : QObject(parent), m_resetTimer(this)
{
    // One timer, restarted by each disconnect: a second disconnect within the
    // delay moves the reset instead of adding another that could land in the
    // middle of a newer session.
    m_resetTimer.setSingleShot(true);
    m_resetTimer.setInterval(resetDelayMs);
    connect(&m_resetTimer, &QTimer::timeout, this, &QVKVOModel::setDefaultValue);
    setDefaultValue();
}

void QVKVOModel::setDefaultValue()
{
    m_replyCastStatus = 1;
    m_allowFullScreenStatus = 1;
    m_fullScreenStatus = 0;
    m_castScreenStatus = 1;
    m_disconnectDeviceType = 4;
    m_networkStatus = 2;
}

void QVKVOModel::applyPendingReset()
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, &QVKVOModel::applyPendingReset, Qt::QueuedConnection);
        return;
    }
    if (!m_resetTimer.isActive())
        return;
    m_resetTimer.stop();
    setDefaultValue();
}

bool QVKVOModel::isResetPending() const
{
    return m_resetTimer.isActive();
}

void QVKVOModel::scheduleReset()
{
    // The timer belongs to the model's thread.
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, [this] { m_resetTimer.start(); }, Qt::QueuedConnection);
        return;
    }
    m_resetTimer.start();
}

void QVKVOModel::setFileDoesNotExist(bool value)
{
    m_fileDoesNotExist = value;
    emit fileDoesNotExistChanged(value);
}

void QVKVOModel::setUploadSuccess_deleteFail(bool value)
{
    m_uploadSuccess_deleteFail = value;
    emit uploadSuccess_deleteFailChanged(value);
}

void QVKVOModel::setDownLoadFileDoesNotExist(bool value)
{
    m_downLoadFileDoesNotExist = value;
    emit downLoadFileDoesNotExistChanged(value);
}

void QVKVOModel::setLocalFileDoesNotExist(bool value)
{
    m_localFileDoesNotExist = value;
    emit localFileDoesNotExistChanged(value);
}

void QVKVOModel::setDeviceList(const QList<DeviceInformation> &value)
{
    m_deviceList = value;
    emit deviceListChanged(value);
}

void QVKVOModel::setReplyCastStatus(qint64 value)
{
    m_replyCastStatus = value;
    emit replyCastStatusChanged(value);
}

void QVKVOModel::setAllowFullScreenStatus(qint64 value)
{
    m_allowFullScreenStatus = value;
    emit allowFullScreenStatusChanged(value);
}

void QVKVOModel::setFullScreenStatus(qint64 value)
{
    m_fullScreenStatus = value;
    emit fullScreenStatusChanged(value);
}

void QVKVOModel::setFullScreenStatusStyle(qint64 value)
{
    m_fullScreenStatusStyle = value;
    emit fullScreenStatusStyleChanged(value);
}

void QVKVOModel::setCastScreenStatus(qint64 value)
{
    m_castScreenStatus = value;
    emit castScreenStatusChanged(value);
}

void QVKVOModel::setDisconnectDeviceType(qint64 value)
{
    m_disconnectDeviceType = value;
    emit disconnectDeviceTypeChanged(value);
    scheduleReset();
}

void QVKVOModel::setNetworkStatus(qint64 value)
{
    m_networkStatus = value;
    emit networkStatusChanged(value);
}

void QVKVOModel::setConnectDeviceStatus(qint64 value)
{
    m_connectDeviceStatus = value;
    emit connectDeviceStatusChanged(value);
}

void QVKVOModel::setVersionInfoModel(const QVariant &value)
{
    m_versionInfoModel = value;
    emit versionInfoModelChanged(value);
}

#pragma once

#include <QDataStream>
#include <QJsonObject>
#include <QString>

// A remembered connection to one receiver: the casting code sent to it, or
// the file-share code it accepted. Stored as a key-value object whose keys
// are the member names; members without a value are left out.
class QVStorageModel
{
public:
    QString deviceName() const { return m_deviceName; }
    void setDeviceName(const QString &value) { m_deviceName = value; }
    QString deviceIP() const { return m_deviceIP; }
    void setDeviceIP(const QString &value) { m_deviceIP = value; }
    QString screenCastingCode() const { return m_screenCastingCode; }
    void setScreenCastingCode(const QString &value) { m_screenCastingCode = value; }
    QString transferFileCode() const { return m_transferFileCode; }
    void setTransferFileCode(const QString &value) { m_transferFileCode = value; }

    QJsonObject keyValues() const;
    // Texts are taken as they are and numbers as their decimal text; members
    // of any other type stay empty.
    static QVStorageModel objectWithKeyValues(const QJsonObject &keyValues);

    bool operator==(const QVStorageModel &other) const = default;

private:
    QString m_deviceName;
    QString m_deviceIP;
    QString m_screenCastingCode;
    QString m_transferFileCode;
};

// Keyed archiving: every member under its name.
QDataStream &operator<<(QDataStream &stream, const QVStorageModel &model);
QDataStream &operator>>(QDataStream &stream, QVStorageModel &model);

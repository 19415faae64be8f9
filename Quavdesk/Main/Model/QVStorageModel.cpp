#include "QVStorageModel.h"

#include <QJsonValue>
#include <QVariantMap>

#include "QVModelText.h"

using QVModelText::textOf;

namespace {

const QString DeviceNameKey = QStringLiteral("deviceName");
const QString DeviceIPKey = QStringLiteral("deviceIP");
const QString ScreenCastingCodeKey = QStringLiteral("screenCastingCode");
const QString TransferFileCodeKey = QStringLiteral("transferFileCode");

void putIfSet(QJsonObject &object, const QString &key, const QString &value)
{
    if (!value.isNull())
        object.insert(key, value);
}

} // namespace

QJsonObject QVStorageModel::keyValues() const
{
    QJsonObject object;
    putIfSet(object, DeviceNameKey, m_deviceName);
    putIfSet(object, DeviceIPKey, m_deviceIP);
    putIfSet(object, ScreenCastingCodeKey, m_screenCastingCode);
    putIfSet(object, TransferFileCodeKey, m_transferFileCode);
    return object;
}

QVStorageModel QVStorageModel::objectWithKeyValues(const QJsonObject &keyValues)
{
    QVStorageModel model;
    model.m_deviceName = textOf(keyValues.value(DeviceNameKey));
    model.m_deviceIP = textOf(keyValues.value(DeviceIPKey));
    model.m_screenCastingCode = textOf(keyValues.value(ScreenCastingCodeKey));
    model.m_transferFileCode = textOf(keyValues.value(TransferFileCodeKey));
    return model;
}

QDataStream &operator<<(QDataStream &stream, const QVStorageModel &model)
{
    const QVariantMap coded{
        {DeviceNameKey, model.deviceName()},
        {DeviceIPKey, model.deviceIP()},
        {ScreenCastingCodeKey, model.screenCastingCode()},
        {TransferFileCodeKey, model.transferFileCode()},
    };
    return stream << coded;
}

QDataStream &operator>>(QDataStream &stream, QVStorageModel &model)
{
    QVariantMap coded;
    stream >> coded;
    model = QVStorageModel();
    model.setDeviceName(coded.value(DeviceNameKey).toString());
    model.setDeviceIP(coded.value(DeviceIPKey).toString());
    model.setScreenCastingCode(coded.value(ScreenCastingCodeKey).toString());
    model.setTransferFileCode(coded.value(TransferFileCodeKey).toString());
    return stream;
}

#include "AudioSwitcher/AudioSwitcher.h"

#include <cstdio>
#include <cstring>

namespace {

bool deviceHasName(const Platform::SoundDevice &device, const char *name)
{
    return isStrEqual(device.description, name) || isStrEqual(device.name, name);
}

bool listOutputs(Platform::SoundDevices &devices, QList<Platform::SoundDevice> *outputs)
{
    const int status = devices.listOutputDevices(outputs);
    if (status != 0) {
        std::printf("Error in AudioObjectGetPropertyData: %d\n", status);
        std::fflush(stdout);
        return false;
    }
    return true;
}

} // namespace

bool isStrEqual(const QString &deviceName, const char *wanted)
{
    if (!wanted)
        return false;
    const QByteArray bytes = deviceName.toUtf8();
    return std::strcmp(bytes.constData(), wanted) == 0;
}

bool output_device_did_exist(Platform::SoundDevices &devices, const char *name)
{
    return get_output_device_id_from_name(devices, name) != 0;
}

quint32 get_output_device_id_from_name(Platform::SoundDevices &devices, const char *name)
{
    QList<Platform::SoundDevice> outputs;
    listOutputs(devices, &outputs);
    for (const Platform::SoundDevice &device : std::as_const(outputs)) {
        if (deviceHasName(device, name))
            return device.id;
    }
    return 0;
}

bool set_output_device_id(Platform::SoundDevices &devices, quint32 deviceId)
{
    bool switched = false;
    if (deviceId != 0) {
        switched = devices.setDefaultOutputDevice(deviceId);
        if (switched)
            std::printf("\n cheers, set output device id success!!!\n");
    }
    std::printf("set_output_device_id-------%d , property_size = %d \n", static_cast<int>(deviceId), 4);
    std::fflush(stdout);
    return switched;
}

quint32 currentOutputDeviceID(Platform::SoundDevices &devices)
{
    const quint32 current = devices.defaultOutputDevice();
    if (current == 0)
        return 0;
    std::printf("current output device get property no error\n");
    std::fflush(stdout);

    QList<Platform::SoundDevice> outputs;
    listOutputs(devices, &outputs);
    bool currentIsVirtual = false;
    for (const Platform::SoundDevice &device : std::as_const(outputs)) {
        if (device.id == current && deviceHasName(device, kSonvaleDeviceName))
            currentIsVirtual = true;
    }
    if (!currentIsVirtual)
        return current;
    for (const Platform::SoundDevice &device : std::as_const(outputs)) {
        if (!deviceHasName(device, kSonvaleDeviceName))
            return device.id;
    }
    return 0;
}

bool set_output_device_by_name(Platform::SoundDevices &devices, const char *name)
{
    return set_output_device_id(devices, get_output_device_id_from_name(devices, name));
}

#pragma once

#include <QString>

#include "Platform/SoundDevices.h"

// Finding sound outputs by name, reading the current output and switching it.
// Devices are named by a 32-bit id; 0 means none. A device's name is its
// description or its server name, compared byte for byte (case-sensitive,
// whole string).

// The virtual device that carries a cast's sound.
inline constexpr const char *kSonvaleDeviceName = "Sonvale";
// The older virtual device that can still be tested for.
inline constexpr const char *kTavlinAudioDeviceName = "TavlinAudio";

bool isStrEqual(const QString &deviceName, const char *wanted);

bool output_device_did_exist(Platform::SoundDevices &devices, const char *name);

// The first output of that name in the server's order; 0 when none.
quint32 get_output_device_id_from_name(Platform::SoundDevices &devices, const char *name);

// Makes the device the default output. Never switches to "none" (0).
bool set_output_device_id(Platform::SoundDevices &devices, quint32 deviceId);

// The output to return to after a cast: the current default output, except
// that the virtual device is never the answer (after a cast that ended
// without restoring it, the first other output stands in); 0 when none.
quint32 currentOutputDeviceID(Platform::SoundDevices &devices);

bool set_output_device_by_name(Platform::SoundDevices &devices, const char *name);

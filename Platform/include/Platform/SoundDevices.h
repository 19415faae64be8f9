#pragma once

#include <QList>
#include <QString>

#include "PlatformExport.h"

namespace Platform {

// One device of the sound server as the library sees it.
struct SoundDevice {
    // Stable for the life of the process and never 0: 0 stands for "none".
    quint32 id = 0;
    // The server's own name of the device (what a record stream opens).
    QString name;
    // The human-readable name.
    QString description;
    // The device's unique identifier: its "device.unique_id" property when
    // it carries one, else its name.
    QString uniqueId;

    bool operator==(const SoundDevice &other) const = default;
};

// The sound server's outputs and capture devices, and its default output.
// Every call is synchronous and may block briefly; callers on the main thread
// accept that, as they did with the system's own audio objects.
class PLATFORM_EXPORT SoundDevices {
public:
    virtual ~SoundDevices() = default;

    // Fill `devices` in the server's order; the result is 0 on success or
    // the server's error code.
    virtual int listOutputDevices(QList<SoundDevice> *devices) = 0;
    virtual int listCaptureDevices(QList<SoundDevice> *devices) = 0;
    // The default output's id; 0 when it cannot be read or none is set.
    virtual quint32 defaultOutputDevice() = 0;
    // Makes the output with that id the default and moves the streams that
    // played on the previous default to it. False for an unknown id.
    virtual bool setDefaultOutputDevice(quint32 id) = 0;
};

} // namespace Platform

#pragma once

// Test doubles of the sound, administrator-shell and zip interfaces. Each
// records what it was asked and answers what the test sets.

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QRecursiveMutex>
#include <QMutexLocker>
#include <QStringList>
#include <atomic>
#include <functional>
#include <utility>

#include "Platform/PrivilegedRunner.h"
#include "Platform/SoundDevices.h"
#include "Platform/SoundSource.h"
#include "Platform/ZipExtractor.h"

namespace Platform::Fake {

class FakeSoundDevices final : public SoundDevices {
public:
    int listOutputDevices(QList<SoundDevice> *devices) override
    {
        QMutexLocker locker(&mutex);
        ++outputListCount;
        if (devices)
            *devices = listStatus == 0 ? outputs : QList<SoundDevice>{};
        return listStatus;
    }
    int listCaptureDevices(QList<SoundDevice> *devices) override
    {
        QMutexLocker locker(&mutex);
        ++captureListCount;
        if (onCaptureList)
            onCaptureList(captureListCount);
        if (devices)
            *devices = listStatus == 0 ? captures : QList<SoundDevice>{};
        return listStatus;
    }
    quint32 defaultOutputDevice() override
    {
        QMutexLocker locker(&mutex);
        return defaultOutput;
    }
    bool setDefaultOutputDevice(quint32 id) override
    {
        QMutexLocker locker(&mutex);
        switches.append(id);
        for (const SoundDevice &device : std::as_const(outputs)) {
            if (device.id == id) {
                defaultOutput = id;
                return true;
            }
        }
        return false;
    }

    // Adds an output or a capture device; ids count from 1 across both.
    SoundDevice addOutput(const QString &name, const QString &description = {})
    {
        QMutexLocker locker(&mutex);
        SoundDevice device{++lastId, name, description.isEmpty() ? name : description, name};
        outputs.append(device);
        return device;
    }
    SoundDevice addCapture(const QString &name, const QString &uniqueId)
    {
        QMutexLocker locker(&mutex);
        SoundDevice device{++lastId, name, name, uniqueId};
        captures.append(device);
        return device;
    }

    QRecursiveMutex mutex;
    QList<SoundDevice> outputs;
    QList<SoundDevice> captures;
    quint32 defaultOutput = 0;
    int listStatus = 0;
    quint32 lastId = 0;
    QList<quint32> switches;
    int outputListCount = 0;
    int captureListCount = 0;
    // Called with the number of the capture listing, before it answers.
    std::function<void(int)> onCaptureList;
};

// Plays what the test pushes: push() hands PCM to the handler on the
// caller's thread, as the real source does on its worker thread.
class FakeSoundSource final : public SoundSource {
public:
    bool start(const QString &deviceName, const SoundFormat &format, PcmHandler handler,
               FailureHandler onFailure) override
    {
        QMutexLocker locker(&mutex);
        startedDevice = deviceName;
        startedFormat = format;
        ++startCount;
        if (!accept)
            return false;
        m_handler = std::move(handler);
        m_onFailure = std::move(onFailure);
        running = true;
        return true;
    }
    void stop() override
    {
        QMutexLocker locker(&mutex);
        m_handler = nullptr;
        m_onFailure = nullptr;
        running = false;
        ++stopCount;
    }
    // Ends the stream as a sound server that went away does: the failure
    // handler hears `reason` on the calling thread; no sound follows.
    void fail(const QString &reason)
    {
        FailureHandler onFailure;
        {
            QMutexLocker locker(&mutex);
            m_handler = nullptr;
            onFailure = std::exchange(m_onFailure, nullptr);
        }
        if (onFailure)
            onFailure(reason);
    }
    // False when the source is not running (nothing delivered).
    bool push(const QByteArray &pcm)
    {
        QMutexLocker locker(&mutex);
        if (!m_handler)
            return false;
        m_handler(pcm);
        return true;
    }

    QMutex mutex;
    bool accept = true;
    std::atomic<bool> running{false};
    QString startedDevice;
    SoundFormat startedFormat;
    int startCount = 0;
    int stopCount = 0;

private:
    PcmHandler m_handler;
    FailureHandler m_onFailure;
};

class FakePrivilegedRunner final : public PrivilegedRunner {
public:
    PrivilegedResult runShellCommand(const QString &command) override
    {
        commands.append(command);
        if (handler)
            return handler(command);
        return result;
    }

    PrivilegedResult result{true, 0, {}};
    std::function<PrivilegedResult(const QString &)> handler;
    QStringList commands;
};

class FakeZipExtractor final : public ZipExtractor {
public:
    bool extract(const QByteArray &archive, const QString &destinationFolder) override
    {
        archives.append(archive);
        destinations.append(destinationFolder);
        if (handler)
            return handler(archive, destinationFolder);
        return succeed;
    }

    bool succeed = true;
    std::function<bool(const QByteArray &, const QString &)> handler;
    QList<QByteArray> archives;
    QStringList destinations;
};

} // namespace Platform::Fake

#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "Device/Device.h"
#include "Mirror/FdkAACEncoder.h"
#include "Mirror/MediaThread.h"
#include "Platform/PlatformServices.h"
#include "Platform/SoundDevices.h"
#include "Platform/SoundSource.h"
#include "Socket/AsyncUdpSocket.h"

// What the audio sender needs from the system.
struct AudioSessionServices {
    std::shared_ptr<Platform::SoundDevices> devices;
    std::function<std::unique_ptr<Platform::SoundSource>()> makeSoundSource;
    // The library's millisecond tick count that stamps each packet.
    std::function<quint32()> tickCount;
    FdkAACEncoder::Parameters encoderParameters;

    static AudioSessionServices fromPlatform(const Platform::PlatformServices &platform);
};

// The audio sender of a cast. It records the virtual device's loop-back
// capture device, encodes the sound to AAC-ELD and sends every frame in one
// RTP packet over UDP to the receiver's data port.
//
// Lives on the main thread, which only starts and stops it. Capture, encoding
// and packing run on the sound source's worker thread; each datagram then
// hops to the cast's media thread (held by the cast's owner, running while
// this sender lives), where the socket lives and sends it. The sound never
// waits for the main thread.
class AudioSession : public QObject, public FdkAACEncoderDelegate {
    Q_OBJECT
public:
    // The unique ID of the capture device that carries the cast's sound.
    static constexpr const char *kRecordingDeviceUniqueId = "Echovane:0";

    AudioSession(DevicePtr device, qint64 dataPort, AudioSessionServices services, MediaThread &media,
                 QObject *parent = nullptr);
    ~AudioSession() override;

    // Starts capturing and sending; does nothing without the capture device,
    // with a data port outside 1..65535, or when the encoder cannot be set up.
    void start();
    // Stops capture (joining its thread), then the encoder, and closes the
    // socket on the media thread: no datagram leaves after it, not even one
    // packed before it and still on its way to that thread. Sound that ends on its own (the
    // sound server went away) is logged once and the cast goes on without.
    void stop();

    void setPauseResumeMark(bool pause) { setPauseCast(pause); }
    bool pauseCast() const { return m_pauseCast.load(); }
    void setPauseCast(bool pause) { m_pauseCast.store(pause); }

    // The capture device whose unique ID is "Echovane:0", first in the
    // server's order; none when there is none.
    std::optional<Platform::SoundDevice> getRecordingAudioDevice();

    // The sequence number of the next packet.
    quint16 seqno() const { return m_seqno.load(); }
    qint64 dataPort() const { return m_dataPort; }
    DevicePtr device() const { return m_device; }
    bool isCapturing() const { return m_source != nullptr; }
    // False from the moment stop() lets go of the sends still waiting.
    bool isSending() const { return m_sending.load(); }
    // The encoder of the running capture (for its stream configuration).
    const FdkAACEncoder *encoder() const { return m_fdkEncoder.get(); }

    // Debugging aids: append PCM to a fixed file in the temporary folder, and
    // remove that file.
    static QString dumpPCMPath();
    void dumpPCM(const QByteArray &pcm);
    void removePCM();

    // Called on the capture thread for each encoded frame.
    void gotAACEncodedData(const QByteArray &data) override;

    static quint32 tickCount();

private:
    // The sound source ended on its own (on the main thread).
    void soundEnded(const QString &reason);
    void RTPPackAndSend(const QByteArray &frame);
    void sendDatagram(const QByteArray &datagram);

    std::atomic<bool> m_pauseCast{false};
    std::atomic<quint16> m_seqno{0};
    // Set before the socket goes: datagrams already on their way are let go.
    std::atomic<bool> m_sending{true};
    DevicePtr m_device;
    qint64 m_dataPort = 0;
    MediaThread &m_media;
    AsyncUdpSocket *m_audioSocket = nullptr; // on the media thread
    std::unique_ptr<Platform::SoundSource> m_source;
    std::unique_ptr<FdkAACEncoder> m_fdkEncoder;
    AudioSessionServices m_services;
    bool m_stopped = false;
};

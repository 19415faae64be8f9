#pragma once

#include <QStringList>
#include <memory>

#include "Rtsp/MirrorSenders.h"

// Senders that only record what the control session asks of them. All fakes
// made by one FakeSenders share its log, so the order across kinds is seen.
class FakeSenders {
public:
    struct Shared {
        QStringList log;
        MirrorMonitorCallback videoCallback;
        bool videoAlive = false;
        bool audioAlive = false;
        bool remoteAlive = false;
        bool videoPaused = false;
        bool audioPaused = false;
        QList<quint16> audioPorts;
        QStringList videoRoads;
    };

    class Video final : public MirrorVideoSender {
    public:
        Video(std::shared_ptr<Shared> shared, QString road) : m_shared(std::move(shared)), m_road(std::move(road))
        {
            m_shared->videoAlive = true;
            m_shared->videoRoads.append(m_road);
            m_shared->log.append(m_road + ".init");
        }
        ~Video() override
        {
            m_shared->videoAlive = false;
            m_shared->videoCallback = nullptr;
            m_shared->log.append(QStringLiteral("video.destroyed"));
        }
        void startMrror() override { m_shared->log.append(QStringLiteral("video.startMrror")); }
        void stopMirror() override { m_shared->log.append(QStringLiteral("video.stopMirror")); }
        void setMonitorCallback(MirrorMonitorCallback callback) override
        {
            m_shared->log.append(QStringLiteral("video.setMonitorCallback"));
            m_shared->videoCallback = std::move(callback);
        }
        void setPauseResumeMark(bool pause) override
        {
            m_shared->log.append(QStringLiteral("video.setPauseResumeMark(%1)").arg(pause));
            m_shared->videoPaused = pause;
        }
        bool pauseCast() const override { return m_shared->videoPaused; }
        void setPauseCast(bool pause) override
        {
            m_shared->log.append(QStringLiteral("video.setPauseCast(%1)").arg(pause));
            m_shared->videoPaused = pause;
        }

    private:
        std::shared_ptr<Shared> m_shared;
        QString m_road;
    };

    class Audio final : public MirrorAudioSender {
    public:
        Audio(std::shared_ptr<Shared> shared, quint16 port) : m_shared(std::move(shared))
        {
            m_shared->audioAlive = true;
            m_shared->audioPorts.append(port);
            m_shared->log.append(QStringLiteral("audio.init(%1)").arg(port));
        }
        ~Audio() override
        {
            m_shared->audioAlive = false;
            m_shared->log.append(QStringLiteral("audio.destroyed"));
        }
        void start() override { m_shared->log.append(QStringLiteral("audio.start")); }
        void stop() override { m_shared->log.append(QStringLiteral("audio.stop")); }
        bool pauseCast() const override { return m_shared->audioPaused; }
        void setPauseCast(bool pause) override
        {
            m_shared->log.append(QStringLiteral("audio.setPauseCast(%1)").arg(pause));
            m_shared->audioPaused = pause;
        }

    private:
        std::shared_ptr<Shared> m_shared;
    };

    class Remote final : public MirrorRemoteInput {
    public:
        explicit Remote(std::shared_ptr<Shared> shared) : m_shared(std::move(shared))
        {
            m_shared->remoteAlive = true;
            m_shared->log.append(QStringLiteral("remote.init"));
        }
        ~Remote() override
        {
            m_shared->remoteAlive = false;
            m_shared->log.append(QStringLiteral("remote.destroyed"));
        }
        void startController() override { m_shared->log.append(QStringLiteral("remote.startController")); }
        void stopController() override { m_shared->log.append(QStringLiteral("remote.stopController")); }

    private:
        std::shared_ptr<Shared> m_shared;
    };

    MirrorSenderFactory factory() const
    {
        MirrorSenderFactory factory;
        auto shared = m_shared;
        factory.makeVideoSession = [shared](const DevicePtr &) {
            return std::make_unique<Video>(shared, QStringLiteral("VideoSession"));
        };
        factory.makeVideoDisplaySession = [shared](const DevicePtr &) {
            return std::make_unique<Video>(shared, QStringLiteral("VideoDisplaySession"));
        };
        factory.makeAudioSession = [shared](const DevicePtr &, quint16 port) {
            return std::make_unique<Audio>(shared, port);
        };
        factory.makeRemoteController = [shared](const DevicePtr &) { return std::make_unique<Remote>(shared); };
        return factory;
    }

    Shared &shared() { return *m_shared; }
    const QStringList &log() const { return m_shared->log; }
    bool logged(const QString &entry) const { return m_shared->log.contains(entry); }
    void clearLog() { m_shared->log.clear(); }
    // The video sender reports a status through the callback it was given.
    void videoReports(qint32 status) const
    {
        if (m_shared->videoCallback)
            m_shared->videoCallback(status);
    }

private:
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
};

#pragma once

#include <QStringList>
#include <memory>

#include "Rtsp/MirrorSenders.h"

// Media and remote input that only record what the control session asks of
// them. All fakes made by one FakeSenders share its log, so the order across
// kinds is seen.
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
        QList<EncoderSizeRequest> encoderSizes;
    };

    class Media final : public MirrorMedia {
    public:
        Media(std::shared_ptr<Shared> shared, QString road) : m_shared(std::move(shared))
        {
            m_shared->videoAlive = true;
            m_shared->videoRoads.append(road);
            m_shared->log.append(road + ".init");
        }
        ~Media() override
        {
            m_shared->videoAlive = false;
            m_shared->audioAlive = false;
            m_shared->videoCallback = nullptr;
            m_shared->log.append(QStringLiteral("media.destroyed"));
        }
        void setMonitorCallback(MirrorMonitorCallback callback) override
        {
            m_shared->log.append(QStringLiteral("video.setMonitorCallback"));
            m_shared->videoCallback = std::move(callback);
        }
        void startVideo() override { m_shared->log.append(QStringLiteral("video.startMrror")); }
        void startSound(quint16 dataPort) override
        {
            m_shared->audioAlive = true;
            m_shared->audioPorts.append(dataPort);
            m_shared->log.append(QStringLiteral("audio.init(%1)").arg(dataPort));
            // The sound starts paused when the picture is.
            if (m_shared->videoPaused) {
                m_shared->audioPaused = true;
                m_shared->log.append(QStringLiteral("audio.setPauseCast(1)"));
            }
            m_shared->log.append(QStringLiteral("audio.start"));
        }
        void stop() override
        {
            if (m_stopped)
                return;
            m_stopped = true;
            if (m_shared->audioAlive)
                m_shared->log.append(QStringLiteral("audio.stop"));
            m_shared->log.append(QStringLiteral("video.stopMirror"));
        }
        void setPaused(bool paused) override
        {
            m_shared->log.append(QStringLiteral("video.setPauseResumeMark(%1)").arg(paused));
            m_shared->videoPaused = paused;
            if (m_shared->audioAlive) {
                m_shared->log.append(QStringLiteral("audio.setPauseCast(%1)").arg(paused));
                m_shared->audioPaused = paused;
            }
        }
        bool isPaused() const override { return m_shared->videoPaused; }
        void changeEncoderSize(const EncoderSizeRequest &request) override
        {
            m_shared->encoderSizes.append(request);
            m_shared->log.append(
                QStringLiteral("video.changeEncoderSize(%1x%2@%3)").arg(request.width).arg(request.height).arg(request.fps));
        }

    private:
        std::shared_ptr<Shared> m_shared;
        bool m_stopped = false;
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
        factory.makeMedia = [shared](const DevicePtr &, bool captureSessionRoad) {
            return std::make_unique<Media>(shared, captureSessionRoad ? QStringLiteral("VideoSession")
                                                                      : QStringLiteral("VideoDisplaySession"));
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

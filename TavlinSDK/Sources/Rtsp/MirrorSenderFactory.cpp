#include "Rtsp/MirrorSenderFactory.h"

#include <QVariant>

#include "Mirror/VideoDisplaySession.h"
#include "Mirror/VideoSession.h"
#include "Rtsp/NotificationCenter.h"

MirrorVideoSenderAdapter::MirrorVideoSenderAdapter(std::unique_ptr<VideoSenderBase> sender)
    : m_sender(std::move(sender))
{
}

MirrorVideoSenderAdapter::~MirrorVideoSenderAdapter() = default;

void MirrorVideoSenderAdapter::startMrror() { m_sender->startMrror(); }

void MirrorVideoSenderAdapter::stopMirror() { m_sender->stopMirror(); }

void MirrorVideoSenderAdapter::setMonitorCallback(MirrorMonitorCallback callback)
{
    m_sender->setMonitorCallback(std::move(callback));
}

void MirrorVideoSenderAdapter::setPauseResumeMark(bool pause) { m_sender->setPauseResumeMark(pause); }

bool MirrorVideoSenderAdapter::pauseCast() const { return m_sender->pauseCast(); }

void MirrorVideoSenderAdapter::setPauseCast(bool pause) { m_sender->setPauseCast(pause); }

namespace {

VideoSenderServices listeningToTheCentre(VideoSenderServices services)
{
    if (!services.notificationCenter)
        services.notificationCenter = NotificationCenter::defaultCenter();
    return services;
}

std::unique_ptr<MirrorVideoSender> adapted(std::unique_ptr<VideoSenderBase> sender)
{
    return std::make_unique<MirrorVideoSenderAdapter>(std::move(sender));
}

std::unique_ptr<MirrorRemoteInput> postingKeyboardViewer(std::unique_ptr<RemoteController> controller)
{
    QObject::connect(controller.get(), &RemoteController::toggleKeyboardViewer, controller.get(), [] {
        NotificationCenter::defaultCenter()->postNotification(KeyboardViewerNotification::kName, QVariant());
    });
    return controller;
}

} // namespace

MirrorSenderFactory makeMirrorSenderFactory(MirrorSenderServices services)
{
    const VideoSenderServices video = listeningToTheCentre(std::move(services.video));
    const AudioSessionServices audio = std::move(services.audio);
    const RemoteControllerServices remoteInput = std::move(services.remoteInput);

    MirrorSenderFactory factory;
    factory.makeVideoSession = [video](const DevicePtr &device) {
        return adapted(std::make_unique<VideoSession>(device, video));
    };
    factory.makeVideoDisplaySession = [video](const DevicePtr &device) {
        return adapted(std::make_unique<VideoDisplaySession>(device, video));
    };
    factory.makeAudioSession = [audio](const DevicePtr &device, quint16 dataPort) -> std::unique_ptr<MirrorAudioSender> {
        return std::make_unique<AudioSession>(device, dataPort, audio);
    };
    factory.makeRemoteController = [remoteInput](const DevicePtr &device) {
        return postingKeyboardViewer(std::make_unique<RemoteController>(device, remoteInput));
    };
    return factory;
}

MirrorSenderFactory MirrorSenderFactory::fromPlatform(const Platform::PlatformServices &platform)
{
    // Each cast opens its own capture and encoder when its sender is made;
    // the sound server and the input connection are the process's.
    MirrorSenderServices services;
    services.video = VideoSenderServices::fromPlatform(platform);
    services.audio = AudioSessionServices::fromPlatform(platform);
    services.remoteInput = RemoteControllerServices::fromPlatform(platform);
    return makeMirrorSenderFactory(std::move(services));
}

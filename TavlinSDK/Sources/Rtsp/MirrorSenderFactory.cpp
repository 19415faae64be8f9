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

MirrorSenderFactory MirrorSenderFactory::linuxDefaults()
{
    // Each sender opens its own connections to the display and the sound
    // server when it is made, as its plain constructor does; nothing is
    // opened for a kind of sender the cast never makes.
    MirrorSenderFactory factory;
    factory.makeVideoSession = [](const DevicePtr &device) {
        return adapted(
            std::make_unique<VideoSession>(device, listeningToTheCentre(VideoSenderServices::linuxDefaults())));
    };
    factory.makeVideoDisplaySession = [](const DevicePtr &device) {
        return adapted(std::make_unique<VideoDisplaySession>(
            device, listeningToTheCentre(VideoSenderServices::linuxDefaults())));
    };
    factory.makeAudioSession = [](const DevicePtr &device, quint16 dataPort) -> std::unique_ptr<MirrorAudioSender> {
        return std::make_unique<AudioSession>(device, dataPort);
    };
    factory.makeRemoteController = [](const DevicePtr &device) {
        return postingKeyboardViewer(std::make_unique<RemoteController>(device));
    };
    return factory;
}

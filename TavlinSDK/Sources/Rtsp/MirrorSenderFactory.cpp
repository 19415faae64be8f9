#include "Rtsp/MirrorSenderFactory.h"

#include <QVariant>

#include "Rtsp/NotificationCenter.h"

namespace {

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
    const CastPipelineServices media{std::move(services.video), std::move(services.audio)};
    const RemoteControllerServices remoteInput = std::move(services.remoteInput);

    MirrorSenderFactory factory;
    factory.makeMedia = [media](const DevicePtr &device, bool captureSessionRoad) -> std::unique_ptr<MirrorMedia> {
        return std::make_unique<CastPipeline>(device, captureSessionRoad, media);
    };
    factory.makeRemoteController = [remoteInput](const DevicePtr &device) {
        return postingKeyboardViewer(std::make_unique<RemoteController>(device, remoteInput));
    };
    return factory;
}

MirrorSenderFactory MirrorSenderFactory::fromPlatform(const Platform::PlatformServices &platform)
{
    // Each cast opens its own capture and encoder when its media start; the
    // sound server and the input connection are the process's.
    MirrorSenderServices services;
    services.video = VideoSenderServices::fromPlatform(platform);
    services.audio = AudioSessionServices::fromPlatform(platform);
    services.remoteInput = RemoteControllerServices::fromPlatform(platform);
    return makeMirrorSenderFactory(std::move(services));
}

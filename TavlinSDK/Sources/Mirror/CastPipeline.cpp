#include "Mirror/CastPipeline.h"

CastPipeline::CastPipeline(DevicePtr device, bool captureSessionRoad, CastPipelineServices services)
    : m_device(std::move(device)), m_services(std::move(services)),
      m_video(makeVideoSender(captureSessionRoad, m_device, m_services.video, m_media))
{
}

CastPipeline::~CastPipeline()
{
    stop();
}

void CastPipeline::setMonitorCallback(MirrorMonitorCallback callback)
{
    m_video->setMonitorCallback(std::move(callback));
}

void CastPipeline::startVideo()
{
    if (m_stopped)
        return;
    // 1. The thread that holds the connections.
    m_media.start();
    // 2. The connection; capture and coding (3 to 5) follow once it is up.
    m_videoStarted = true;
    m_video->startMrror();
}

void CastPipeline::startSound(quint16 dataPort)
{
    if (m_stopped || m_sound)
        return;
    m_media.start();
    // 6. The sound: its socket, its encoder, its capture.
    m_sound = std::make_unique<AudioSession>(m_device, dataPort, m_services.audio, m_media);
    if (isPaused())
        m_sound->setPauseCast(true);
    m_sound->start();
}

void CastPipeline::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    // 6. The sound: capture (joined), encoder, socket.
    if (m_sound)
        m_sound->stop();
    // 5 to 2. Capture (joined), conversion and coding (joined), the video
    // connection with everything else of the picture on the media thread.
    if (m_videoStarted)
        m_video->stopMirror();
    m_video->endMedia();
    // 1. Nothing is left on the media thread.
    m_media.stop();
}

void CastPipeline::setPaused(bool paused)
{
    m_video->setPauseResumeMark(paused);
    if (m_sound)
        m_sound->setPauseCast(paused);
}

bool CastPipeline::isPaused() const
{
    return m_video->pauseCast();
}

void CastPipeline::changeEncoderSize(const EncoderSizeRequest &request)
{
    if (!m_stopped)
        m_video->changeEncoderAttributeRelated(request);
}

#include "RemoteControl/CursorSession.h"

#include <QtEndian>
#include <cmath>
#include <limits>

#include "Mirror/TickCount.h"
#include "Socket/AsyncUdpSocket.h"

namespace {

qint64 monotonicMilliseconds()
{
    return qint64(GetTickCount64());
}

// Scaled, rounded and cut to the field's range; a pointer left of or below
// the screen is at 0.
quint32 scaled(double target, double position, qint64 extent)
{
    if (extent <= 0)
        return 0;
    const double value = target * position / double(extent) + 0.5;
    if (!(value > 0))
        return 0;
    if (value >= double(std::numeric_limits<quint32>::max()))
        return std::numeric_limits<quint32>::max();
    return static_cast<quint32>(value);
}

} // namespace

CursorSessionServices CursorSessionServices::fromPlatform(const Platform::PlatformServices &platform)
{
    CursorSessionServices services;
    services.injector = platform.inputInjector;
    return services;
}

CursorSession::CursorSession(const QString &host, qint64 dataPort, CursorSessionServices services, QObject *parent)
    : QObject(parent), mServices(std::move(services)), mCursorPort(dataPort),
      mCursorSocket(new AsyncUdpSocket(nullptr, this)), mHost(host)
{
    mWorkerTimer.setSingleShot(true);
    mWorkerTimer.setTimerType(Qt::PreciseTimer);
    connect(&mWorkerTimer, &QTimer::timeout, this, &CursorSession::updateCursorTask);
    mCursorTimer.setTimerType(Qt::PreciseTimer);
    connect(&mCursorTimer, &QTimer::timeout, this, &CursorSession::updateMouseLocation);
    initVals();
}

CursorSession::~CursorSession()
{
    stop();
}

void CursorSession::initVals()
{
    const QList<QRectF> displays =
        mServices.injector ? mServices.injector->displayBounds() : QList<QRectF>();
    const QRectF last = displays.isEmpty() ? QRectF() : displays.last();
    mScreenWidth = qint64(last.width());
    mScreenHeight = qint64(last.height());
    qInfo("width = %ld, height = %ld", long(mScreenWidth), long(mScreenHeight));
    mCurTime = monotonicMilliseconds();
    mShouldRun = true;
}

void CursorSession::start()
{
    mShouldRun = true;
    startTimer();
    updateMouseLocation();
    mWorkerTimer.start(0);
}

void CursorSession::stop()
{
    stopTimer();
    mShouldRun = false;
    mWorkerTimer.stop();
}

void CursorSession::startTimer()
{
    mCursorTimer.start(mServices.timings.pointerSampleIntervalMs);
}

void CursorSession::stopTimer()
{
    mCursorTimer.stop();
}

void CursorSession::updateMouseLocation()
{
    if (!mServices.injector)
        return;
    // Measured from the main display's bottom-left corner, y upwards.
    const QPointF pointer = mServices.injector->pointerLocation();
    const QRectF main = mServices.injector->mainDisplayBounds();
    mGlobalPoint = QPointF(pointer.x() - main.left(), main.top() + main.height() - pointer.y());
}

void CursorSession::updateCursorTask()
{
    if (!mShouldRun)
        return;
    const int interval = mServices.timings.packetIntervalMs;
    const qint64 now = monotonicMilliseconds();
    const qint64 elapsed = now - mCurTime;
    if (elapsed >= interval) {
        mCurTime = now;
        // X offers no global query of the cursor's visibility: it counts as shown.
        const QByteArray packet = cursorPacket(true, mGlobalPoint, mScreenWidth, mScreenHeight);
        if (mCursorPort > 0 && mCursorPort <= 0xFFFF)
            mCursorSocket->sendData(packet, mHost, quint16(mCursorPort), -1, 0);
        mWorkerTimer.start(interval);
    } else {
        mWorkerTimer.start(int(interval - elapsed));
    }
}

QByteArray CursorSession::cursorPacket(bool visible, QPointF globalPoint, qint64 screenWidth, qint64 screenHeight)
{
    QByteArray packet(kPacketSize, '\0');
    char *out = packet.data();
    qToLittleEndian<quint32>(kMagic, out);
    qToLittleEndian<quint32>(visible ? 1 : 0, out + 4);
    qToLittleEndian<quint32>(scaled(kReceiverWidth, globalPoint.x(), screenWidth), out + 8);
    qToLittleEndian<quint32>(scaled(kReceiverHeight, globalPoint.y(), screenHeight), out + 12);
    return packet;
}

#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointF>
#include <QString>
#include <QTimer>
#include <memory>

#include "Platform/InputInjector.h"
#include "Platform/PlatformServices.h"

class AsyncUdpSocket;

// Intervals of the cursor sender, in milliseconds.
struct CursorSessionTimings {
    int pointerSampleIntervalMs = 10;
    // Packets leave at most this often.
    int packetIntervalMs = 16;
};

struct CursorSessionServices {
    std::shared_ptr<Platform::InputInjector> injector;
    CursorSessionTimings timings;

    static CursorSessionServices fromPlatform(const Platform::PlatformServices &platform);
};

// Sends the pointer's position and visibility to a receiver as 32-byte UDP
// packets. Part of the library's offer; nothing in the system starts one.
// Lives on the main thread: sampling and sending are timer-driven there, so
// nothing spins between packets.
class CursorSession : public QObject {
    Q_OBJECT
public:
    static constexpr quint32 kMagic = 0x2929;
    static constexpr int kPacketSize = 32;
    // The receiver's coordinate space.
    static constexpr double kReceiverWidth = 1920;
    static constexpr double kReceiverHeight = 1080;

    CursorSession(const QString &host, qint64 dataPort, CursorSessionServices services, QObject *parent = nullptr);
    ~CursorSession() override;

    void start();
    void stop();

    void initVals();
    // Sends one packet when the packet interval has passed, then waits for the next.
    void updateCursorTask();
    void startTimer();
    void stopTimer();
    // Samples the pointer (origin at the bottom left of the main display).
    void updateMouseLocation();

    // The packet for a pointer at `globalPoint` (bottom-left origin) on a
    // screen of the given size: little-endian magic, visibility, x, y, zeros.
    static QByteArray cursorPacket(bool visible, QPointF globalPoint, qint64 screenWidth, qint64 screenHeight);

    bool shouldRun() const { return mShouldRun; }
    qint64 cursorPort() const { return mCursorPort; }
    qint64 screenWidth() const { return mScreenWidth; }
    qint64 screenHeight() const { return mScreenHeight; }
    QString host() const { return mHost; }
    QPointF globalPoint() const { return mGlobalPoint; }

private:
    CursorSessionServices mServices;
    bool mShouldRun = false;
    qint64 mCursorPort = 0;
    qint64 mScreenWidth = 0;
    qint64 mScreenHeight = 0;
    AsyncUdpSocket *mCursorSocket = nullptr;
    QString mHost;
    QTimer mWorkerTimer;
    // Monotonic milliseconds of the last packet.
    qint64 mCurTime = 0;
    QTimer mCursorTimer;
    QPointF mGlobalPoint;
};

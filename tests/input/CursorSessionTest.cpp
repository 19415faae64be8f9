#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <limits>

#include "FakeInput.h"
#include "RemoteControl/CursorSession.h"
#include "TestSupport.h"

TEST(CursorSession, PacketIsThirtyTwoLittleEndianBytes)
{
    // (960, 540) on a 1440 x 900 screen is (1280, 648) of the receiver's 1920 x 1080.
    EXPECT_EQ(CursorSession::cursorPacket(true, QPointF(960, 540), 1440, 900).toHex(),
              QByteArray("29290000" "01000000" "00050000" "88020000" "00000000000000000000000000000000"));
    EXPECT_EQ(CursorSession::cursorPacket(false, QPointF(0, 0), 1920, 1080).toHex(),
              QByteArray("29290000" "00000000" "00000000" "00000000" "00000000000000000000000000000000"));
    // Rounded half up: 1920 * 1 / 1366 = 1.405..., 1080 * 1 / 768 = 1.406...
    const QByteArray small = CursorSession::cursorPacket(true, QPointF(1, 1), 1366, 768);
    EXPECT_EQ(small.mid(8, 8).toHex(), QByteArray("01000000" "01000000"));

    // Off the screen to the left or below, no screen, or absurd values: still a packet.
    EXPECT_EQ(CursorSession::cursorPacket(true, QPointF(-500, -1), 1440, 900).mid(8, 8).toHex(),
              QByteArray("00000000" "00000000"));
    EXPECT_EQ(CursorSession::cursorPacket(true, QPointF(100, 100), 0, -5).mid(8, 8).toHex(),
              QByteArray("00000000" "00000000"));
    EXPECT_EQ(CursorSession::cursorPacket(true, QPointF(1e300, std::numeric_limits<double>::quiet_NaN()), 1, 1)
                  .mid(8, 8)
                  .toHex(),
              QByteArray("ffffffff" "00000000"));
}

TEST(CursorSession, SendsThePointerAtMostEverySixteenMilliseconds)
{
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    QUdpSocket receiver;
    ASSERT_TRUE(receiver.bind(address, 0));

    auto injector = std::make_shared<Platform::Fake::FakeInputInjector>();
    // The last screen gives the size; the pointer is measured from the main display's bottom.
    injector->displays = {QRectF(0, 0, 1920, 1080), QRectF(1920, 0, 1440, 900)};
    injector->pointer = QPointF(960, 540);
    CursorSessionServices services;
    services.injector = injector;
    CursorSession session(address.toString(), receiver.localPort(), services);
    EXPECT_EQ(session.screenWidth(), 1440);
    EXPECT_EQ(session.screenHeight(), 900);
    EXPECT_TRUE(session.shouldRun());

    QList<QByteArray> packets;
    QObject::connect(&receiver, &QUdpSocket::readyRead, [&] {
        while (receiver.hasPendingDatagrams())
            packets.append(receiver.receiveDatagram().data());
    });
    QElapsedTimer clock;
    clock.start();
    session.start();
    ASSERT_TRUE(TestSupport::waitFor([&] { return packets.size() >= 3; }));
    EXPECT_EQ(packets.first().toHex(),
              QByteArray("29290000" "01000000" "00050000" "88020000" "00000000000000000000000000000000"));

    injector->pointer = QPointF(0, 1080);
    ASSERT_TRUE(TestSupport::waitFor([&] { return packets.last().mid(8, 8).toHex() == "0000000000000000"; }));

    TestSupport::spin(150); // a stretch of sending, measured below; nothing awaited
    session.stop();
    const qint64 elapsed = clock.elapsed();
    EXPECT_LE(packets.size(), elapsed / 16 + 2);
    EXPECT_FALSE(session.shouldRun());

    const qsizetype stopped = packets.size();
    TestSupport::spin(100); // for a packet that must not come
    EXPECT_EQ(packets.size(), stopped);
}

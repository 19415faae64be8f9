#include <QNetworkDatagram>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include "Socket/AsyncUdpSocket.h"
#include "Socket/SocketErrors.h"
#include "TestSupport.h"

using TestSupport::waitFor;

namespace {

struct UdpRecorder : AsyncUdpSocketDelegate {
    QList<QByteArray> datagrams;
    QList<qint64> tags;
    QStringList hosts;
    QList<quint16> ports;
    QList<qint64> sent;
    QList<qint64> timedOut;
    int refuseFirst = 0;

    bool onUdpSocketDidReceiveData(AsyncUdpSocket *, const QByteArray &data, qint64 tag, const QString &host,
                                   quint16 port) override
    {
        datagrams.append(data);
        tags.append(tag);
        hosts.append(host);
        ports.append(port);
        if (refuseFirst > 0) {
            --refuseFirst;
            return false;
        }
        return true;
    }
    void onUdpSocketDidSendDataWithTag(AsyncUdpSocket *, qint64 tag) override { sent.append(tag); }
    void onUdpSocketDidNotReceiveDataWithTag(AsyncUdpSocket *, qint64 tag, const TavlinError &error) override
    {
        EXPECT_EQ(error.code, SocketErrors::AsyncUdpSocketReceiveTimeoutError);
        timedOut.append(tag);
    }
};

} // namespace

TEST(AsyncUdpSocket, SendsAndReceivesOneDatagramPerRequestWithTheSender)
{
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    UdpRecorder recorder;
    AsyncUdpSocket socket(&recorder);
    ASSERT_TRUE(socket.bindToAddress(address.toString(), 0));
    ASSERT_TRUE(socket.enableBroadcast(true));

    QUdpSocket peer;
    ASSERT_TRUE(peer.bind(address, 0));
    peer.writeDatagram("one", address, socket.localPort());
    peer.writeDatagram("two", address, socket.localPort());
    TestSupport::spin(50); // they arrive meanwhile; nothing may be reported
    EXPECT_TRUE(recorder.datagrams.isEmpty()); // nothing asked yet

    socket.receiveWithTimeout(-1, 5);
    ASSERT_TRUE(waitFor([&] { return recorder.datagrams.size() == 1; }));
    TestSupport::spin(30); // for a second datagram that must not be reported
    EXPECT_EQ(recorder.datagrams, (QList<QByteArray>{"one"}));
    EXPECT_EQ(recorder.tags.value(0), 5);
    EXPECT_EQ(recorder.hosts.value(0), address.toString());
    EXPECT_EQ(recorder.ports.value(0), peer.localPort());

    // A delegate that declines a datagram keeps the receive waiting.
    recorder.refuseFirst = 1;
    socket.receiveWithTimeout(-1, 6);
    peer.writeDatagram("three", address, socket.localPort());
    ASSERT_TRUE(waitFor([&] { return recorder.datagrams.size() == 3; }));
    EXPECT_EQ(recorder.tags.value(1), 6);
    EXPECT_EQ(recorder.tags.value(2), 6);

    ASSERT_TRUE(socket.sendData("reply", address.toString(), peer.localPort(), -1, 9));
    ASSERT_TRUE(waitFor([&] { return peer.hasPendingDatagrams() && recorder.sent == QList<qint64>{9}; }));
    EXPECT_EQ(peer.receiveDatagram().data(), QByteArray("reply"));
    EXPECT_FALSE(socket.sendData(QByteArray(), address.toString(), peer.localPort(), -1, 10));
    EXPECT_FALSE(socket.sendData("x", QStringLiteral("not an address"), peer.localPort(), -1, 10));
}

TEST(AsyncUdpSocket, ReceiveTimeOutReportsTheTag)
{
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    UdpRecorder recorder;
    AsyncUdpSocket socket(&recorder);
    ASSERT_TRUE(socket.bindToAddress(address.toString(), 0));
    socket.receiveWithTimeout(40, 3);
    ASSERT_TRUE(waitFor([&] { return recorder.timedOut.size() == 1; }));
    EXPECT_EQ(recorder.timedOut[0], 3);
    EXPECT_TRUE(recorder.datagrams.isEmpty());
}

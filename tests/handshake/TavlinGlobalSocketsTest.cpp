#include <QCoreApplication>
#include <gtest/gtest.h>

#include "HandshakeTestSupport.h"
#include "Socket/AsyncSocket.h"
#include "Socket/GCDAsyncSocket.h"

using namespace HandshakeTest;
using TestSupport::spin;
using TestSupport::waitFor;

namespace {

struct WriteRecorder : AsyncSocketDelegate {
    QList<qint64> writeTags;
    int disconnects = 0;
    void onSocketDidWriteDataWithTag(AsyncSocket *, qint64 tag) override { writeTags.append(tag); }
    void onSocketDidDisconnect(AsyncSocket *) override { ++disconnects; }
};

struct QueueRecorder : GCDAsyncSocketDelegate {
    QList<QPair<qint64, QByteArray>> reads;
    int disconnects = 0;
    void socketDidReadData(GCDAsyncSocket *, const QByteArray &data, qint64 tag) override { reads.append({tag, data}); }
    void socketDidDisconnect(GCDAsyncSocket *, const OptionalTavlinError &) override { ++disconnects; }
};

} // namespace

// The name source outlives a case, and a case's source may point at its own
// locals: every case starts and ends with the stored name.
class TavlinGlobalSockets : public HandshakeFixture {
protected:
    void SetUp() override
    {
        HandshakeFixture::SetUp();
        TavlinGlobal::setClientNameSource(nullptr);
    }
    void TearDown() override
    {
        TavlinGlobal::setClientNameSource(nullptr);
        HandshakeFixture::TearDown();
    }

    // The handshake socket, connected to a receiver that answers nothing;
    // the client is called "Tester".
    AsyncSocket *connectedSocket(AsyncSocketDelegate *delegate)
    {
        setBehaviour([](HandshakeBehaviour &b) { b.silent = true; });
        TavlinGlobal::setClientNameSource([] { return QStringLiteral("Tester"); });
        AsyncSocket *socket = TavlinGlobal::CreateSocket(address.toString(), server->port(), delegate, 1000);
        EXPECT_TRUE(socket && waitFor([&] { return socket->isConnected(); }));
        return socket;
    }
};

TEST_F(TavlinGlobalSockets, TextCommandsAreByteExactWithTheirTags)
{
    setBehaviour([](HandshakeBehaviour &b) { b.silent = true; });
    QString clientName = QStringLiteral("Ann's Mac %2");
    TavlinGlobal::setClientNameSource([&] { return clientName; });
    WriteRecorder writes;
    AsyncSocket *socket = TavlinGlobal::CreateSocket(address.toString(), server->port(), &writes, 1000);
    ASSERT_TRUE(socket);
    EXPECT_EQ(TavlinGlobal::getAsyncSocket_8121(), socket);
    EXPECT_EQ(TavlinGlobal::getLastHost(), address.toString());
    EXPECT_EQ(TavlinGlobal::getLastPort(), server->port());

    TavlinGlobal::checkIfPaswExist();
    EXPECT_TRUE(TavlinGlobal::checkPassword(QStringLiteral("ABCDEFGH")));
    EXPECT_FALSE(TavlinGlobal::checkPassword(QStringLiteral("12\r\n34")));
    EXPECT_FALSE(TavlinGlobal::checkPassword(QStringLiteral("1234\x01")));
    TavlinGlobal::sayHello();
    TavlinGlobal::sayByebye();
    TavlinGlobal::auth();
    TavlinGlobal::sendKeyEventMsg(26);
    clientName.clear(); // no name stored: neither is sent
    TavlinGlobal::sayHello();
    TavlinGlobal::sayByebye();
    TavlinGlobal::startOrStopAnnotation(true, socket);
    EXPECT_TRUE(TavlinGlobal::getIsAnnotation());
    TavlinGlobal::setAnnotationColor(16711680, 4, socket);
    TavlinGlobal::sendMsgAction(2, 10.5, -3.25, socket);
    TavlinGlobal::clearAnnotation(socket);
    TavlinGlobal::startOrStopAnnotation(false, socket);
    EXPECT_FALSE(TavlinGlobal::getIsAnnotation());
    TavlinGlobal::inputKeyBoard(1, 5, QStringLiteral("héllo"), socket);
    TavlinGlobal::enterKeyCode(-2, socket);

    const QByteArray expected = QByteArray("GETPASSWORDCONFIG\r\ntavlin\r\n\r\n")
        + "CHECKPASSWORD\r\nABCDEFGH\r\n\r\n"
        + "sayHello\r\nAnn's Mac %2\r\n3\r\n\r\n"
        + "sayByebye\r\nAnn's Mac %2\r\n\r\n"
        + "auth\r\nsdcard 0 quintal\r\n\r\n"
        + "KEYEVENT\r\n26\r\n\r\n"
        + "DRAW\r\n1\r\n\r\n"
        + "PEN_STYLE\r\n16711680\r\n4\r\n\r\n"
        + "PAINT_MSG\r\n2 10.500000 -3.250000\r\n\r\n"
        + "CLEAR\r\ntrue\r\n\r\n"
        + "DRAW\r\n0\r\n\r\n"
        + QString::fromUtf8("CONTENT\r\n1\r\n5 héllo\r\n\r\n").toUtf8()
        + "KEYEVENT\r\n-2\r\n\r\n";
    ASSERT_TRUE(waitFor([&] { return server->received(0).size() >= expected.size(); }));
    EXPECT_EQ(server->received(0), expected);
    ASSERT_TRUE(waitFor([&] { return writes.writeTags.size() == 13; }));
    EXPECT_EQ(writes.writeTags, (QList<qint64>{0, 0, 0, 0, 0, 0, 111, 222, 333, 444, 0, 888, 999}));
}

TEST_F(TavlinGlobalSockets, SendersDoNothingWithoutASocket)
{
    TavlinGlobal::checkIfPaswExist();
    EXPECT_FALSE(TavlinGlobal::checkPassword(QStringLiteral("123456")));
    TavlinGlobal::sayByebye();
    TavlinGlobal::sendCommandToReceive(QStringLiteral("{}\n"));
    TavlinGlobal::clearAnnotation(nullptr);
    spin(50); // for a connection that must not come
    EXPECT_EQ(server->connectionCount(), 0);
}

TEST_F(TavlinGlobalSockets, FactoriesReplaceAndDetachTheOldSocket)
{
    setBehaviour([](HandshakeBehaviour &b) { b.silent = true; });
    WriteRecorder first;
    AsyncSocket *one = TavlinGlobal::CreateSocket(address.toString(), server->port(), &first, 1000);
    ASSERT_TRUE(waitFor([&] { return one->isConnected(); }));
    QPointer<AsyncSocket> oldOne(one);
    WriteRecorder second;
    AsyncSocket *two = TavlinGlobal::CreateSocket(address.toString(), server->port(), &second, 1000);
    ASSERT_NE(one, two);
    ASSERT_TRUE(waitFor([&] { return !server->connectionOpen(0); }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(oldOne.isNull());
    EXPECT_EQ(first.disconnects, 0); // detached before it was closed
    EXPECT_EQ(TavlinGlobal::getAsyncSocket_8121(), two);

    // A connect that cannot start leaves no socket.
    EXPECT_EQ(TavlinGlobal::CreateSocket(QString(), server->port(), &second), nullptr);
    EXPECT_EQ(TavlinGlobal::getAsyncSocket_8121(), nullptr);
}

TEST_F(TavlinGlobalSockets, AReplacedSocketSendsItsGoodbyeWhenConnectedAndGoesAtOnceWhenStillConnecting)
{
    // Connected: what is queued on it (a goodbye) still leaves, then it closes.
    WriteRecorder first;
    ASSERT_TRUE(connectedSocket(&first));
    TavlinGlobal::sayByebye();
    WriteRecorder second;
    ASSERT_TRUE(TavlinGlobal::CreateSocket(address.toString(), server->port(), &second, 1000));
    ASSERT_TRUE(waitFor([&] { return !server->connectionOpen(0); }));
    EXPECT_EQ(server->received(0), QByteArray("sayByebye\r\nTester\r\n\r\n"));

    // Still connecting (the receiver the user left does not answer the
    // connect): dropped at once, its request with it, so it can neither
    // reach that receiver later nor hold a second connection.
    TestSupport::HangingListener slow(address);
    ASSERT_TRUE(slow.fill());
    WriteRecorder third;
    QPointer<AsyncSocket> connecting = TavlinGlobal::CreateSocket(address.toString(), slow.port(), &third, 10000);
    ASSERT_TRUE(connecting);
    TavlinGlobal::checkIfPaswExist();
    spin(50); // for a connection that must not come while the listener hangs
    ASSERT_FALSE(connecting->isConnected());
    WriteRecorder fourth;
    AsyncSocket *retry = TavlinGlobal::CreateSocket(address.toString(), server->port(), &fourth, 1000);
    ASSERT_TRUE(retry);
    EXPECT_TRUE(connecting.isNull() || connecting->isDisconnected());
    slow.drain();
    spin(100); // for a connect or a write of the dropped socket that must not come
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(connecting.isNull());
    EXPECT_EQ(third.disconnects, 0);
    EXPECT_TRUE(third.writeTags.isEmpty());
    EXPECT_EQ(TavlinGlobal::getAsyncSocket_8121(), retry);
}

TEST_F(TavlinGlobalSockets, AConnectThatAsksToBeToldOfItsStartKeepsTheOldSocketUntilThen)
{
    WriteRecorder first;
    AsyncSocket *one = connectedSocket(&first);
    ASSERT_TRUE(one);

    // A connect that cannot start: not told, and the old socket stays.
    int told = 0;
    WriteRecorder second;
    EXPECT_EQ(TavlinGlobal::CreateSocket(QString(), server->port(), &second, 1000, [&] { ++told; }), nullptr);
    EXPECT_EQ(told, 0);
    EXPECT_EQ(TavlinGlobal::getAsyncSocket_8121(), one);
    EXPECT_TRUE(one->isConnected());

    // One that starts: told while the old socket is still the handshake
    // socket, so that what is said then goes to the old receiver.
    AsyncSocket *two = TavlinGlobal::CreateSocket(address.toString(), server->port(), &second, 1000, [&] {
        ++told;
        EXPECT_EQ(TavlinGlobal::getAsyncSocket_8121(), one);
        TavlinGlobal::sayByebye();
    });
    ASSERT_TRUE(two);
    EXPECT_EQ(told, 1);
    EXPECT_EQ(TavlinGlobal::getAsyncSocket_8121(), two);
    ASSERT_TRUE(waitFor([&] { return !server->connectionOpen(0); }));
    EXPECT_EQ(server->received(0), QByteArray("sayByebye\r\nTester\r\n\r\n"));
    ASSERT_TRUE(waitFor([&] { return two->isConnected(); }));
    EXPECT_TRUE(server->received(1).isEmpty());
}

TEST_F(TavlinGlobalSockets, ReleasingTheSocketsHandsTheirQueuedBytesToTheSystemAtOnce)
{
    // The end of the library: no event loop will run to send what is queued.
    WriteRecorder handshakeEvents;
    ASSERT_TRUE(connectedSocket(&handshakeEvents));
    QueueRecorder queue;
    GCDAsyncSocket *master = TavlinGlobal::createMasterConGCDAsyncSocket(address.toString(), server->port(), &queue);
    ASSERT_TRUE(waitFor([&] { return master->isConnected(); }));
    TavlinGlobal::sendCommandToReceive(QStringLiteral("{\"disconnect\":\"N\"}\n"));
    master->disconnectAfterWriting();
    TavlinGlobal::sayByebye();
    TavlinGlobal::releaseSockets();
    EXPECT_EQ(TavlinGlobal::getMasterConSocket(), nullptr);
    EXPECT_EQ(TavlinGlobal::getAsyncSocket_8121(), nullptr);
    // Nothing of ours runs any more; the receiver reads what the system sends.
    const QList<QByteArray> expected = {"sayByebye\r\nTester\r\n\r\n", "{\"disconnect\":\"N\"}\n"};
    auto received = [&] {
        QList<QByteArray> both = {server->received(0), server->received(1)};
        std::sort(both.begin(), both.end());
        return both;
    };
    ASSERT_TRUE(waitFor([&] { return received() == expected; })) << received().value(0).toStdString();
    EXPECT_EQ(queue.disconnects, 0);
    EXPECT_EQ(handshakeEvents.disconnects, 0);
}

TEST_F(TavlinGlobalSockets, MasterControlSocketReadsWithItsTagAndCarriesCommands)
{
    QueueRecorder queue;
    GCDAsyncSocket *socket = TavlinGlobal::createMasterConGCDAsyncSocket(address.toString(), server->port(), &queue);
    ASSERT_TRUE(socket);
    EXPECT_EQ(TavlinGlobal::getMasterConSocket(), socket);
    // Any request the emulator answers: the answer completes the factory's
    // read, tag 110.
    TavlinGlobal::sendCommandToReceive(QStringLiteral("getServerInfo\r\n1\r\n\r\n"));
    ASSERT_TRUE(waitFor([&] { return !queue.reads.isEmpty(); }));
    EXPECT_EQ(queue.reads[0].first, 110);
    EXPECT_TRUE(queue.reads[0].second.contains("Room A"));
    EXPECT_EQ(server->received(0), QByteArray("getServerInfo\r\n1\r\n\r\n"));

    // A connect that cannot start leaves no master-control socket.
    EXPECT_EQ(TavlinGlobal::createMasterConGCDAsyncSocket(QString(), 1, &queue), nullptr);
    EXPECT_EQ(TavlinGlobal::getMasterConSocket(), nullptr);
    ASSERT_TRUE(waitFor([&] { return !server->connectionOpen(0); }));
    EXPECT_EQ(queue.disconnects, 0);
}

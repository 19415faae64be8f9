#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <gtest/gtest.h>
#include <thread>

#include "HangingListener.h"
#include "Socket/SocketErrors.h"
#include "SocketTestTools.h"
#include "TestSupport.h"

using namespace SocketTest;
using TestSupport::waitFor;

// --- Run-loop socket ---

TEST(AsyncSocket, WritesBeforeTheConnectGoOutInOrderOnceConnected)
{
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    RecordingServer server(address);
    RunLoopRecorder recorder;
    AsyncSocket socket(&recorder);

    ASSERT_TRUE(socket.connectToHost(address.toString(), server.port(), 3000));
    EXPECT_FALSE(socket.isConnected());
    socket.writeData("first\r\n", -1, 11);
    socket.writeData(QByteArray(), -1, 99); // queues nothing
    socket.writeData("second\r\n", -1, 12);
    EXPECT_EQ(socket.queneCount(), 2);

    ASSERT_TRUE(waitFor([&] { return server.received() == "first\r\nsecond\r\n"; }));
    EXPECT_TRUE(recorder.connected);
    EXPECT_EQ(recorder.connectedHost, address.toString());
    EXPECT_EQ(recorder.connectedPort, server.port());
    ASSERT_TRUE(waitFor([&] { return recorder.writes.size() == 2; }));
    EXPECT_EQ(recorder.writes, (QList<qint64>{11, 12}));
    EXPECT_EQ(recorder.events.first(), QStringLiteral("connect"));
    EXPECT_EQ(socket.queneCount(), 0);
}

TEST(AsyncSocket, ReadsCompleteInOrderWithTheirTagsAndEarlyBytesWait)
{
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    RecordingServer server(address);
    RunLoopRecorder recorder;
    AsyncSocket socket(&recorder);
    ASSERT_TRUE(socket.connectToHost(address.toString(), server.port(), 3000));
    ASSERT_TRUE(waitFor([&] { return server.connectionCount() == 1 && socket.isConnected(); }));

    // Bytes that arrive while no read waits are kept for the next read.
    server.connection()->write("early");
    TestSupport::spin(50); // the bytes arrive meanwhile; no read may report them
    EXPECT_TRUE(recorder.reads.isEmpty());
    socket.readDataWithTimeout(-1, 7);
    socket.readDataWithTimeout(-1, 8);
    ASSERT_TRUE(waitFor([&] { return recorder.reads.size() == 1; }));
    EXPECT_EQ(recorder.reads[0], qMakePair(qint64(7), QByteArray("early")));

    server.connection()->write("later");
    ASSERT_TRUE(waitFor([&] { return recorder.reads.size() == 2; }));
    EXPECT_EQ(recorder.reads[1], qMakePair(qint64(8), QByteArray("later")));
    EXPECT_EQ(recorder.didDisconnectCount, 0);
}

TEST(AsyncSocket, ConnectTimeOutIsCodeTwoAndEndsTheConnectionOnce)
{
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    TestSupport::HangingListener listener(address);
    listener.fill();
    RunLoopRecorder recorder;
    AsyncSocket socket(&recorder);
    socket.writeData("never sent", -1, 1);

    ASSERT_TRUE(socket.connectToHost(address.toString(), listener.port(), 80));
    ASSERT_TRUE(waitFor([&] { return recorder.didDisconnectCount == 1; }));
    ASSERT_TRUE(recorder.willDisconnectError.has_value());
    EXPECT_EQ(recorder.willDisconnectError->domain, SocketErrors::kAsyncSocketErrorDomain);
    EXPECT_EQ(recorder.willDisconnectError->code, 2);
    EXPECT_EQ(recorder.events, (QStringList{"will", "did"}));
    EXPECT_TRUE(socket.isDisconnected());
    EXPECT_EQ(socket.queneCount(), 0);
    TestSupport::spin(100); // for a second report that must not come
    EXPECT_EQ(recorder.didDisconnectCount, 1);
}

TEST(AsyncSocket, ReadTimeOutIsCodeFourAndRunsOnlyOnceTheReadIsFirstInLine)
{
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    RecordingServer server(address);
    RunLoopRecorder recorder;
    AsyncSocket socket(&recorder);
    ASSERT_TRUE(socket.connectToHost(address.toString(), server.port(), 3000));
    socket.readDataWithTimeout(-1, 0);
    socket.readDataWithTimeout(60, 1);
    ASSERT_TRUE(waitFor([&] { return server.connectionCount() == 1; }));

    // The timed read waits behind an untimed one: no time-out yet.
    TestSupport::spin(200); // past the time-out, which must not come
    EXPECT_EQ(recorder.didDisconnectCount, 0);
    server.connection()->write("x");
    ASSERT_TRUE(waitFor([&] { return recorder.didDisconnectCount == 1; }));
    EXPECT_EQ(recorder.reads.size(), 1);
    ASSERT_TRUE(recorder.willDisconnectError.has_value());
    EXPECT_EQ(recorder.willDisconnectError->code, 4);
    EXPECT_EQ(recorder.willDisconnectError->domain, SocketErrors::kAsyncSocketErrorDomain);
}

TEST(AsyncSocket, RefusedConnectStartsAndIsReportedOnceByMeaning)
{
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(address, 0));
        closedPort = probe.serverPort();
    }
    RunLoopRecorder recorder;
    AsyncSocket socket(&recorder);
    ASSERT_TRUE(socket.connectToHost(address.toString(), closedPort, 3000));
    ASSERT_TRUE(waitFor([&] { return recorder.didDisconnectCount == 1; }));
    ASSERT_TRUE(recorder.willDisconnectError.has_value());
    EXPECT_EQ(recorder.willDisconnectError->domain, SocketErrors::kPosixErrorDomain);
    EXPECT_EQ(recorder.willDisconnectError->code, ECONNREFUSED);
    EXPECT_NE(recorder.willDisconnectError->domain, QStringLiteral("com.TavlinError.Domain"));
    TestSupport::spin(50); // for a second report that must not come
    EXPECT_EQ(recorder.didDisconnectCount, 1);
}

TEST(AsyncSocket, OrderlyCloseHasNoErrorResetIsReportedAsReset)
{
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    RecordingServer server(address);

    RunLoopRecorder closed;
    AsyncSocket first(&closed);
    ASSERT_TRUE(first.connectToHost(address.toString(), server.port(), 3000));
    first.readDataWithTimeout(-1, 0);
    ASSERT_TRUE(waitFor([&] { return server.connectionCount() == 1 && first.isConnected(); }));
    server.connection(0)->write("bye");
    server.connection(0)->disconnectFromHost();
    ASSERT_TRUE(waitFor([&] { return closed.didDisconnectCount == 1; }));
    EXPECT_EQ(closed.willDisconnectCount, 0);
    EXPECT_EQ(closed.events, (QStringList{"connect", "read", "did"}));
    EXPECT_EQ(closed.reads.value(0).second, QByteArray("bye"));

    RunLoopRecorder reset;
    AsyncSocket second(&reset);
    ASSERT_TRUE(second.connectToHost(address.toString(), server.port(), 3000));
    second.readDataWithTimeout(-1, 0);
    ASSERT_TRUE(waitFor([&] { return server.connectionCount() == 2 && second.isConnected(); }));
    server.reset(1);
    ASSERT_TRUE(waitFor([&] { return reset.didDisconnectCount == 1; }));
    ASSERT_TRUE(reset.willDisconnectError.has_value());
    EXPECT_TRUE(SocketErrors::isConnectionReset(*reset.willDisconnectError));
    EXPECT_EQ(reset.willDisconnectCount, 1);
}

TEST(AsyncSocket, LocalDisconnectCallsBackOnceAndOnlyForAStartedConnect)
{
    RunLoopRecorder idle;
    AsyncSocket never(&idle);
    never.disconnect();
    TestSupport::spin(30); // for a report that must not come
    EXPECT_TRUE(idle.events.isEmpty());

    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    RecordingServer server(address);
    RunLoopRecorder recorder;
    AsyncSocket socket(&recorder);
    ASSERT_TRUE(socket.connectToHost(address.toString(), server.port(), 3000));
    ASSERT_TRUE(waitFor([&] { return socket.isConnected(); }));
    socket.disconnect();
    socket.disconnect();
    EXPECT_TRUE(recorder.events == QStringList{"connect"}); // not from inside the call
    ASSERT_TRUE(waitFor([&] { return recorder.didDisconnectCount == 1; }));
    TestSupport::spin(30); // for a second report that must not come
    EXPECT_EQ(recorder.didDisconnectCount, 1);
    EXPECT_EQ(recorder.willDisconnectCount, 0);
    ASSERT_TRUE(waitFor([&] { return server.sawEndOfStream(); }));
}

TEST(AsyncSocket, ConnectThatCannotStartReturnsFalseAndKeepsTheLastHost)
{
    RunLoopRecorder recorder;
    AsyncSocket socket(&recorder);
    EXPECT_EQ(socket.getHostName(), QString());
    EXPECT_EQ(socket.getHostPort(), 0);
    TavlinError error;
    EXPECT_FALSE(socket.connectToHost(QString(), 8121, 1000, &error));
    EXPECT_NE(error.code, 0);
    EXPECT_EQ(socket.getHostPort(), 0);

    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    RecordingServer server(address);
    ASSERT_TRUE(socket.connectToHost(address.toString(), server.port(), 3000));
    EXPECT_EQ(socket.getHostName(), address.toString());
    EXPECT_EQ(socket.getHostPort(), server.port());
    // Already connecting: the second start fails and records nothing.
    EXPECT_FALSE(socket.connectToHost(QStringLiteral("127.0.0.9"), 4444, 1000, &error));
    EXPECT_EQ(socket.getHostName(), address.toString());
    EXPECT_EQ(socket.getHostPort(), server.port());
    TestSupport::spin(50); // for a report that must not come
    EXPECT_TRUE(recorder.willDisconnectCount == 0);
}

TEST(AsyncSocket, QueuedWriteCountAndTheWaitingWriteDrop)
{
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    TestSupport::HangingListener listener(address); // accepts nothing, reads nothing
    RunLoopRecorder recorder;
    AsyncSocket socket(&recorder);
    ASSERT_TRUE(socket.connectToHost(address.toString(), listener.port(), 3000));
    ASSERT_TRUE(waitFor([&] { return socket.isConnected(); }));

    // One write larger than every kernel buffer stays in progress.
    socket.writeData(QByteArray(64 * 1024 * 1024, 'v'), -1, 1);
    ASSERT_TRUE(waitFor([&] { return socket.queneCount() == 0; }));
    TestSupport::spin(50); // for a completion that must not come
    EXPECT_TRUE(recorder.writes.isEmpty());
    socket.writeData(QByteArray(), -1, 2);
    EXPECT_EQ(socket.queneCount(), 0);

    for (int i = 0; i < 30; ++i)
        socket.writeData("w", -1, 100 + i);
    EXPECT_EQ(socket.queneCount(), 30);
    socket.waitSocketWriteDone();
    EXPECT_EQ(socket.queneCount(), 30);
    socket.writeData("w", -1, 200);
    EXPECT_EQ(socket.queneCount(), 31);
    socket.waitSocketWriteDone();
    EXPECT_EQ(socket.queneCount(), 0);
    EXPECT_TRUE(socket.isConnected());
}

TEST(AsyncSocket, UserValueStartsAtZeroAndCrossesThreads)
{
    AsyncSocket socket;
    EXPECT_EQ(socket.userData(), 0);
    std::thread writer([&] { socket.setUserData(1); });
    writer.join();
    EXPECT_EQ(socket.userData(), 1);
}

// --- Queue-based socket ---

TEST(GCDAsyncSocket, ConnectTimeOutIsCodeThree)
{
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    TestSupport::HangingListener listener(address);
    listener.fill();
    QueueRecorder recorder;
    GCDAsyncSocket socket(&recorder);
    ASSERT_TRUE(socket.connectToHost(address.toString(), listener.port(), 80));
    ASSERT_TRUE(waitFor([&] { return recorder.disconnects.size() == 1; }));
    ASSERT_TRUE(recorder.disconnects[0].has_value());
    EXPECT_EQ(recorder.disconnects[0]->domain, SocketErrors::kGCDAsyncSocketErrorDomain);
    EXPECT_EQ(recorder.disconnects[0]->code, 3);
    TestSupport::spin(50); // for a second report that must not come
    EXPECT_EQ(recorder.disconnects.size(), 1);
}

TEST(GCDAsyncSocket, EveryEndIsReportedExactlyOnceWithItsMeaning)
{
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    RecordingServer server(address);

    // Local disconnect: no error.
    QueueRecorder local;
    GCDAsyncSocket a(&local);
    ASSERT_TRUE(a.connectToHost(address.toString(), server.port(), 4000));
    ASSERT_TRUE(waitFor([&] { return a.isConnected(); }));
    a.disconnect();
    ASSERT_TRUE(waitFor([&] { return local.disconnects.size() == 1; }));
    EXPECT_FALSE(local.disconnects[0].has_value());

    // The peer closes: "closed by remote peer", code 7.
    QueueRecorder closed;
    GCDAsyncSocket b(&closed);
    ASSERT_TRUE(b.connectToHost(address.toString(), server.port(), 4000));
    ASSERT_TRUE(waitFor([&] { return server.connectionCount() == 2 && b.isConnected(); }));
    server.connection(1)->disconnectFromHost();
    ASSERT_TRUE(waitFor([&] { return closed.disconnects.size() == 1; }));
    ASSERT_TRUE(closed.disconnects[0].has_value());
    EXPECT_EQ(closed.disconnects[0]->code, 7);

    // The peer resets.
    QueueRecorder reset;
    GCDAsyncSocket c(&reset);
    ASSERT_TRUE(c.connectToHost(address.toString(), server.port(), 4000));
    ASSERT_TRUE(waitFor([&] { return server.connectionCount() == 3 && c.isConnected(); }));
    server.reset(2);
    ASSERT_TRUE(waitFor([&] { return reset.disconnects.size() == 1; }));
    ASSERT_TRUE(reset.disconnects[0].has_value());
    EXPECT_TRUE(SocketErrors::isConnectionReset(*reset.disconnects[0]));

    TestSupport::spin(50); // for a second report that must not come
    EXPECT_EQ(local.disconnects.size() + closed.disconnects.size() + reset.disconnects.size(), 3);
}

TEST(GCDAsyncSocket, DisconnectAfterWritingFlushesFirst)
{
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    RecordingServer server(address);
    QueueRecorder recorder;
    GCDAsyncSocket socket(&recorder);
    ASSERT_TRUE(socket.connectToHost(address.toString(), server.port(), 4000));
    const QByteArray big(3 * 1024 * 1024, 'b');
    socket.writeData("{\"disconnect\":\"N\"}\n", -1, 1);
    socket.writeData(big, -1, 2);
    socket.disconnectAfterWriting();
    socket.writeData("ignored", -1, 3);
    ASSERT_TRUE(waitFor([&] { return recorder.disconnects.size() == 1; }, 10000));
    EXPECT_FALSE(recorder.disconnects[0].has_value());
    EXPECT_EQ(recorder.writes, (QList<qint64>{1, 2}));
    ASSERT_TRUE(waitFor([&] { return server.sawEndOfStream(); }, 10000));
    EXPECT_EQ(server.received(), QByteArray("{\"disconnect\":\"N\"}\n") + big);
}

TEST(GCDAsyncSocket, CountIsReadableFromAnotherThreadWhileWritesQueue)
{
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    TestSupport::HangingListener listener(address);
    GCDAsyncSocket socket;
    ASSERT_TRUE(socket.connectToHost(address.toString(), listener.port(), 4000));
    ASSERT_TRUE(waitFor([&] { return socket.isConnected(); }));
    socket.writeData(QByteArray(64 * 1024 * 1024, 'f'), -1, 0);
    // Taken up as the write in progress, which never ends.
    ASSERT_TRUE(waitFor([&] { return socket.queneCount() == 0; }));

    std::atomic<bool> stop{false};
    std::atomic<qint64> maxSeen{0};
    std::thread reader([&] {
        while (!stop.load()) {
            const qint64 seen = socket.queneCount();
            if (seen > maxSeen.load())
                maxSeen.store(seen);
            QThread::usleep(100);
        }
    });
    for (int i = 0; i < 5; ++i) {
        socket.writeData("frame", -1, i);
        TestSupport::spin(10); // lets the reader look between writes; nothing awaited
    }
    EXPECT_TRUE(waitFor([&] { return maxSeen.load() == 5; }));
    stop.store(true);
    reader.join();
    EXPECT_EQ(socket.queneCount(), 5);
    EXPECT_GE(maxSeen.load(), 1);
    EXPECT_LE(maxSeen.load(), 5);
}

TEST(GCDAsyncSocket, UnderABoundWaitingBytesDrainToNothingAndOneWriteLargerThanTheBoundGoesOut)
{
    // A media connection's bound: a reading peer takes every byte, a single
    // write larger than the bound (a key frame) included, and the count of
    // waiting bytes comes back to nothing rather than creeping towards the
    // bound cast after cast.
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    RecordingServer server(address);
    QueueRecorder recorder;
    GCDAsyncSocket socket(&recorder);
    constexpr qint64 kBound = 2 * 1024 * 1024;
    socket.setMaxWaitingBytes(kBound);
    ASSERT_TRUE(socket.connectToHost(address.toString(), server.port(), 4000));
    socket.writeData(QByteArray(1000, 'a'), -1, 1);
    socket.writeData(QByteArray(3 * 1024 * 1024, 'b'), -1, 2);
    EXPECT_EQ(socket.waitingBytes(), 1000 + 3 * 1024 * 1024);
    ASSERT_TRUE(waitFor([&] { return socket.isConnected(); }));
    qint64 total = 1000 + 3 * 1024 * 1024;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(waitFor([&] { return server.received().size() == total; }, 10000)) << round;
        EXPECT_EQ(socket.waitingBytes(), 0) << round;
        socket.writeData(QByteArray(kBound / 2, 'c'), -1, 3);
        socket.writeData(QByteArray(kBound / 2, 'd'), -1, 4);
        total += kBound;
    }
    ASSERT_TRUE(waitFor([&] { return server.received().size() == total; }, 10000));
    EXPECT_EQ(socket.waitingBytes(), 0);
    EXPECT_TRUE(socket.isConnected());
    EXPECT_TRUE(recorder.disconnects.isEmpty());
}

TEST(GCDAsyncSocket, DescriptorIsAvailableInsideABlockOnlyWhileConnected)
{
    GCDAsyncSocket socket;
    int seen = 0;
    socket.performBlock([&] { seen = socket.socketFD(); });
    EXPECT_EQ(seen, -1);

    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    RecordingServer server(address);
    ASSERT_TRUE(socket.connectToHost(address.toString(), server.port(), 4000));
    ASSERT_TRUE(waitFor([&] { return socket.isConnected(); }));
    socket.performBlock([&] { seen = socket.socketFD(); });
    EXPECT_GE(seen, 0);
}

TEST(GCDAsyncSocket, ADelegateMayDeleteTheSocketLaterFromInsideACallback)
{
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    RecordingServer server(address);
    struct Dropper : GCDAsyncSocketDelegate {
        int reads = 0;
        void socketDidReadData(GCDAsyncSocket *sock, const QByteArray &, qint64) override
        {
            ++reads;
            sock->disconnect();
            sock->deleteLater();
        }
    } dropper;
    QPointer<GCDAsyncSocket> socket = new GCDAsyncSocket(&dropper);
    ASSERT_TRUE(socket->connectToHost(address.toString(), server.port(), 4000));
    socket->readDataWithTimeout(-1, 0);
    socket->readDataWithTimeout(-1, 1);
    ASSERT_TRUE(waitFor([&] { return server.connectionCount() == 1; }));
    server.connection()->write("abc");
    ASSERT_TRUE(waitFor([&] { return socket.isNull(); }));
    EXPECT_EQ(dropper.reads, 1);
}

TEST(AsyncSocket, WriteThatCannotFinishInTimeIsCodeFive)
{
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    TestSupport::HangingListener listener(address);
    RunLoopRecorder recorder;
    AsyncSocket socket(&recorder);
    ASSERT_TRUE(socket.connectToHost(address.toString(), listener.port(), 3000));
    socket.writeData(QByteArray(64 * 1024 * 1024, 'w'), 100, 4);
    ASSERT_TRUE(waitFor([&] { return recorder.didDisconnectCount == 1; }));
    ASSERT_TRUE(recorder.willDisconnectError.has_value());
    EXPECT_EQ(recorder.willDisconnectError->code, 5);
    EXPECT_TRUE(recorder.writes.isEmpty());
}

// --- Control-connection bounds ---

TEST(GCDAsyncSocket, AControlConnectionWhosePeerNeverReadsEndsAtItsQueueLimit)
{
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    TestSupport::HangingListener listener(address); // accepts nothing, reads nothing
    QueueRecorder recorder;
    GCDAsyncSocket socket(&recorder);
    socket.setControlConnectionLimits();
    constexpr qint64 kLimit = TcpSocketBase::kControlMaxWaitingBytes;

    // One read waits, however often one is asked for.
    socket.readDataWithTimeout(-1, 1);
    socket.readDataWithTimeout(-1, 2);
    socket.readDataWithTimeout(-1, 3);
    EXPECT_EQ(socket.pendingReads(), 1);

    ASSERT_TRUE(socket.connectToHost(address.toString(), listener.port(), 3000));
    ASSERT_TRUE(waitFor([&] { return socket.isConnected(); }));

    // Answers the peer never takes: once the kernel's buffers are full they
    // wait with us, up to the limit and no further.
    const QByteArray answer(16 * 1024, 'a');
    qint64 offered = 0;
    for (int i = 0; i < 8192 && !socket.isDisconnected(); ++i) {
        socket.writeData(answer, -1, i);
        offered += answer.size();
        ASSERT_LE(socket.waitingBytes(), kLimit + answer.size());
        if (i % 16 == 0)
            QCoreApplication::processEvents();
    }
    ASSERT_TRUE(socket.isDisconnected()) << offered << " bytes offered without reaching the limit";
    ASSERT_TRUE(waitFor([&] { return recorder.disconnects.size() == 1; }));
    ASSERT_TRUE(recorder.disconnects.first().has_value());
    EXPECT_EQ(recorder.disconnects.first()->domain, SocketErrors::kPosixErrorDomain);
    EXPECT_EQ(recorder.disconnects.first()->code, ENOBUFS);
    EXPECT_GT(socket.waitingBytesHighWater(), kLimit);
    EXPECT_LE(socket.waitingBytesHighWater(), kLimit + answer.size());
    EXPECT_EQ(socket.waitingBytes(), 0);

    // Nothing more is queued on the ended connection.
    socket.writeData(answer, -1, 0);
    socket.readDataWithTimeout(-1, 0);
    EXPECT_EQ(socket.waitingBytes(), 0);
    EXPECT_EQ(socket.queneCount(), 0);
    EXPECT_EQ(socket.pendingReads(), 0);
    TestSupport::spin(20); // for a second report that must not come
    EXPECT_EQ(recorder.disconnects.size(), 1);
}

TEST(AsyncSocket, TheQueueLimitEndsTheConnectionThroughItsErrorCallback)
{
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    TestSupport::HangingListener listener(address);
    RunLoopRecorder recorder;
    AsyncSocket socket(&recorder);
    socket.setMaxWaitingBytes(1000);
    socket.writeData(QByteArray(600, 'a'), -1, 1);
    EXPECT_EQ(socket.waitingBytes(), 600);
    ASSERT_TRUE(socket.connectToHost(address.toString(), listener.port(), 3000));
    // Before the connect completes the queue is bounded as well: one write
    // may take it past the limit, the next one ends the connection.
    socket.writeData(QByteArray(401, 'b'), -1, 2);
    EXPECT_EQ(socket.waitingBytes(), 1001);
    socket.writeData(QByteArray(1, 'c'), -1, 3);
    ASSERT_TRUE(waitFor([&] { return recorder.didDisconnectCount == 1; }));
    EXPECT_EQ(recorder.events, (QStringList{"will", "did"}));
    ASSERT_TRUE(recorder.willDisconnectError.has_value());
    EXPECT_EQ(recorder.willDisconnectError->code, ENOBUFS);
    EXPECT_EQ(socket.waitingBytesHighWater(), 1001);
}

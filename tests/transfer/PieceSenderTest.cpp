// The piece sender: the server sees the very request Qt's network access
// sends; answers in every framing arrive, hostile or broken ones end the post
// with an error instead of a wrong answer, and endless ones with bounded
// memory; a kept-alive connection the server closed is tried once more, but
// never after body bytes left; the outcome says whether the whole body left;
// the piece is read on the worker; a silent server times out, and an aborted
// post stops sending.

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

#include "AllocationWatch.h"
#include "FakeFileShareServer.h"
#include "HostileServer.h"
#include "QVPieceSender.h"
#include "Support/SerialWorker.h"
#include "QVUploadPiece.h"
#include "TestSupport.h"
#include "TransferTestSupport.h"

namespace {

using namespace std::chrono_literals;

const QString kUploadFile = QStringLiteral("api/glimra/fileShare/uploadFile");

const QVPieceSender::HeaderList kHeaders{
    {"Content-Type", "application/x-www-form-urlencoded"},
    {"File-MD5", "0123456789abcdef0123456789abcdef"},
    {"File-Size", "300000"},
    {"File-Name", "cGllY2UuYmlu"},
    {"Device-ID", "5C0FFEE0-0000-4000-8000-00000000D1CE"},
    {"Bytes-Start", "0"},
};

// A server whose every connection is answered by a script: it is given the
// bytes received so far on that connection and the socket.
class ScriptedServer {
public:
    using Script = std::function<void(QTcpSocket *socket, QByteArray &received, int connection)>;

    explicit ScriptedServer(Script script) : m_script(std::move(script))
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                const int index = connections++;
                auto received = std::make_shared<QByteArray>();
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received, index] {
                    *received += socket->readAll();
                    m_script(socket, *received, index);
                });
            }
        });
        EXPECT_TRUE(m_server.listen(TestSupport::uniqueLoopbackAddress()));
    }

    QUrl url() const
    {
        return QUrl(QStringLiteral("http://%1:%2/%3")
                        .arg(m_server.serverAddress().toString())
                        .arg(m_server.serverPort())
                        .arg(kUploadFile));
    }

    int connections = 0;

private:
    QTcpServer m_server;
    Script m_script;
};

// Bytes received hold a whole request with its `body` bytes.
bool wholeRequest(const QByteArray &received, qint64 body)
{
    const qsizetype headEnd = received.indexOf("\r\n\r\n");
    return headEnd >= 0 && received.size() >= headEnd + 4 + body;
}

class PieceSenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        source = TransferTest::patternBytes(300000, 7);
        path = m_dir.filePath(QStringLiteral("piece.bin"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(source);
        QObject::connect(&sender, &QVPieceSender::finished, [this] { ++finishedCount; });
    }

    // Posts bytes [offset, offset + length) of the source and waits for the
    // end; false when no end came.
    bool postAndWait(const QUrl &url, qint64 offset = 0, qint64 length = -1, std::chrono::milliseconds timeout = 5s)
    {
        piece = std::make_unique<QVUploadPiece>(path, offset, length < 0 ? source.size() - offset : length);
        if (!piece->openPiece())
            return false;
        const int before = finishedCount;
        sender.post(url, kHeaders, piece.get(), timeout);
        return TestSupport::waitFor([&] { return finishedCount > before; }, 15000);
    }

    // Writes `bytes` to the source's path with `suffix` added.
    QString writeBeside(const QString &suffix, const QByteArray &bytes)
    {
        const QString other = path + suffix;
        QFile file(other);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return other;
    }

    QByteArray source;
    QString path;
    // Declared before the sender, so that it outlives it.
    Support::SerialWorker worker{"piece-read"};
    QVPieceSender sender{&worker};
    std::unique_ptr<QVUploadPiece> piece;
    int finishedCount = 0;

private:
    QTemporaryDir m_dir;
};

TEST_F(PieceSenderTest, TheServerSeesTheRequestQtsNetworkAccessSendsAndEveryPieceOnOneConnection)
{
    FakeServers::FakeFileShareServer server;
    ASSERT_TRUE(server.listen(TestSupport::uniqueLoopbackAddress()));
    const QUrl url(server.baseUrl() + QLatin1Char('/') + kUploadFile);

    // The same POST through Qt's network access, body streamed from a file.
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    for (const auto &[name, value] : kHeaders)
        request.setRawHeader(name, value);
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    QVUploadPiece viaQt(path, 0, source.size());
    ASSERT_TRUE(viaQt.openPiece());
    QNetworkReply *reply = manager.post(request, &viaQt);
    ASSERT_TRUE(TestSupport::waitFor([&] { return reply->isFinished(); }));
    delete reply;

    ASSERT_TRUE(postAndWait(url));
    EXPECT_TRUE(sender.outcome().error.isEmpty()) << qPrintable(sender.outcome().error);
    EXPECT_EQ(sender.outcome().httpStatus, 200);
    ASSERT_TRUE(postAndWait(url, 100000, 200000));
    EXPECT_EQ(sender.outcome().httpStatus, 200);

    const auto requests = server.requestsTo(kUploadFile);
    ASSERT_EQ(requests.size(), 3);
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(requests.at(i).method, requests.at(0).method);
        EXPECT_EQ(requests.at(i).target, requests.at(0).target);
        EXPECT_EQ(requests.at(i).httpVersion, requests.at(0).httpVersion);
    }
    // Qt also offers encodings the sender cannot undo; the rest is the same.
    auto withoutEncodings = [](FakeServers::HeaderList headers) {
        for (auto &header : headers) {
            if (header.first.compare("Accept-Encoding", Qt::CaseInsensitive) == 0)
                header.second.clear();
        }
        return headers;
    };
    EXPECT_EQ(withoutEncodings(requests.at(1).headers), withoutEncodings(requests.at(0).headers));
    EXPECT_EQ(requests.at(1).header("Accept-Encoding"), "gzip, deflate");
    EXPECT_EQ(requests.at(0).body, source);
    EXPECT_EQ(requests.at(1).body, source);
    EXPECT_EQ(requests.at(2).body, source.mid(100000));
    EXPECT_EQ(requests.at(2).header("Content-Length"), "200000");
    // Qt's connection and the sender's kept-alive one.
    EXPECT_EQ(server.openConnections(), 2);
}

TEST_F(PieceSenderTest, AnswersInEveryFramingArriveAndBrokenOnesEndInAnError)
{
    const QByteArray json = R"({"code":206})";
    struct Case {
        const char *name;
        QByteArray answer;
        bool close;
        int status;
        QByteArray body;
    };
    const QList<Case> cases{
        {"length", "HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n" + json, false, 200, json},
        {"continue first", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n" + json, false,
         200, json},
        {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\n{\"cod\r\n7;x=y\r\ne\":206}\r\n0\r\n\r\n",
         false, 200, json},
        {"to the close", "HTTP/1.0 200 OK\r\n\r\n" + json, true, 200, json},
        {"gzip", "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: "
                     + QByteArray::number(TransferTest::gzipped(json).size()) + "\r\n\r\n" + TransferTest::gzipped(json),
         false, 200, json},
        {"http status", "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n", false, 500, {}},
        {"not http", "SSH-2.0-OpenSSH\r\n\r\n", false, 0, {}},
        {"bad status", "HTTP/1.1 2x0 OK\r\nContent-Length: 0\r\n\r\n", false, 0, {}},
        {"bad length", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", false, 0, {}},
        {"huge length", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999\r\n\r\n", false, 0, {}},
        {"bad chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", false, 0, {}},
        {"short body", "HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n" + json, true, 0, {}},
        {"bad gzip", "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 12\r\n\r\n" + json, false, 0, {}},
        {"endless head", "HTTP/1.1 200 OK\r\nX: " + QByteArray(QVPieceAnswerParser::Limits{}.maxHeadBytes + 10, 'a'),
         false, 0, {}},
        {"closed", QByteArray(), true, 0, {}},
    };
    for (const Case &each : cases) {
        SCOPED_TRACE(each.name);
        ScriptedServer server([&](QTcpSocket *socket, QByteArray &received, int) {
            if (!wholeRequest(received, source.size()))
                return;
            received.clear();
            socket->write(each.answer);
            if (each.close)
                socket->disconnectFromHost();
        });
        ASSERT_TRUE(postAndWait(server.url()));
        EXPECT_EQ(sender.outcome().httpStatus, each.status);
        EXPECT_EQ(sender.outcome().body, each.body);
        EXPECT_EQ(sender.outcome().error.isEmpty(), each.status != 0);
        sender.abort();
    }
}

TEST_F(PieceSenderTest, AKeptAliveConnectionTheServerClosedIsTriedOnceMoreOnANewOne)
{
    int answered = 0;
    ScriptedServer server([&](QTcpSocket *socket, QByteArray &received, int connection) {
        if (!wholeRequest(received, source.size()))
            return;
        received.clear();
        ++answered;
        socket->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n{}");
        // The first connection goes right after its answer, as an idle one
        // might between two pieces.
        if (connection == 0)
            socket->disconnectFromHost();
    });
    ASSERT_TRUE(postAndWait(server.url()));
    ASSERT_EQ(sender.outcome().httpStatus, 200);
    // The close may not have been seen yet when the next piece starts.
    ASSERT_TRUE(postAndWait(server.url()));
    EXPECT_EQ(sender.outcome().httpStatus, 200) << qPrintable(sender.outcome().error);
    EXPECT_EQ(answered, 2);
    EXPECT_EQ(server.connections, 2);

    // A fresh connection that closes is not tried again.
    ScriptedServer closing([&](QTcpSocket *socket, QByteArray &, int) { socket->abort(); });
    ASSERT_TRUE(postAndWait(closing.url()));
    EXPECT_EQ(sender.outcome().httpStatus, 0);
    EXPECT_FALSE(sender.outcome().error.isEmpty());
    EXPECT_EQ(closing.connections, 1);
}

TEST_F(PieceSenderTest, ASilentServerTimesOutAndAnAbortedPostSendsNoMore)
{
    ScriptedServer silent([](QTcpSocket *, QByteArray &, int) {});
    ASSERT_TRUE(postAndWait(silent.url(), 0, -1, 300ms));
    EXPECT_EQ(sender.outcome().httpStatus, 0);
    EXPECT_TRUE(sender.outcome().error.contains(QStringLiteral("300 ms")));

    // A body far larger than what is queued at a time, to a server that
    // takes nothing until the abort: what it finds then ends there.
    const QByteArray big = TransferTest::patternBytes(40 * 1024 * 1024, 3);
    const QString bigPath = writeBeside(QStringLiteral(".big"), big);
    QTcpServer server;
    ASSERT_TRUE(server.listen(TestSupport::uniqueLoopbackAddress()));
    QTcpSocket *peer = nullptr;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        peer = server.nextPendingConnection();
        peer->setReadBufferSize(64 * 1024);
    });
    QVUploadPiece bigPiece(bigPath, 0, big.size());
    ASSERT_TRUE(bigPiece.openPiece());
    qint64 progress = 0;
    QObject::connect(&sender, &QVPieceSender::uploadProgress, [&](qint64 sent, qint64) { progress = sent; });
    const int before = finishedCount;
    sender.post(QUrl(QStringLiteral("http://%1:%2/%3")
                         .arg(server.serverAddress().toString())
                         .arg(server.serverPort())
                         .arg(kUploadFile)),
                kHeaders, &bigPiece, 5s);
    ASSERT_TRUE(TestSupport::waitFor([&] { return progress > 1024 * 1024; }));
    sender.abort();
    EXPECT_FALSE(sender.isBusy());
    ASSERT_NE(peer, nullptr);
    qint64 received = 0;
    bool closed = false;
    QObject::connect(peer, &QTcpSocket::disconnected, [&] { closed = true; });
    QObject::connect(peer, &QTcpSocket::readyRead, [&] { received += peer->readAll().size(); });
    received += peer->readAll().size();
    ASSERT_TRUE(TestSupport::waitFor([&] { return closed; }));
    EXPECT_GT(received, 0);
    EXPECT_LT(received, big.size() / 2);
    EXPECT_EQ(finishedCount, before);
}

TEST_F(PieceSenderTest, EndlessOrCraftedAnswersEndThePostSoonWithBoundedMemory)
{
    const QByteArray chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    struct Case {
        const char *name;
        QByteArray head;
        HttpTest::HostileServer::Endless endless;
        char fill;
    };
    using Endless = HttpTest::HostileServer::Endless;
    const QList<Case> cases{
        {"endless chunks", chunked, Endless::Chunks, 'a'},
        {"endless header line", "HTTP/1.1 200 OK\r\nX: ", Endless::Bytes, 'a'},
        {"endless chunk size", chunked, Endless::Bytes, '1'},
        {"endless interim answers", {}, Endless::InterimAnswers, 'a'},
        {"size that would wrap", chunked + "1\r\nx\r\n7fffffffffffffff\r\n", Endless::None, 'a'},
        {"size beyond 64 bits", chunked + "1\r\nx\r\n" + QByteArray(40, 'f') + "\r\n", Endless::None, 'a'},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        HttpTest::HostileServer server;
        HttpTest::HostileServer::Answer answer;
        answer.head = c.head;
        answer.endless = c.endless;
        answer.fill = c.fill;
        server.setAnswer(kUploadFile, answer);
        HttpTest::AllocationWatch watch;
        // Every byte restarts the idle time-out: only the bounds can end these.
        ASSERT_TRUE(postAndWait(QUrl(server.baseUrl() + QLatin1Char('/') + kUploadFile), 0, -1, 60s));
        EXPECT_EQ(sender.outcome().httpStatus, 0);
        EXPECT_TRUE(sender.outcome().error.contains(QStringLiteral("malformed or too large")))
            << qPrintable(sender.outcome().error);
        EXPECT_LT(watch.peakGrowth(), 8 * 1024 * 1024);
        EXPECT_LT(server.bytesSent(), 64 * 1024 * 1024);
    }
}

TEST_F(PieceSenderTest, AReusedConnectionIsTriedAgainOnlyWhileNoByteOfTheBodyHasLeft)
{
    int answered = 0;
    int cut = 0;
    ScriptedServer server([&](QTcpSocket *socket, QByteArray &received, int) {
        if (answered == 0) {
            if (!wholeRequest(received, source.size()))
                return;
            received.clear();
            ++answered;
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n{}");
            return;
        }
        // The next request on the kept-alive connection: part of its body
        // arrives, then the connection goes without an answer.
        const qsizetype headEnd = received.indexOf("\r\n\r\n");
        if (headEnd >= 0 && received.size() >= headEnd + 4 + 1000) {
            ++cut;
            received.clear();
            socket->abort();
        }
    });
    ASSERT_TRUE(postAndWait(server.url()));
    ASSERT_EQ(sender.outcome().httpStatus, 200);
    ASSERT_TRUE(postAndWait(server.url()));
    EXPECT_EQ(sender.outcome().httpStatus, 0);
    EXPECT_FALSE(sender.outcome().error.isEmpty());
    // Bytes of the body may have reached the server: not posted again.
    EXPECT_EQ(server.connections, 1);
    EXPECT_EQ(cut, 1);
}

TEST_F(PieceSenderTest, TheOutcomeSaysWhetherTheWholeBodyLeftBeforeTheAnswer)
{
    FakeServers::FakeFileShareServer fake;
    ASSERT_TRUE(fake.listen(TestSupport::uniqueLoopbackAddress()));
    ASSERT_TRUE(postAndWait(QUrl(fake.baseUrl() + QLatin1Char('/') + kUploadFile)));
    EXPECT_EQ(sender.outcome().httpStatus, 200);
    EXPECT_TRUE(sender.outcome().bodySent);

    // A server that answers at once and never reads: a body far larger than
    // what the system buffers cannot have left when the answer comes.
    const QByteArray big = TransferTest::patternBytes(40 * 1024 * 1024, 5);
    const QString bigPath = writeBeside(QStringLiteral(".big"), big);
    QTcpServer early;
    ASSERT_TRUE(early.listen(TestSupport::uniqueLoopbackAddress()));
    QObject::connect(&early, &QTcpServer::newConnection, [&] {
        QTcpSocket *peer = early.nextPendingConnection();
        peer->setReadBufferSize(1);
        peer->write("HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n{\"code\":200}");
    });
    QVUploadPiece bigPiece(bigPath, 0, big.size());
    ASSERT_TRUE(bigPiece.openPiece());
    const int before = finishedCount;
    sender.post(QUrl(QStringLiteral("http://%1:%2/%3")
                         .arg(early.serverAddress().toString())
                         .arg(early.serverPort())
                         .arg(kUploadFile)),
                kHeaders, &bigPiece, 5s);
    ASSERT_TRUE(TestSupport::waitFor([&] { return finishedCount > before; }));
    EXPECT_EQ(sender.outcome().httpStatus, 200);
    EXPECT_FALSE(sender.outcome().bodySent);
}

TEST_F(PieceSenderTest, ThePieceIsReadOnTheWorkerNotOnTheSendersThread)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(TestSupport::uniqueLoopbackAddress()));
    QByteArray received;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket *peer = server.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, [&received, peer] { received += peer->readAll(); });
    });
    const QUrl url(QStringLiteral("http://%1:%2/%3")
                       .arg(server.serverAddress().toString())
                       .arg(server.serverPort())
                       .arg(kUploadFile));
    const qsizetype headBytes = QVPieceSender::requestHead(url, kHeaders, source.size()).size();
    piece = std::make_unique<QVUploadPiece>(path, 0, source.size());
    ASSERT_TRUE(piece->openPiece());
    // While the worker is held, the head goes out and not a byte of the body.
    TransferTest::WorkerGate gate(&worker);
    sender.post(url, kHeaders, piece.get(), 5s);
    ASSERT_TRUE(TestSupport::waitFor([&] { return received.size() >= headBytes; }));
    TestSupport::spin(100);
    EXPECT_EQ(received.size(), headBytes);
    gate.release();
    ASSERT_TRUE(TestSupport::waitFor([&] { return received.size() == headBytes + source.size(); }));
    EXPECT_EQ(received.mid(headBytes), source);
}

} // namespace

// The piece sender: the server sees the very request Qt's network access
// sends; answers in every framing arrive, hostile or broken ones end the post
// with an error instead of a wrong answer; a kept-alive connection the server
// closed is tried once more, a silent server times out, and an aborted post
// stops sending.

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <zlib.h>

#include "FakeFileShareServer.h"
#include "QVPieceSender.h"
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

QByteArray gzipped(const QByteArray &plain)
{
    z_stream stream {};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(plain.size()))) + 32, Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(plain.constData()));
    stream.avail_in = uInt(plain.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
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

    QByteArray source;
    QString path;
    QVPieceSender sender;
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
                     + QByteArray::number(gzipped(json).size()) + "\r\n\r\n" + gzipped(json),
         false, 200, json},
        {"http status", "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n", false, 500, {}},
        {"not http", "SSH-2.0-OpenSSH\r\n\r\n", false, 0, {}},
        {"bad status", "HTTP/1.1 2x0 OK\r\nContent-Length: 0\r\n\r\n", false, 0, {}},
        {"bad length", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", false, 0, {}},
        {"huge length", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999\r\n\r\n", false, 0, {}},
        {"bad chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", false, 0, {}},
        {"short body", "HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n" + json, true, 0, {}},
        {"bad gzip", "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 12\r\n\r\n" + json, false, 0, {}},
        {"endless head", "HTTP/1.1 200 OK\r\nX: " + QByteArray(QVPieceSender::kMaxAnswerHeadBytes + 10, 'a'), false,
         0, {}},
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
    const QString bigPath = path + QStringLiteral(".big");
    QFile file(bigPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(big);
    file.close();
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
    TestSupport::spin(100); // the upload stalls on the full buffers; nothing awaited
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

} // namespace

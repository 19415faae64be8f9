// The fake servers themselves, as the transfer tests will lean on them: the
// chunked download, the resumable upload (also across a restart), fault
// counting, the HTTP framing, and the standalone program stopped hard.

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSettings>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "FakeFileShareServer.h"
#include "HttpTestSupport.h"
#include "QVFileShareApi.h"
#include "QVHttpError.h"

using namespace FakeServers;
using namespace HttpTest;

namespace {

QByteArray pattern(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xff);
    return bytes;
}

QByteArray md5Hex(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

struct RawReply {
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    int status = 0;
    QByteArray body;
    QNetworkReply *headers = nullptr;
    QHash<QByteArray, QByteArray> answerHeaders;
};

// A hand-built request, as the transfer pages send them.
RawReply exchange(QNetworkAccessManager &manager, const QByteArray &method, const QString &url,
                  const QList<QPair<QByteArray, QByteArray>> &headers, const QByteArray &body = {})
{
    QNetworkRequest request{QUrl(url)};
    for (const auto &header : headers)
        request.setRawHeader(header.first, header.second);
    QNetworkReply *reply = manager.sendCustomRequest(request, method, body);
    TestSupport::waitFor([&] { return reply->isFinished(); }, 10000);
    RawReply result;
    result.error = reply->error();
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.body = reply->readAll();
    for (const auto &pair : reply->rawHeaderPairs())
        result.answerHeaders.insert(pair.first.toLower(), pair.second);
    reply->deleteLater();
    return result;
}

qint64 codeOf(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object().value("code").toInteger(-1);
}

class FakeFileShare : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.listen(TestSupport::uniqueLoopbackAddress())); }
    QString url(const QString &path) const { return server.baseUrl() + QLatin1Char('/') + path; }

    SettingsScope settings;
    FakeFileShareServer server;
    QNetworkAccessManager manager;
};

} // namespace

TEST_F(FakeFileShare, ServesAFileChunkByChunkWithItsHeaders)
{
    const QByteArray file = pattern(100000);
    server.addFile("Root-Download/big.bin", file);
    server.setChunkSize(30000);
    const QByteArray path = QByteArray("Root-Download/big.bin").toBase64();
    QByteArray assembled;
    for (int chunk = 0; chunk < 4; ++chunk) {
        const auto check = exchange(manager, "GET", url(QVFileShare::kCheckFilePath),
                                    {{"File-Path", path}, {"Chunk-Number", QByteArray::number(chunk)}});
        ASSERT_EQ(codeOf(check.body), 200);
        const auto piece = exchange(manager, "GET", url(QVFileShare::kDownloadPath),
                                    {{"File-Path", path}, {"Chunk-Number", QByteArray::number(chunk)},
                                     {"Content-Type", "multipart/form-data"}, {"client-api-version", "1"}});
        ASSERT_EQ(piece.error, QNetworkReply::NoError);
        EXPECT_EQ(piece.answerHeaders.value("total-chunk-number"), QByteArray("4"));
        EXPECT_EQ(piece.answerHeaders.value("current-chunk-size"), QByteArray::number(piece.body.size()));
        EXPECT_EQ(piece.answerHeaders.value("file-md5"), md5Hex(piece.body));
        assembled += piece.body;
    }
    EXPECT_EQ(assembled, file);
    const auto beyond = exchange(manager, "GET", url(QVFileShare::kCheckFilePath),
                                 {{"File-Path", path}, {"Chunk-Number", "4"}});
    EXPECT_NE(codeOf(beyond.body), 200);

    // A spoilt checksum once, then the right one; a missing size header.
    server.setWrongChunkMd5Times(1);
    server.setOmitCurrentChunkSize(true);
    auto piece = exchange(manager, "GET", url(QVFileShare::kDownloadPath), {{"File-Path", path}, {"Chunk-Number", "1"}});
    EXPECT_NE(piece.answerHeaders.value("file-md5"), md5Hex(piece.body));
    EXPECT_FALSE(piece.answerHeaders.contains("current-chunk-size"));
    piece = exchange(manager, "GET", url(QVFileShare::kDownloadPath), {{"File-Path", path}, {"Chunk-Number", "1"}});
    EXPECT_EQ(piece.answerHeaders.value("file-md5"), md5Hex(piece.body));

    // A password in the download URL, escaped.
    server.addRoot({"Root-Encrypt", "Safe", true, "12 &3", 1});
    server.addFile("Root-Encrypt/s.txt", "secret");
    const QByteArray safePath = QByteArray("Root-Encrypt/s.txt").toBase64();
    piece = exchange(manager, "GET", url(QVFileShare::kDownloadPath) + "?pwd=12%20%263",
                     {{"File-Path", safePath}, {"Chunk-Number", "0"}});
    EXPECT_EQ(piece.body, QByteArray("secret"));
    piece = exchange(manager, "GET", url(QVFileShare::kDownloadPath) + "?pwd=12",
                     {{"File-Path", safePath}, {"Chunk-Number", "0"}});
    EXPECT_EQ(codeOf(piece.body), 406);
}

TEST_F(FakeFileShare, TakesAnUploadInResumablePieces)
{
    const QByteArray file = pattern(50000);
    const QByteArray md5 = md5Hex(file);
    const QByteArray name = QStringLiteral("clip ä.bin").toUtf8().toBase64();
    const QList<QPair<QByteArray, QByteArray>> identity = {
        {"File-MD5", md5}, {"File-Size", "50000"}, {"File-Name", name}, {"Device-ID", "DEV-1"}};
    server.setUploadAcceptLimit(20000);

    qint64 offset = 0;
    int rounds = 0;
    for (;;) {
        const auto start = exchange(manager, "GET", url(QVFileShare::kGetStartBytesPath),
                                    identity + QList<QPair<QByteArray, QByteArray>>{{"Content-Type", "multipart/form-data"}});
        ASSERT_EQ(codeOf(start.body), 200);
        offset = QJsonDocument::fromJson(start.body).object().value("byteStart").toInteger(-1);
        ASSERT_GE(offset, 0);
        auto headers = identity;
        headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("application/x-www-form-urlencoded")));
        headers.append(qMakePair(QByteArray("Bytes-Start"), QByteArray(QByteArray::number(offset))));
        const auto piece = exchange(manager, "POST", url(QVFileShare::kUploadFilePath), headers, file.mid(offset));
        ++rounds;
        const qint64 code = codeOf(piece.body);
        if (code == 200)
            break;
        ASSERT_EQ(code, 206);
        ASSERT_LT(rounds, 10);
    }
    EXPECT_EQ(rounds, 3);
    EXPECT_EQ(server.uploadedFile(QStringLiteral("clip ä.bin")), file);
    EXPECT_EQ(server.partialLength("DEV-1", md5, name), 0);

    // A piece from the wrong offset writes nothing and asks for a new start.
    auto headers = identity;
    headers.append(qMakePair(QByteArray("Bytes-Start"), QByteArray("100")));
    EXPECT_EQ(codeOf(exchange(manager, "POST", url(QVFileShare::kUploadFilePath), headers, file.mid(100)).body), 206);
    EXPECT_EQ(server.partialLength("DEV-1", md5, name), 0);

    // Bytes that do not match the checksum are thrown away.
    headers = identity;
    headers.append(qMakePair(QByteArray("Bytes-Start"), QByteArray("0")));
    server.setUploadAcceptLimit(std::numeric_limits<qint64>::max());
    EXPECT_EQ(codeOf(exchange(manager, "POST", url(QVFileShare::kUploadFilePath), headers, pattern(49999) + "x").body),
              400);

    // deleteTempFile drops a partial copy.
    server.setUploadAcceptLimit(1000);
    exchange(manager, "POST", url(QVFileShare::kUploadFilePath), headers, file);
    EXPECT_EQ(server.partialLength("DEV-1", md5, name), 1000);
    const auto drop = exchange(manager, "GET", url(QVFileShare::kDeleteTempFilePath),
                               {{"File-MD5", md5}, {"File-Name", name}, {"Device-ID", "DEV-1"}});
    EXPECT_EQ(codeOf(drop.body), 200);
    EXPECT_EQ(server.partialLength("DEV-1", md5, name), 0);

    // A name that tries to leave the upload folder is refused.
    const QByteArray evil = QByteArray("../evil").toBase64();
    EXPECT_EQ(codeOf(exchange(manager, "POST", url(QVFileShare::kUploadFilePath),
                              {{"File-MD5", md5Hex("ab")}, {"File-Size", "2"}, {"File-Name", evil},
                               {"Device-ID", "D"}, {"Bytes-Start", "0"}},
                              "ab")
                         .body),
              200);
    EXPECT_TRUE(server.uploadedFile(QStringLiteral("evil")) == QByteArray("ab"));
}

TEST(FakeFileShareDisk, PartialUploadsSurviveARestartedServer)
{
    SettingsScope settings;
    QTemporaryDir dir;
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    const QByteArray file = pattern(3000);
    const QList<QPair<QByteArray, QByteArray>> identity = {
        {"File-MD5", md5Hex(file)}, {"File-Size", "3000"}, {"File-Name", "YS5iaW4="}, {"Device-ID", "DEV-2"}};
    QNetworkAccessManager manager;
    {
        FakeFileShareServer first;
        first.setUploadDirectory(dir.path());
        first.setUploadAcceptLimit(1200);
        ASSERT_TRUE(first.listen(address));
        auto headers = identity;
        headers.append(qMakePair(QByteArray("Bytes-Start"), QByteArray("0")));
        EXPECT_EQ(codeOf(exchange(manager, "POST", first.baseUrl() + "/" + QVFileShare::kUploadFilePath, headers, file)
                             .body),
                  206);
    }
    FakeFileShareServer second;
    second.setUploadDirectory(dir.path());
    ASSERT_TRUE(second.listen(address));
    // The new server finds the copy under this installation's identifier.
    QSettings().setValue("device_udid", "DEV-2");
    auto outcome = start(std::make_shared<QVGetFileShareStartBytesApi>(second.baseUrl(),
                                                                       QUrl::fromLocalFile("/x/a.bin"), "3000",
                                                                       QString::fromLatin1(md5Hex(file))),
                         Road::FileShare);
    ASSERT_TRUE(waitForEnd(outcome));
    EXPECT_EQ(outcome->response.byteStart, std::optional<qint64>(1200));
    QSettings().setValue("device_udid", "DEV-3");
    outcome = start(std::make_shared<QVGetFileShareStartBytesApi>(second.baseUrl(), QUrl::fromLocalFile("/x/a.bin"),
                                                                  "3000", QString::fromLatin1(md5Hex(file))),
                    Road::FileShare);
    ASSERT_TRUE(waitForEnd(outcome));
    EXPECT_EQ(outcome->response.byteStart, std::optional<qint64>(0));
    auto headers = identity;
    headers.append(qMakePair(QByteArray("Bytes-Start"), QByteArray("1200")));
    EXPECT_EQ(codeOf(exchange(manager, "POST", second.baseUrl() + "/" + QVFileShare::kUploadFilePath, headers,
                              file.mid(1200))
                         .body),
              200);
    EXPECT_EQ(second.uploadedFile("a.bin"), file);
}

TEST_F(FakeFileShare, ThumbnailsAndFaultCounts)
{
    server.addFile("Root-Picture/a b/c.png", "PNGDATA");
    auto thumb = exchange(manager, "GET",
                          url(QVFileShare::kGetThumbPath) + "?path=" +
                              QString::fromLatin1(QUrl::toPercentEncoding("Root-Picture/a b/c.png")),
                          {});
    EXPECT_EQ(thumb.body, QByteArray("PNGDATA"));
    EXPECT_EQ(thumb.answerHeaders.value("content-type"), QByteArray("image/png"));

    // A fault with a count spoils that many answers, then the path recovers.
    server.setFault(QVFileShare::kFunctionsPath, {Fault::WrongCode, 0, 220, {}, 2});
    QList<qint64> codes;
    for (int i = 0; i < 3; ++i)
        codes << codeOf(exchange(manager, "GET", url(QVFileShare::kFunctionsPath), {}).body);
    EXPECT_EQ(codes, (QList<qint64>{220, 220, 200}));
    EXPECT_EQ(server.requestCount(QVFileShare::kFunctionsPath), 3);
    const auto unknown = exchange(manager, "GET", url("api/glimra/fileShare/nothing"), {});
    EXPECT_EQ(unknown.status, 404);
}

TEST_F(FakeFileShare, HttpFramingChunkedBodiesKeepAliveAndLoopbackOnly)
{
    QTcpSocket socket;
    socket.connectToHost(server.address(), server.port());
    ASSERT_TRUE(socket.waitForConnected(3000));
    socket.write("POST /api/glimra/fileShare/uploadFile HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n"
                 "File-MD5: " + md5Hex("hello world") + "\r\nFile-Size: 11\r\nFile-Name: aC50eHQ=\r\n"
                 "Device-ID: D\r\nBytes-Start: 0\r\n\r\n5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n"
                 "GET /api/glimra/fileShare/functions HTTP/1.1\r\nHost: x\r\n\r\n");
    QByteArray answers;
    ASSERT_TRUE(TestSupport::waitFor([&] {
        answers += socket.readAll();
        return answers.count("HTTP/1.1 200 OK") == 2;
    }));
    EXPECT_EQ(server.uploadedFile("h.txt"), QByteArray("hello world"));
    ASSERT_EQ(server.requestCount(), 2);
    EXPECT_EQ(server.requests().at(0).body, QByteArray("hello world"));

    FakeFileShareServer outside;
    EXPECT_FALSE(outside.listen(QHostAddress(QStringLiteral("192.0.2.1"))));
    EXPECT_FALSE(outside.listen(QHostAddress::AnyIPv4));
}

TEST(FakeServerProgram, AnswersThenFailsRequestsWhenStoppedHard)
{
    SettingsScope settings;
    QProcess program;
    const QString address = TestSupport::uniqueLoopbackAddress().toString();
    program.start(QStringLiteral(FAKE_SERVERS_PROGRAM),
                  {"--address", address, "--file-share-port", "0", "--file-share-port", "0", "--verify-code", "K9Z2",
                   "--fault", QVFileShare::kGetRootListPath + "=silent"});
    ASSERT_TRUE(program.waitForStarted());
    QStringList bases;
    ASSERT_TRUE(TestSupport::waitFor([&] {
        while (program.canReadLine()) {
            const QString line = QString::fromUtf8(program.readLine()).trimmed();
            if (line.startsWith("file-share "))
                bases << line.mid(11);
            if (line == "ready")
                return true;
        }
        return false;
    }, 10000));
    ASSERT_EQ(bases.size(), 2);

    auto code = start(std::make_shared<QVGetFileShareVerifyCodeApi>(bases.at(1)), Road::FileShare);
    ASSERT_TRUE(waitForEnd(code));
    EXPECT_EQ(code->response.code, 202);
    EXPECT_EQ(code->response.content.toString(), QStringLiteral("K9Z2"));

    // A request the program never answers ends as soon as the program dies,
    // long before its 8-second time-out.
    auto pending = start(std::make_shared<QVGetRootMenuListApi>(bases.at(0)), Road::FileShare);
    TestSupport::spin(200); // the program never answers: no end may come meanwhile
    EXPECT_EQ(pending->ends(), 0);
    program.kill();
    program.waitForFinished(5000);
    ASSERT_TRUE(waitForEnd(pending));
    EXPECT_EQ(pending->failures, 1);
    // The client may try a lost GET once more on a new connection, which the
    // dead program then refuses.
    EXPECT_TRUE(pending->error.code == QVHttpError::NetworkConnectionLost
                || pending->error.code == QVHttpError::CannotConnectToHost)
        << pending->error.code;

    auto refused = start(std::make_shared<QVGetFileFunctionsApi>(bases.at(0)), Road::FileShare);
    ASSERT_TRUE(waitForEnd(refused));
    EXPECT_EQ(refused->failures, 1);
    EXPECT_EQ(refused->error.code, QVHttpError::CannotConnectToHost);
}

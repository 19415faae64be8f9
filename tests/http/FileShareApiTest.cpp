// Every file-share request class against the fake file-share server: what
// goes on the wire (method, path, headers present and absent, query) and how
// each answer code comes back.

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "FakeFileShareServer.h"
#include "HttpTestSupport.h"
#include "QVFileShareApi.h"
#include "QVHttpError.h"

using namespace FakeServers;
using namespace HttpTest;
using namespace std::chrono_literals;

namespace {

QByteArray b64(const QString &text)
{
    return text.toUtf8().toBase64();
}

class FileShareApi : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen(TestSupport::uniqueLoopbackAddress()));
        base = server.baseUrl();
        FakeRoot encrypt{QStringLiteral("Root-Encrypt"), QStringLiteral("Safe"), true, QStringLiteral("135790"), 1};
        server.addRoot(encrypt);
        server.addFile(QStringLiteral("Root-Local/文档/报告 1.pdf"), QByteArray(200000, 'r'));
        server.addFile(QStringLiteral("Root-Encrypt/secret.txt"), QByteArray("top secret"));
        server.addFolder(QStringLiteral("Root-Local/empty"));
    }

    // Sends on the file-share road and returns the outcome and the request
    // the server saw.
    std::shared_ptr<Outcome> send(const std::shared_ptr<QVHttpBaseRequest> &request)
    {
        server.clearRequests();
        auto outcome = start(request, Road::FileShare);
        EXPECT_TRUE(waitForEnd(outcome));
        return outcome;
    }

    HttpRequest lastSent() const
    {
        const auto requests = server.requests();
        return requests.isEmpty() ? HttpRequest() : requests.last();
    }

    SettingsScope settings;
    FakeFileShareServer server;
    QString base;
};

} // namespace

TEST_F(FileShareApi, EveryRequestClassIsAGetOfEightSecondsWithItsArgumentsAsParameters)
{
    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/tmp/a.bin"));
    const QList<std::shared_ptr<QVFileShareRequest>> requests = {
        std::make_shared<QVGetCheckStatusApi>(base),
        std::make_shared<QVGetRootMenuListApi>(base),
        std::make_shared<QVGetCheckEncryptPwdApi>(base, "1", "Root-Encrypt"),
        std::make_shared<QVGetFileFunctionsApi>(base),
        std::make_shared<QVGetDownLoadFileListApi>(base, "Root-Local", ""),
        std::make_shared<QVGetDownLoadCheckFileApi>(base, "Root-Local/a", 0, ""),
        std::make_shared<QVGetFileShareVerifyCodeApi>(base),
        std::make_shared<QVGetFileShareStartBytesApi>(base, file, "1", "m"),
        std::make_shared<QVGetDeleteTempFileApi>(base, file, "m"),
    };
    for (const auto &request : requests) {
        EXPECT_EQ(request->httpRequestType(), QVHttpBaseRequest::GET);
        EXPECT_DOUBLE_EQ(request->requestTimeoutInterval(), 8.0);
        EXPECT_EQ(request->splicingUrlType(), 0);
        EXPECT_EQ(request->requestBaseUrl(), base);
        EXPECT_TRUE(request->completeUrl().startsWith(base + QStringLiteral("/api/glimra/fileShare/")));
        EXPECT_FALSE(request->completeUrl().contains(QStringLiteral("//api")));
    }
}

TEST_F(FileShareApi, GlimraStatusSendsHeadersAAndReadsEnableShareFile)
{
    auto outcome = send(std::make_shared<QVGetCheckStatusApi>(base));
    const HttpRequest sent = lastSent();
    EXPECT_EQ(sent.method, QByteArray("GET"));
    EXPECT_EQ(sent.path, QStringLiteral("api/glimra/fileShare/getGlimraStatus"));
    EXPECT_EQ(sent.header("Content-Type"), QByteArray("multipart/form-data"));
    EXPECT_EQ(sent.header("client-api-version"), QByteArray("1"));
    EXPECT_TRUE(sent.rawQuery.isEmpty());
    EXPECT_TRUE(sent.body.isEmpty());
    ASSERT_EQ(outcome->successes, 1);
    EXPECT_EQ(outcome->response.code, 200);
    EXPECT_TRUE(QVJsonValue::boolValue(QVJsonValue::member(outcome->response.content, "enableShareFile")));

    server.setShareEnabled(false);
    outcome = send(std::make_shared<QVGetCheckStatusApi>(base));
    EXPECT_FALSE(QVJsonValue::boolValue(QVJsonValue::member(outcome->response.content, "enableShareFile")));

    server.setFault(QVFileShare::kGetGlimraStatusPath, {Fault::WrongCode, 0, 503});
    outcome = send(std::make_shared<QVGetCheckStatusApi>(base));
    EXPECT_EQ(outcome->successes, 1);
    EXPECT_EQ(outcome->response.code, 503);
}

TEST_F(FileShareApi, RootListVersionComesFromTheAnswerHeader)
{
    auto outcome = send(std::make_shared<QVGetRootMenuListApi>(base));
    const HttpRequest sent = lastSent();
    EXPECT_EQ(sent.path, QStringLiteral("api/glimra/fileShare/getRootList"));
    EXPECT_EQ(sent.header("Content-Type"), QByteArray("multipart/form-data"));
    EXPECT_EQ(sent.header("client-api-version"), QByteArray("1"));
    ASSERT_EQ(outcome->successes, 1);
    EXPECT_EQ(QVGetRootMenuListApi::glimraApiVersion(outcome->task), 1);
    const QJsonArray groups = QVJsonValue::member(outcome->response.content, "rootGroup").toArray();
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups.at(0).toArray().at(0).toObject().value("rootKey").toString(), QStringLiteral("Root-Local"));
    EXPECT_TRUE(groups.at(1).toArray().last().toObject().value("needPwd").toBool());

    server.setGlimraApiVersion({});
    outcome = send(std::make_shared<QVGetRootMenuListApi>(base));
    EXPECT_EQ(QVGetRootMenuListApi::glimraApiVersion(outcome->task), 0);
    server.setGlimraApiVersion("two");
    outcome = send(std::make_shared<QVGetRootMenuListApi>(base));
    EXPECT_EQ(QVGetRootMenuListApi::glimraApiVersion(outcome->task), 0);
    server.setGlimraApiVersion(" 2 ");
    outcome = send(std::make_shared<QVGetRootMenuListApi>(base));
    EXPECT_EQ(QVGetRootMenuListApi::glimraApiVersion(outcome->task), 2);
}

TEST_F(FileShareApi, CheckPwdSendsPasswordAndRootKeyEscapedAndReadsEveryCode)
{
    auto outcome = send(std::make_shared<QVGetCheckEncryptPwdApi>(base, "135790", "Root-Encrypt"));
    HttpRequest sent = lastSent();
    EXPECT_EQ(sent.path, QStringLiteral("api/glimra/fileShare/checkPwd"));
    EXPECT_EQ(sent.header("Content-Type"), QByteArray("multipart/form-data"));
    EXPECT_EQ(sent.header("client-api-version"), QByteArray("1"));
    EXPECT_EQ(sent.queryValue("pwd"), QStringLiteral("135790"));
    EXPECT_EQ(sent.queryValue("rootKey"), QStringLiteral("Root-Encrypt"));
    EXPECT_TRUE(QVJsonValue::member(outcome->response.content, "checkRes").toBool());

    // Characters that mean something in a URL travel escaped and arrive whole.
    const QString odd = QStringLiteral("1&2=3 #4%5+6/?");
    outcome = send(std::make_shared<QVGetCheckEncryptPwdApi>(base, odd, "Root-Encrypt"));
    sent = lastSent();
    EXPECT_EQ(sent.queryValue("pwd"), odd);
    EXPECT_EQ(sent.queryKeys(), (QStringList{"pwd", "rootKey"}));
    EXPECT_FALSE(sent.rawQuery.contains(' '));
    EXPECT_FALSE(sent.rawQuery.contains('#'));
    EXPECT_FALSE(QVJsonValue::member(outcome->response.content, "checkRes").toBool(true));

    server.setDeviceLocked(true);
    EXPECT_EQ(send(std::make_shared<QVGetCheckEncryptPwdApi>(base, "135790", "Root-Encrypt"))->response.code, 405);
    server.setDeviceLocked(false);
    server.setShareEnabled(false);
    EXPECT_EQ(send(std::make_shared<QVGetCheckEncryptPwdApi>(base, "135790", "Root-Encrypt"))->response.code, 220);
}

TEST_F(FileShareApi, FunctionsSendsNoHeadersAndReadsBothFlags)
{
    auto outcome = send(std::make_shared<QVGetFileFunctionsApi>(base));
    const HttpRequest sent = lastSent();
    EXPECT_EQ(sent.path, QStringLiteral("api/glimra/fileShare/functions"));
    EXPECT_FALSE(sent.hasHeader("Content-Type"));
    EXPECT_FALSE(sent.hasHeader("client-api-version"));
    EXPECT_TRUE(sent.rawQuery.isEmpty());
    EXPECT_TRUE(QVJsonValue::boolValue(QVJsonValue::member(outcome->response.content, "upload")));
    EXPECT_TRUE(QVJsonValue::boolValue(QVJsonValue::member(outcome->response.content, "download")));

    server.setFunctions(true, false);
    server.setContentAsText(true);
    outcome = send(std::make_shared<QVGetFileFunctionsApi>(base));
    ASSERT_TRUE(outcome->response.content.isObject());
    EXPECT_FALSE(QVJsonValue::boolValue(QVJsonValue::member(outcome->response.content, "download")));

    server.setContentOverride(QVFileShare::kFunctionsPath, QJsonObject{{"upload", true}});
    outcome = send(std::make_shared<QVGetFileFunctionsApi>(base));
    EXPECT_FALSE(QVJsonValue::boolValue(QVJsonValue::member(outcome->response.content, "download")));

    server.setFault(QVFileShare::kFunctionsPath, {Fault::WrongCode, 0, 220});
    EXPECT_EQ(send(std::make_shared<QVGetFileFunctionsApi>(base))->response.code, 220);
}

TEST_F(FileShareApi, FileListSendsEncodedPathAndPasswordOnlyWhenThereIsOne)
{
    const QString folder = QStringLiteral("Root-Local/文档");
    auto outcome = send(std::make_shared<QVGetDownLoadFileListApi>(base, folder, ""));
    HttpRequest sent = lastSent();
    EXPECT_EQ(sent.path, QStringLiteral("api/glimra/fileShare/getFileList"));
    EXPECT_EQ(sent.header("Content-Type"), QByteArray("multipart/form-data"));
    EXPECT_EQ(sent.header("client-api-version"), QByteArray("1"));
    EXPECT_EQ(sent.header("File-Path"), b64(folder));
    EXPECT_FALSE(sent.header("File-Path").contains('\n'));
    EXPECT_FALSE(sent.hasQueryItem("pwd"));
    EXPECT_TRUE(sent.rawQuery.isEmpty());
    ASSERT_EQ(outcome->response.code, 200);
    const QJsonArray list = outcome->response.content.toArray();
    ASSERT_EQ(list.size(), 1);
    const QJsonObject entry = list.first().toObject();
    EXPECT_EQ(entry.value("name").toString(), QStringLiteral("报告 1.pdf"));
    EXPECT_EQ(entry.value("fileType").toString(), QStringLiteral("PDF"));
    EXPECT_EQ(entry.value("fileSize").toString(), QStringLiteral("200000"));
    EXPECT_FALSE(entry.value("dir").toBool(true));

    outcome = send(std::make_shared<QVGetDownLoadFileListApi>(base, "Root-Encrypt", ""));
    EXPECT_EQ(outcome->response.code, 405);
    outcome = send(std::make_shared<QVGetDownLoadFileListApi>(base, "Root-Encrypt", "135790"));
    sent = lastSent();
    EXPECT_EQ(sent.queryKeys(), QStringList{"pwd"});
    EXPECT_EQ(sent.queryValue("pwd"), QStringLiteral("135790"));
    EXPECT_EQ(outcome->response.code, 200);
    EXPECT_EQ(outcome->response.content.toArray().size(), 1);

    EXPECT_EQ(send(std::make_shared<QVGetDownLoadFileListApi>(base, "Root-Local/gone", ""))->response.code, 404);
    outcome = send(std::make_shared<QVGetDownLoadFileListApi>(base, "Root-Local/empty", ""));
    EXPECT_EQ(outcome->response.code, 200);
    EXPECT_TRUE(outcome->response.content.isArray());
    server.setShareEnabled(false);
    EXPECT_EQ(send(std::make_shared<QVGetDownLoadFileListApi>(base, folder, ""))->response.code, 220);
}

TEST_F(FileShareApi, CheckFileSendsChunkWithoutContentTypeAndWritesTheEncodedPathToTheConsole)
{
    const QString path = QStringLiteral("Root-Local/文档/报告 1.pdf");
    LogCapture log;
    auto outcome = send(std::make_shared<QVGetDownLoadCheckFileApi>(base, path, 2, ""));
    HttpRequest sent = lastSent();
    EXPECT_EQ(sent.path, QStringLiteral("api/glimra/fileShare/checkFile"));
    EXPECT_FALSE(sent.hasHeader("Content-Type"));
    EXPECT_EQ(sent.header("File-Path"), b64(path));
    EXPECT_EQ(sent.header("Chunk-Number"), QByteArray("2"));
    EXPECT_EQ(sent.header("client-api-version"), QByteArray("1"));
    EXPECT_TRUE(sent.rawQuery.isEmpty());
    EXPECT_EQ(outcome->response.code, 200);
    EXPECT_GE(log.countContaining(QStringLiteral("ss = ") + QString::fromLatin1(b64(path))), 1);

    // 200000 bytes in 64-KiB chunks: 4 chunks, the fifth does not exist.
    EXPECT_NE(send(std::make_shared<QVGetDownLoadCheckFileApi>(base, path, 4, ""))->response.code, 200);
    EXPECT_EQ(send(std::make_shared<QVGetDownLoadCheckFileApi>(base, "Root-Local/none", 0, ""))->response.code, 404);
    EXPECT_EQ(send(std::make_shared<QVGetDownLoadCheckFileApi>(base, "Root-Encrypt/secret.txt", 0, "1"))->response.code,
              406);
    outcome = send(std::make_shared<QVGetDownLoadCheckFileApi>(base, "Root-Encrypt/secret.txt", 0, "135790"));
    EXPECT_EQ(lastSent().queryValue("pwd"), QStringLiteral("135790"));
    EXPECT_EQ(outcome->response.code, 200);
    server.setBusy(true);
    EXPECT_EQ(send(std::make_shared<QVGetDownLoadCheckFileApi>(base, path, 0, ""))->response.code, 230);
    server.setBusy(false);
    server.setShareEnabled(false);
    EXPECT_EQ(send(std::make_shared<QVGetDownLoadCheckFileApi>(base, path, 0, ""))->response.code, 220);
}

TEST_F(FileShareApi, VerifyCodeSendsOnlyTheContentTypeAndReadsCodeOrNone)
{
    server.setVerifyCode(QStringLiteral("AB12"));
    auto outcome = send(std::make_shared<QVGetFileShareVerifyCodeApi>(base));
    const HttpRequest sent = lastSent();
    EXPECT_EQ(sent.path, QStringLiteral("api/glimra/fileShare/getVerifyCode"));
    EXPECT_EQ(sent.header("Content-Type"), QByteArray("multipart/form-data"));
    EXPECT_FALSE(sent.hasHeader("client-api-version"));
    EXPECT_EQ(outcome->response.code, 202);
    EXPECT_EQ(outcome->response.content.toString(), QStringLiteral("AB12"));

    server.setVerifyCode(std::nullopt);
    outcome = send(std::make_shared<QVGetFileShareVerifyCodeApi>(base));
    EXPECT_EQ(outcome->response.code, 202);
    EXPECT_TRUE(outcome->response.content.isNull());

    server.setContentOverride(QVFileShare::kGetVerifyCodePath, QStringLiteral("null"));
    outcome = send(std::make_shared<QVGetFileShareVerifyCodeApi>(base));
    EXPECT_EQ(outcome->response.content.toString(), QStringLiteral("null"));

    server.setBusy(true);
    EXPECT_EQ(send(std::make_shared<QVGetFileShareVerifyCodeApi>(base))->response.code, 230);
    server.setBusy(false);
    server.setShareEnabled(false);
    EXPECT_EQ(send(std::make_shared<QVGetFileShareVerifyCodeApi>(base))->response.code, 220);
}

TEST_F(FileShareApi, StartBytesSendsTheFileHeadersAndReadsTheTopLevelOffset)
{
    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/home/user/Bilder/Größe 1.png"));
    auto outcome = send(std::make_shared<QVGetFileShareStartBytesApi>(base, file, "5000", "0123456789abcdef0123456789abcdef"));
    const HttpRequest sent = lastSent();
    EXPECT_EQ(sent.path, QStringLiteral("api/glimra/fileShare/getStartBytes"));
    EXPECT_EQ(sent.header("Content-Type"), QByteArray("multipart/form-data"));
    EXPECT_EQ(sent.header("File-MD5"), QByteArray("0123456789abcdef0123456789abcdef"));
    EXPECT_EQ(sent.header("File-Size"), QByteArray("5000"));
    EXPECT_EQ(sent.header("File-Name"), b64(QStringLiteral("Größe 1.png")));
    EXPECT_FALSE(sent.hasHeader("client-api-version"));
    // The per-installation identifier, made once and kept.
    const QByteArray deviceId = sent.header("Device-ID");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"))
                    .match(QString::fromLatin1(deviceId))
                    .hasMatch())
        << deviceId.constData();
    EXPECT_EQ(QSettings().value("device_udid").toString(), QString::fromLatin1(deviceId));
    ASSERT_EQ(outcome->response.code, 200);
    EXPECT_EQ(outcome->response.byteStart, std::optional<qint64>(0));

    send(std::make_shared<QVGetFileShareStartBytesApi>(base, file, "5000", "m"));
    EXPECT_EQ(lastSent().header("Device-ID"), deviceId);

    server.setUploadQuota(4000);
    EXPECT_EQ(send(std::make_shared<QVGetFileShareStartBytesApi>(base, file, "5000", "m"))->response.code, 210);
    server.setBusy(true);
    EXPECT_EQ(send(std::make_shared<QVGetFileShareStartBytesApi>(base, file, "5000", "m"))->response.code, 230);
}

TEST_F(FileShareApi, DeleteTempFileSendsOnlyItsThreeHeaders)
{
    QSettings().setValue("device_udid", "11111111-2222-3333-4444-555555555555");
    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/tmp/clip.mp4"));
    auto outcome = send(std::make_shared<QVGetDeleteTempFileApi>(base, file, "ffffffffffffffffffffffffffffffff"));
    const HttpRequest sent = lastSent();
    EXPECT_EQ(sent.path, QStringLiteral("api/glimra/fileShare/deleteTempFile"));
    EXPECT_EQ(sent.header("File-MD5"), QByteArray("ffffffffffffffffffffffffffffffff"));
    EXPECT_EQ(sent.header("File-Name"), b64(QStringLiteral("clip.mp4")));
    EXPECT_EQ(sent.header("Device-ID"), QByteArray("11111111-2222-3333-4444-555555555555"));
    EXPECT_FALSE(sent.hasHeader("Content-Type"));
    EXPECT_FALSE(sent.hasHeader("File-Size"));
    EXPECT_FALSE(sent.hasHeader("client-api-version"));
    EXPECT_EQ(outcome->response.code, 200);
    server.setBusy(true);
    EXPECT_EQ(send(std::make_shared<QVGetDeleteTempFileApi>(base, file, "f"))->response.code, 230);
}

TEST_F(FileShareApi, UploadRequestClassDescribesThePostButIsNeverSent)
{
    QSettings().setValue("device_udid", "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE");
    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/tmp/x/movie.mkv"));
    auto request = std::make_shared<QVPostFileShareUploadFileApi>(base, file, "10", "abc", "4");
    EXPECT_EQ(request->httpRequestType(), QVHttpBaseRequest::POST);
    EXPECT_EQ(request->requestSuffixUrl(), QStringLiteral("api/glimra/fileShare/uploadFile"));
    const QList<QPair<QString, QString>> expected = {
        {"Content-Type", "application/x-www-form-urlencoded"},
        {"File-MD5", "abc"},
        {"File-Size", "10"},
        {"File-Name", QString::fromLatin1(b64("movie.mkv"))},
        {"Bytes-Start", "4"},
        {"Device-ID", "AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE"},
        {"localFile", "/tmp/x/movie.mkv"},
    };
    EXPECT_EQ(request->requestHeader(), expected);
    auto outcome = send(request);
    EXPECT_EQ(outcome->failures, 1);
    EXPECT_EQ(outcome->error.code, QVHttpError::UnsupportedMethod);
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(FileShareApi, EveryRequestClassTimesOutAndIsCancellable)
{
    server.setFault(QString(), {Fault::Silent});
    const QUrl file = QUrl::fromLocalFile(QStringLiteral("/tmp/a.bin"));
    const QList<std::function<std::shared_ptr<QVHttpBaseRequest>()>> makers = {
        [&] { return std::make_shared<QVGetCheckStatusApi>(base); },
        [&] { return std::make_shared<QVGetRootMenuListApi>(base); },
        [&] { return std::make_shared<QVGetCheckEncryptPwdApi>(base, "1", "Root-Encrypt"); },
        [&] { return std::make_shared<QVGetFileFunctionsApi>(base); },
        [&] { return std::make_shared<QVGetDownLoadFileListApi>(base, "Root-Local", "9"); },
        [&] { return std::make_shared<QVGetDownLoadCheckFileApi>(base, "Root-Local/a", 0, "9"); },
        [&] { return std::make_shared<QVGetFileShareVerifyCodeApi>(base); },
        [&] { return std::make_shared<QVGetFileShareStartBytesApi>(base, file, "1", "m"); },
        [&] { return std::make_shared<QVGetDeleteTempFileApi>(base, file, "m"); },
    };
    QList<std::shared_ptr<Outcome>> timedOut;
    QList<std::shared_ptr<Outcome>> cancelled;
    QList<std::shared_ptr<QVHttpBaseRequest>> toCancel;
    for (const auto &make : makers) {
        auto request = make();
        request->setTimings(QVHttpTimings{200ms, 200ms});
        timedOut << start(request, Road::FileShare);
        auto other = make();
        cancelled << start(other, Road::FileShare);
        toCancel << other;
    }
    ASSERT_TRUE(TestSupport::waitFor([&] { return server.requestCount() == 2 * makers.size(); }));
    for (const auto &request : toCancel)
        request->cancel();
    ASSERT_TRUE(TestSupport::waitFor([&] {
        for (const auto &o : timedOut + cancelled) {
            if (o->ends() == 0)
                return false;
        }
        return true;
    }));
    for (const auto &o : timedOut)
        EXPECT_TRUE(QVHttpError::isTimeout(o->error)) << o->error.code;
    for (const auto &o : cancelled)
        EXPECT_TRUE(QVHttpError::isCancel(o->error)) << o->error.code;
}

TEST_F(FileShareApi, SecondPortAnswersWhenTheFirstRefuses)
{
    // The file-share entry tries the ports in order and takes the first that
    // answers: a refused first port ends in the failure block.
    auto first = send(std::make_shared<QVGetFileFunctionsApi>(refusedBaseUrl()));
    EXPECT_EQ(first->failures, 1);
    EXPECT_EQ(first->error.code, QVHttpError::CannotConnectToHost);
    ASSERT_TRUE(server.listen(server.address()));
    auto second = send(std::make_shared<QVGetFileFunctionsApi>(server.baseUrl(1)));
    EXPECT_EQ(second->successes, 1);
    EXPECT_EQ(lastSent().localPort, server.ports().at(1));
}

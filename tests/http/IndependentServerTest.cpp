// Every request, once, against Python's own HTTP server: what it parses from
// our bytes must be what the wire tables say. Proves the requests are plain,
// well-formed HTTP/1.1 and that their escaping survives a standard parser.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "HttpTestSupport.h"
#include "QVFileShareApi.h"
#include "QVNetWork.h"
#include "QVServiceAddresses.h"
#include "QVWebServiceApi.h"

using namespace HttpTest;

namespace {

struct Recorded {
    QJsonObject record;

    QString method() const { return record.value("method").toString(); }
    QString path() const { return record.value("path").toString(); }
    bool hasHeader(const QString &name) const
    {
        for (const QJsonValue &pair : record.value("headers").toArray()) {
            if (pair.toArray().at(0).toString() == name)
                return true;
        }
        return false;
    }
    // The value of the header spelled exactly `name`.
    QString header(const QString &name) const
    {
        for (const QJsonValue &pair : record.value("headers").toArray()) {
            if (pair.toArray().at(0).toString() == name)
                return pair.toArray().at(1).toString();
        }
        return QStringLiteral("<absent>");
    }
    // Query as urllib parsed it: key to its single value.
    QMap<QString, QString> query() const
    {
        QMap<QString, QString> result;
        const QJsonObject q = record.value("query").toObject();
        for (auto it = q.begin(); it != q.end(); ++it)
            result.insert(it.key(), it.value().toArray().at(0).toString());
        return result;
    }
};

class IndependentServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString python = TestSupport::python3();
        if (!TestSupport::requireFacility("python3", !python.isEmpty()))
            GTEST_SKIP();
        address = TestSupport::uniqueLoopbackAddress().toString();
        recordPath = dir.filePath("records.jsonl");
        process.setProgram(python);
        process.setArguments({QStringLiteral(RECORD_SERVER_SCRIPT), address, recordPath});
        process.start();
        ASSERT_TRUE(process.waitForStarted());
        ASSERT_TRUE(TestSupport::waitFor([&] { return process.canReadLine(); }, 10000));
        const QByteArray line = process.readLine().trimmed();
        ASSERT_TRUE(line.startsWith("port ")) << line.constData();
        base = QStringLiteral("http://%1:%2").arg(address, QString::fromLatin1(line.mid(5)));
        QVNetWork::shareNetWork()->setIsConnect(true);
    }
    void TearDown() override
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            process.waitForFinished(5000);
        }
    }

    QList<Recorded> records() const
    {
        QList<Recorded> result;
        QFile file(recordPath);
        if (!file.open(QIODevice::ReadOnly))
            return result;
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (!line.trimmed().isEmpty())
                result.append({QJsonDocument::fromJson(line).object()});
        }
        return result;
    }

    SettingsScope settings;
    QTemporaryDir dir;
    QProcess process;
    QString address;
    QString recordPath;
    QString base;
};

} // namespace

TEST_F(IndependentServer, EveryRequestIsWellFormedHttpWithTheTablesHeadersAndArguments)
{
    QSettings().setValue(QVServiceAddresses::kWebServiceKey, base);
    QSettings().setValue(QVServiceAddresses::kApiServerKey, base);
    QSettings().setValue("device_udid", "0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9");
    const QString oddPassword = QStringLiteral("1&2=3 #4%5+6/?é");
    const QString remotePath = QStringLiteral("Root-Local/Fotos/Ära 2.jpg");
    const QUrl localFile = QUrl::fromLocalFile(QStringLiteral("/home/u/Vidéo clip.mp4"));

    QList<std::pair<std::shared_ptr<QVHttpBaseRequest>, Road>> requests = {
        {std::make_shared<QVGetCheckStatusApi>(base), Road::FileShare},
        {std::make_shared<QVGetRootMenuListApi>(base), Road::FileShare},
        {std::make_shared<QVGetCheckEncryptPwdApi>(base, oddPassword, "Root-Encrypt"), Road::FileShare},
        {std::make_shared<QVGetFileFunctionsApi>(base), Road::FileShare},
        {std::make_shared<QVGetDownLoadFileListApi>(base, remotePath, oddPassword), Road::FileShare},
        {std::make_shared<QVGetDownLoadCheckFileApi>(base, remotePath, 17, ""), Road::FileShare},
        {std::make_shared<QVGetFileShareVerifyCodeApi>(base), Road::FileShare},
        {std::make_shared<QVGetFileShareStartBytesApi>(base, localFile, "4096", "d41d8cd98f00b204e9800998ecf8427e"),
         Road::FileShare},
        {std::make_shared<QVGetDeleteTempFileApi>(base, localFile, "d41d8cd98f00b204e9800998ecf8427e"), Road::FileShare},
        {std::make_shared<QVGetSeriesWithNameApi>(), Road::WebService},
        {std::make_shared<QVCheckNewVersionApi>(12), Road::WebService},
    };
    // One at a time, so the records come in the order of the list.
    for (const auto &[request, road] : requests) {
        auto outcome = start(request, road);
        ASSERT_TRUE(waitForEnd(outcome));
        ASSERT_EQ(outcome->successes, 1) << request->requestSuffixUrl().toStdString() << " " << outcome->error.code;
    }
    QVFeedbackInfo info;
    info.version = "1.2.3";
    info.build = "9";
    info.operatingSystemVersion = "Linux";
    info.mac = "error";
    QVFeedbackApi feedback;
    int accepted = -1;
    feedback.send(info, QStringLiteral("Ça \"marche\"\n?"), [&](bool ok) { accepted = ok; });
    ASSERT_TRUE(TestSupport::waitFor([&] { return accepted != -1; }));
    EXPECT_EQ(accepted, 1);

    const QList<Recorded> sent = records();
    ASSERT_EQ(sent.size(), requests.size() + 1);
    for (const Recorded &r : sent) {
        EXPECT_EQ(r.record.value("version").toString(), QStringLiteral("HTTP/1.1"));
        EXPECT_FALSE(r.record.contains("query_error")) << r.path().toStdString();
        EXPECT_EQ(r.header("Host"), QString(base).remove(QStringLiteral("http://")));
    }
    const QString prefix = QStringLiteral("/api/glimra/fileShare/");
    const QString b64Path = QString::fromLatin1(remotePath.toUtf8().toBase64());
    const QString b64Name = QString::fromLatin1(QStringLiteral("Vidéo clip.mp4").toUtf8().toBase64());

    EXPECT_EQ(sent[0].method(), QStringLiteral("GET"));
    EXPECT_EQ(sent[0].path(), prefix + "getGlimraStatus");
    EXPECT_EQ(sent[0].header("Content-Type"), QStringLiteral("multipart/form-data"));
    EXPECT_EQ(sent[0].header("client-api-version"), QStringLiteral("1"));

    EXPECT_EQ(sent[1].path(), prefix + "getRootList");
    EXPECT_EQ(sent[1].header("client-api-version"), QStringLiteral("1"));

    EXPECT_EQ(sent[2].path(), prefix + "checkPwd");
    EXPECT_EQ(sent[2].query(), (QMap<QString, QString>{{"pwd", oddPassword}, {"rootKey", "Root-Encrypt"}}));

    EXPECT_EQ(sent[3].path(), prefix + "functions");
    EXPECT_FALSE(sent[3].hasHeader("Content-Type"));
    EXPECT_FALSE(sent[3].hasHeader("client-api-version"));

    EXPECT_EQ(sent[4].path(), prefix + "getFileList");
    EXPECT_EQ(sent[4].header("File-Path"), b64Path);
    EXPECT_EQ(sent[4].query(), (QMap<QString, QString>{{"pwd", oddPassword}}));

    EXPECT_EQ(sent[5].path(), prefix + "checkFile");
    EXPECT_EQ(sent[5].header("File-Path"), b64Path);
    EXPECT_EQ(sent[5].header("Chunk-Number"), QStringLiteral("17"));
    EXPECT_EQ(sent[5].header("client-api-version"), QStringLiteral("1"));
    EXPECT_FALSE(sent[5].hasHeader("Content-Type"));
    EXPECT_TRUE(sent[5].query().isEmpty());

    EXPECT_EQ(sent[6].path(), prefix + "getVerifyCode");
    EXPECT_EQ(sent[6].header("Content-Type"), QStringLiteral("multipart/form-data"));
    EXPECT_FALSE(sent[6].hasHeader("client-api-version"));

    EXPECT_EQ(sent[7].path(), prefix + "getStartBytes");
    EXPECT_EQ(sent[7].header("File-MD5"), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
    EXPECT_EQ(sent[7].header("File-Size"), QStringLiteral("4096"));
    EXPECT_EQ(sent[7].header("File-Name"), b64Name);
    EXPECT_EQ(sent[7].header("Device-ID"), QStringLiteral("0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9"));
    EXPECT_FALSE(sent[7].hasHeader("client-api-version"));

    EXPECT_EQ(sent[8].path(), prefix + "deleteTempFile");
    EXPECT_EQ(sent[8].header("File-Name"), b64Name);
    EXPECT_FALSE(sent[8].hasHeader("Content-Type"));
    EXPECT_FALSE(sent[8].hasHeader("File-Size"));

    EXPECT_EQ(sent[9].path(), QStringLiteral("/api/official/app/version/support/series"));
    EXPECT_EQ(sent[9].query(), (QMap<QString, QString>{{"name", QStringLiteral("Quav投屏")}}));

    EXPECT_EQ(sent[10].path(), QStringLiteral("/api/official/app/version/support/check"));
    EXPECT_EQ(sent[10].query().value("seriesId"), QStringLiteral("12"));
    EXPECT_TRUE(sent[10].query().contains("version"));

    EXPECT_EQ(sent[11].method(), QStringLiteral("POST"));
    EXPECT_EQ(sent[11].path(), QStringLiteral("/api/common/feedback"));
    EXPECT_EQ(sent[11].header("Content-Type"), QStringLiteral("application/json"));
    EXPECT_FALSE(sent[11].record.contains("json_error"));
    EXPECT_EQ(sent[11].record.value("json").toObject(),
              (QJsonObject{{"version", "1.2.3_9"}, {"platform", "macOS_Linux"}, {"mac", "error"},
                           {"content", QStringLiteral("Ça \"marche\"\n?")}}));
}

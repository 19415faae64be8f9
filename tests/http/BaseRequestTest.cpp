// The request base against a scripted loopback server: both roads, every way
// an exchange can end, time-out against cancel, logging and lifetime.

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <gtest/gtest.h>

#include "FakeHttpServer.h"
#include "HttpTestSupport.h"
#include "QVHttpError.h"
#include "QVNetWork.h"

using namespace FakeServers;
using namespace HttpTest;
using namespace std::chrono_literals;

namespace {

// Answers each path with what the test put there ({"code":200} else).
class ScriptedServer : public FakeHttpServer {
public:
    QHash<QString, HttpAnswer> answers;

    void answerJson(const QString &path, const QByteArray &json, const QByteArray &type = "application/json")
    {
        HttpAnswer answer{200, {}, json};
        answer.setHeader("Content-Type", type);
        answers.insert(path, answer);
    }

protected:
    HttpAnswer handle(const HttpRequest &request) override
    {
        return answers.value(request.path, HttpAnswer::json(QJsonObject{{"code", 200}}));
    }
};

class TestRequest : public QVHttpBaseRequest {
public:
    QString base;
    QString path = QStringLiteral("p");
    QList<QPair<QString, QString>> headers;
    QVariantMap arguments;
    qint64 method = GET;
    qint64 splicing = 0;

    QString requestBaseUrl() const override { return base; }
    QString requestSuffixUrl() const override { return path; }
    QList<QPair<QString, QString>> requestHeader() const override { return headers; }
    QVariantMap requestAppendArgument() const override { return arguments; }
    qint64 httpRequestType() const override { return method; }
    qint64 splicingUrlType() const override { return splicing; }
};

class BaseRequest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QVNetWork::shareNetWork()->setIsConnect(true);
        ASSERT_TRUE(server.listen(TestSupport::uniqueLoopbackAddress()));
    }
    void TearDown() override { QVNetWork::shareNetWork()->setIsConnect(true); }

    std::shared_ptr<TestRequest> request(const QString &path = QStringLiteral("p"))
    {
        auto r = std::make_shared<TestRequest>();
        r->base = server.baseUrl();
        r->path = path;
        return r;
    }

    SettingsScope settings;
    ScriptedServer server;
};

} // namespace

TEST_F(BaseRequest, FileShareRoadHandsEveryCodeToTheSuccessBlock)
{
    for (const char *json : {R"({"code":200})", R"({"code":202,"content":"AB12"})", R"({"code":206})",
                             R"({"code":404})", R"({"code":405})", R"({"code":"230"})", R"({"content":1})"}) {
        server.answerJson("p", json);
        auto outcome = start(request(), Road::FileShare);
        ASSERT_TRUE(waitForEnd(outcome)) << json;
        EXPECT_EQ(outcome->successes, 1) << json;
        EXPECT_EQ(outcome->failures, 0) << json;
        EXPECT_EQ(outcome->response.code,
                  QVHttpBaseResponse::fromJsonObject(QJsonDocument::fromJson(json).object()).code);
    }
}

TEST_F(BaseRequest, FileShareRoadDecodesJsonTextInContent)
{
    server.answerJson("p", R"({"code":200,"content":"{\"upload\":true,\"download\":false}"})");
    auto outcome = start(request(), Road::FileShare);
    ASSERT_TRUE(waitForEnd(outcome));
    ASSERT_EQ(outcome->successes, 1);
    ASSERT_TRUE(outcome->response.content.isObject());
    EXPECT_TRUE(outcome->response.content.toObject().value("upload").toBool());

    server.answerJson("p", R"({"code":202,"content":"null"})");
    outcome = start(request(), Road::FileShare);
    ASSERT_TRUE(waitForEnd(outcome));
    EXPECT_EQ(outcome->response.content.toString(), QStringLiteral("null"));
}

TEST_F(BaseRequest, FileShareRoadSendsOnlyGetAndReportsOtherMethodsAsFailures)
{
    for (qint64 method : {qint64(QVHttpBaseRequest::POST), qint64(QVHttpBaseRequest::PUT),
                          qint64(QVHttpBaseRequest::DELETE), qint64(7)}) {
        auto r = request();
        r->method = method;
        auto outcome = start(r, Road::FileShare);
        // Told after start() has returned, never inside it.
        EXPECT_EQ(outcome->ends(), 0);
        ASSERT_TRUE(waitForEnd(outcome));
        EXPECT_EQ(outcome->failures, 1);
        EXPECT_EQ(outcome->error.domain, QVHttpError::kRequestDomain);
        EXPECT_EQ(outcome->error.code, QVHttpError::UnsupportedMethod);
    }
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(BaseRequest, WebServiceRoadPassesEveryCodeButTheInternalError)
{
    ProgramLogCapture log;
    server.answerJson("p", R"({"code":1000,"data":{"a":1}})");
    auto outcome = start(request(), Road::WebService);
    ASSERT_TRUE(waitForEnd(outcome));
    EXPECT_EQ(outcome->successes, 1);
    EXPECT_TRUE(outcome->response.data.isObject());

    server.answerJson("p", R"({"code":1002,"data":null})");
    outcome = start(request(), Road::WebService);
    ASSERT_TRUE(waitForEnd(outcome));
    EXPECT_EQ(outcome->successes, 1);
    EXPECT_EQ(outcome->response.code, 1002);

    // The content text is decoded only on the file-share road.
    server.answerJson("p", R"({"code":1000,"content":"{\"a\":1}"})");
    outcome = start(request(), Road::WebService);
    ASSERT_TRUE(waitForEnd(outcome));
    EXPECT_TRUE(outcome->response.content.isString());

    server.answerJson("p", R"({"code":1001,"msg":"internal"})");
    outcome = start(request(), Road::WebService);
    ASSERT_TRUE(waitForEnd(outcome));
    EXPECT_EQ(outcome->successes, 0);
    EXPECT_EQ(outcome->failures, 1);
    EXPECT_EQ(outcome->error.domain, QVHttpError::kRequestDomain);
    EXPECT_EQ(outcome->error.code, QVHttpError::InternalError);
    EXPECT_EQ(log.countContaining(QStringLiteral("HTTP request internal error"), QStringLiteral("ERROR")), 1);
}

TEST_F(BaseRequest, WebServiceRoadWithoutNetworkFailsAtOnceAndSendsNothing)
{
    QVNetWork::shareNetWork()->setIsConnect(false);
    auto outcome = start(request(), Road::WebService);
    EXPECT_EQ(outcome->ends(), 0);
    ASSERT_TRUE(waitForEnd(outcome));
    EXPECT_EQ(outcome->failures, 1);
    EXPECT_EQ(outcome->error.domain, QVHttpError::kURLErrorDomain);
    EXPECT_EQ(outcome->error.code, QVHttpError::NotConnectedToInternet);
    EXPECT_EQ(server.requestCount(), 0);

    // The file-share road does not ask the flag.
    outcome = start(request(), Road::FileShare);
    ASSERT_TRUE(waitForEnd(outcome));
    EXPECT_EQ(outcome->successes, 1);
    EXPECT_EQ(server.requestCount(), 1);
}

TEST_F(BaseRequest, MissingOrBrokenAddressFailsAtOnce)
{
    for (const QString &base : {QString(), QStringLiteral("http://"), QStringLiteral("ftp://127.0.0.1:1"),
                                QStringLiteral("not a url"), QStringLiteral("http://[::1")}) {
        for (Road road : {Road::WebService, Road::FileShare}) {
            auto r = request();
            r->base = base;
            auto outcome = start(r, road);
            EXPECT_EQ(outcome->ends(), 0);
            ASSERT_TRUE(waitForEnd(outcome)) << base.toStdString();
            EXPECT_EQ(outcome->failures, 1);
            EXPECT_EQ(outcome->error.code, QVHttpError::BadURL) << base.toStdString();
        }
    }
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(BaseRequest, WebServiceMethodsCarryArgumentsInQueryOrFormBody)
{
    ProgramLogCapture log;
    server.answerJson("p", R"({"code":1000})");
    const QVariantMap arguments{{"name", QStringLiteral("a b&c")}, {"n", 3}};
    for (qint64 method : {qint64(QVHttpBaseRequest::GET), qint64(QVHttpBaseRequest::POST),
                          qint64(QVHttpBaseRequest::PUT), qint64(QVHttpBaseRequest::DELETE)}) {
        server.clearRequests();
        auto r = request();
        r->method = method;
        r->arguments = arguments;
        auto outcome = start(r, Road::WebService);
        ASSERT_TRUE(waitForEnd(outcome));
        ASSERT_EQ(outcome->successes, 1);
        ASSERT_EQ(server.requestCount(), 1);
        const HttpRequest sent = server.requests().first();
        static const QByteArray names[] = {"GET", "POST", "PUT", "DELETE"};
        EXPECT_EQ(sent.method, names[method]);
        if (method == QVHttpBaseRequest::GET || method == QVHttpBaseRequest::DELETE) {
            EXPECT_EQ(sent.rawQuery, QByteArray("n=3&name=a%20b%26c"));
            EXPECT_TRUE(sent.body.isEmpty());
        } else {
            EXPECT_TRUE(sent.rawQuery.isEmpty());
            EXPECT_EQ(sent.body, QByteArray("n=3&name=a%20b%26c"));
            EXPECT_EQ(sent.header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
        }
    }
    // Answers of GET and POST are logged, PUT and DELETE not.
    EXPECT_EQ(log.countContaining(QStringLiteral("requestUrl = "), QStringLiteral("DEBUG")), 2);
}

TEST_F(BaseRequest, HeadersGoOutAsGivenAndAnswerHeadersComeBack)
{
    HttpAnswer answer = HttpAnswer::json(QJsonObject{{"code", 200}});
    answer.setHeader("glimra-api-version", "1");
    server.answers.insert("p", answer);
    auto r = request();
    r->headers = {{"Content-Type", "multipart/form-data"}, {"client-api-version", "1"}, {"File-Path", "Uk9vdA=="}};
    auto outcome = start(r, Road::FileShare);
    ASSERT_TRUE(waitForEnd(outcome));
    ASSERT_EQ(server.requestCount(), 1);
    const HttpRequest sent = server.requests().first();
    EXPECT_EQ(sent.method, QByteArray("GET"));
    EXPECT_EQ(sent.header("Content-Type"), QByteArray("multipart/form-data"));
    EXPECT_EQ(sent.header("client-api-version"), QByteArray("1"));
    EXPECT_EQ(sent.header("File-Path"), QByteArray("Uk9vdA=="));
    EXPECT_EQ(outcome->task.statusCode, 200);
    EXPECT_EQ(outcome->task.responseHeader("GLIMRA-API-VERSION"), QByteArray("1"));
    EXPECT_EQ(outcome->task.method, QByteArray("GET"));
    EXPECT_EQ(outcome->task.url.path(), QStringLiteral("/p"));
}

TEST_F(BaseRequest, EveryAcceptedAnswerTypeIsReadAndOthersAreRefused)
{
    for (const QByteArray &type : {QByteArray("application/json"), QByteArray("text/html"), QByteArray("text/json"),
                                   QByteArray("text/javascript"), QByteArray("text/plain"), QByteArray("image/gif"),
                                   QByteArray("multipart/form-data"), QByteArray("application/octet-stream"),
                                   QByteArray("Application/JSON; charset=utf-8")}) {
        server.answerJson("p", R"({"code":200})", type);
        auto outcome = start(request(), Road::FileShare);
        ASSERT_TRUE(waitForEnd(outcome));
        EXPECT_EQ(outcome->successes, 1) << type.constData();
    }
    for (const QByteArray &type : {QByteArray("application/xml"), QByteArray("image/png"), QByteArray("text/jsonx")}) {
        server.answerJson("p", R"({"code":200})", type);
        auto outcome = start(request(), Road::FileShare);
        ASSERT_TRUE(waitForEnd(outcome));
        EXPECT_EQ(outcome->failures, 1) << type.constData();
        EXPECT_EQ(outcome->error.code, QVHttpError::CannotDecodeContentData);
    }
}

TEST_F(BaseRequest, HostileAnswersEndInOneFailureOfTheirKind)
{
    struct Case {
        FaultRule rule;
        qint64 code;
    };
    const QList<Case> cases = {
        {{Fault::Close}, QVHttpError::NetworkConnectionLost},
        {{Fault::TruncatedBody}, QVHttpError::NetworkConnectionLost},
        {{Fault::HttpStatus, 0, 500}, QVHttpError::BadServerResponse},
        {{Fault::HttpStatus, 0, 404}, QVHttpError::BadServerResponse},
        {{Fault::NotJson}, QVHttpError::CannotParseResponse},
        {{Fault::WrongContentType}, QVHttpError::CannotDecodeContentData},
        {{Fault::WrongJsonType, 0, 0, "[200]"}, QVHttpError::CannotParseResponse},
        {{Fault::WrongJsonType, 0, 0, "200"}, QVHttpError::CannotParseResponse},
        {{Fault::WrongJsonType, 0, 0, "\"code\""}, QVHttpError::CannotParseResponse},
        {{Fault::WrongJsonType, 0, 0, "null"}, QVHttpError::CannotParseResponse},
        {{Fault::WrongJsonType, 0, 0, "{\"code\":200"}, QVHttpError::CannotParseResponse},
        {{Fault::WrongJsonType, 0, 0, QByteArray(5000, '[') + QByteArray(5000, ']')}, QVHttpError::CannotParseResponse},
    };
    for (Road road : {Road::FileShare, Road::WebService}) {
        for (const Case &c : cases) {
            server.setFault("p", c.rule);
            auto outcome = start(request(), road);
            ASSERT_TRUE(waitForEnd(outcome)) << int(c.rule.fault);
            EXPECT_EQ(outcome->successes, 0) << int(c.rule.fault);
            EXPECT_EQ(outcome->failures, 1) << int(c.rule.fault);
            EXPECT_EQ(outcome->error.domain, QVHttpError::kURLErrorDomain);
            EXPECT_EQ(outcome->error.code, c.code) << int(c.rule.fault) << " " << c.rule.body.left(20).constData();
        }
    }
}

TEST_F(BaseRequest, OnlyTheWebServiceFollowsARedirect)
{
    // The file-share server never sends the client elsewhere: its answer
    // fails there, and the other address is never asked.
    FaultRule redirect{Fault::Redirect};
    redirect.body = server.baseUrl().toUtf8() + "/elsewhere";
    server.setFault("p", redirect);
    auto fileShare = start(request(), Road::FileShare);
    ASSERT_TRUE(waitForEnd(fileShare));
    EXPECT_EQ(fileShare->failures, 1);
    EXPECT_EQ(fileShare->error.code, QVHttpError::BadServerResponse);
    EXPECT_EQ(fileShare->task.statusCode, 302);
    EXPECT_EQ(server.requestCount(QStringLiteral("elsewhere")), 0);

    auto webService = start(request(), Road::WebService);
    ASSERT_TRUE(waitForEnd(webService));
    EXPECT_EQ(webService->successes, 1);
    EXPECT_EQ(server.requestCount(QStringLiteral("elsewhere")), 1);
}

TEST_F(BaseRequest, AnEmptyAnswerSucceedsWithCodeZero)
{
    // Callers then take their branch for codes they do not know, instead of
    // treating a device that said nothing as unreachable.
    for (Road road : {Road::FileShare, Road::WebService}) {
        server.setFault("p", {Fault::EmptyBody});
        auto outcome = start(request(), road);
        ASSERT_TRUE(waitForEnd(outcome));
        EXPECT_EQ(outcome->failures, 0);
        ASSERT_EQ(outcome->successes, 1);
        EXPECT_EQ(outcome->response.code, 0);
        EXPECT_TRUE(outcome->response.content.isUndefined());
        EXPECT_TRUE(outcome->response.data.isUndefined());
        EXPECT_EQ(outcome->task.statusCode, 200);

        server.clearFaults();
        server.answerJson("p", " \r\n ");
        outcome = start(request(), road);
        ASSERT_TRUE(waitForEnd(outcome));
        ASSERT_EQ(outcome->successes, 1);
        EXPECT_EQ(outcome->response.code, 0);
    }
}

TEST_F(BaseRequest, RefusedConnectionAndOversizedAnswerFail)
{
    auto r = request();
    r->base = refusedBaseUrl();
    auto outcome = start(r, Road::FileShare);
    ASSERT_TRUE(waitForEnd(outcome));
    EXPECT_EQ(outcome->failures, 1);
    EXPECT_EQ(outcome->error.code, QVHttpError::CannotConnectToHost);

    server.answerJson("p", "{\"code\":200,\"content\":\"" + QByteArray(300000, 'x') + "\"}");
    r = request();
    r->setMaxAnswerBytes(100000);
    outcome = start(r, Road::FileShare);
    ASSERT_TRUE(waitForEnd(outcome));
    EXPECT_EQ(outcome->failures, 1);
    EXPECT_EQ(outcome->error.code, QVHttpError::DataLengthExceedsMaximum);
}

TEST_F(BaseRequest, TimeOutIsToldApartFromCancel)
{
    QVHttpTimings shortTimings;
    shortTimings.requestTimeout = 150ms;

    // No answer at all, and an answer that stops half-way: both time out.
    for (Fault fault : {Fault::Silent, Fault::StalledBody}) {
        server.setFault("p", {fault});
        auto r = request();
        r->setTimings(shortTimings);
        EXPECT_DOUBLE_EQ(r->requestTimeoutInterval(), 0.15);
        QElapsedTimer clock;
        clock.start();
        auto outcome = start(r, Road::FileShare);
        ASSERT_TRUE(waitForEnd(outcome));
        EXPECT_GE(clock.elapsed(), 140);
        EXPECT_EQ(outcome->failures, 1);
        EXPECT_TRUE(QVHttpError::isTimeout(outcome->error)) << outcome->error.code;
        EXPECT_FALSE(QVHttpError::isCancel(outcome->error));
    }

    // A cancel: reported as such, after cancel() has returned, and only once.
    server.setFault("p", {Fault::Silent});
    auto r = request();
    r->setTimings(shortTimings);
    auto outcome = start(r, Road::WebService);
    ASSERT_TRUE(TestSupport::waitFor([&] { return server.requestCount() > 0; }));
    EXPECT_TRUE(r->isRunning());
    r->cancel();
    EXPECT_EQ(outcome->ends(), 0);
    ASSERT_TRUE(waitForEnd(outcome));
    TestSupport::spin(300); // for a second end that must not come
    EXPECT_EQ(outcome->failures, 1);
    EXPECT_EQ(outcome->successes, 0);
    EXPECT_TRUE(QVHttpError::isCancel(outcome->error));
    EXPECT_FALSE(r->isRunning());

    // An answer slower than nothing but quicker than the time-out arrives.
    server.setFault("p", {Fault::Slow, 60});
    r = request();
    r->setTimings(QVHttpTimings{600ms, 600ms});
    outcome = start(r, Road::FileShare);
    ASSERT_TRUE(waitForEnd(outcome));
    EXPECT_EQ(outcome->successes, 1);
}

TEST_F(BaseRequest, CancelBeforeAQueuedFailureReportsTheCancel)
{
    QVNetWork::shareNetWork()->setIsConnect(false);
    auto r = request();
    auto outcome = start(r, Road::WebService);
    r->cancel();
    ASSERT_TRUE(waitForEnd(outcome));
    EXPECT_EQ(outcome->failures, 1);
    EXPECT_TRUE(QVHttpError::isCancel(outcome->error));
}

TEST_F(BaseRequest, AnswersAreLoggedAtDebugLevelWithoutPasswords)
{
    ProgramLogCapture log;
    server.answerJson("p", R"({"code":200,"content":{"checkRes":true}})");
    auto r = request();
    r->headers = {{"client-api-version", "1"}};
    r->arguments = {{"pwd", "864209"}, {"rootKey", "Root-Encrypt"}};
    auto outcome = start(r, Road::FileShare);
    ASSERT_TRUE(waitForEnd(outcome));
    ASSERT_EQ(server.requestCount(), 1);
    // The password travels (escaped) on the wire...
    EXPECT_EQ(server.requests().first().queryValue("pwd"), QStringLiteral("864209"));
    // ...and never into the log.
    const QString expected = QStringLiteral("requestUrl = %1/p \n headers = {\"client-api-version\":\"1\"} \n "
                                            "parameters = {\"pwd\":\"***\",\"rootKey\":\"Root-Encrypt\"}  \n "
                                            "responseObject = {\"code\":200,\"content\":{\"checkRes\":true}}")
                                 .arg(server.baseUrl());
    EXPECT_EQ(log.countContaining(expected, QStringLiteral("DEBUG")), 1) << log.all().toStdString();

    // Arguments written into the URL by hand are hidden as well.
    r = request();
    r->splicing = 1;
    r->arguments = {{"pwd", "864209"}};
    outcome = start(r, Road::WebService);
    ASSERT_TRUE(waitForEnd(outcome));
    EXPECT_EQ(server.requests().last().queryValue("pwd"), QStringLiteral("864209"));
    EXPECT_EQ(log.countContaining(QStringLiteral("?pwd=***")), 1);
    EXPECT_FALSE(log.all().contains(QStringLiteral("864209")));

    // The server's texts (a receiver's file names) cannot break or disguise
    // the line.
    server.answerJson("names", "{\"code\":200,\"content\":{\"name\":\"a\u202eb\u2028c\\\\d\"}}");
    r = request();
    r->path = QStringLiteral("names");
    outcome = start(r, Road::FileShare);
    ASSERT_TRUE(waitForEnd(outcome));
    EXPECT_EQ(log.countContaining(QStringLiteral("responseObject = {\"code\":200,\"content\":{\"name\":"
                                                 "\"a\\u202eb\\u2028c\\\\\\\\d\"}}")),
              1)
        << log.all().toStdString();
    EXPECT_FALSE(log.all().contains(QChar(0x202e)));
}

TEST_F(BaseRequest, ARunningRequestKeepsItselfAliveUntilItsBlockRan)
{
    server.setFault("p", {Fault::Slow, 50});
    auto r = request();
    std::weak_ptr<TestRequest> watch = r;
    auto outcome = start(r, Road::FileShare);
    r.reset();
    EXPECT_FALSE(watch.expired());
    ASSERT_TRUE(waitForEnd(outcome));
    EXPECT_EQ(outcome->successes, 1);
    EXPECT_TRUE(TestSupport::waitFor([&] { return watch.expired(); }));
}

TEST_F(BaseRequest, ARequestDestroyedWhileRunningCallsNothing)
{
    server.setFault("p", {Fault::Slow, 100});
    auto outcome = std::make_shared<Outcome>();
    {
        TestRequest r;
        r.base = server.baseUrl();
        r.startGlimraHubRequestWithSuccess([outcome](auto &&...) { ++outcome->successes; },
                                           [outcome](auto &&...) { ++outcome->failures; });
        ASSERT_TRUE(TestSupport::waitFor([&] { return server.requestCount() > 0; }));
    }
    TestSupport::spin(300); // the answer comes meanwhile and must reach no block
    EXPECT_EQ(outcome->ends(), 0);
}

TEST_F(BaseRequest, EachStartEndsOnceEvenWhenStartedTwice)
{
    server.setFault("p", {Fault::Slow, 30});
    auto r = request();
    auto first = start(r, Road::FileShare);
    auto second = start(r, Road::FileShare);
    ASSERT_TRUE(waitForEnd(first));
    ASSERT_TRUE(waitForEnd(second));
    TestSupport::spin(100); // for a second end that must not come
    EXPECT_EQ(first->successes, 1);
    EXPECT_EQ(second->successes, 1);
    EXPECT_EQ(first->failures + second->failures, 0);
    EXPECT_EQ(server.requestCount(), 2);
}

TEST_F(BaseRequest, ALargeAnswerIsReadAsASmallOneAndEndsOnceWhateverHappensMeanwhile)
{
    // A listing of a few thousand entries: read off the main thread.
    QJsonArray entries;
    for (int i = 0; i < 6000; ++i)
        entries.append(QJsonObject{{"name", QStringLiteral("file %1.pdf").arg(i)}, {"fileSize", "64"}});
    const QByteArray json = QJsonDocument(QJsonObject{{"code", 200}, {"content", entries}}).toJson(QJsonDocument::Compact);
    ASSERT_GT(json.size(), 64 * 1024);
    server.answerJson("p", json);
    ProgramLogCapture log;
    // Generous bounds: a sanitizer build on a busy machine reads and logs
    // such an answer slowly; only an answer that never ends fails.
    constexpr int kLargeAnswerBoundMs = 30000;
    auto outcome = start(request(), Road::FileShare);
    ASSERT_TRUE(waitForEnd(outcome, kLargeAnswerBoundMs));
    EXPECT_EQ(outcome->successes, 1);
    EXPECT_EQ(outcome->response.content.toArray(), entries);
    EXPECT_EQ(log.countContaining(QStringLiteral("responseObject = ") + QString::fromUtf8(json)), 1);

    // A cancel or the request's end at any moment: one end (or none for a
    // request that is gone), never a block after it.
    for (const int afterMs : {0, 2, 5, 10, 20, 40}) {
        auto cancelled = request();
        auto ended = start(cancelled, Road::FileShare);
        TestSupport::spin(afterMs);
        cancelled->cancel();
        ASSERT_TRUE(waitForEnd(ended, kLargeAnswerBoundMs));
        EXPECT_EQ(ended->ends(), 1);
        if (ended->failures == 1) {
            EXPECT_TRUE(QVHttpError::isCancel(ended->error));
        }

        auto gone = std::make_shared<Outcome>();
        {
            TestRequest dropped;
            dropped.base = server.baseUrl();
            dropped.startGlimraHubRequestWithSuccess([gone](auto &&...) { ++gone->successes; },
                                                     [gone](auto &&...) { ++gone->failures; });
            TestSupport::spin(afterMs);
        }
        TestSupport::spin(100);
        EXPECT_EQ(gone->ends(), 0);
    }
}

// The maker's web-service requests against the fake web service: the series
// and version check with their answer checks, feedback, and the addresses
// that turn the features off when empty.

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSettings>
#include <gtest/gtest.h>

#include "FakeWebService.h"
#include "HttpTestSupport.h"
#include "QVHttpError.h"
#include "QVNetWork.h"
#include "QVServiceAddresses.h"
#include "QVWebServiceApi.h"
#include "PublicManager/QVPublicTools.h"

using namespace FakeServers;
using namespace HttpTest;
using namespace std::chrono_literals;

namespace {

QVHttpBaseResponse answerOf(const char *json)
{
    return QVHttpBaseResponse::fromJsonObject(QJsonDocument::fromJson(json).object());
}

class WebServiceApi : public ::testing::Test {
protected:
    void SetUp() override
    {
        QVNetWork::shareNetWork()->setIsConnect(true);
        ASSERT_TRUE(server.listen(TestSupport::uniqueLoopbackAddress()));
        QSettings stored;
        stored.setValue(QVServiceAddresses::kWebServiceKey, server.baseUrl() + QStringLiteral("/"));
        stored.setValue(QVServiceAddresses::kApiServerKey, server.baseUrl());
    }
    void TearDown() override
    {
        QVNetWork::shareNetWork()->setIsConnect(true);
    }

    std::shared_ptr<Outcome> send(const std::shared_ptr<QVHttpBaseRequest> &request)
    {
        auto outcome = start(request, Road::WebService);
        EXPECT_TRUE(waitForEnd(outcome));
        return outcome;
    }

    // Sends feedback and returns how often the completion ran and its last
    // verdict.
    std::pair<int, bool> feedback(QVFeedbackApi &api, const QVFeedbackInfo &info, const QString &text,
                                  int timeoutMs = 10000)
    {
        auto calls = std::make_shared<std::pair<int, bool>>(0, false);
        api.send(info, text, [calls](bool accepted) {
            ++calls->first;
            calls->second = accepted;
        });
        EXPECT_EQ(calls->first, 0);
        TestSupport::waitFor([&] { return calls->first > 0; }, timeoutMs);
        TestSupport::spin(30); // for a second call that must not come
        return *calls;
    }

    SettingsScope settings;
    FakeWebService server;
};

QVFeedbackInfo sampleInfo()
{
    QVFeedbackInfo info;
    info.version = QStringLiteral("2.3.4");
    info.build = QStringLiteral("57");
    info.operatingSystemVersion = QStringLiteral("Debian GNU/Linux 12 (bookworm) 6.1.0");
    info.mac = QStringLiteral("aa:bb:cc:dd:ee:ff");
    info.language = QStringLiteral("zh-Hans-CN");
    return info;
}

} // namespace

TEST(SeriesAnswer, OnlyASuccessWithAnArrayGivesTheMacSeries)
{
    auto ids = QVGetSeriesWithNameApi::macSeriesIds(answerOf(R"({"code":1000,"data":[
        {"seriesId":12,"platform":"Mac","desc":"Mac"},
        {"seriesId":13,"platform":"Mac","desc":"Windows"},
        {"seriesId":14,"platform":"Win","desc":"Mac"},
        7, null, "Mac", [1],
        {"seriesId":"15","platform":"Mac","desc":"Mac"},
        {"platform":"Mac","desc":"Mac"},
        {"seriesId":{"x":1},"platform":"Mac","desc":"Mac"},
        {"seriesId":16,"platform":"mac","desc":"Mac"},
        {"seriesId":17,"platform":"Mac","desc":"Mac"}]})"));
    ASSERT_TRUE(ids.has_value());
    EXPECT_EQ(*ids, (QList<qint64>{12, 15, 17}));

    EXPECT_EQ(QVGetSeriesWithNameApi::macSeriesIds(answerOf(R"({"code":1000,"data":[]})")), QList<qint64>{});
    for (const char *json : {R"({"code":1002,"data":[{"seriesId":12,"platform":"Mac","desc":"Mac"}]})",
                             R"({"code":1000,"data":null})", R"({"code":1000,"data":{"seriesId":12}})",
                             R"({"code":1000,"data":"[]"})", R"({"code":1000})"}) {
        EXPECT_FALSE(QVGetSeriesWithNameApi::macSeriesIds(answerOf(json)).has_value()) << json;
    }
}

TEST(VersionAnswer, OnlyASuccessWithAnObjectGivesTheOffer)
{
    auto offer = QVCheckNewVersionApi::versionData(
        answerOf(R"({"code":1000,"data":{"buildNumber":"1.3.0","isForce":true}})"));
    ASSERT_TRUE(offer.has_value());
    EXPECT_EQ(offer->value("buildNumber").toString(), QStringLiteral("1.3.0"));
    for (const char *json : {R"({"code":1002,"data":{"buildNumber":"1.3.0"}})", R"({"code":1000,"data":null})",
                             R"({"code":1000,"data":[{"buildNumber":"1.3.0"}]})", R"({"code":1000,"data":"x"})"}) {
        EXPECT_FALSE(QVCheckNewVersionApi::versionData(answerOf(json)).has_value()) << json;
    }
}

TEST_F(WebServiceApi, SeriesAsksForTheProductNameAndEveryMacEntryLeadsToOneCheck)
{
    server.setSeries(QJsonArray{QJsonObject{{"seriesId", 12}, {"platform", "Mac"}, {"desc", "Mac"}},
                                QJsonObject{{"seriesId", 30}, {"platform", "Windows"}, {"desc", "Windows"}},
                                QJsonObject{{"seriesId", 31}, {"platform", "Mac"}, {"desc", "Mac"}}});
    auto outcome = send(std::make_shared<QVGetSeriesWithNameApi>());
    ASSERT_EQ(server.requestCount(), 1);
    const HttpRequest series = server.requests().first();
    EXPECT_EQ(series.method, QByteArray("GET"));
    EXPECT_EQ(series.path, QStringLiteral("api/official/app/version/support/series"));
    EXPECT_EQ(series.rawQuery, QByteArray("name=Quav%E6%8A%95%E5%B1%8F"));
    EXPECT_EQ(series.queryValue("name"), QStringLiteral("Quav投屏"));
    ASSERT_EQ(outcome->successes, 1);
    const auto ids = QVGetSeriesWithNameApi::macSeriesIds(outcome->response);
    ASSERT_TRUE(ids.has_value());
    ASSERT_EQ(ids->size(), 2);

    QList<std::shared_ptr<Outcome>> checks;
    for (qint64 id : *ids)
        checks << send(std::make_shared<QVCheckNewVersionApi>(id));
    const auto sent = server.requestsTo(FakeWebService::kCheckPath);
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent.at(0).queryValue("seriesId"), QStringLiteral("12"));
    EXPECT_EQ(sent.at(1).queryValue("seriesId"), QStringLiteral("31"));
    EXPECT_EQ(sent.at(0).queryValue("version"), QVPublicTools::appVersion());
    EXPECT_EQ(sent.at(0).method, QByteArray("GET"));
    for (const auto &check : checks) {
        ASSERT_EQ(check->successes, 1);
        const auto offer = QVCheckNewVersionApi::versionData(check->response);
        ASSERT_TRUE(offer.has_value());
        EXPECT_EQ(offer->value("buildNumber").toString(), QStringLiteral("1.0.0"));
        EXPECT_FALSE(offer->value("isForce").toBool(true));
    }
}

TEST_F(WebServiceApi, WrongCodesAndTypesReachTheCallerAsRefusedAnswers)
{
    // 1002 with a payload of the wrong type reaches the success block; the
    // answer checks refuse it, nothing crashes.
    server.setFault(FakeWebService::kSeriesPath, {Fault::WrongCode, 0, 1002});
    server.setSeries(QJsonValue(QJsonValue::Null));
    auto outcome = send(std::make_shared<QVGetSeriesWithNameApi>());
    ASSERT_EQ(outcome->successes, 1);
    EXPECT_FALSE(QVGetSeriesWithNameApi::macSeriesIds(outcome->response).has_value());

    server.setVersionInfo(QJsonArray{1, 2});
    outcome = send(std::make_shared<QVCheckNewVersionApi>(12));
    ASSERT_EQ(outcome->successes, 1);
    EXPECT_FALSE(QVCheckNewVersionApi::versionData(outcome->response).has_value());

    // The service's internal error ends in the failure block.
    server.setFault(FakeWebService::kCheckPath, {Fault::WrongCode, 0, 1001});
    ProgramLogCapture log;
    outcome = send(std::make_shared<QVCheckNewVersionApi>(12));
    EXPECT_EQ(outcome->failures, 1);
    EXPECT_EQ(outcome->error.code, QVHttpError::InternalError);
    EXPECT_EQ(log.countContaining(QStringLiteral("HTTP request internal error"), QStringLiteral("ERROR")), 1);

    server.setFault(FakeWebService::kCheckPath, {Fault::WrongJsonType, 0, 0, "[1000]"});
    outcome = send(std::make_shared<QVCheckNewVersionApi>(12));
    EXPECT_EQ(outcome->failures, 1);
}

TEST_F(WebServiceApi, NoNetworkOrNoAddressFailsAtOnceWithoutSending)
{
    QVNetWork::shareNetWork()->setIsConnect(false);
    auto outcome = send(std::make_shared<QVGetSeriesWithNameApi>());
    EXPECT_EQ(outcome->failures, 1);
    EXPECT_EQ(outcome->error.code, QVHttpError::NotConnectedToInternet);
    QVNetWork::shareNetWork()->setIsConnect(true);

    QSettings().setValue(QVServiceAddresses::kWebServiceKey, QString());
    QSettings().setValue(QVServiceAddresses::kApiServerKey, QString());
    EXPECT_EQ(QVServiceAddresses::webServiceUrl(), QString());
    outcome = send(std::make_shared<QVGetSeriesWithNameApi>());
    EXPECT_EQ(outcome->failures, 1);
    EXPECT_EQ(outcome->error.code, QVHttpError::BadURL);
    outcome = send(std::make_shared<QVCheckNewVersionApi>(12));
    EXPECT_EQ(outcome->failures, 1);

    QVFeedbackApi api;
    const auto [calls, accepted] = feedback(api, sampleInfo(), QStringLiteral("hello"), 1000);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(accepted);
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(WebServiceApi, AddressesComeFromTheSettingsWithoutFinalSlash)
{
    QSettings stored;
    stored.setValue(QVServiceAddresses::kWebServiceKey, QStringLiteral(" http://127.0.0.9:81// "));
    stored.setValue(QVServiceAddresses::kWebSiteKey, QStringLiteral("http://site.invalid/"));
    EXPECT_EQ(QVServiceAddresses::webServiceUrl(), QStringLiteral("http://127.0.0.9:81"));
    EXPECT_EQ(QVServiceAddresses::webSiteUrl(), QStringLiteral("http://site.invalid"));
    EXPECT_EQ(std::make_shared<QVGetSeriesWithNameApi>()->completeUrl(),
              QStringLiteral("http://127.0.0.9:81/api/official/app/version/support/series"));
}

TEST_F(WebServiceApi, FeedbackPostsItsJsonBodyAndIsAcceptedOnlyWithCode1000)
{
    QVFeedbackApi api;
    auto [calls, accepted] = feedback(api, sampleInfo(), QStringLiteral("画面有点卡 \"quoted\""));
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(accepted);
    ASSERT_EQ(server.requestCount(), 1);
    const HttpRequest sent = server.requests().first();
    EXPECT_EQ(sent.method, QByteArray("POST"));
    EXPECT_EQ(sent.target, QByteArray("/api/common/feedback"));
    EXPECT_EQ(sent.header("Content-Type"), QByteArray("application/json"));
    const QJsonObject body = QJsonDocument::fromJson(sent.body).object();
    EXPECT_EQ(body, (QJsonObject{{"version", "2.3.4_57"},
                                 {"platform", "macOS_Debian GNU/Linux 12 (bookworm) 6.1.0"},
                                 {"mac", "aa:bb:cc:dd:ee:ff"},
                                 {"language", "zh-Hans-CN"},
                                 {"content", QStringLiteral("画面有点卡 \"quoted\"")}}));

    QVFeedbackInfo noLanguage = sampleInfo();
    noLanguage.language.reset();
    EXPECT_FALSE(QVFeedbackApi::feedbackBody(noLanguage, "x").contains("language"));
    noLanguage.language = QString();
    EXPECT_FALSE(QVFeedbackApi::feedbackBody(noLanguage, "x").contains("language"));

    for (const QByteArray &answer : {QByteArray(R"({"code":1002})"), QByteArray(R"({"code":"1000x"})"),
                                     QByteArray("1000"), QByteArray("[1000]"), QByteArray(R"("code")"),
                                     QByteArray("null"), QByteArray(""), QByteArray("<html>")}) {
        server.setFeedbackAnswer(answer);
        std::tie(calls, accepted) = feedback(api, sampleInfo(), QStringLiteral("x"));
        EXPECT_EQ(calls, 1) << answer.constData();
        EXPECT_FALSE(accepted) << answer.constData();
    }
    server.setFeedbackAnswer(R"({"code":"1000"})");
    std::tie(calls, accepted) = feedback(api, sampleInfo(), QStringLiteral("x"));
    EXPECT_TRUE(accepted);

    server.setFault(FakeWebService::kFeedbackPath, {Fault::HttpStatus, 0, 500, {}, 1});
    server.setFeedbackAnswer(R"({"code":1000})");
    std::tie(calls, accepted) = feedback(api, sampleInfo(), QStringLiteral("x"));
    EXPECT_FALSE(accepted);
}

TEST_F(WebServiceApi, FeedbackEndsOnceOnTimeOutAndOnCancel)
{
    server.setFault(FakeWebService::kFeedbackPath, {Fault::Silent});
    QVFeedbackApi api;
    api.setTimings(QVHttpTimings{8000ms, 200ms});
    auto [calls, accepted] = feedback(api, sampleInfo(), QStringLiteral("x"));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(accepted);

    int cancelCalls = 0;
    api.setTimings(QVHttpTimings{8000ms, 5000ms});
    api.send(sampleInfo(), QStringLiteral("y"), [&](bool ok) {
        ++cancelCalls;
        EXPECT_FALSE(ok);
    });
    ASSERT_TRUE(TestSupport::waitFor([&] { return server.requestCount() == 2; }));
    api.cancel();
    EXPECT_EQ(cancelCalls, 0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return cancelCalls > 0; }));
    TestSupport::spin(50); // for a second call that must not come
    EXPECT_EQ(cancelCalls, 1);
}

// The feedback form sends the machine's address as lower-case pairs, or the
// word the service expects when there is none.
TEST(FeedbackInfo, TheMachineAddressHasTheFormTheServiceReads)
{
    const QVFeedbackInfo info = QVFeedbackInfo::current();
    EXPECT_FALSE(info.operatingSystemVersion.isEmpty());
    EXPECT_TRUE(info.mac == QStringLiteral("error")
                || QRegularExpression(QStringLiteral("^([0-9a-f]{2}:){5}[0-9a-f]{2}$")).match(info.mac).hasMatch())
        << info.mac.toStdString();
}

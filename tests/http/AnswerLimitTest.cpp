// Answers larger than their limit, against a server that sends them without
// end: every request of the request base (both roads, the file-share and
// web-service classes at their production limit) and the feedback form end
// with "too large" while the memory the process holds stays bounded; a
// declared length above the limit is refused before any of its body is read.

#include <QSettings>
#include <gtest/gtest.h>

#include "AllocationWatch.h"
#include "HostileServer.h"
#include "HttpTestSupport.h"
#include "QVFileShareApi.h"
#include "QVHttpError.h"
#include "QVNetWork.h"
#include "QVServiceAddresses.h"
#include "QVWebServiceApi.h"

using namespace HttpTest;
using namespace std::chrono_literals;

namespace {

constexpr qint64 kMiB = 1024 * 1024;
// What a request may hold beyond its limit: the network's read-ahead, the
// sockets' and Qt's own buffers.
constexpr qint64 kSlack = 16 * kMiB;
// What the server may get to send beyond the limit: the slack and what the
// system's socket buffers take on loopback.
constexpr qint64 kSentSlack = 48 * kMiB;

const QByteArray kJsonHead = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n";

class TestRequest : public QVHttpBaseRequest {
public:
    QString base;
    qint64 method = GET;

    QString requestBaseUrl() const override { return base; }
    QString requestSuffixUrl() const override { return QStringLiteral("endless"); }
    qint64 httpRequestType() const override { return method; }
};

class AnswerLimit : public ::testing::Test {
protected:
    void SetUp() override
    {
        QVNetWork::shareNetWork()->setIsConnect(true);
        HostileServer::Answer endless;
        // A JSON object that never ends.
        endless.head = kJsonHead + "1\r\n{\r\n";
        endless.endless = HostileServer::Endless::Chunks;
        for (const QString &path : {QStringLiteral("endless"), QStringLiteral("api/glimra/fileShare/getFileList"),
                                    QStringLiteral("api/official/app/version/support/check"),
                                    QStringLiteral("api/common/feedback")})
            server.setAnswer(path, endless);
    }

    // Runs the request to its end while watching the heap.
    std::shared_ptr<Outcome> run(const std::shared_ptr<QVHttpBaseRequest> &request, Road road, qint64 *growth)
    {
        AllocationWatch watch;
        auto outcome = start(request, road);
        EXPECT_TRUE(waitForEnd(outcome, 60000));
        *growth = watch.peakGrowth();
        return outcome;
    }

    SettingsScope settings;
    HostileServer server;
};

} // namespace

TEST_F(AnswerLimit, AnEndlessAnswerEndsTheRequestOnEitherRoadWithBoundedMemory)
{
    struct Case {
        const char *name;
        Road road;
        qint64 method;
    };
    const Case cases[] = {
        {"file share", Road::FileShare, QVHttpBaseRequest::GET},
        {"web service GET", Road::WebService, QVHttpBaseRequest::GET},
        {"web service POST", Road::WebService, QVHttpBaseRequest::POST},
    };
    constexpr qint64 limit = 2 * kMiB;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto request = std::make_shared<TestRequest>();
        request->base = server.baseUrl();
        request->method = c.method;
        request->setMaxAnswerBytes(limit);
        // The time-out is idle time: an endless answer never meets it.
        request->setTimings(QVHttpTimings{60s, 60s});
        const qint64 sentBefore = server.bytesSent();
        qint64 growth = 0;
        auto outcome = run(request, c.road, &growth);
        ASSERT_EQ(outcome->ends(), 1);
        EXPECT_EQ(outcome->failures, 1);
        EXPECT_EQ(outcome->error.code, QVHttpError::DataLengthExceedsMaximum);
        EXPECT_LT(growth, limit + kSlack);
        EXPECT_LT(server.bytesSent() - sentBefore, limit + kSentSlack);
    }
}

TEST_F(AnswerLimit, TheFileShareAndWebServiceClassesKeepTheirProductionLimit)
{
    QSettings().setValue(QVServiceAddresses::kWebServiceKey, server.baseUrl());
    const std::shared_ptr<QVHttpBaseRequest> requests[] = {
        std::make_shared<QVGetDownLoadFileListApi>(server.baseUrl(), QStringLiteral("Root-Local"), QString()),
        std::make_shared<QVCheckNewVersionApi>(7),
    };
    for (const auto &request : requests) {
        request->setTimings(QVHttpTimings{60s, 60s});
        const Road road = dynamic_cast<QVFileShareRequest *>(request.get()) ? Road::FileShare : Road::WebService;
        SCOPED_TRACE(road == Road::FileShare ? "file share" : "web service");
        const qint64 sentBefore = server.bytesSent();
        qint64 growth = 0;
        auto outcome = run(request, road, &growth);
        EXPECT_EQ(outcome->failures, 1);
        EXPECT_EQ(outcome->error.code, QVHttpError::DataLengthExceedsMaximum);
        EXPECT_LT(growth, QVHttpBaseRequest::kDefaultMaxAnswerBytes + kSlack);
        EXPECT_LT(server.bytesSent() - sentBefore, QVHttpBaseRequest::kDefaultMaxAnswerBytes + kSentSlack);
        // The limit holds exactly: the whole limit arrives.
        EXPECT_GT(server.bytesSent() - sentBefore, QVHttpBaseRequest::kDefaultMaxAnswerBytes);
    }
}

TEST_F(AnswerLimit, ADeclaredLengthAboveTheLimitIsRefusedBeforeItsBody)
{
    // The head announces ten GiB and the server then holds: nothing of the
    // body ever comes, so only the head can end the request.
    HostileServer::Answer announced;
    announced.head = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 10737418240\r\n\r\n";
    server.setAnswer(QStringLiteral("endless"), announced);
    for (const Road road : {Road::FileShare, Road::WebService}) {
        auto request = std::make_shared<TestRequest>();
        request->base = server.baseUrl();
        request->setTimings(QVHttpTimings{60s, 60s});
        auto outcome = start(request, road);
        ASSERT_TRUE(waitForEnd(outcome, 20000));
        EXPECT_EQ(outcome->failures, 1);
        EXPECT_EQ(outcome->error.code, QVHttpError::DataLengthExceedsMaximum);
    }

    // Up to the limit is taken.
    server.setAnswer(QStringLiteral("endless"), HostileServer::json("{\"code\":200,\"content\":\"12345678\"}"));
    auto request = std::make_shared<TestRequest>();
    request->base = server.baseUrl();
    request->setMaxAnswerBytes(33);
    auto outcome = start(request, Road::FileShare);
    ASSERT_TRUE(waitForEnd(outcome));
    EXPECT_EQ(outcome->successes, 1);
    EXPECT_EQ(outcome->response.code, 200);
    request = std::make_shared<TestRequest>();
    request->base = server.baseUrl();
    request->setMaxAnswerBytes(32);
    outcome = start(request, Road::FileShare);
    ASSERT_TRUE(waitForEnd(outcome));
    EXPECT_EQ(outcome->error.code, QVHttpError::DataLengthExceedsMaximum);
}

TEST_F(AnswerLimit, AnEndlessFeedbackAnswerIsNotAcceptedAndEnds)
{
    QSettings().setValue(QVServiceAddresses::kApiServerKey, server.baseUrl());
    QVFeedbackApi api;
    api.setMaxAnswerBytes(2 * kMiB);
    api.setTimings(QVHttpTimings{60s, 60s});
    int calls = 0;
    bool accepted = true;
    AllocationWatch watch;
    api.send(QVFeedbackInfo{}, QStringLiteral("hello"), [&](bool verdict) {
        ++calls;
        accepted = verdict;
    });
    ASSERT_TRUE(TestSupport::waitFor([&] { return calls > 0; }, 60000));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(accepted);
    EXPECT_LT(watch.peakGrowth(), 2 * kMiB + kSlack);
}

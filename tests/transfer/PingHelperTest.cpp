// The connection probe on a scaled clock (one tick = 100 ms): its verdicts
// for a server that accepts, refuses or never completes a connect, and the
// callers of a probe that a newer one replaces.

#include <QElapsedTimer>
#include <QTcpServer>
#include <gtest/gtest.h>

#include "HangingListener.h"
#include "HttpTestSupport.h"
#include "PublicManager/QVPingHelper.h"
#include "TestSupport.h"

namespace {

constexpr int kTick = 100;

struct Answer {
    int calls = 0;
    bool reachable = false;
    qint64 afterMs = -1;
    int order = 0; // among every answer of the test
};

class PingHelper : public ::testing::Test {
protected:
    void SetUp() override { clock.start(); }

    QVPingHelper::Completion recordInto(Answer &answer)
    {
        return [this, &answer](bool reachable) {
            ++answer.calls;
            answer.reachable = reachable;
            answer.afterMs = clock.elapsed();
            answer.order = ++answers;
        };
    }

    std::unique_ptr<QVPingHelper> probeOf(const QString &base)
    {
        return std::make_unique<QVPingHelper>([base] { return base; },
                                              QVPingHelperTimings{std::chrono::milliseconds(kTick)});
    }

    static QString refusingBase()
    {
        QTcpServer listener;
        listener.listen(TestSupport::uniqueLoopbackAddress(), 0);
        const QString base =
            QStringLiteral("http://%1:%2").arg(listener.serverAddress().toString()).arg(listener.serverPort());
        listener.close();
        return base;
    }

    QElapsedTimer clock;
    int answers = 0;
};

} // namespace

TEST_F(PingHelper, AcceptRefuseAndNoAddressGiveTheirVerdictAtTheirTick)
{
    HttpTest::ProgramLogCapture log;
    QTcpServer listening;
    ASSERT_TRUE(listening.listen(TestSupport::uniqueLoopbackAddress(), 0));
    auto live = probeOf(QStringLiteral("http://%1:%2").arg(listening.serverAddress().toString()).arg(listening.serverPort()));
    Answer yes;
    clock.restart();
    live->pingNetworkWithType(QVPingHelper::DownloadCheck, recordInto(yes));
    EXPECT_TRUE(live->isRunning());
    ASSERT_TRUE(TestSupport::waitFor([&] { return yes.calls > 0; }));
    EXPECT_TRUE(yes.reachable);
    // At the first tick: a later one would follow a failed connect, which
    // the count of failures below would show.
    EXPECT_GE(yes.afterMs, kTick - 10);
    EXPECT_FALSE(live->isRunning());
    EXPECT_EQ(live->retryCount(), 0);

    // Refused three times: NO when the third refusal is reported.
    auto refused = probeOf(refusingBase());
    Answer no;
    clock.restart();
    refused->pingNetworkWithType(QVPingHelper::UploadCheck, recordInto(no));
    ASSERT_TRUE(TestSupport::waitFor([&] { return no.calls > 0; }));
    EXPECT_FALSE(no.reachable);
    EXPECT_GE(no.afterMs, 3 * kTick - 10);
    // Three connects, three refusals, and no fourth tick.
    EXPECT_EQ(log.countContaining(QStringLiteral("QVPingHelper Disconnected with error: ")), 3);
    EXPECT_EQ(log.countContaining(QStringLiteral("QVPingHelper Error: ")), 0);

    // Without an address every connect fails at once: NO at the fourth tick.
    auto hung = std::make_unique<QVPingHelper>([] { return QString(); },
                                               QVPingHelperTimings{std::chrono::milliseconds(kTick)});
    Answer stuck;
    clock.restart();
    hung->pingNetworkWithType(QVPingHelper::DownloadCheck, recordInto(stuck));
    ASSERT_TRUE(TestSupport::waitFor([&] { return stuck.calls > 0; }));
    EXPECT_FALSE(stuck.reachable);
    EXPECT_GE(stuck.afterMs, 4 * kTick - 10);
    EXPECT_EQ(log.countContaining(QStringLiteral("QVPingHelper Error: ")), 4);
}

TEST_F(PingHelper, AConnectThatHangsAnswersNoAtTheFourthTick)
{
    HttpTest::ProgramLogCapture log;
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    TestSupport::HangingListener hanging(address);
    ASSERT_NE(hanging.port(), 0);
    ASSERT_TRUE(hanging.fill());
    auto hung = probeOf(QStringLiteral("http://%1:%2").arg(address.toString()).arg(hanging.port()));
    Answer stuck;
    clock.restart();
    hung->pingNetworkWithType(QVPingHelper::DownloadCheck, recordInto(stuck));
    ASSERT_TRUE(TestSupport::waitFor([&] { return stuck.calls > 0; }));
    EXPECT_FALSE(stuck.reachable);
    EXPECT_GE(stuck.afterMs, 4 * kTick - 10);
    // One connect that hangs, three ticks that find it still connecting.
    EXPECT_EQ(log.countContaining(QStringLiteral("QVPingHelper Error: ")), 3);
    EXPECT_EQ(log.countContaining(QStringLiteral("QVPingHelper Disconnected with error: ")), 0);
    EXPECT_FALSE(hung->isRunning());
}

TEST_F(PingHelper, EveryCallerIsAnsweredOnceAndOnlyTheDeleteTurnsAwayTheOthers)
{
    QTcpServer listening;
    ASSERT_TRUE(listening.listen(TestSupport::uniqueLoopbackAddress(), 0));
    QString base = refusingBase();
    QVPingHelper helper([&base] { return base; }, QVPingHelperTimings{std::chrono::milliseconds(kTick)});

    // A network check replaced by a reconnect: both hear the new verdict.
    Answer check;
    Answer reconnect;
    helper.pingNetworkWithType(QVPingHelper::UploadCheck, recordInto(check));
    TestSupport::spin(kTick + kTick / 2); // into the probe, which needs three ticks; nothing awaited
    helper.pingNetworkWithType(QVPingHelper::DownloadCheck, recordInto(reconnect));
    ASSERT_TRUE(TestSupport::waitFor([&] { return check.calls > 0 && reconnect.calls > 0; }));
    TestSupport::spin(2 * kTick); // for a second answer that must not come
    EXPECT_EQ(check.calls, 1);
    EXPECT_EQ(reconnect.calls, 1);
    EXPECT_FALSE(check.reachable);
    EXPECT_FALSE(reconnect.reachable);

    // The upload page's delete: the running probe's caller hears NO at once;
    // the delete's own probe then reaches the server that is back.
    Answer waiting;
    Answer deletion;
    helper.pingNetworkWithType(QVPingHelper::UploadCheck, recordInto(waiting));
    ASSERT_TRUE(helper.isRunning());
    base = QStringLiteral("http://%1:%2").arg(listening.serverAddress().toString()).arg(listening.serverPort());
    clock.restart();
    helper.pingNetworkWithType(QVPingHelper::UploadDelete, recordInto(deletion));
    EXPECT_EQ(waiting.calls, 0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return waiting.calls > 0 && deletion.calls > 0; }));
    TestSupport::spin(2 * kTick); // for a second answer that must not come
    EXPECT_EQ(waiting.calls, 1);
    EXPECT_FALSE(waiting.reachable);
    // At once: before the delete's own probe, which answers at its first
    // tick at the soonest.
    EXPECT_LT(waiting.order, deletion.order);
    EXPECT_EQ(deletion.calls, 1);
    EXPECT_TRUE(deletion.reachable);
}

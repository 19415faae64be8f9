// The main window's tip banner: which message and colour each write of the
// session model brings, and how long a message stays.

#include "FrameTestSupport.h"

#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVShowTipsView.h"
#include "Categories/RVColor.h"
#include "Main/ViewController/Root/QVRootViewController.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QSignalSpy>

#include <functional>
#include <thread>

using TestSupport::waitFor;

namespace {

const QColor Green = rv_colorWithHexString(QStringLiteral("0x4CAF50"));
const QColor Red = rv_colorWithHexString(QStringLiteral("0xFF0000"));

class TipsBannerTest : public FrameTest::Fixture
{
protected:
    void SetUp() override
    {
        FrameTest::Fixture::SetUp();
        root = std::make_unique<QVRootViewController>();
        root->resize(375, 640);
        root->show();
        QVTipsTimings timings;
        timings.fadeInMs = 20;
        timings.holdMs = 150;
        timings.fadeOutMs = 20;
        root->tipsBanner()->setTimings(timings);
        spy = std::make_unique<QSignalSpy>(root->tipsBanner(), &QVTipsBanner::tipsShown);
    }

    void TearDown() override
    {
        spy.reset();
        root.reset();
        FrameTest::Fixture::TearDown();
    }

    // The messages the banner showed after `write`, once the event loop has
    // carried the `expected` number over: (text, type) each.
    QList<QPair<QString, qint64>> shownAfter(const std::function<void()> &write, int expected)
    {
        spy->clear();
        write();
        EXPECT_TRUE(waitFor([&] { return spy->count() >= expected; }));
        TestSupport::spin(30); // for a message that must not come
        QList<QPair<QString, qint64>> shown;
        for (const QList<QVariant> &call : std::as_const(*spy))
            shown.append({call.at(0).toString(), call.at(1).toLongLong()});
        return shown;
    }

    QColor bannerColor() const { return root->tipsBanner()->tipsView()->bgView()->backgroundColor(); }

    std::unique_ptr<QVRootViewController> root;
    std::unique_ptr<QSignalSpy> spy;
};

using Shown = QList<QPair<QString, qint64>>;

} // namespace

TEST_F(TipsBannerTest, EachModelWriteShowsItsMessageInItsColour)
{
    QVKVOModel *m = model();
    struct Case {
        const char *what;
        std::function<void()> write;
        Shown expected;
    };
    const QList<Case> cases = {
        {"disconnect 0", [m] { m->setDisconnectDeviceType(0); }, {{"shareScreen_disconnected", 1}}},
        {"disconnect 3", [m] { m->setDisconnectDeviceType(3); }, {{"shareScreen_disconnected", 1}}},
        {"disconnect 4", [m] { m->setDisconnectDeviceType(4); }, {}},
        {"disconnect -1", [m] { m->setDisconnectDeviceType(-1); }, {}},
        {"full screen 1", [m] { m->setFullScreenStatus(1); }, {{"shareScreen_request_fullScreen", 1}}},
        {"full screen 0", [m] { m->setFullScreenStatus(0); }, {{"shareScreen_request_unFullScreen", 1}}},
        {"full screen 2", [m] { m->setFullScreenStatus(2); }, {}},
        {"reply 2", [m] { m->setReplyCastStatus(2); }, {{"main_requestScreenCasting_timeOut", 0}}},
        {"reply 0", [m] { m->setReplyCastStatus(0); }, {{"main_requestScreenCasting_refuse", 0}}},
        {"reply 1", [m] { m->setReplyCastStatus(1); }, {}},
        {"connect 4", [m] { m->setConnectDeviceStatus(4); }, {{"main_connection_failed", 0}}},
        {"connect 3", [m] { m->setConnectDeviceStatus(3); }, {{"main_enter_correct_code", 0}}},
        {"connect 1", [m] { m->setConnectDeviceStatus(1); }, {}},
        {"connect 0", [m] { m->setConnectDeviceStatus(0); }, {}},
        {"file gone", [m] { m->setFileDoesNotExist(true); }, {{"main_localFile_fileDoesNotExist", 0}}},
        {"file gone, no", [m] { m->setFileDoesNotExist(false); }, {{"main_localFile_fileDoesNotExist", 0}}},
        {"delete failed", [m] { m->setUploadSuccess_deleteFail(true); }, {{"transferFile_deleteFail", 0}}},
        {"server file gone", [m] { m->setDownLoadFileDoesNotExist(true); },
         {{"main_downLoadFile_serverFileDoesNotExist", 0}}},
        {"local file gone", [m] { m->setLocalFileDoesNotExist(false); },
         {{"main_downLoadFile_localFileDoesNotExist", 0}}},
        // Keys the banner does not watch.
        {"cast status", [m] { m->setCastScreenStatus(0); }, {}},
        {"network", [m] { m->setNetworkStatus(1); }, {}},
        {"receivers", [m] { m->setDeviceList({}); }, {}},
    };
    for (const Case &c : cases) {
        const Shown shown = shownAfter(c.write, int(c.expected.size()));
        EXPECT_EQ(shown, c.expected) << c.what;
        if (shown.isEmpty())
            continue;
        EXPECT_EQ(root->tipsBanner()->text(), shown.last().first) << c.what;
        EXPECT_EQ(bannerColor(), shown.last().second == 1 ? Green : Red) << c.what;
    }
}

TEST_F(TipsBannerTest, SameNewsTwiceShowsTwice)
{
    // Two wrong casting codes in a row: the second must not go unnoticed.
    const Shown shown = shownAfter([this] {
        model()->setConnectDeviceStatus(3);
        model()->setConnectDeviceStatus(3);
    }, 2);
    EXPECT_EQ(shown, (Shown{{"main_enter_correct_code", 0}, {"main_enter_correct_code", 0}}));
}

TEST_F(TipsBannerTest, TheUploadPageReportsItsOwnDisconnect)
{
    QVPublicTools::sharedPublicTools()->setIsInToUploadFilePage(true);
    EXPECT_TRUE(shownAfter([this] { model()->setDisconnectDeviceType(2); }, 0).isEmpty());
    // Other news still shows.
    EXPECT_EQ(shownAfter([this] { model()->setConnectDeviceStatus(4); }, 1), (Shown{{"main_connection_failed", 0}}));
    QVPublicTools::sharedPublicTools()->setIsInToUploadFilePage(false);
    EXPECT_EQ(shownAfter([this] { model()->setDisconnectDeviceType(2); }, 1), (Shown{{"shareScreen_disconnected", 1}}));
}

TEST_F(TipsBannerTest, ALibraryDisconnectReportShowsOnceAndTheSilentResetShowsNothing)
{
    library()->connectDeviceSuccess(ServerInfo{QStringLiteral("Room A"), QStringLiteral("127.0.0.9")});
    const Shown shown = shownAfter([this] {
        library()->deviceDidDisconnectWithError(TavlinError(QStringLiteral("com.TavlinError.Domain"), 1));
    }, 1);
    EXPECT_EQ(shown, (Shown{{"shareScreen_disconnected", 1}}));
    // The model returns to its defaults quietly after the disconnect.
    ASSERT_TRUE(waitFor([this] { return model()->disconnectDeviceType() == 4; }));
    TestSupport::spin(50); // for a message that must not come
    EXPECT_EQ(spy->count(), 1);
}

TEST_F(TipsBannerTest, WritesFromAnotherThreadReachTheBannerOnItsOwn)
{
    std::thread writer([this] { model()->setReplyCastStatus(0); });
    writer.join();
    ASSERT_TRUE(waitFor([this] { return spy->count() == 1; }));
    EXPECT_EQ(root->tipsBanner()->text(), QStringLiteral("main_requestScreenCasting_refuse"));
    EXPECT_EQ(root->tipsBanner()->tipsView()->thread(), root->thread());
}

TEST_F(TipsBannerTest, FadesInHoldsAndFadesOutAtTheTopOfTheWindow)
{
    QVShowTipsView *view = root->tipsBanner()->tipsView();
    EXPECT_EQ(view->geometry(), QRect(0, 0, 375, 50));
    EXPECT_EQ(root->tipsBanner()->opacity(), 0.0);
    // It never takes the clicks meant for the page below it.
    EXPECT_TRUE(view->testAttribute(Qt::WA_TransparentForMouseEvents));

    QSignalSpy hidden(root->tipsBanner(), &QVTipsBanner::tipsHidden);
    QElapsedTimer clock;
    clock.start();
    root->mainThreadRefrshTipsWithTitle(QStringLiteral("<b>Room</b> A"), 1);
    ASSERT_TRUE(waitFor([&] { return root->tipsBanner()->opacity() >= 1.0; }));
    // For a person to look at: QUAVDESK_SCREENSHOT_DIR=/some/folder.
    if (const QString folder = qEnvironmentVariable("QUAVDESK_SCREENSHOT_DIR"); !folder.isEmpty())
        root->grab().save(folder + QStringLiteral("/tips-banner.png"));
    // Receiver text shows as it is, never as markup.
    EXPECT_EQ(view->tipsLabel()->textFormat(), Qt::PlainText);
    EXPECT_TRUE(root->tipsBanner()->isHolding());
    ASSERT_TRUE(waitFor([&] { return hidden.count() == 1; }));
    // 20 ms in, 150 ms held, 20 ms out.
    EXPECT_GE(clock.elapsed(), 180);
    EXPECT_EQ(root->tipsBanner()->opacity(), 0.0);
    EXPECT_FALSE(view->isVisible());
}

TEST_F(TipsBannerTest, ALaterMessageGetsAFullHold)
{
    // A long fade-in sets the two ends apart: the first message's hold
    // ends 150 ms after it began, the second's no sooner than 100 + 150 ms
    // after it came.
    QVTipsTimings timings;
    timings.fadeInMs = 100;
    timings.holdMs = 150;
    timings.fadeOutMs = 20;
    root->tipsBanner()->setTimings(timings);
    QSignalSpy hidden(root->tipsBanner(), &QVTipsBanner::tipsHidden);
    root->tipsBanner()->showTipsWithTitle(QStringLiteral("first"), 0);
    ASSERT_TRUE(waitFor([&] { return root->tipsBanner()->isHolding(); }));
    QElapsedTimer clock;
    clock.start();
    root->tipsBanner()->showTipsWithTitle(QStringLiteral("second"), 1);
    ASSERT_TRUE(waitFor([&] { return hidden.count() == 1; }));
    // Not cut short by the first message's fade-out, which was due earlier.
    EXPECT_GE(clock.elapsed(), 200);
    EXPECT_EQ(root->tipsBanner()->text(), QStringLiteral("second"));
    EXPECT_EQ(bannerColor(), Green);
}

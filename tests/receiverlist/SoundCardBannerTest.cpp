// The receiver list's sound-card banner: hidden from the start and whenever
// there is no download page to offer; its shown state with its look and
// wrapped height; its two buttons; and the remote configuration that decides
// whether it shows, served by a fake web server.

#include "ReceiverListHarness.h"

#include "AFNetwork/QVNetWork.h"
#include "AFNetwork/QVServiceAddresses.h"
#include "BaseViewController/View/QVBackgrounView.h"
#include "Categories/RVColor.h"

#include "FakeHttpServer.h"

#include <QDesktopServices>
#include <QJsonObject>
#include <QSettings>
#include <QtMath>

using FrameTest::runDeferredDeletes;
using TestSupport::waitFor;

namespace {

const QString kDownloadPage = QStringLiteral("http://sound-card.invalid/download");

// Serves the banner's configuration at "config" as the test sets it.
class ConfigServer : public FakeServers::FakeHttpServer
{
public:
    FakeServers::HttpAnswer answer;

protected:
    FakeServers::HttpAnswer handle(const FakeServers::HttpRequest &) override { return answer; }
};

class SoundCardBannerTest : public ::testing::Test, protected ReceiverListHarness
{
protected:
    void SetUp() override
    {
        QSettings().setValue(QVServiceAddresses::kSoundCardPageKey, kDownloadPage);
        QSettings().remove(QVServiceAddresses::kSoundCardConfigKey);
        QVNetWork::shareNetWork()->setIsConnect(true);
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "open");
        manager = std::make_unique<QVShareManager>(fakeServices(fake, capture));
        setUpHarness(manager.get());
    }

    void TearDown() override
    {
        tearDownHarness();
        manager.reset();
        runDeferredDeletes();
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QVNetWork::shareNetWork()->setIsConnect(true);
        QSettings().remove(QVServiceAddresses::kSoundCardPageKey);
        QSettings().remove(QVServiceAddresses::kSoundCardConfigKey);
    }

    QVBackgrounView *banner() const { return page->soundCardView(); }
    bool bannerShown() const { return banner()->isVisibleTo(page); }

    void show()
    {
        page->showVirtualSoundCardWithStatus(true);
        ASSERT_TRUE(waitFor([this] { return bannerShown(); }));
    }

    // Serves `config` and asks for it; waits for the request's answer to land.
    void askConfiguration(const QByteArray &config)
    {
        server.answer.body = config;
        server.answer.headers = {{"Content-Type", "application/json"}};
        const int before = server.requestCount();
        page->getAppStoreOssVirtualSoundCardStatus();
        ASSERT_TRUE(waitFor([&] { return server.requestCount() > before; }));
        TestSupport::spin(100);
    }

    std::shared_ptr<FakeTavlin::Shared> fake = std::make_shared<FakeTavlin::Shared>();
    std::shared_ptr<Platform::Fake::FakeScreenCaptureAccess> capture =
        std::make_shared<Platform::Fake::FakeScreenCaptureAccess>();
    std::unique_ptr<QVShareManager> manager;
    UrlRecorder browser;
    ConfigServer server;
};

} // namespace

TEST_F(SoundCardBannerTest, HiddenFromTheStartShownWithItsLookAndWrappedHeight)
{
    EXPECT_FALSE(bannerShown());
    show();
    EXPECT_EQ(page->soundCardTitltLabel()->text(), QStringLiteral("main_soundCard_title"));
    EXPECT_EQ(page->installBtn()->text(), QStringLiteral("main_soundCard_btn_install"));
    EXPECT_EQ(page->notInstallBtn()->text(), QStringLiteral("main_soundCard_btn_notInstall"));
    EXPECT_EQ(banner()->backgroundColor(), QColor(Qt::white));
    EXPECT_EQ(page->installBtn()->backgroundColor(), rv_colorWithHexString(QStringLiteral("0x5879FC")));
    EXPECT_EQ(page->notInstallBtn()->backgroundColor(), rv_colorWithHexString(QStringLiteral("0xEDEDED")));
    for (QVBaseButton *button : {page->installBtn(), page->notInstallBtn()}) {
        EXPECT_TRUE(button->isRadius());
        EXPECT_DOUBLE_EQ(button->cornerRadius(), 5.0);
    }
    // The title's height at 12 pixels and the label's width, plus 80.
    QLabel *title = page->soundCardTitltLabel();
    const int expected = qCeil(QVPublicTools::getLabelHeightWithText(title->text(), 12, title->width())) + 80;
    EXPECT_EQ(page->soundCardViewHeight(), expected);
    EXPECT_EQ(banner()->height(), expected);
    page->showVirtualSoundCardWithStatus(false);
    ASSERT_TRUE(waitFor([this] { return !bannerShown(); }));
}

TEST_F(SoundCardBannerTest, WithoutADownloadPageItNeverShows)
{
    QSettings().setValue(QVServiceAddresses::kSoundCardPageKey, QString());
    page->showVirtualSoundCardWithStatus(true);
    TestSupport::spin(50);
    EXPECT_FALSE(bannerShown());
}

TEST_F(SoundCardBannerTest, InstallOpensTheDownloadPageOnlyWithANetworkAndDismissHides)
{
    show();
    QVNetWork::shareNetWork()->setIsConnect(false);
    page->installBtn()->click();
    TestSupport::spin(50);
    EXPECT_TRUE(browser.urls.isEmpty());
    EXPECT_TRUE(bannerShown());

    QVNetWork::shareNetWork()->setIsConnect(true);
    page->installBtn()->click();
    ASSERT_TRUE(waitFor([this] { return !bannerShown(); }));
    EXPECT_EQ(browser.urls, QList<QUrl>{QUrl(kDownloadPage)});

    show();
    page->notInstallBtn()->click();
    ASSERT_TRUE(waitFor([this] { return !bannerShown(); }));
    EXPECT_EQ(browser.urls.size(), 1);
}

TEST_F(SoundCardBannerTest, TheRemoteConfigurationDecides)
{
    ASSERT_TRUE(server.listen(TestSupport::uniqueLoopbackAddress()));
    const QString build = QVPublicTools::appBuild();

    // No address: hidden, nothing asked.
    show();
    page->getAppStoreOssVirtualSoundCardStatus();
    ASSERT_TRUE(waitFor([this] { return !bannerShown(); }));
    EXPECT_EQ(server.requestCount(), 0);

    QSettings().setValue(QVServiceAddresses::kSoundCardConfigKey, server.baseUrl() + QStringLiteral("/config"));
    // No network: hidden, nothing asked.
    show();
    QVNetWork::shareNetWork()->setIsConnect(false);
    page->getAppStoreOssVirtualSoundCardStatus();
    ASSERT_TRUE(waitFor([this] { return !bannerShown(); }));
    EXPECT_EQ(server.requestCount(), 0);
    QVNetWork::shareNetWork()->setIsConnect(true);

    // Not in review: shown.
    askConfiguration(R"({"appstore_reviewing": false, "build_number": ")" + build.toUtf8() + R"("})");
    EXPECT_TRUE(bannerShown());
    // This build in review: hidden; another build in review: shown.
    askConfiguration(R"({"appstore_reviewing": true, "build_number": ")" + build.toUtf8() + R"("})");
    EXPECT_FALSE(bannerShown());
    askConfiguration(R"({"appstore_reviewing": true, "build_number": "0)" + build.toUtf8() + R"(9"})");
    EXPECT_TRUE(bannerShown());
    // Not JSON, or not an object: hidden.
    askConfiguration("<html>maintenance</html>");
    EXPECT_FALSE(bannerShown());
    askConfiguration(R"({"appstore_reviewing": false})");
    EXPECT_TRUE(bannerShown());
    askConfiguration("[1, 2]");
    EXPECT_FALSE(bannerShown());
    // A configuration far larger than any real one is not read: hidden.
    askConfiguration(R"({"appstore_reviewing": false, "pad": ")" + QByteArray(200 * 1024, 'x') + R"("})");
    EXPECT_FALSE(bannerShown());
}

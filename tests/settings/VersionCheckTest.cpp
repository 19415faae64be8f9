// The version check of the receiver list against the fake web service: each
// answer gives the right offer (none, optional, compulsory), answers of the
// wrong code or type and missing answers change nothing, and the
// forced-upgrade dialog leaves only through the quit path or to the
// download page.

#include "SettingsTestSupport.h"

#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVNamedImage.h"
#include "Main/App/QVQuitPath.h"
#include "Main/ViewController/Setting/QVForceUpgradeVC.h"
#include "Main/ViewController/Setting/QVNewVersionInfoModel.h"
#include "Main/ViewController/Setting/QVVersionCheck.h"

#include <QAbstractButton>
#include <QJsonArray>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace FakeServers;
using SettingsTest::runDeferredDeletes;
using TestSupport::spin;
using TestSupport::waitFor;

namespace {

QJsonObject offer(const QString &buildNumber, const QJsonValue &isForce)
{
    return QJsonObject{{"buildNumber", buildNumber},
                       {"downloadUrl", "http://download.invalid/quavdesk"},
                       {"releaseDate", "2025-06-01"},
                       {"softwareSize", "31MB"},
                       {"isForce", isForce}};
}

QJsonObject macSeries(int id)
{
    return QJsonObject{{"seriesId", id}, {"platform", "Mac"}, {"desc", "Mac"}};
}

// A version after the running one, and one before it.
const QString Newer = QStringLiteral("999.0.0");
const QString Older = QStringLiteral("0.0.1");

class VersionCheckTest : public SettingsTest::Fixture
{
protected:
    void SetUp() override
    {
        SettingsTest::Fixture::SetUp();
        page = std::make_unique<QWidget>();
        page->resize(375, 640);
        page->show();
        check = std::make_unique<QVVersionCheck>(page.get());
    }
    void TearDown() override
    {
        check.reset();
        page.reset();
        SettingsTest::Fixture::TearDown();
    }

    // Runs a whole check and waits until it is over: until `expectedChecks`
    // offers are taken, or, when no answer may change anything, until the
    // `requests` it sends have reached the service and every connection is
    // closed again (answered, refused or given up by the program). With
    // `resent`, the client may send a request whose connection closed
    // unanswered once more, up to that many times, right after the close:
    // the check is over once no request has come for a while.
    void runCheck(int expectedChecks = 1, int requests = 0, int resent = 0)
    {
        QSignalSpy checked(check.get(), &QVVersionCheck::versionChecked);
        const int before = server.requestCount();
        check->getVersionSupportSeries();
        if (expectedChecks > 0) {
            EXPECT_TRUE(waitFor([&] { return checked.size() >= expectedChecks; }));
        } else {
            EXPECT_TRUE(waitFor([&] { return server.requestCount() >= before + requests && server.openConnections() == 0; }));
            if (resent > 0) {
                EXPECT_TRUE(TestSupport::waitUntilSteady(
                    [&] { return qint64(server.requestCount()) * 1000 + server.openConnections(); }, 300));
                EXPECT_EQ(server.openConnections(), 0);
            }
            EXPECT_LE(server.requestCount(), before + requests + resent);
        }
        spin(50); // for an offer that must not come
        EXPECT_EQ(checked.size(), expectedChecks);
    }

    std::optional<QVNewVersionInfoModel> storedOffer() const
    {
        return QVNewVersionInfoModel::fromVariant(model()->versionInfoModel());
    }

    bool dialogShown() const
    {
        return check->forceUpgradeVC() && check->forceUpgradeVC()->isVisibleTo(page.get());
    }

    std::unique_ptr<QWidget> page;
    std::unique_ptr<QVVersionCheck> check;
};

} // namespace

TEST(VersionCompare, DigitRunsCompareByValue)
{
    using M = QVNewVersionInfoModel;
    EXPECT_FALSE(M::checkNeedUpdate("1.10.0", "1.9.0"));
    EXPECT_TRUE(M::checkNeedUpdate("1.9.0", "1.10.0"));
    EXPECT_FALSE(M::checkNeedUpdate("1.9.0", "1.9.0"));
    EXPECT_FALSE(M::checkNeedUpdate("1.2.3", ""));
    EXPECT_TRUE(M::checkNeedUpdate("2.0", "2.0.1"));
    EXPECT_FALSE(M::checkNeedUpdate("2.0.1", "2.0"));
    EXPECT_TRUE(M::checkNeedUpdate("1.2.9", "1.2.10"));
    EXPECT_EQ(M::compareVersions("1.02.0", "1.2.0"), 0);
    EXPECT_LT(M::compareVersions("1.0.0-beta", "1.0.1"), 0);
    EXPECT_LT(M::compareVersions("1.0.a", "1.0.b"), 0);
    // Runs longer than any machine number still compare by value.
    EXPECT_LT(M::compareVersions("1.99999999999999999999998", "1.99999999999999999999999"), 0);
    EXPECT_GT(M::compareVersions("1.100000000000000000000000", "1.99999999999999999999999"), 0);
    EXPECT_EQ(M::compareVersions("", ""), 0);
}

TEST(VersionOffer, AnswersOfOtherTypesNeverGiveANewerOffer)
{
    using M = QVNewVersionInfoModel;
    const M numeric = M::fromJson(QJsonObject{{"buildNumber", 2}, {"isForce", 1}});
    EXPECT_EQ(numeric.buildNumber, QStringLiteral("2"));
    EXPECT_TRUE(numeric.isForce);
    EXPECT_TRUE(M::fromJson(QJsonObject{{"isForce", "true"}}).isForce);
    EXPECT_FALSE(M::fromJson(QJsonObject{{"isForce", "false"}}).isForce);
    EXPECT_FALSE(M::fromJson(QJsonObject{{"isForce", QJsonArray{1}}}).isForce);

    for (const QJsonValue &odd : {QJsonValue(QJsonArray{"9.9.9"}), QJsonValue(QJsonObject{{"v", "9"}}),
                                  QJsonValue(true), QJsonValue()}) {
        const M model = M::fromJson(QJsonObject{{"buildNumber", odd}, {"isForce", true}});
        EXPECT_TRUE(model.buildNumber.isEmpty());
        EXPECT_FALSE(model.checkNeedUpdate());
    }

    // The session model's value: only an offer counts.
    EXPECT_FALSE(M::checkNeedUpdate(QVariant()));
    EXPECT_FALSE(M::checkNeedUpdate(QVariant(QStringLiteral("999.0.0"))));
    EXPECT_FALSE(M::fromVariant(QVariant(42)).has_value());
    M newer;
    newer.buildNumber = QStringLiteral("999.0.0");
    EXPECT_TRUE(M::checkNeedUpdate(newer.toVariant()));
}

TEST(VersionOffer, TheDownloadPageFollowsTheLanguage)
{
    EXPECT_EQ(QVDownloadPage::url("http://127.0.0.9:8080", "zh-Hans"), QUrl("http://127.0.0.9:8080/cn/app/quavshare"));
    EXPECT_EQ(QVDownloadPage::url("http://127.0.0.9:8080", "zh-Hant"), QUrl("http://127.0.0.9:8080/app/quavshare"));
    EXPECT_EQ(QVDownloadPage::url("http://127.0.0.9:8080", "en"), QUrl("http://127.0.0.9:8080/app/quavshare"));
    EXPECT_TRUE(QVDownloadPage::url("", "en").isEmpty());
    EXPECT_TRUE(QVDownloadPage::url("not an address", "en").isEmpty());
}

TEST_F(VersionCheckTest, NoNewerVersionKeepsThePlainButtonAndStoresTheOffer)
{
    server.setVersionInfo(offer(QVPublicTools::appVersion(), true));
    QSignalSpy images(check.get(), &QVVersionCheck::settingImageNameChanged);
    runCheck();

    ASSERT_EQ(server.requestCount(FakeWebService::kSeriesPath), 1);
    const auto checks = server.requestsTo(FakeWebService::kCheckPath);
    ASSERT_EQ(checks.size(), 1);
    EXPECT_EQ(checks.first().queryValue("seriesId"), QStringLiteral("12"));
    EXPECT_EQ(checks.first().queryValue("version"), QVPublicTools::appVersion());

    ASSERT_TRUE(storedOffer().has_value());
    EXPECT_EQ(storedOffer()->buildNumber, QVPublicTools::appVersion());
    EXPECT_TRUE(storedOffer()->isForce);
    ASSERT_EQ(images.size(), 1);
    EXPECT_EQ(images.first().first().toString(), QVVersionCheck::SettingImage);
    EXPECT_FALSE(dialogShown());
}

TEST_F(VersionCheckTest, AnOptionalUpdateMarksTheButtonOnly)
{
    server.setVersionInfo(offer(Newer, false));
    runCheck();
    EXPECT_EQ(check->settingImageName(), QVVersionCheck::SettingUpdateImage);
    EXPECT_FALSE(dialogShown());
    EXPECT_TRUE(QVNewVersionInfoModel::checkNeedUpdate(model()->versionInfoModel()));

    // The next answer that is no longer newer takes the mark away again.
    server.setVersionInfo(offer(Older, false));
    runCheck();
    EXPECT_EQ(check->settingImageName(), QVVersionCheck::SettingImage);
}

TEST_F(VersionCheckTest, ACompulsoryNewerVersionLaysTheDialogOverTheWholePageOnce)
{
    // Compulsory but not newer: no dialog.
    server.setVersionInfo(offer(Older, true));
    runCheck();
    EXPECT_FALSE(dialogShown());
    EXPECT_EQ(check->settingImageName(), QVVersionCheck::SettingImage);

    server.setSeries(QJsonArray{macSeries(12), macSeries(40)});
    server.setVersionInfo(offer(Newer, true));
    runCheck(2);
    EXPECT_EQ(check->settingImageName(), QVVersionCheck::SettingUpdateImage);
    ASSERT_TRUE(dialogShown());
    QVForceUpgradeVC *dialog = check->forceUpgradeVC();
    EXPECT_EQ(dialog->geometry(), page->rect());
    EXPECT_EQ(page->findChildren<QVForceUpgradeVC *>().size(), 1);
    EXPECT_EQ(dialog->titleLabel()->text(), QStringLiteral("permissionPrompt_tips_title"));
    EXPECT_EQ(dialog->describeLabel()->text(), QStringLiteral("checkVersion_tips_officialWebsite_describe"));
    EXPECT_EQ(dialog->toUpdateBtn()->text(), QStringLiteral("checkVersion_tips_toUpdate"));
    EXPECT_EQ(dialog->closeBtn()->text(), QStringLiteral("checkVersion_tips_exit"));

    // Another check, and the page's own later overlays, leave one dialog on top.
    auto *overlay = new QWidget(page.get());
    overlay->setGeometry(page->rect());
    overlay->show();
    runCheck(2);
    // The dialog is raised again on the event loop's next turn.
    const auto dialogOnTopAt = [&](const QPoint &point) {
        QWidget *top = page->childAt(point);
        return top && dialog->isAncestorOf(top);
    };
    EXPECT_TRUE(waitFor([&] { return dialogOnTopAt(QPoint(5, 5)); }));
    EXPECT_EQ(page->findChildren<QVForceUpgradeVC *>().size(), 1);

    // The page beneath gets no click.
    int pageClicks = 0;
    auto *behind = new QPushButton(page.get());
    behind->setGeometry(0, 0, 100, 40);
    behind->show();
    QObject::connect(behind, &QPushButton::clicked, [&] { ++pageClicks; });
    ASSERT_TRUE(waitFor([&] { return dialogOnTopAt(QPoint(20, 20)); }));
    QWidget *under = page->childAt(QPoint(20, 20));
    QTest::mouseClick(under, Qt::LeftButton, {}, under->mapFrom(page.get(), QPoint(20, 20)));
    EXPECT_EQ(pageClicks, 0);

    // A resized page stays covered.
    page->resize(400, 700);
    EXPECT_TRUE(waitFor([&] { return page->size() == QSize(400, 700) && dialog->geometry() == page->rect(); }));
}

TEST_F(VersionCheckTest, EveryMacSeriesIsCheckedAndTheLastAnswerWins)
{
    server.setSeries(QJsonArray{macSeries(12), QJsonObject{{"seriesId", 13}, {"platform", "Windows"}, {"desc", "Windows"}},
                                macSeries(31)});
    server.setVersionInfo(offer(Newer, false));
    runCheck(2);
    const auto checks = server.requestsTo(FakeWebService::kCheckPath);
    ASSERT_EQ(checks.size(), 2);
    QStringList ids{checks.at(0).queryValue("seriesId"), checks.at(1).queryValue("seriesId")};
    ids.sort();
    EXPECT_EQ(ids, (QStringList{"12", "31"}));
    EXPECT_EQ(storedOffer()->buildNumber, Newer);
}

TEST_F(VersionCheckTest, AnswersOfTheWrongCodeOrTypeChangeNothing)
{
    // A first good answer leaves an offer and a marked button behind.
    server.setVersionInfo(offer(Newer, false));
    runCheck();
    ASSERT_EQ(check->settingImageName(), QVVersionCheck::SettingUpdateImage);
    QSignalSpy images(check.get(), &QVVersionCheck::settingImageNameChanged);
    QSignalSpy written(model(), &QVKVOModel::versionInfoModelChanged);

    // Series answers of another shape: no check follows.
    for (const QJsonValue &series : {QJsonValue(), QJsonValue(macSeries(12)), QJsonValue("12"), QJsonValue(7)}) {
        server.clearRequests();
        server.setSeries(series);
        runCheck(0, 1);
        EXPECT_EQ(server.requestCount(FakeWebService::kCheckPath), 0);
    }
    server.setSeries(QJsonArray{macSeries(12)});
    server.clearRequests();
    server.setFault(FakeWebService::kSeriesPath, SettingsTest::fault(Fault::WrongCode, 0, 1002));
    runCheck(0, 1);
    EXPECT_EQ(server.requestCount(FakeWebService::kCheckPath), 0);
    server.setFault(FakeWebService::kSeriesPath, SettingsTest::fault(Fault::WrongJsonType, 0, 0, "[1000]"));
    runCheck(0, 1);
    server.setFault(FakeWebService::kSeriesPath, SettingsTest::fault(Fault::NotJson));
    runCheck(0, 1);
    EXPECT_EQ(server.requestCount(FakeWebService::kCheckPath), 0);
    server.clearFaults();

    // Check answers of another shape: the offer stays as it was.
    for (const QJsonValue &data : {QJsonValue(), QJsonValue(QJsonArray{offer(Older, false)}), QJsonValue("1.0"),
                                   QJsonValue(false)}) {
        server.setVersionInfo(data);
        runCheck(0, 2);
    }
    server.setVersionInfo(offer(Older, true));
    server.setFault(FakeWebService::kCheckPath, SettingsTest::fault(Fault::WrongCode, 0, 1002));
    runCheck(0, 2);
    server.setFault(FakeWebService::kCheckPath, SettingsTest::fault(Fault::HttpStatus, 0, 500));
    runCheck(0, 2);
    server.setFault(FakeWebService::kCheckPath, SettingsTest::fault(Fault::EmptyBody));
    runCheck(0, 2);

    EXPECT_EQ(written.size(), 0);
    EXPECT_EQ(images.size(), 0);
    EXPECT_EQ(storedOffer()->buildNumber, Newer);
    EXPECT_EQ(check->settingImageName(), QVVersionCheck::SettingUpdateImage);
    EXPECT_FALSE(dialogShown());
}

TEST_F(VersionCheckTest, NoAnswerNoNetworkOrNoAddressIsSilent)
{
    QSignalSpy written(model(), &QVKVOModel::versionInfoModelChanged);
    QSignalSpy images(check.get(), &QVVersionCheck::settingImageNameChanged);

    // The service never answers: the request gives up after its time-out.
    server.setFault(FakeWebService::kSeriesPath, SettingsTest::fault(Fault::Silent));
    runCheck(0, 1);
    server.setFault(FakeWebService::kSeriesPath, SettingsTest::fault(Fault::Close));
    runCheck(0, 1, 3);
    server.clearFaults();
    server.setFault(FakeWebService::kCheckPath, SettingsTest::fault(Fault::Silent));
    runCheck(0, 2);
    server.clearFaults();

    // No network: nothing is sent.
    server.clearRequests();
    QVNetWork::shareNetWork()->setIsConnect(false);
    runCheck(0, 0);
    EXPECT_EQ(server.requestCount(), 0);
    QVNetWork::shareNetWork()->setIsConnect(true);

    // No address of the web service: nothing is sent.
    setAddresses(QString(), server.baseUrl(), server.baseUrl());
    runCheck(0, 0);
    EXPECT_EQ(server.requestCount(), 0);

    EXPECT_EQ(written.size(), 0);
    EXPECT_EQ(images.size(), 0);
    EXPECT_FALSE(model()->versionInfoModel().isValid());
    EXPECT_EQ(check->settingImageName(), QVVersionCheck::SettingImage);
}

TEST_F(VersionCheckTest, TheCheckOutlivedByItsAnswerIsHarmless)
{
    server.setFault(FakeWebService::kCheckPath, SettingsTest::fault(Fault::Slow, 200));
    server.setVersionInfo(offer(Newer, true));
    check->getVersionSupportSeries();
    ASSERT_TRUE(waitFor([&] { return server.requestCount(FakeWebService::kCheckPath) == 1; }));
    check.reset();
    page.reset();
    // The slow answer still comes, and changes nothing.
    EXPECT_TRUE(waitFor([&] { return server.openConnections() == 0; }));
    spin(50); // for an offer that must not be stored
    // A check whose list went stores and shows nothing.
    EXPECT_FALSE(storedOffer().has_value());
}

TEST_F(VersionCheckTest, TheDialogsExitTakesTheQuitPathAndItsUpdateOpensTheDownloadPage)
{
    server.setVersionInfo(offer(Newer, true));
    runCheck();
    ASSERT_TRUE(dialogShown());
    QVForceUpgradeVC *dialog = check->forceUpgradeVC();

    QVQuitPath path;
    QStringList steps;
    QList<int> exits;
    path.setStopWork([&] {
        steps << QStringLiteral("stop");
        manager->terminate();
    });
    path.setExit([&](int code) { exits << code; });
    path.setBoundPassed([] {});
    ASSERT_EQ(QVQuitPath::current(), &path);

    // Update: the download page in the user's language; the dialog stays.
    ASSERT_TRUE(dialog->toUpdateBtn()->isEnabled());
    QTest::mouseClick(dialog->toUpdateBtn(), Qt::LeftButton);
    ASSERT_EQ(browser.urls.size(), 1);
    EXPECT_EQ(browser.urls.first(),
              QVDownloadPage::url(server.baseUrl(), QVPublicTools::sharedPublicTools()->getCurrentShowLanguage()));
    EXPECT_TRUE(browser.urls.first().path().endsWith(QStringLiteral("/app/quavshare")));
    EXPECT_TRUE(dialogShown());
    EXPECT_TRUE(exits.isEmpty());

    // Exit: the quit path ends the session work first, then the program, 0.
    fake->casting = true;
    fake->connected = true;
    fake->calls.clear();
    QTest::mouseClick(dialog->closeBtn(), Qt::LeftButton);
    EXPECT_EQ(steps, QStringList{"stop"});
    EXPECT_EQ(exits, QList<int>{0});
    EXPECT_EQ(fake->calls, (QStringList{"stopMirror", "disconnectWithDevice", "destroyed"}));
}

TEST_F(VersionCheckTest, WithoutAWebSiteTheDialogOffersNoDownload)
{
    setAddresses(server.baseUrl(), server.baseUrl(), QString());
    server.setVersionInfo(offer(Newer, true));
    runCheck();
    ASSERT_TRUE(dialogShown());
    QVForceUpgradeVC *dialog = check->forceUpgradeVC();
    EXPECT_FALSE(dialog->toUpdateBtn()->isEnabled());
    dialog->toUpdateBtnClick();
    EXPECT_TRUE(browser.urls.isEmpty());
    EXPECT_TRUE(dialog->closeBtn()->isEnabled());
}

// The receiver list's entry: one check per page, kept by the page; its
// answers land on the list's settings button. It checks when asked (the
// list's load and its settings button), never because the list shows again.
TEST_F(VersionCheckTest, TheListsEntryChecksWhenAskedOnlyAndMarksItsButton)
{
    check.reset();
    auto *settingBtn = new QVBaseButton(page.get());
    server.setVersionInfo(offer(Newer, false));

    QPointer<QVVersionCheck> entry = QVVersionCheck::checkForPage(page.get(), settingBtn);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->parent(), page.get());
    ASSERT_TRUE(waitFor([&] { return server.requestCount(FakeWebService::kCheckPath) == 1; }));
    ASSERT_TRUE(waitFor([&] { return entry->settingImageName() == QVVersionCheck::SettingUpdateImage; }));
    EXPECT_EQ(settingBtn->image().toImage(), QVNamedImage(QVVersionCheck::SettingUpdateImage).toImage());

    // Away and back (another page in its place, the window closed and
    // opened): no check.
    page->hide();
    page->show();
    page->hide();
    page->show();
    spin(150);
    EXPECT_EQ(server.requestCount(FakeWebService::kSeriesPath), 1);

    // The settings button's click: the same check again.
    server.setVersionInfo(offer(Older, true));
    EXPECT_EQ(QVVersionCheck::checkForPage(page.get(), settingBtn), entry.data());
    EXPECT_TRUE(waitFor([&] { return server.requestCount(FakeWebService::kSeriesPath) == 2; }));
    ASSERT_TRUE(waitFor([&] { return entry->settingImageName() == QVVersionCheck::SettingImage; }));
    EXPECT_EQ(settingBtn->image().toImage(), QVNamedImage(QVVersionCheck::SettingImage).toImage());
    EXPECT_EQ(entry->forceUpgradeVC(), nullptr);

    // The check goes with its page, answers in flight included.
    EXPECT_EQ(QVVersionCheck::checkForPage(page.get(), settingBtn), entry.data());
    page.reset();
    EXPECT_TRUE(entry.isNull());
    spin(100); // answers in flight come meanwhile and must reach nothing
    EXPECT_EQ(QVVersionCheck::checkForPage(nullptr, nullptr), nullptr);
}

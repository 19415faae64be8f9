// The page cache's ownership, the page registry and the hosts' page switch.

#include "FrameTestSupport.h"

#include "Main/ViewController/Root/QVPageHost.h"
#include "Main/ViewController/Root/QVRootViewController.h"

#include <QPushButton>
#include <QSignalSpy>

using FrameTest::runDeferredDeletes;

namespace {

class PageCacheTest : public FrameTest::Fixture
{
};

class PageHostTest : public FrameTest::Fixture
{
};

} // namespace

TEST_F(PageCacheTest, DetachedPagesBelongToTheCacheAndLeaveLater)
{
    QPointer<QWidget> page = new QWidget;
    cache().insert(QStringLiteral("A"), page);
    EXPECT_TRUE(cache().contains(QStringLiteral("A")));
    EXPECT_TRUE(cache().holds(page));
    EXPECT_EQ(cache().keys(), QStringList{"A"});

    // Leaving the cache while detached: deleted, but not inside the caller.
    cache().remove(QStringLiteral("A"));
    EXPECT_FALSE(cache().contains(QStringLiteral("A")));
    ASSERT_FALSE(page.isNull());
    runDeferredDeletes();
    EXPECT_TRUE(page.isNull());

    // A page another page replaces under its name leaves too.
    QPointer<QWidget> first = new QWidget;
    QPointer<QWidget> second = new QWidget;
    cache().insert(QStringLiteral("B"), first);
    cache().insert(QStringLiteral("B"), first);
    runDeferredDeletes();
    ASSERT_FALSE(first.isNull());
    cache().insert(QStringLiteral("B"), second);
    runDeferredDeletes();
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(cache().value(QStringLiteral("B")), second.data());

    // A page deleted by its owner simply drops out.
    delete second.data();
    EXPECT_FALSE(cache().contains(QStringLiteral("B")));
    EXPECT_TRUE(cache().isEmpty());
}

TEST_F(PageCacheTest, APageThatAWindowShowsStaysWithTheWindow)
{
    QWidget window;
    QPointer<QWidget> shown = new QWidget(&window);
    QPointer<QWidget> detached = new QWidget;
    cache().insert(QStringLiteral("Shown"), shown);
    cache().insert(QStringLiteral("Detached"), detached);

    cache().remove(QStringLiteral("Shown"));
    runDeferredDeletes();
    EXPECT_FALSE(shown.isNull());
    EXPECT_EQ(shown->parentWidget(), &window);

    // The end of the process: the cache deletes what it owns, at once.
    cache().insert(QStringLiteral("Shown"), shown);
    cache().clear();
    EXPECT_TRUE(detached.isNull());
    EXPECT_FALSE(shown.isNull());
    EXPECT_TRUE(cache().isEmpty());
}

TEST(PageRegistryTest, PagesAreMadeByTheirRegisteredName)
{
    QVPageRegistry registry;
    int made = 0;
    EXPECT_TRUE(registry.registerPage(QStringLiteral("PageA"), [&]() -> QWidget * {
        ++made;
        return new QWidget;
    }));
    // The first maker stays; an empty name or maker is refused.
    EXPECT_FALSE(registry.registerPage(QStringLiteral("PageA"), []() -> QWidget * { return nullptr; }));
    EXPECT_FALSE(registry.registerPage(QString(), []() -> QWidget * { return new QWidget; }));
    EXPECT_FALSE(registry.registerPage(QStringLiteral("PageB"), {}));

    std::unique_ptr<QWidget> page(registry.makePage(QStringLiteral("PageA")));
    EXPECT_NE(page, nullptr);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(registry.makePage(QStringLiteral("NoSuchPage")), nullptr);
    EXPECT_EQ(registry.classNames(), QStringList{"PageA"});

    {
        QVPageRegistry::Override replaced(registry, QStringLiteral("PageA"), []() -> QWidget * { return nullptr; });
        QVPageRegistry::Override added(registry, QStringLiteral("PageC"), []() -> QWidget * { return nullptr; });
        EXPECT_EQ(registry.makePage(QStringLiteral("PageA")), nullptr);
        EXPECT_TRUE(registry.contains(QStringLiteral("PageC")));
    }
    page.reset(registry.makePage(QStringLiteral("PageA")));
    EXPECT_NE(page, nullptr);
    EXPECT_FALSE(registry.contains(QStringLiteral("PageC")));
}

TEST_F(PageHostTest, ACachedPageIsReusedAndAnUncachedOneMadeAnew)
{
    standIn(QStringLiteral("CachedPage"), true);
    standIn(QStringLiteral("PlainPage"), false);
    QVSettingRootViewController host;
    host.resize(375, 640);
    // The settings host shows its first page at once.
    ASSERT_NE(host.currentViewController(), nullptr);
    EXPECT_EQ(host.currentViewController()->objectName(), QStringLiteral("QVSettingViewController"));

    host.switchToPage(QStringLiteral("CachedPage"));
    QPointer<QWidget> cached = host.currentViewController();
    ASSERT_FALSE(cached.isNull());
    EXPECT_EQ(cached->parentWidget(), host.bgView());
    EXPECT_EQ(cached->geometry(), QRect(QPoint(0, 0), host.bgView()->size()));
    EXPECT_TRUE(cached->isVisibleTo(&host));

    host.switchToPage(QStringLiteral("PlainPage"));
    QPointer<QWidget> plain = host.currentViewController();
    // Taken out of the window, the cached page waits detached and hidden.
    ASSERT_FALSE(cached.isNull());
    EXPECT_EQ(cached->parentWidget(), nullptr);
    EXPECT_FALSE(cached->isVisible());

    host.switchToPage(QStringLiteral("CachedPage"));
    EXPECT_EQ(host.currentViewController(), cached.data());
    host.switchToPage(QStringLiteral("CachedPage"));
    EXPECT_EQ(host.currentViewController(), cached.data());
    EXPECT_EQ(StandInPage::made(), 3);

    // The uncached page had no one else: it goes, later.
    EXPECT_FALSE(plain.isNull());
    runDeferredDeletes();
    EXPECT_TRUE(plain.isNull());

    host.switchToPage(QStringLiteral("PlainPage"));
    EXPECT_NE(host.currentViewController(), plain.data());
    EXPECT_EQ(StandInPage::made(), 4);

    // The page keeps filling the area as the host's size changes.
    host.resize(500, 700);
    EXPECT_EQ(host.currentViewController()->size(), host.bgView()->size());
}

TEST_F(PageHostTest, AnUnknownNameLeavesNoPage)
{
    standIn(QStringLiteral("PlainPage"), false);
    QVSettingRootViewController host;
    host.switchToPage(QStringLiteral("PlainPage"));
    QPointer<QWidget> plain = host.currentViewController();
    QSignalSpy switched(&host, &QVPageHost::pageSwitched);

    host.switchToPage(QStringLiteral("QVNoSuchViewController"));
    EXPECT_EQ(host.currentViewController(), nullptr);
    ASSERT_EQ(switched.count(), 1);
    EXPECT_EQ(switched.at(0).at(1).value<QWidget *>(), nullptr);
    EXPECT_TRUE(host.bgView()->findChildren<QWidget *>().isEmpty());
    runDeferredDeletes();
    EXPECT_TRUE(plain.isNull());
}

TEST_F(PageHostTest, APageMayAskForAnotherFromInsideItsOwnHandler)
{
    // The page's button asks the settings host, which switches at once:
    // the page must survive until its handler has returned.
    QVSettingRootViewController host;
    standIn(QStringLiteral("PlainPage"), false);
    host.switchToPage(QStringLiteral("PlainPage"));
    QWidget *page = host.currentViewController();
    auto *button = new QPushButton(page);
    bool afterSwitch = false;
    QObject::connect(button, &QPushButton::clicked, page, [&, button] {
        QVPublicTools::sharedPublicTools()->showSettingRootNextViewDelegate()->showSettingNextPageViewWithClassStr(
            QStringLiteral("QVSettingViewController"));
        // Still alive here: the page and its button are touched after the switch.
        button->setText(QStringLiteral("done"));
        afterSwitch = page->objectName() == QStringLiteral("PlainPage");
    });
    button->click();
    EXPECT_TRUE(afterSwitch);
    EXPECT_EQ(host.currentViewController()->objectName(), QStringLiteral("QVSettingViewController"));
    runDeferredDeletes();
}

TEST_F(PageHostTest, CachedPagesOutliveTheirWindowAndComeBackInTheNextOne)
{
    QPointer<QWidget> settingsPage;
    {
        auto host = std::make_unique<QVSettingRootViewController>();
        settingsPage = host->currentViewController();
        ASSERT_FALSE(settingsPage.isNull());
        EXPECT_EQ(QVPublicTools::sharedPublicTools()->showSettingRootNextViewDelegate(), host.get());
    }
    // The window went; its cached page did not, and no host is left behind.
    ASSERT_FALSE(settingsPage.isNull());
    EXPECT_EQ(settingsPage->parentWidget(), nullptr);
    EXPECT_EQ(QVPublicTools::sharedPublicTools()->showSettingRootNextViewDelegate(), nullptr);

    QVSettingRootViewController again;
    EXPECT_EQ(again.currentViewController(), settingsPage.data());
    EXPECT_EQ(QVPublicTools::sharedPublicTools()->showSettingRootNextViewDelegate(), &again);
    EXPECT_EQ(StandInPage::made(), 1);

    // An uncached page dies with its window.
    standIn(QStringLiteral("PlainPage"), false);
    QPointer<QWidget> plain;
    {
        QVSettingRootViewController host;
        host.switchToPage(QStringLiteral("PlainPage"));
        plain = host.currentViewController();
    }
    EXPECT_TRUE(plain.isNull());
}

TEST_F(PageHostTest, EachHostStartsWithItsPageAndRegistersItself)
{
    QVDownLoadFileRootVC download;
    ASSERT_NE(download.currentViewController(), nullptr);
    EXPECT_EQ(download.currentViewController()->objectName(), QStringLiteral("QVDownLoadSelectFileVC"));
    EXPECT_EQ(QVPublicTools::sharedPublicTools()->showDownLoadFileRootNextViewDelegate(), &download);
    // Its own operation answers nothing; its switch goes by the settings name.
    download.showDownLoadFileNextPageViewWithClassStr(QStringLiteral("QVSettingViewController"));
    EXPECT_EQ(download.currentViewController()->objectName(), QStringLiteral("QVDownLoadSelectFileVC"));
    download.showSettingNextPageViewWithClassStr(QStringLiteral("QVSettingViewController"));
    EXPECT_EQ(download.currentViewController()->objectName(), QStringLiteral("QVSettingViewController"));

    // The main host switches on the next turn of the event loop.
    QVRootViewController root;
    EXPECT_EQ(QVPublicTools::sharedPublicTools()->showNextViewDelegate(), &root);
    EXPECT_EQ(root.currentViewController(), nullptr);
    ASSERT_TRUE(TestSupport::waitFor([&] { return root.currentViewController() != nullptr; }));
    EXPECT_EQ(root.currentViewController()->objectName(), QStringLiteral("QVMainViewController"));

    standIn(QStringLiteral("PlainPage"), false);
    QVPublicTools::sharedPublicTools()->showNextViewDelegate()->showNextPageViewWithClassStr(
        QStringLiteral("PlainPage"));
    EXPECT_EQ(root.currentViewController()->objectName(), QStringLiteral("QVMainViewController"));
    ASSERT_TRUE(TestSupport::waitFor(
        [&] { return root.currentViewController()->objectName() == QStringLiteral("PlainPage"); }));
    // The cached receiver list is still there for the way back.
    EXPECT_TRUE(cache().contains(QStringLiteral("QVMainViewController")));
}

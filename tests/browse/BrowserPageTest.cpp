// The remote file browser against the fake file-share server: the tree,
// the answers of each code, stale answers, picking, sort and layout kept
// between windows, big folders, the hand-over to the download page, and
// protected roots with the lock-out on the test's clock.

#include "BrowserHarness.h"

#include "Main/Browse/QVDownLoadHandOff.h"

#include <QBuffer>
#include <QHelpEvent>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextDocument>
#include <QToolTip>

#include "BaseViewController/View/QVPopoverViewController.h"
#include "BaseViewController/View/QVShowTipsView.h"

using FakeServers::Fault;
using FakeServers::FaultRule;

namespace {
const QString kFileList = QStringLiteral("api/glimra/fileShare/getFileList");
const QString kRootList = QStringLiteral("api/glimra/fileShare/getRootList");
const QString kCheckPwd = QStringLiteral("api/glimra/fileShare/checkPwd");
} // namespace

class BrowserPageTest : public BrowserHarness
{
};

TEST_F(BrowserPageTest, BrowsesTheDeviceTreeDownAndBack)
{
    open();
    // The device's groups, in its order; the first root is listed, newest
    // first, and the stored settings start at grid and time descending.
    ASSERT_EQ(page->menuListArray().size(), 2);
    EXPECT_EQ(page->menuListArray().at(0).at(0).name, QStringLiteral("Local"));
    EXPECT_EQ(page->isGlimraVersion(), 1);
    EXPECT_EQ(store()->value(QVSortAndLayout::LayoutSettingKey).toString(), QStringLiteral("0"));
    EXPECT_EQ(store()->value(QVSortAndLayout::SortSettingKey).toString(), QStringLiteral("1"));
    EXPECT_EQ(shownNames(), (QStringList{"docs", "report.pdf", "notes.txt"}));
    EXPECT_EQ(page->canSelectFileCount(), 2);
    EXPECT_EQ(pathNames(), QStringList{"Local"});
    EXPECT_TRUE(page->backBtn()->isHidden());
    EXPECT_TRUE(rootMarked(0, 0));

    doubleClickItem(QStringLiteral("docs"));
    EXPECT_EQ(pathNames(), (QStringList{"Local", "docs"}));
    EXPECT_FALSE(page->backBtn()->isHidden());
    doubleClickItem(QStringLiteral("deep"));
    EXPECT_EQ(pathNames(), (QStringList{"Local", "docs", "deep"}));
    EXPECT_EQ(shownNames(), QStringList{"inner.txt"});
    // A double click on a file opens nothing.
    doubleClickItem(QStringLiteral("inner.txt"));
    EXPECT_EQ(pathNames(), (QStringList{"Local", "docs", "deep"}));

    // The path bar: the open folder is inert, an earlier one opens.
    QList<QVBaseButton *> buttons = page->topFilePathView()->buttons();
    ASSERT_EQ(buttons.size(), 3);
    buttons.at(2)->click();
    settle();
    EXPECT_EQ(pathNames(), (QStringList{"Local", "docs", "deep"}));
    buttons.at(1)->click();
    settle();
    EXPECT_EQ(pathNames(), (QStringList{"Local", "docs"}));
    page->backBtnClick();
    settle();
    EXPECT_EQ(pathNames(), QStringList{"Local"});
    const int requests = server.requestCount(kFileList);
    page->backBtnClick();
    settle();
    EXPECT_EQ(server.requestCount(kFileList), requests);

    // Another root; choosing it again asks nothing.
    clickRoot(0, 1);
    EXPECT_EQ(pathNames(), QStringList{"Download"});
    EXPECT_EQ(shownNames(), QStringList{"only folders"});
    EXPECT_TRUE(rootMarked(0, 1));
    EXPECT_FALSE(rootMarked(0, 0));
    const int afterChoice = server.requestCount(kFileList);
    clickRoot(0, 1);
    EXPECT_EQ(server.requestCount(kFileList), afterChoice);
    // Empty folders say so.
    doubleClickItem(QStringLiteral("only folders"));
    EXPECT_TRUE(page->noDataView()->isVisibleTo(page));
    page->backBtnClick();
    settle();
    EXPECT_FALSE(page->noDataView()->isVisibleTo(page));
}

TEST_F(BrowserPageTest, OldDevicesGetTheFixedMenuAndNoThumbnails)
{
    QImage picture(40, 20, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(picture);
    server.addFile(QStringLiteral("Root-Local/photo.png"), png, QStringLiteral("IMAGE"), 2000);

    open();
    const auto thumbnailOf = [this](const QString &name) {
        return page->folder()->index(indexOf(name)).data(QVRemoteFolderModel::ThumbnailRole).value<QImage>();
    };
    ASSERT_GE(indexOf(QStringLiteral("photo.png")), 0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !thumbnailOf(QStringLiteral("photo.png")).isNull(); }));
    // Decoded at the size the grid shows it, filling it.
    const QImage thumbnail = thumbnailOf(QStringLiteral("photo.png"));
    EXPECT_EQ(thumbnail.size(), page->browser()->thumbnails()->targetSize());
    EXPECT_EQ(thumbnail.pixelColor(thumbnail.width() / 2, thumbnail.height() / 2), QColor(Qt::blue));
    EXPECT_EQ(server.requestCount(QStringLiteral("api/glimra/fileShare/getThumb")), 1);

    server.setGlimraApiVersion({});
    server.clearRequests();
    open();
    const QVRootMenuGroups menu = page->menuListArray();
    ASSERT_EQ(menu.size(), 2);
    EXPECT_EQ(menu.at(0).size(), 3);
    EXPECT_EQ(menu.at(1).size(), 2);
    EXPECT_EQ(menu.at(0).at(0).name, QStringLiteral("downLoadFile_menuName_local"));
    EXPECT_EQ(pathNames(), QStringList{"downLoadFile_menuName_local"});
    EXPECT_TRUE(thumbnailOf(QStringLiteral("photo.png")).isNull());
    TestSupport::spin(200);
    EXPECT_EQ(server.requestCount(QStringLiteral("api/glimra/fileShare/getThumb")), 0);
}

TEST_F(BrowserPageTest, EmptyOrFailedRootListsShowAnEmptyBrowser)
{
    server.setContentOverride(kRootList, QJsonObject{{"rootGroup", QJsonArray{QJsonArray{}}}});
    open();
    EXPECT_TRUE(page->menuListArray().isEmpty());
    EXPECT_TRUE(page->noDataView()->isVisibleTo(page));
    EXPECT_EQ(server.requestCount(kFileList), 0);

    server.clearContentOverrides();
    server.setFault(kRootList, {Fault::NotJson});
    open();
    EXPECT_TRUE(page->menuListArray().isEmpty());
    EXPECT_TRUE(page->noDataView()->isVisibleTo(page));
}

TEST_F(BrowserPageTest, EachListingAnswerShowsItsPanel)
{
    open();
    doubleClickItem(QStringLiteral("docs"));
    ASSERT_EQ(pathNames(), (QStringList{"Local", "docs"}));

    // The folder went away: back to its root.
    server.setFault(kFileList, {Fault::WrongCode, 0, 404, {}, 1});
    doubleClickItem(QStringLiteral("deep"));
    settle();
    EXPECT_EQ(pathNames(), QStringList{"Local"});
    EXPECT_EQ(shownNames().size(), 3);

    // The root itself went away: nothing to show, and nothing asked again.
    server.clearRequests();
    server.setFault(kFileList, {Fault::WrongCode, 0, 404});
    clickRoot(0, 2);
    TestSupport::spin(200);
    EXPECT_EQ(server.requestCount(kFileList), 1);
    EXPECT_TRUE(page->noDataView()->isVisibleTo(page));

    server.setFault(kFileList, {Fault::WrongCode, 0, 405});
    clickRoot(0, 0);
    EXPECT_TRUE(page->lockView()->isVisibleTo(page));
    EXPECT_FALSE(page->noDataView()->isVisibleTo(page));

    server.clearFaults();
    server.setShareEnabled(false);
    clickRoot(0, 1);
    EXPECT_TRUE(page->allowTransferView()->isVisibleTo(page));
    server.setShareEnabled(true);
    clickRoot(0, 0);
    EXPECT_FALSE(page->allowTransferView()->isVisibleTo(page));
    EXPECT_FALSE(page->lockView()->isVisibleTo(page));

    // No answer in time: the network panel.
    QVHttpTimings shortTimings;
    shortTimings.requestTimeout = std::chrono::milliseconds(200);
    QVHttpBaseRequest::setDefaultTimings(shortTimings);
    server.setFault(kFileList, {Fault::Silent});
    clickRoot(1, 0);
    EXPECT_TRUE(page->networkErrorView()->isVisibleTo(page));

    // No network: the panel, and no request.
    server.clearFaults();
    server.clearRequests();
    QVNetWork::shareNetWork()->setIsConnect(false);
    clickRoot(1, 1);
    EXPECT_TRUE(page->networkErrorView()->isVisibleTo(page));
    EXPECT_EQ(server.requestCount(kFileList), 0);
    EXPECT_FALSE(page->isLoading());
}

TEST_F(BrowserPageTest, ALateListingNeverReplacesTheFolderChosenSince)
{
    server.addFile(QStringLiteral("Root-Share/shared.txt"), QByteArray("s"), QStringLiteral("DOCUMENT"));
    open();
    // Local answers slowly; the user moves on to Share meanwhile.
    server.setFault(kFileList, {Fault::Slow, 400, 0, {}, 1});
    const int before = server.requestCount(kFileList);
    page->chooseRoot(1, 0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return server.requestCount(kFileList) > before; }));
    page->chooseRoot(0, 2);
    settle();
    TestSupport::spin(600);
    EXPECT_EQ(shownNames(), QStringList{"shared.txt"});
    EXPECT_EQ(pathNames(), QStringList{"Share"});
}

TEST_F(BrowserPageTest, PickingOnlyFilesAndSelectAll)
{
    open();
    EXPECT_FALSE(page->confirmBtn()->isEnabled());
    clickItem(QStringLiteral("docs"));
    EXPECT_TRUE(page->fileSelectArray().isEmpty());
    clickItem(QStringLiteral("report.pdf"));
    EXPECT_EQ(page->fileSelectArray().size(), 1);
    EXPECT_TRUE(page->confirmBtn()->isEnabled());
    EXPECT_TRUE(page->folder()->isPicked(entryNamed(QStringLiteral("report.pdf"))));
    EXPECT_EQ(page->selectedNItemsLabel()->text(), QStringLiteral("downLoadFile_topBar_select_n_items"));
    clickItem(QStringLiteral("report.pdf"));
    EXPECT_TRUE(page->fileSelectArray().isEmpty());
    EXPECT_FALSE(page->confirmBtn()->isEnabled());

    page->selectAllBtn()->click();
    EXPECT_EQ(page->fileSelectArray().size(), 2);
    EXPECT_TRUE(page->selectAllBtn()->isSelect());
    EXPECT_TRUE(page->checkIsAllSelect());
    clickItem(QStringLiteral("notes.txt"));
    EXPECT_EQ(page->fileSelectArray().size(), 1);
    EXPECT_FALSE(page->selectAllBtn()->isSelect());
    page->selectAllBtn()->click();
    page->selectAllBtn()->click();
    EXPECT_TRUE(page->fileSelectArray().isEmpty());

    // Only folders: select-all does nothing.
    clickRoot(0, 1);
    page->selectAllBtn()->click();
    EXPECT_FALSE(page->selectAllBtn()->isSelect());
    EXPECT_TRUE(page->fileSelectArray().isEmpty());
    EXPECT_FALSE(page->confirmBtn()->isEnabled());
}

TEST_F(BrowserPageTest, SortAndLayoutChoicesOutliveTheWindow)
{
    open();
    page->sortBtnClick();
    ASSERT_TRUE(page->sortMenuView()->isVisible());
    // The highlighted order is inert and keeps the menu open.
    page->sortMenuView()->tableViewCellClick(1);
    EXPECT_TRUE(page->sortMenuView()->isVisible());
    page->sortMenuView()->tableViewCellClick(2);
    EXPECT_FALSE(page->sortMenuView()->isVisible());
    EXPECT_EQ(shownNames(), (QStringList{"docs", "notes.txt", "report.pdf"}));
    EXPECT_EQ(store()->value(QVSortAndLayout::SortSettingKey).toLongLong(), 2);
    // A click beside the panel closes the menu.
    page->sortBtnClick();
    QTest::mouseClick(page->sortMenuView(), Qt::LeftButton, {}, QPoint(20, 400));
    EXPECT_FALSE(page->sortMenuView()->isVisible());

    page->layoutBtnClick();
    EXPECT_EQ(store()->value(QVSortAndLayout::LayoutSettingKey).toString(), QStringLiteral("1"));
    EXPECT_EQ(page->fileListCollectionView()->viewMode(), QListView::ListMode);

    open();
    EXPECT_EQ(page->sortType(), 2);
    EXPECT_EQ(page->layoutType(), 1);
    EXPECT_EQ(page->sortMenuView()->selectIndex(), 2);
    EXPECT_EQ(shownNames(), (QStringList{"docs", "notes.txt", "report.pdf"}));
    EXPECT_EQ(page->fileListCollectionView()->viewMode(), QListView::ListMode);
    // A list row spans the view, at most 738 wide.
    EXPECT_EQ(page->fileListCollectionView()->itemRect(0).height(), QVDownLoadFileItemDelegate::ListHeight);
    page->layoutBtnClick();
    EXPECT_EQ(page->fileListCollectionView()->viewMode(), QListView::IconMode);
    EXPECT_EQ(page->fileListCollectionView()->itemRect(0).size(), QVDownLoadFileItemDelegate::GridSize);
    EXPECT_EQ(store()->value(QVSortAndLayout::LayoutSettingKey).toString(), QStringLiteral("0"));
}

TEST_F(BrowserPageTest, ConfirmHandsThePickedFilesOverOnceAFolderIsSet)
{
    QTemporaryDir folder;
    open();
    clickItem(QStringLiteral("report.pdf"));
    clickItem(QStringLiteral("notes.txt"));

    // No folder yet: asked first; a cancelled dialog hands nothing over.
    page->confirmBtnClick();
    ASSERT_TRUE(pendingChoice);
    EXPECT_EQ(chooserTitles, QStringList{"downLoad_filePath_selectTitle"});
    pendingChoice(QUrl());
    EXPECT_TRUE(posted.isEmpty());
    EXPECT_FALSE(store()->contains(QVPublicTools::DownLoadFilePathKey));

    page->confirmBtnClick();
    pendingChoice(QUrl::fromLocalFile(folder.path()));
    EXPECT_EQ(QVPublicTools::sharedPublicTools()->getDownLoadFilePathWithBookMark(), QUrl::fromLocalFile(folder.path()));
    ASSERT_EQ(posted.size(), 2);
    EXPECT_EQ(posted.at(0).first, QVNotificationName::MainDownLoadFileBtnClick);
    EXPECT_EQ(posted.at(0).second.value(QVNotificationName::OpenStatusKey).toString(), QStringLiteral("0"));
    EXPECT_EQ(posted.at(1).first, QVNotificationName::MainDownLoadFileList_Jump);
    EXPECT_EQ(posted.at(1).second.value(QVNotificationName::JumpFromKey).toString(), QStringLiteral("main"));
    const QVariantList handOver = QVPublicTools::sharedPublicTools()->downLoadFileListArray();
    ASSERT_EQ(handOver.size(), 2);
    const QVariantMap first = handOver.at(0).toMap();
    EXPECT_EQ(first.value("absPath").toString(), QStringLiteral("Root-Local/report.pdf"));
    EXPECT_EQ(first.value("fileSize").toString(), QStringLiteral("3000"));
    EXPECT_EQ(first.value("name").toString(), QStringLiteral("report.pdf"));
    EXPECT_EQ(handOver.at(1).toMap().value("absPath").toString(), QStringLiteral("Root-Local/notes.txt"));
    EXPECT_EQ(QVPublicTools::sharedPublicTools()->downLoadFilePassWord(), QStringLiteral(""));

    // With the folder set and the casting screen alive, straight through.
    posted.clear();
    pendingChoice = nullptr;
    StandInPage castingScreen(QVDownLoadHandOff::ShareScreenClassName, true);
    page->confirmBtnClick();
    EXPECT_FALSE(pendingChoice);
    ASSERT_EQ(posted.size(), 2);
    EXPECT_EQ(posted.at(1).second.value(QVNotificationName::JumpFromKey).toString(), QStringLiteral("share"));

    posted.clear();
    page->cancelBtnClick();
    ASSERT_EQ(posted.size(), 1);
    EXPECT_EQ(posted.at(0).second.value(QVNotificationName::OpenStatusKey).toString(), QStringLiteral("0"));
}

TEST_F(BrowserPageTest, ItemsArePaintedAndAChangeRedrawsOnlyItsRows)
{
    open();
    QVDownLoadFileListView *view = page->fileListCollectionView();
    // No widget per entry: the view paints them.
    EXPECT_TRUE(view->viewport()->findChildren<QWidget *>().isEmpty());
    QSignalSpy changed(page->folder(), &QAbstractItemModel::dataChanged);
    QSignalSpy reset(page->folder(), &QAbstractItemModel::modelReset);
    clickItem(QStringLiteral("report.pdf"));
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed.at(0).at(0).toModelIndex().row(), indexOf(QStringLiteral("report.pdf")));
    EXPECT_EQ(changed.at(0).at(1).toModelIndex().row(), indexOf(QStringLiteral("report.pdf")));
    changed.clear();
    page->selectAllBtn()->click();
    EXPECT_EQ(changed.size(), 1);

    // Layout switches and resizes lay the same items out again.
    page->layoutBtnClick();
    page->resize(1000, 700);
    QCoreApplication::processEvents();
    page->layoutBtnClick();
    EXPECT_EQ(reset.size(), 0);
    EXPECT_EQ(page->fileSelectArray().size(), 2);
    EXPECT_TRUE(view->viewport()->findChildren<QWidget *>().isEmpty());
}

TEST_F(BrowserPageTest, AFolderBeyondFiftyThousandShowsItsFirstAndSaysHowManyAreLeft)
{
    const qsizetype limit = QVRemoteFolderModel::MaxEntries;
    QJsonArray big;
    for (qsizetype i = 0; i < limit + 3; ++i) {
        const QString name = QStringLiteral("f%1").arg(i);
        big.append(QJsonObject{{"name", name},
                               {"absPath", QStringLiteral("Root-Local/") + name},
                               {"fileType", "DOC"},
                               {"lastModifyTime", QString::number(i)}});
    }
    server.setContentOverride(kFileList, big);
    // The server in this thread builds the answer meanwhile: no time-out.
    QVHttpTimings patient;
    patient.requestTimeout = std::chrono::milliseconds(300000);
    QVHttpBaseRequest::setDefaultTimings(patient);
    delete page.data();
    page = new QVDownLoadSelectFileVC;
    page->resize(900, 620);
    page->show();
    // A big answer takes a while to come in this build.
    settle(120000);
    // The device's first entries, newest first.
    ASSERT_EQ(page->fileListArray().size(), limit);
    EXPECT_EQ(page->fileListArray().first()->name, QStringLiteral("f%1").arg(limit - 1));
    EXPECT_EQ(page->folder()->notShownCount(), 3);
    EXPECT_TRUE(page->notShownLabel()->isVisibleTo(page));
    EXPECT_EQ(page->canSelectFileCount(), limit);
    page->selectAllBtn()->click();
    EXPECT_EQ(page->fileSelectArray().size(), limit);

    // A folder within the limit says nothing.
    server.clearContentOverrides();
    clickRoot(0, 1);
    settle(120000);
    EXPECT_EQ(page->folder()->notShownCount(), 0);
    EXPECT_FALSE(page->notShownLabel()->isVisibleTo(page));
}

TEST_F(BrowserPageTest, DeviceNamesInTipsAreShownAsPlainText)
{
    // Markup as a rich-text reader would take it (a path has no "/" in a
    // name, so no closing tags).
    const QString file = QStringLiteral("<b>Quarterly report of the northern region, final version & more.pdf");
    const QString folder = QStringLiteral("<i>Archive of the year");
    const QString root = QStringLiteral("<b>Marked</b> root with a title far too long for its menu");
    server.addFile(QStringLiteral("Root-Local/") + file, QByteArray("x"), QStringLiteral("PDF"), 5000);
    server.addFolder(QStringLiteral("Root-Local/") + folder);
    server.addRoot({QStringLiteral("Root-Marked"), root, false, {}, 1});
    open();
    const auto tipAt = [](QWidget *viewport, const QPoint &at) {
        QToolTip::hideText();
        QHelpEvent help(QEvent::ToolTip, at, viewport->mapToGlobal(at));
        QCoreApplication::sendEvent(viewport, &help);
        QTextDocument shown;
        shown.setHtml(QToolTip::text());
        return QToolTip::isVisible() ? shown.toPlainText() : QString();
    };
    // A grid title cut to two lines, and a root title cut at the menu's
    // edge, show whole as written.
    EXPECT_EQ(tipAt(page->fileListCollectionView()->viewport(), itemCentre(file)), file);
    QVDownLoadFileMenuView *menu = page->menuListCollectionView();
    EXPECT_EQ(tipAt(menu->viewport(), menu->rootRect(1, 2).center()), root);
    QToolTip::hideText();

    doubleClickItem(folder);
    ASSERT_EQ(pathNames().last(), folder);
    QVBaseButton *button = page->topFilePathView()->buttons().last();
    auto *tip = qobject_cast<QVPopoverViewController *>(button->customPopover()->contentViewController());
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(tip->textLabel()->textFormat(), Qt::PlainText);
    EXPECT_EQ(tip->textLabel()->text(), folder);
}

TEST_F(BrowserPageTest, TheBrowserWorksWithoutItsPage)
{
    QVRemoteBrowser browser(services());
    browser.getRootMenuList();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !browser.isLoading() && browser.folder()->rowCount() == 3; }));
    // Five roots and the separator before the second group.
    EXPECT_EQ(browser.rootMenu()->rowCount(), 6);
    EXPECT_TRUE(browser.rootMenu()->index(3).data(QVRootMenuModel::IsSeparatorRole).toBool());
    EXPECT_EQ(browser.topDirArray().size(), 1);

    const QVRemoteFileEntryPtr docs = browser.folder()->entry(0);
    ASSERT_EQ(docs->name, QStringLiteral("docs"));
    browser.openFolder(docs);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !browser.isLoading(); }));
    EXPECT_EQ(browser.topDirArray().size(), 2);
    browser.backBtnClick();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !browser.isLoading(); }));
    browser.folder()->pickAllFiles();
    EXPECT_EQ(browser.folder()->picked().size(), 2);
    browser.chooseSortType(QVSortAndLayout::NameAscending);
    EXPECT_EQ(browser.folder()->entry(2)->name, QStringLiteral("report.pdf"));
    // A new order keeps what was picked.
    EXPECT_EQ(browser.folder()->picked().size(), 2);

    browser.chooseRoot(0, 1);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !browser.isLoading(); }));
    EXPECT_TRUE(browser.folder()->picked().isEmpty());
    EXPECT_EQ(browser.currentRootMenuModel().rootKey, QStringLiteral("Root-Download"));
}

class ProtectedRootTest : public BrowserHarness
{
protected:
    void SetUp() override
    {
        BrowserHarness::SetUp();
        server.addRoot({QStringLiteral("Root-Encrypt"), QStringLiteral("Private"), true, QStringLiteral("246810"), 1});
        server.addFile(QStringLiteral("Root-Encrypt/salary.xls"), QByteArray("secret"), QStringLiteral("EXCEL"));
    }

    void enterPrivate()
    {
        clickRoot(1, 2);
        ASSERT_EQ(page->currentRootMenuModel().rootKey, QStringLiteral("Root-Encrypt"));
    }
    // Three wrong passwords, the third at the test's clock.
    void lockOut()
    {
        for (const char *wrong : {"111111", "222222", "333333"})
            tryPassword(QString::fromLatin1(wrong));
        ASSERT_TRUE(page->isLockTimerRunning());
        ASSERT_EQ(record().value("lockTimestamp").toInteger(), *wall);
    }
    QString lockMessage(qint64 remaining) const
    {
        return QStringLiteral("downLoadFile_encrypt_lock_time").arg(QVEncryptLockout::getTimeString(remaining));
    }
    void tryPassword(const QString &password)
    {
        typePassword(password);
        QTest::keyClick(page->secureTextField(), Qt::Key_Return);
        settle();
    }
    QJsonObject record() const
    {
        return QVEncryptLockout(store()).record(server.baseUrl());
    }
};

TEST_F(ProtectedRootTest, ThreeWrongPasswordsLockUntilTheClockRunsOut)
{
    open();
    QSignalSpy banners(page->tipsBanner(), &QVTipsBanner::tipsShown);
    enterPrivate();
    EXPECT_TRUE(page->encryptView()->isVisibleTo(page));
    EXPECT_TRUE(page->secureTextField()->isEnabled());
    EXPECT_TRUE(page->topDirArray().isEmpty());
    EXPECT_TRUE(page->fileListArray().isEmpty());

    // Typing keeps six digits; five leave confirm off and Return inert.
    typePassword(QStringLiteral("12a345"));
    EXPECT_EQ(page->secureTextField()->text(), QStringLiteral("12345"));
    EXPECT_FALSE(page->confirmPwdBtn()->isEnabled());
    QTest::keyClick(page->secureTextField(), Qt::Key_Return);
    TestSupport::spin(50);
    EXPECT_EQ(server.requestCount(kCheckPwd), 0);
    typePassword(QStringLiteral("x1y2z3-4-5-6-7-8"));
    EXPECT_EQ(page->secureTextField()->text(), QStringLiteral("123456"));
    EXPECT_TRUE(page->confirmPwdBtn()->isEnabled());

    tryPassword(QStringLiteral("111111"));
    tryPassword(QStringLiteral("222222"));
    ASSERT_EQ(banners.size(), 2);
    EXPECT_EQ(banners.at(0).at(1).toLongLong(), QVTipsBanner::TypeBad);
    EXPECT_FALSE(page->errorLabel()->isVisibleTo(page));
    tryPassword(QStringLiteral("333333"));
    EXPECT_EQ(banners.size(), 2);
    EXPECT_TRUE(page->errorLabel()->isVisibleTo(page));
    EXPECT_FALSE(page->secureTextField()->isEnabled());
    EXPECT_TRUE(page->isLockTimerRunning());
    EXPECT_TRUE(record().value("isLock").toBool());

    // Leaving and coming back while locked: still locked, no request.
    clickRoot(0, 0);
    EXPECT_FALSE(page->encryptView()->isVisibleTo(page));
    const int checks = server.requestCount(kCheckPwd);
    enterPrivate();
    EXPECT_TRUE(page->errorLabel()->isVisibleTo(page));
    EXPECT_FALSE(page->secureTextField()->isEnabled());
    EXPECT_EQ(server.requestCount(kCheckPwd), checks);

    // 43,201 s later the countdown's next tick ends the lock.
    *wall += 43201;
    EXPECT_TRUE(TestSupport::waitFor([this] { return !page->isLockTimerRunning(); }));
    EXPECT_FALSE(page->errorLabel()->isVisibleTo(page));
    EXPECT_TRUE(page->secureTextField()->isEnabled());
    EXPECT_FALSE(record().value("isLock").toBool());
    EXPECT_TRUE(record().value("faildPwdTimes").toArray().isEmpty());

    // The right one opens the root and is remembered.
    tryPassword(QStringLiteral("246810"));
    EXPECT_FALSE(page->encryptView()->isVisibleTo(page));
    EXPECT_EQ(shownNames(), QStringList{"salary.xls"});
    EXPECT_EQ(pathNames(), QStringList{"Private"});
    EXPECT_EQ(record().value("passWord").toString(), QStringLiteral("246810"));
    EXPECT_EQ(server.requestsTo(kFileList).last().queryValue("pwd"), QStringLiteral("246810"));

    // The password travels with the hand-over.
    QTemporaryDir folder;
    QVPublicTools::sharedPublicTools()->saveDownLoadFilePathWithWithUrl(QUrl::fromLocalFile(folder.path()));
    clickItem(QStringLiteral("salary.xls"));
    page->confirmBtnClick();
    EXPECT_EQ(QVPublicTools::sharedPublicTools()->downLoadFilePassWord(), QStringLiteral("246810"));
}

TEST_F(ProtectedRootTest, RememberedPasswordsAreTriedFirstAndForgottenWhenRefused)
{
    QVEncryptLockout(store()).savePassWord(server.baseUrl(), QStringLiteral("Root-Encrypt"), QStringLiteral("246810"));
    open();
    enterPrivate();
    // Opened without asking.
    EXPECT_EQ(shownNames(), QStringList{"salary.xls"});
    EXPECT_EQ(server.requestCount(kCheckPwd), 1);

    // The device's password changed: the old one is dropped, uncounted.
    server.addRoot({QStringLiteral("Root-Encrypt"), QStringLiteral("Private"), true, QStringLiteral("135790"), 1});
    open();
    QSignalSpy banners(page->tipsBanner(), &QVTipsBanner::tipsShown);
    enterPrivate();
    EXPECT_TRUE(page->encryptView()->isVisibleTo(page));
    EXPECT_TRUE(page->secureTextField()->isEnabled());
    EXPECT_TRUE(page->secureTextField()->text().isEmpty());
    EXPECT_EQ(banners.size(), 0);
    EXPECT_EQ(record().value("passWord").toString(), QStringLiteral(""));
    EXPECT_TRUE(record().value("faildPwdTimes").toArray().isEmpty());
    EXPECT_TRUE(page->currentRootMenuModel().encryptPwd.isEmpty());
}

TEST_F(ProtectedRootTest, DeviceAnswersOtherThanAVerdict)
{
    open();
    server.setDeviceLocked(true);
    enterPrivate();
    tryPassword(QStringLiteral("246810"));
    EXPECT_TRUE(page->lockView()->isVisibleTo(page));
    EXPECT_FALSE(page->encryptView()->isVisibleTo(page));
    EXPECT_TRUE(record().isEmpty());
    server.setDeviceLocked(false);

    // Sharing off: the status check says so before any password.
    server.setShareEnabled(false);
    clickRoot(0, 0);
    enterPrivate();
    EXPECT_TRUE(page->allowTransferView()->isVisibleTo(page));
    EXPECT_FALSE(page->encryptView()->isVisibleTo(page));
    server.setShareEnabled(true);

    // An answer that is no verdict counts as a wrong password.
    clickRoot(0, 0);
    enterPrivate();
    server.setFault(kCheckPwd, {Fault::WrongCode, 0, 500});
    tryPassword(QStringLiteral("246810"));
    EXPECT_TRUE(page->encryptView()->isVisibleTo(page));
    EXPECT_EQ(record().value("faildPwdTimes").toArray().size(), 1);
}

TEST_F(ProtectedRootTest, TheWrongPasswordBannerLiesAcrossThePageTop)
{
    open();
    page->resize(1000, 640);
    QSignalSpy banners(page->tipsBanner(), &QVTipsBanner::tipsShown);
    enterPrivate();
    tryPassword(QStringLiteral("111111"));
    ASSERT_EQ(banners.size(), 1);
    QWidget *banner = page->tipsBanner()->tipsView();
    EXPECT_TRUE(banner->isVisible());
    EXPECT_EQ(banner->parentWidget(), page.data());
    EXPECT_EQ(banner->geometry(), QRect(0, 0, page->width(), QVTipsBanner::DefaultHeight));
}

TEST_F(ProtectedRootTest, TheCountdownReadsTheRecordAndTheWallClockAtEachTick)
{
    open();
    enterPrivate();
    lockOut();
    const qint64 lockedAt = *wall;
    EXPECT_EQ(page->errorLabel()->text(), lockMessage(43199));

    // Two hours asleep: the wall clock moved, the process's clocks did not.
    *wall += 7200;
    EXPECT_TRUE(TestSupport::waitFor([&] { return page->errorLabel()->text() == lockMessage(43200 - 7200); }));

    // Another window locked this address again later: that lock holds, and
    // the end of the first one wipes nothing.
    QJsonObject relocked = record();
    relocked.insert("lockTimestamp", lockedAt + 40000);
    store()->setValue(QVEncryptLockout::StoreKey,
                      QString::fromUtf8(QJsonDocument(QJsonObject{{server.baseUrl(), relocked}}).toJson()));
    *wall = lockedAt + 43201;
    EXPECT_TRUE(TestSupport::waitFor([&] { return page->errorLabel()->text() == lockMessage(40000 - 1); }));
    EXPECT_TRUE(page->isLockTimerRunning());
    EXPECT_FALSE(page->secureTextField()->isEnabled());
    EXPECT_TRUE(record().value("isLock").toBool());
    EXPECT_EQ(record().value("lockTimestamp").toInteger(), lockedAt + 40000);

    // The wall clock set back a day: the lock counts from now, never longer.
    *wall = lockedAt - 86400;
    EXPECT_TRUE(TestSupport::waitFor([&] { return record().value("lockTimestamp").toInteger() == *wall; }));
    EXPECT_TRUE(TestSupport::waitFor([&] { return page->errorLabel()->text() == lockMessage(43200); }));

    // The lock was cleared meanwhile (the password accepted elsewhere): the
    // entry comes back and the record stays as it is.
    QVEncryptLockout(store()).savePassWord(server.baseUrl(), QStringLiteral("Root-Other"), QStringLiteral("135790"));
    EXPECT_TRUE(TestSupport::waitFor([this] { return !page->isLockTimerRunning(); }));
    EXPECT_TRUE(page->secureTextField()->isEnabled());
    EXPECT_FALSE(page->errorLabel()->isVisibleTo(page));
    EXPECT_EQ(QVEncryptLockout(store()).getPassWord(server.baseUrl(), QStringLiteral("Root-Other")),
              QStringLiteral("135790"));
}

TEST_F(ProtectedRootTest, AMinimisedWindowKeepsCountingDownAndAClosedOneStops)
{
    open();
    enterPrivate();
    lockOut();
    page->showMinimized();
    ASSERT_TRUE(page->isMinimized());
    EXPECT_TRUE(page->isLockTimerRunning());
    *wall += 43201;
    EXPECT_TRUE(TestSupport::waitFor([this] { return !page->isLockTimerRunning(); }));
    EXPECT_FALSE(record().value("isLock").toBool());
    page->showNormal();
    EXPECT_TRUE(page->secureTextField()->isEnabled());

    // Closed, the page counts no more; shown again, it goes on.
    lockOut();
    page->hide();
    EXPECT_FALSE(page->isLockTimerRunning());
    *wall += 60;
    page->show();
    EXPECT_TRUE(page->isLockTimerRunning());
    EXPECT_EQ(page->errorLabel()->text(), lockMessage(43200 - 60));
}

// The download page over the downloader and the fake file-share server:
// the hand-over from the browser, one row per file as its status says, the
// folder button, the delete confirmation with its "do not ask again", one
// alert at a time, the network-lost alert's two ways, and leaving.

#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTextDocument>
#include <gtest/gtest.h>

#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVDefaultAlertController.h"
#include "BaseViewController/View/QVNoPromptAlertController.h"
#include "FakeFileRevealer.h"
#include "FakePlatform.h"
#include "FakeTavlin.h"
#include "HttpTestSupport.h"
#include "Main/Model/QVKVOModel.h"
#include "Main/ViewController/DownLoadFile/QVDownLoadFileListCellView.h"
#include "Main/ViewController/DownLoadFile/QVDownLoadFileVC.h"
#include "Main/ViewController/TransferFile/QVTransferTableView.h"
#include "PublicManager/QVPublicTools.h"
#include "PublicManager/QVShareManager.h"
#include "TransferTestSupport.h"

using namespace TransferTest;
using namespace FakeServers;
using Status = QVDownLoadFileModel::Status;

namespace {

// Stands in for the main window's page host.
class RecordingHost : public QObject, public QVRootViewControllerDelegate
{
public:
    void showNextPageViewWithClassStr(const QString &classStr) override { shown.append(classStr); }
    QStringList shown;
};

// What a tip shows: a tip that looks like markup is rendered as markup.
QString tipText(const QString &tip)
{
    if (!Qt::mightBeRichText(tip))
        return tip;
    QTextDocument document;
    document.setHtml(tip);
    return document.toPlainText();
}

class DownloadPage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        manager = std::make_unique<QVShareManager>(fakeServices(fake, capture));
        QVShareManager::setSharedShareManager(manager.get());
        tools()->setShowNextViewDelegate(&host);
        tools()->setAlert_downLoadFile_noPromptAgain(false);
        ASSERT_TRUE(server.listen(TestSupport::uniqueLoopbackAddress()));
        const QString base = server.baseUrl();
        const QString folderPath = folder.path();
        services.engine.fileShareIp = [base] { return base; };
        services.engine.password = [] { return QString(); };
        services.engine.downloadFolder = [folderPath] { return folderPath; };
        services.engine.probe = probe.probe();
        auto now = std::make_shared<qint64>(1700000000000);
        services.engine.nowMs = [now] { return (*now)++; };
        services.engine.networkReachable = [] { return true; };
        services.engine.timings.checkFileTimeout = std::chrono::milliseconds(300);
        services.engine.timings.networkCheckDelay = std::chrono::milliseconds(10);
        services.revealer = revealer;
    }

    void TearDown() override
    {
        delete page.data();
        tools()->vcCacheDictionary().clear();
        tools()->setDownLoadFileListArray({});
        tools()->setAlert_downLoadFile_noPromptAgain(false);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVShareManager::setSharedShareManager(nullptr);
        manager.reset();
    }

    static QVPublicTools *tools() { return QVPublicTools::sharedPublicTools(); }

    // Hands the files over as the browser does and shows the page.
    void open(const QList<std::shared_ptr<QVDownLoadFileModel>> &files)
    {
        QVariantList handOver;
        for (const auto &file : files)
            handOver.append(file->toVariantMap());
        tools()->setDownLoadFileListArray(handOver);
        page = new QVDownLoadFileVC(services);
        page->resize(800, 560);
        page->show();
    }

    QList<std::shared_ptr<QVDownLoadFileModel>> files() const
    {
        return page->engine()->queue().fileNormalArray().mutableArray();
    }

    QVDownLoadFileListCellView *row(int index) const
    {
        TestSupport::spin(20);
        return qobject_cast<QVDownLoadFileListCellView *>(page->tableView()->viewAtRow(index));
    }

    bool waitUntilDone(int timeoutMs = 20000)
    {
        return TestSupport::waitFor(
            [&] { return page->transferFileBtn()->property("tag").toLongLong() == 101 && page->engine()->queue().workQueue().isEmpty(); },
            timeoutMs);
    }

    std::shared_ptr<QVDownLoadFileModel> serve(const QString &absPath, const QByteArray &bytes)
    {
        server.addFile(absPath, bytes);
        return remoteFile(absPath, bytes.size());
    }

    HttpTest::SettingsScope settings;
    std::shared_ptr<FakeTavlin::Shared> fake = std::make_shared<FakeTavlin::Shared>();
    std::shared_ptr<Platform::Fake::FakeScreenCaptureAccess> capture =
        std::make_shared<Platform::Fake::FakeScreenCaptureAccess>();
    std::unique_ptr<QVShareManager> manager;
    RecordingHost host;
    FakeFileShareServer server;
    QTemporaryDir folder;
    ScriptedProbe probe;
    std::shared_ptr<Platform::Fake::FakeFileRevealer> revealer = std::make_shared<Platform::Fake::FakeFileRevealer>();
    QVDownLoadFileVCServices services;
    QPointer<QVDownLoadFileVC> page;
};

} // namespace

TEST_F(DownloadPage, TheHandedOverFilesDownloadAndEachRowShowsItsStatus)
{
    const QByteArray bytes = patternBytes(150000, 3);
    auto good = serve(QStringLiteral("Root-Local/good.bin"), bytes);
    auto missing = remoteFile(QStringLiteral("Root-Local/missing.txt"), 10);
    auto empty = remoteFile(QStringLiteral("Root-Local/empty.txt"), 0);
    open({good, missing, empty});
    EXPECT_EQ(tools()->vcCacheDictionary().value(QVDownLoadFileVC::ClassName), page.data());
    // Working: the button cancels and the describing line shows.
    TestSupport::spin(20);
    EXPECT_EQ(page->transferFileBtn()->text(), QStringLiteral("downLoadFileList_btn_cancel"));
    EXPECT_EQ(page->transferFileBtn()->property("tag").toLongLong(), 100);
    ASSERT_TRUE(waitUntilDone());
    EXPECT_EQ(page->transferFileBtn()->text(), QStringLiteral("downLoadFileList_btn_done"));
    EXPECT_TRUE(page->describeLabel()->isHidden());

    ASSERT_EQ(page->tableView()->numberOfRows(), 3);
    QVDownLoadFileListCellView *done = row(0);
    ASSERT_TRUE(done);
    EXPECT_EQ(done->titleLabel()->text(), QStringLiteral("good.bin"));
    EXPECT_FALSE(done->folderBtn()->isHidden());
    EXPECT_TRUE(done->progressView()->isHidden());
    EXPECT_TRUE(done->continueBtn()->isHidden());
    EXPECT_TRUE(done->failLabel()->text().isEmpty());
    EXPECT_FALSE(done->deleteBtn()->isHidden());
    const struct {
        int row;
        QString tip;
    } warnings[] = {{1, QStringLiteral("main_downLoadFile_serverFileDoesNotExist")},
                    {2, QStringLiteral("main_downLoadFile_emptyFile")}};
    for (const auto &warning : warnings) {
        QVDownLoadFileListCellView *cell = row(warning.row);
        ASSERT_TRUE(cell);
        EXPECT_FALSE(cell->overrunBtn()->isHidden());
        EXPECT_TRUE(cell->overrunBtn()->isShowPopover());
        EXPECT_EQ(cell->overrunBtn()->popoverTitle(), warning.tip);
        EXPECT_EQ(cell->failLabel()->text(), QStringLiteral("transferFile_uploadFailed"));
        EXPECT_TRUE(cell->progressView()->isHidden());
    }

    // The folder button shows the file, or says it is gone.
    const QString finalPath = files().first()->finalFileURL();
    done->folderBtn()->click();
    EXPECT_EQ(revealer->revealed, QStringList{finalPath});
    QSignalSpy gone(manager->kvoModel(), &QVKVOModel::localFileDoesNotExistChanged);
    QFile::remove(finalPath);
    row(0)->folderBtn()->click();
    EXPECT_EQ(gone.count(), 1);
    EXPECT_EQ(revealer->revealed.size(), 1);

    // Done: the button leaves at once.
    page->transferFileBtn()->click();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !host.shown.isEmpty(); }));
    EXPECT_EQ(host.shown, QStringList{QStringLiteral("QVMainViewController")});
    EXPECT_FALSE(tools()->vcCacheDictionary().contains(QVDownLoadFileVC::ClassName));
}

TEST_F(DownloadPage, ANameIsShownAsItIsAndALongOneIsCutInItsMiddleLeavingTheRowsOtherPartsInSight)
{
    // A name far wider than the main window's rows, on a row that also shows
    // the fail text, the warning and the delete button.
    const QString longName =
        QStringLiteral("Minutes of the board meeting on the harbour office renewal, December 2024.docx");
    auto missing = remoteFile(QStringLiteral("Root-Local/") + longName, 10);
    const QString markup = QStringLiteral("Root-Local/<b>a<br>&amp;.txt");
    auto shortName = serve(markup, "aaa");
    open({missing, shortName});
    page->resize(375, 640);
    ASSERT_TRUE(waitUntilDone());
    TestSupport::spin(50);

    QVDownLoadFileListCellView *cell = row(0);
    ASSERT_TRUE(cell);
    const QVTransferRowParts::NameLabel *title = cell->titleLabel();
    // The whole name stays the label's text and its tip.
    EXPECT_EQ(title->text(), longName);
    EXPECT_EQ(tipText(title->toolTip()), longName);
    const QString shown = title->shownText();
    EXPECT_NE(shown, longName);
    // The start and the end of the name, around one ellipsis: the
    // extension stays in sight.
    const QString ellipsis = shown.contains(QChar(0x2026)) ? QString(QChar(0x2026)) : QStringLiteral("...");
    const QStringList parts = shown.split(ellipsis);
    ASSERT_EQ(parts.size(), 2) << shown.toStdString();
    EXPECT_FALSE(parts.at(0).isEmpty());
    EXPECT_TRUE(longName.startsWith(parts.at(0))) << shown.toStdString();
    EXPECT_TRUE(longName.endsWith(parts.at(1))) << shown.toStdString();
    EXPECT_TRUE(parts.at(1).endsWith(QLatin1String(".docx"))) << shown.toStdString();
    EXPECT_LE(title->fontMetrics().horizontalAdvance(shown), title->contentsRect().width());
    EXPECT_LE(title->geometry().right(), cell->failLabel()->geometry().left());
    EXPECT_FALSE(cell->overrunBtn()->isHidden());

    // A short name is shown whole; a name that looks like markup is shown
    // as it is, in the row and in its tip.
    EXPECT_EQ(row(1)->titleLabel()->shownText(), markup.section(QLatin1Char('/'), -1));
    EXPECT_EQ(row(1)->titleLabel()->textFormat(), Qt::PlainText);
    EXPECT_EQ(tipText(row(1)->titleLabel()->toolTip()), markup.section(QLatin1Char('/'), -1));
}

TEST_F(DownloadPage, DeleteAsksUntilTheUserSaysNotToAskAgain)
{
    auto a = serve(QStringLiteral("Root-Local/a.txt"), "aaa");
    auto b = serve(QStringLiteral("Root-Local/b.txt"), "bbb");
    auto c = serve(QStringLiteral("Root-Local/c.txt"), "ccc");
    open({a, b, c});
    ASSERT_TRUE(waitUntilDone());
    const QString aPath = files().at(0)->finalFileURL();
    ASSERT_TRUE(QFile::exists(aPath));

    // Asked; "cancel" keeps the file.
    row(0)->deleteBtn()->click();
    QVNoPromptAlertController *alert = page->noPromptAlertVC();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->contentLabel()->text(), QStringLiteral("alert_transferFile_sureDelete"));
    alert->doubleLeftBtn()->click();
    TestSupport::spin(20);
    EXPECT_FALSE(page->checkShowingAlert());
    EXPECT_EQ(files().size(), 3);

    // Asked again; confirmed without the toggle: gone, and the next delete
    // asks again.
    row(0)->deleteBtn()->click();
    ASSERT_TRUE(page->noPromptAlertVC());
    page->noPromptAlertVC()->doubleRightBtn()->click();
    TestSupport::spin(20);
    EXPECT_FALSE(QFile::exists(aPath));
    ASSERT_EQ(files().size(), 2);
    EXPECT_FALSE(tools()->alert_downLoadFile_noPromptAgain());

    row(0)->deleteBtn()->click();
    ASSERT_TRUE(page->noPromptAlertVC());
    page->noPromptAlertVC()->noPromptAgainBtn()->click();
    page->noPromptAlertVC()->doubleRightBtn()->click();
    TestSupport::spin(20);
    EXPECT_EQ(files().size(), 1);
    EXPECT_TRUE(tools()->alert_downLoadFile_noPromptAgain());

    // Not asked any more in this process.
    row(0)->deleteBtn()->click();
    TestSupport::spin(20);
    EXPECT_FALSE(page->checkShowingAlert());
    EXPECT_TRUE(files().isEmpty());
    EXPECT_EQ(folderEntries(folder.path()), QStringList());
}

TEST_F(DownloadPage, OneAlertAtATimeAndTheNetworkLostAlertReconnectsOrLeaves)
{
    const QByteArray bytes = patternBytes(100000, 5);
    server.setChunkSize(30000);
    auto a = serve(QStringLiteral("Root-Local/a.bin"), bytes);
    auto b = serve(QStringLiteral("Root-Local/b.bin"), bytes);
    server.setBusy(true);
    open({a, b});
    ASSERT_TRUE(TestSupport::waitFor([&] { return page->checkShowingAlert(); }));
    QVDefaultAlertController *busy = page->defaultAlertVC();
    ASSERT_TRUE(busy);
    EXPECT_EQ(busy->contentLabel()->text(), QStringLiteral("alert_transferFile_CPULoad"));
    EXPECT_EQ(busy->alertType(), 0);
    EXPECT_FALSE(row(0)->continueBtn()->isHidden());

    // A refusal while the busy alert shows changes the file, not the alert.
    server.setBusy(false);
    server.setShareEnabled(false);
    row(0)->continueBtn()->click();
    ASSERT_TRUE(TestSupport::waitFor([&] { return files().at(0)->downLoadStatus() == Status::Failed && page->engine()->queue().workQueue().isEmpty(); }));
    TestSupport::spin(50);
    EXPECT_EQ(page->defaultAlertVC(), busy);
    EXPECT_EQ(busy->contentLabel()->text(), QStringLiteral("alert_transferFile_CPULoad"));
    busy->singleBtn()->click();
    TestSupport::spin(20);
    EXPECT_FALSE(page->checkShowingAlert());

    // The network goes: checks get no answer and the probe finds nothing.
    server.setShareEnabled(true);
    FaultRule silent;
    silent.fault = Fault::Silent;
    server.setFault(kCheckFile, silent);
    probe.answers = {false};
    row(1)->continueBtn()->click();
    ASSERT_TRUE(TestSupport::waitFor([&] { return page->checkShowingAlert(); }, 10000));
    QVDefaultAlertController *lost = page->defaultAlertVC();
    ASSERT_TRUE(lost);
    EXPECT_EQ(lost->contentLabel()->text(), QStringLiteral("alert_downLoad_networkDisconnect"));
    EXPECT_EQ(lost->doubleLeftBtn()->text(), QStringLiteral("alert_downLoad_networkDisconnect_cancel"));
    EXPECT_EQ(lost->doubleRightBtn()->text(), QStringLiteral("alert_downLoad_networkDisconnect_continue"));
    EXPECT_EQ(files().at(1)->downLoadStatus(), Status::NetworkLost);

    // Reconnect: the server is back and the file that lost the network ends.
    server.clearFaults();
    probe.answers = {true};
    lost->doubleRightBtn()->click();
    ASSERT_TRUE(TestSupport::waitFor([&] { return files().at(1)->downLoadStatus() == Status::Done; }));
    EXPECT_EQ(readFile(files().at(1)->finalFileURL()), bytes);

    // Lost again, and this time the user leaves.
    server.setFault(kCheckFile, silent);
    probe.answers = {false};
    row(0)->continueBtn()->click();
    ASSERT_TRUE(TestSupport::waitFor([&] { return page->checkShowingAlert(); }, 10000));
    page->defaultAlertVC()->doubleLeftBtn()->click();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !host.shown.isEmpty(); }));
    EXPECT_EQ(host.shown, QStringList{QStringLiteral("QVMainViewController")});
    // Out of the cache and shown by no host, the page goes, later.
    EXPECT_FALSE(tools()->vcCacheDictionary().contains(QVDownLoadFileVC::ClassName));
    ASSERT_TRUE(TestSupport::waitFor([&] { return page.isNull(); }));
}

TEST_F(DownloadPage, LeavingWithFilesPendingAsksThenStopsTheFileAndGoesBackToTheCastingScreen)
{
    // The casting screen is still alive: the page goes back to it.
    tools()->vcCacheDictionary().insert(QStringLiteral("QVShareScreenViewController"), new QWidget);
    server.setChunkSize(10000);
    FaultRule slow;
    slow.fault = Fault::Slow;
    slow.delayMs = 100;
    server.setFault(kDownload, slow);
    auto a = serve(QStringLiteral("Root-Local/a.bin"), patternBytes(80000, 1));
    auto b = serve(QStringLiteral("Root-Local/b.bin"), patternBytes(80000, 2));
    open({a, b});
    ASSERT_TRUE(TestSupport::waitFor([&] { return files().at(0)->downLoadBytes() >= 10000; }));

    page->transferFileBtn()->click();
    ASSERT_TRUE(TestSupport::waitFor([&] { return page->checkShowingAlert(); }));
    EXPECT_EQ(page->defaultAlertVC()->contentLabel()->text(), QStringLiteral("alert_downLoad_unfinishedFiles"));
    EXPECT_EQ(page->defaultAlertVC()->doubleLeftBtn()->text(), QStringLiteral("alert_continueDownload_cancel"));
    // Stay: the download goes on.
    page->defaultAlertVC()->doubleRightBtn()->click();
    const qint64 before = files().at(0)->downLoadBytes();
    ASSERT_TRUE(TestSupport::waitFor([&] { return files().at(0)->downLoadBytes() > before; }));

    // Stop and leave: the file's temporary file goes, nothing more is sent.
    const QString temp = files().at(0)->tmpFileURL();
    page->transferFileBtn()->click();
    ASSERT_TRUE(TestSupport::waitFor([&] { return page->checkShowingAlert(); }));
    page->defaultAlertVC()->doubleLeftBtn()->click();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !host.shown.isEmpty(); }));
    EXPECT_EQ(host.shown, QStringList{QStringLiteral("QVShareScreenViewController")});
    EXPECT_FALSE(QFile::exists(temp));
    TestSupport::spin(150);
    const int seen = server.requestCount();
    TestSupport::spin(300);
    EXPECT_EQ(server.requestCount(), seen);
    EXPECT_EQ(folderEntries(folder.path()), QStringList());
}

TEST_F(DownloadPage, ARowsBarShowsWhatIsInAndOnlyTheRunningFileIsShownAsStarted)
{
    server.setChunkSize(10000);
    FaultRule slow;
    slow.fault = Fault::Slow;
    slow.delayMs = 150;
    server.setFault(kDownload, slow);
    auto a = serve(QStringLiteral("Root-Local/a.bin"), patternBytes(100000, 1));
    auto b = serve(QStringLiteral("Root-Local/b.bin"), patternBytes(100000, 2));
    open({a, b});
    ASSERT_TRUE(TestSupport::waitFor([&] { return files().at(0)->downLoadStatus() == Status::Downloading; }));
    // A reload makes the rows anew from the files.
    page->reloadTableView();
    EXPECT_GE(row(0)->progressView()->value(), 50);
    EXPECT_EQ(row(1)->progressView()->value(), 0);

    // The device turns busy with part of the first file in: both fail. The
    // second is continued first, so the first waits behind it with what it
    // already has.
    ASSERT_TRUE(TestSupport::waitFor([&] { return files().at(0)->downLoadBytes() >= 20000; }));
    server.setBusy(true);
    ASSERT_TRUE(TestSupport::waitFor([&] { return page->engine()->queue().workQueue().isEmpty(); }));
    page->removeAlertVC();
    server.setBusy(false);
    const qint64 inFirst = files().at(0)->downLoadBytes();
    ASSERT_GT(inFirst, 0);
    page->singleContinueWithModel(files().at(1));
    page->singleContinueWithModel(files().at(0));
    ASSERT_EQ(files().at(0)->downLoadStatus(), Status::Waiting);
    EXPECT_EQ(row(0)->progressView()->value(), int(inFirst * 1000 / 100000));
    EXPECT_FALSE(row(0)->progressView()->isHidden());
    server.clearFaults();
    ASSERT_TRUE(waitUntilDone());
    EXPECT_EQ(readFile(files().at(0)->finalFileURL()), patternBytes(100000, 1));
}

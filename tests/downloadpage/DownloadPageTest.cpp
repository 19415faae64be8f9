// The download page over the downloader and the fake file-share server:
// the hand-over from the browser, one row per file as its status says (and
// only the rows that change drawn again), the folder button, the delete
// confirmation with its "do not ask again", one alert at a time, the
// network-lost alert's two ways, and leaving. The server holds its answers
// where a test looks at a step in between.

#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QSet>
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
#include "PublicManager/QVPublicTools.h"
#include "PublicManager/QVShareManager.h"
#include "TransferPageTestSupport.h"
#include "TransferTestSupport.h"

using namespace TransferTest;
using namespace FakeServers;
using namespace TransferPageTest;
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
    void open(const QList<std::shared_ptr<QVDownLoadFileModel>> &files, QSize size = QSize(800, 560))
    {
        QVariantList handOver;
        for (const auto &file : files)
            handOver.append(file->toVariantMap());
        tools()->setDownLoadFileListArray(handOver);
        page = new QVDownLoadFileVC(services);
        page->resize(size);
        page->show();
    }

    QList<std::shared_ptr<QVDownLoadFileModel>> files() const
    {
        return page->engine()->queue().fileNormalArray().mutableArray();
    }

    QVTransferTableView *table() const { return page->tableView(); }
    qint64 buttonTag() const { return page->transferFileBtn()->property("tag").toLongLong(); }

    // Every row shows its file as it is now.
    bool rowsShowTheFiles() const
    {
        const QList<std::shared_ptr<QVDownLoadFileModel>> list = files();
        if (table()->numberOfRows() != list.size())
            return false;
        for (int row = 0; row < list.size(); ++row) {
            if (shownStatus(table(), row) != list.at(row)->downLoadStatus())
                return false;
        }
        return true;
    }

    // Nothing is left to do, and the page and its rows say so.
    bool waitUntilDone(int timeoutMs = 20000)
    {
        return TestSupport::waitFor(
            [&] { return buttonTag() == 101 && page->engine()->queue().workQueue().isEmpty() && rowsShowTheFiles(); },
            timeoutMs);
    }

    // Answers of `path` wait until the test lets them go.
    void hold(const QString &path) { server.setFault(path, {Fault::Held}); }

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
    // The first check waits: the page is working.
    hold(kCheckFile);
    open({good, missing, empty});
    EXPECT_EQ(tools()->vcCacheDictionary().value(QVDownLoadFileVC::ClassName), page.data());
    ASSERT_TRUE(TestSupport::waitFor([&] { return server.heldCount() == 1 && buttonTag() == 100; }));
    // Working: the button cancels and the describing line shows.
    EXPECT_EQ(page->transferFileBtn()->text(), QStringLiteral("downLoadFileList_btn_cancel"));
    EXPECT_FALSE(page->describeLabel()->isHidden());
    server.clearFaults();
    server.releaseHeld();
    ASSERT_TRUE(waitUntilDone());
    EXPECT_EQ(page->transferFileBtn()->text(), QStringLiteral("downLoadFileList_btn_done"));
    EXPECT_TRUE(page->describeLabel()->isHidden());

    ASSERT_EQ(table()->numberOfRows(), 3);
    EXPECT_EQ(table()->model()->index(0, 0).data().toString(), QStringLiteral("good.bin"));
    EXPECT_TRUE(shows(table(), 0, Part::Folder));
    EXPECT_FALSE(shows(table(), 0, Part::Progress));
    EXPECT_FALSE(shows(table(), 0, Part::Continue));
    EXPECT_TRUE(table()->rowLayout(0).failText.isEmpty());
    EXPECT_TRUE(shows(table(), 0, Part::Delete));
    const struct {
        int row;
        QString tip;
    } warnings[] = {{1, QStringLiteral("main_downLoadFile_serverFileDoesNotExist")},
                    {2, QStringLiteral("main_downLoadFile_emptyFile")}};
    for (const auto &warning : warnings) {
        EXPECT_TRUE(shows(table(), warning.row, Part::Warning));
        EXPECT_EQ(table()->rowLayout(warning.row).warningTip, warning.tip);
        EXPECT_EQ(table()->rowLayout(warning.row).failText, QStringLiteral("transferFile_uploadFailed"));
        EXPECT_FALSE(shows(table(), warning.row, Part::Progress));
        EXPECT_TRUE(shows(table(), warning.row, Part::Delete));
    }

    // The folder button shows the file, or says it is gone.
    const QString finalPath = files().first()->finalFileURL();
    ASSERT_TRUE(clickPart(table(), 0, Part::Folder));
    EXPECT_EQ(revealer->revealed, QStringList{finalPath});
    QSignalSpy gone(manager->kvoModel(), &QVKVOModel::localFileDoesNotExistChanged);
    QFile::remove(finalPath);
    ASSERT_TRUE(clickPart(table(), 0, Part::Folder));
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
    open({missing, shortName}, QSize(375, 640));
    ASSERT_TRUE(waitUntilDone());

    const QVTransferRowDelegate::RowLayout row = table()->rowLayout(0);
    // The whole name stays the row's text and its tip.
    EXPECT_EQ(table()->model()->index(0, 0).data().toString(), longName);
    EXPECT_EQ(tipText(table()->model()->index(0, 0).data(Qt::ToolTipRole).toString()), longName);
    const QString shown = row.shownName;
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
    const QFontMetrics metrics(QVTransferRowDelegate::nameFont(table()->font()));
    EXPECT_LE(metrics.horizontalAdvance(shown), row.name.width());
    EXPECT_LE(row.name.right(), row.fail.left());
    EXPECT_LE(row.fail.right(), row.warning.left());
    EXPECT_LE(row.warning.right(), row.deleteButton.left());
    EXPECT_LE(row.deleteButton.right(), table()->viewport()->width());
    EXPECT_FALSE(row.warning.isEmpty());

    // A short name is shown whole; a name that looks like markup is shown
    // as it is, in the row and in its tip.
    const QString plain = markup.section(QLatin1Char('/'), -1);
    EXPECT_EQ(table()->rowLayout(1).shownName, plain);
    EXPECT_EQ(tipText(table()->model()->index(1, 0).data(Qt::ToolTipRole).toString()), plain);
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
    ASSERT_TRUE(clickPart(table(), 0, Part::Delete));
    QVNoPromptAlertController *alert = page->noPromptAlertVC();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->contentLabel()->text(), QStringLiteral("alert_transferFile_sureDelete"));
    alert->doubleLeftBtn()->click();
    EXPECT_FALSE(page->checkShowingAlert());
    EXPECT_EQ(files().size(), 3);
    EXPECT_EQ(table()->numberOfRows(), 3);

    // Asked again; confirmed without the toggle: gone, and the next delete
    // asks again.
    ASSERT_TRUE(clickPart(table(), 0, Part::Delete));
    ASSERT_TRUE(page->noPromptAlertVC());
    page->noPromptAlertVC()->doubleRightBtn()->click();
    EXPECT_FALSE(page->checkShowingAlert());
    EXPECT_FALSE(QFile::exists(aPath));
    ASSERT_EQ(files().size(), 2);
    EXPECT_EQ(table()->numberOfRows(), 2);
    EXPECT_EQ(table()->model()->index(0, 0).data().toString(), QStringLiteral("b.txt"));
    EXPECT_FALSE(tools()->alert_downLoadFile_noPromptAgain());

    ASSERT_TRUE(clickPart(table(), 0, Part::Delete));
    ASSERT_TRUE(page->noPromptAlertVC());
    page->noPromptAlertVC()->noPromptAgainBtn()->click();
    page->noPromptAlertVC()->doubleRightBtn()->click();
    EXPECT_EQ(files().size(), 1);
    EXPECT_TRUE(tools()->alert_downLoadFile_noPromptAgain());

    // Not asked any more in this process.
    ASSERT_TRUE(clickPart(table(), 0, Part::Delete));
    EXPECT_FALSE(page->checkShowingAlert());
    EXPECT_TRUE(files().isEmpty());
    EXPECT_EQ(table()->numberOfRows(), 0);
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
    ASSERT_TRUE(TestSupport::waitFor([&] { return page->checkShowingAlert() && rowsShowTheFiles(); }));
    QVDefaultAlertController *busy = page->defaultAlertVC();
    ASSERT_TRUE(busy);
    EXPECT_EQ(busy->contentLabel()->text(), QStringLiteral("alert_transferFile_CPULoad"));
    EXPECT_EQ(busy->alertType(), 0);
    EXPECT_TRUE(shows(table(), 0, Part::Continue));

    // A refusal while the busy alert shows changes the file, not the alert
    // (the alert is asked for as the file fails).
    server.setBusy(false);
    server.setShareEnabled(false);
    ASSERT_TRUE(clickPart(table(), 0, Part::Continue));
    ASSERT_TRUE(TestSupport::waitFor([&] {
        return files().at(0)->downLoadStatus() == Status::Failed && page->engine()->queue().workQueue().isEmpty();
    }));
    EXPECT_EQ(page->defaultAlertVC(), busy);
    EXPECT_EQ(busy->contentLabel()->text(), QStringLiteral("alert_transferFile_CPULoad"));
    busy->singleBtn()->click();
    EXPECT_FALSE(page->checkShowingAlert());

    // The network goes: checks get no answer and the probe finds nothing.
    server.setShareEnabled(true);
    FaultRule silent;
    silent.fault = Fault::Silent;
    server.setFault(kCheckFile, silent);
    probe.answers = {false};
    ASSERT_TRUE(TestSupport::waitFor([&] { return rowsShowTheFiles(); }));
    ASSERT_TRUE(clickPart(table(), 1, Part::Continue));
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
    ASSERT_TRUE(TestSupport::waitFor([&] { return rowsShowTheFiles(); }));
    ASSERT_TRUE(clickPart(table(), 0, Part::Continue));
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
    // Each chunk waits for the test.
    hold(kDownload);
    auto a = serve(QStringLiteral("Root-Local/a.bin"), patternBytes(80000, 1));
    auto b = serve(QStringLiteral("Root-Local/b.bin"), patternBytes(80000, 2));
    open({a, b});
    ASSERT_TRUE(TestSupport::waitFor([&] { return server.heldCount() == 1; }));
    server.releaseHeld();
    ASSERT_TRUE(TestSupport::waitFor([&] { return files().at(0)->downLoadBytes() == 10000 && server.heldCount() == 1; }));

    page->transferFileBtn()->click();
    ASSERT_TRUE(TestSupport::waitFor([&] { return page->checkShowingAlert(); }));
    EXPECT_EQ(page->defaultAlertVC()->contentLabel()->text(), QStringLiteral("alert_downLoad_unfinishedFiles"));
    EXPECT_EQ(page->defaultAlertVC()->doubleLeftBtn()->text(), QStringLiteral("alert_continueDownload_cancel"));
    // Stay: the download goes on.
    page->defaultAlertVC()->doubleRightBtn()->click();
    server.releaseHeld();
    ASSERT_TRUE(TestSupport::waitFor([&] { return files().at(0)->downLoadBytes() == 20000 && server.heldCount() == 1; }));

    // Stop and leave: the file's temporary file goes, nothing more is sent.
    const QString temp = files().at(0)->tmpFileURL();
    ASSERT_TRUE(QFile::exists(temp));
    page->transferFileBtn()->click();
    ASSERT_TRUE(TestSupport::waitFor([&] { return page->checkShowingAlert(); }));
    page->defaultAlertVC()->doubleLeftBtn()->click();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !host.shown.isEmpty(); }));
    EXPECT_EQ(host.shown, QStringList{QStringLiteral("QVShareScreenViewController")});
    ASSERT_TRUE(TestSupport::waitFor([&] { return !QFile::exists(temp); }));
    // The held chunk's answer finds no one; nothing more is asked for.
    const int seen = server.requestCount();
    server.releaseHeld();
    TestSupport::spin(300);
    EXPECT_EQ(server.requestCount(), seen);
    EXPECT_EQ(folderEntries(folder.path()), QStringList());
}

TEST_F(DownloadPage, ARowsBarShowsWhatIsInAndOnlyTheRunningFileIsShownAsStarted)
{
    server.setChunkSize(10000);
    hold(kDownload);
    auto a = serve(QStringLiteral("Root-Local/a.bin"), patternBytes(100000, 1));
    auto b = serve(QStringLiteral("Root-Local/b.bin"), patternBytes(100000, 2));
    open({a, b});
    ASSERT_TRUE(TestSupport::waitFor([&] { return server.heldCount() == 1 && rowsShowTheFiles(); }));
    ASSERT_EQ(files().at(0)->downLoadStatus(), Status::Downloading);
    // Started before its first bytes; the one waiting shows nothing in.
    EXPECT_GE(shownProgress(table(), 0), 0.05f);
    EXPECT_EQ(shownProgress(table(), 1), 0.0f);

    // The device turns busy with two chunks of the first file in: both
    // fail. The second is continued first, so the first waits behind it
    // with what it already has.
    server.releaseHeld();
    ASSERT_TRUE(TestSupport::waitFor([&] { return files().at(0)->downLoadBytes() == 10000 && server.heldCount() == 1; }));
    server.setBusy(true);
    server.releaseHeld();
    ASSERT_TRUE(TestSupport::waitFor([&] { return page->engine()->queue().workQueue().isEmpty(); }));
    page->removeAlertVC();
    server.setBusy(false);
    server.clearFaults();
    const qint64 inFirst = files().at(0)->downLoadBytes();
    ASSERT_EQ(inFirst, 20000);
    page->singleContinueWithModel(files().at(1));
    page->singleContinueWithModel(files().at(0));
    ASSERT_EQ(files().at(0)->downLoadStatus(), Status::Waiting);
    ASSERT_TRUE(TestSupport::waitFor([&] { return shownStatus(table(), 0) == Status::Waiting; }));
    EXPECT_FLOAT_EQ(shownProgress(table(), 0), 0.2f);
    EXPECT_TRUE(shows(table(), 0, Part::Progress));
    ASSERT_TRUE(waitUntilDone());
    EXPECT_EQ(readFile(files().at(0)->finalFileURL()), patternBytes(100000, 1));
}

TEST_F(DownloadPage, BytesComingInRedrawOnlyTheRowOfTheirFile)
{
    server.setChunkSize(10000);
    hold(kDownload);
    auto a = serve(QStringLiteral("Root-Local/a.bin"), patternBytes(30000, 1));
    auto b = serve(QStringLiteral("Root-Local/b.bin"), patternBytes(30000, 2));
    auto c = serve(QStringLiteral("Root-Local/c.bin"), patternBytes(30000, 3));
    open({a, b, c});
    ASSERT_TRUE(TestSupport::waitFor([&] { return server.heldCount() == 1 && rowsShowTheFiles(); }));
    RowChanges changes(table()->model());

    // The first file's chunks come in: only its row is told.
    for (qint64 in = 10000; in <= 20000; in += 10000) {
        server.releaseHeld();
        ASSERT_TRUE(TestSupport::waitFor([&] { return files().at(0)->downLoadBytes() == in && server.heldCount() == 1; }));
    }
    EXPECT_FALSE(changes.changedRows.isEmpty());
    EXPECT_EQ(QSet<int>(changes.changedRows.begin(), changes.changedRows.end()), QSet<int>{0});
    EXPECT_GE(shownProgress(table(), 0), 2.0f / 3.0f - 0.001f);
    // Reading the list again tells nothing when nothing changed.
    changes.changedRows.clear();
    page->rows()->refresh();
    EXPECT_TRUE(changes.changedRows.isEmpty());

    // Its last chunk ends it and starts the next file: those two rows.
    server.releaseHeld();
    ASSERT_TRUE(TestSupport::waitFor([&] {
        return files().at(0)->downLoadStatus() == Status::Done && server.heldCount() == 1 && rowsShowTheFiles();
    }));
    EXPECT_EQ(QSet<int>(changes.changedRows.begin(), changes.changedRows.end()), (QSet<int>{0, 1}));
    EXPECT_EQ(changes.resets, 0);
    EXPECT_TRUE(changes.inserted.isEmpty());
    server.clearFaults();
    server.releaseHeld();
    ASSERT_TRUE(waitUntilDone());
}

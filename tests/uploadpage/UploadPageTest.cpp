// The upload page over the uploader and the fake file-share server: what a
// drop hands on, the two layouts and the bottom button's styles as the
// queue runs, the rows as the user sees and uses them (a big drop becomes
// rows at once, a change redraws only its own rows), and a lost casting
// connection before and after files were added. The server holds its
// answers where a test looks at a step in between.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolTip>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVDefaultAlertController.h"
#include "BaseViewController/View/QVPopoverViewController.h"
#include "HttpTestSupport.h"
#include "Main/Model/QVKVOModel.h"
#include "Main/ViewController/UploadFile/QVTransferFileListCellView.h"
#include "Main/ViewController/UploadFile/QVTransferFileViewController.h"
#include "PublicManager/QVPageRegistry.h"
#include "PublicManager/QVPublicTools.h"
#include "TransferPageTestSupport.h"
#include "TransferTestSupport.h"

using namespace TransferTest;
using namespace TransferPageTest;
using Status = QVUploadFileModel::Status;
using FakeServers::Fault;

namespace {

const QString kStartBytes = QStringLiteral("api/glimra/fileShare/getStartBytes");
const QString kUploadFile = QStringLiteral("api/glimra/fileShare/uploadFile");

// Stands in for the main window's page host.
class RecordingHost : public QObject, public QVRootViewControllerDelegate
{
public:
    void showNextPageViewWithClassStr(const QString &classStr) override { shown.append(classStr); }
    QStringList shown;
};

class UploadPage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(files.isValid());
        QSettings().setValue(QStringLiteral("device_udid"), QStringLiteral("0D15EA5E-0000-4000-8000-0000000000A1"));
        tools()->setShowNextViewDelegate(&host);
        tools()->setAlert_uploadFile_noPromptAgain(true);
        ASSERT_TRUE(server.listen(TestSupport::uniqueLoopbackAddress()));
        const QString base = server.baseUrl();
        services.engine.fileShareIp = [base] { return base; };
        services.engine.probe = probe.probe();
        services.engine.timings.networkCheckDelay = std::chrono::milliseconds(10);
        services.kvoModel = [this] { return &kvo; };
    }

    void TearDown() override
    {
        delete page.data();
        tools()->setAlert_uploadFile_noPromptAgain(false);
        tools()->setShowNextViewDelegate(nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static QVPublicTools *tools() { return QVPublicTools::sharedPublicTools(); }

    void open(QSize size = QSize(375, 640))
    {
        page = new QVTransferFileViewController(services);
        page->resize(size);
        page->show();
        // The first style is applied on the event loop's next turn.
        EXPECT_TRUE(TestSupport::waitFor([&] { return buttonTag() == 100; }));
    }

    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile file(files.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return files.filePath(name);
    }

    QString writeHuge(const QString &name)
    {
        QFile file(files.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_TRUE(file.resize(4000000001));
        return files.filePath(name);
    }

    // Answers of `path` wait until the test lets them go.
    void hold(const QString &path) { server.setFault(path, {Fault::Held}); }

    qint64 buttonTag() const { return page->transferFileBtn()->property("tag").toLongLong(); }
    QVTransferTableView *table() const { return page->tableView(); }
    QVUploadEngine::File fileAt(int row) const { return page->engine()->queue().fileNormalArray().objectAtIndex(row); }

    // Every row shows its file as it is now.
    bool rowsShowTheFiles() const
    {
        const auto &list = page->engine()->queue().fileNormalArray();
        if (table()->numberOfRows() != list.size())
            return false;
        for (int row = 0; row < list.size(); ++row) {
            if (shownStatus(table(), row) != list.objectAtIndex(row)->uploadStatus())
                return false;
        }
        return true;
    }

    HttpTest::SettingsScope settings;
    QTemporaryDir files;
    RecordingHost host;
    QVKVOModel kvo{60000, nullptr};
    FakeServers::FakeFileShareServer server;
    ScriptedProbe probe;
    QVTransferFileVCServices services;
    QPointer<QVTransferFileViewController> page;
};

} // namespace

TEST_F(UploadPage, ADropHandsOnRegularFilesOnly)
{
    const QString regular = write(QStringLiteral("photo.jpg"), "jpeg");
    const QString folder = files.filePath(QStringLiteral("album"));
    QDir().mkpath(folder);
    const QString link = files.filePath(QStringLiteral("photo-link.jpg"));
    ASSERT_TRUE(QFile::link(regular, link));
    const QString pipe = files.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString gone = files.filePath(QStringLiteral("gone.jpg"));
    const QList<QUrl> dropped = {QUrl::fromLocalFile(folder), QUrl::fromLocalFile(link), QUrl::fromLocalFile(pipe),
                                 QUrl::fromLocalFile(gone), QUrl(QStringLiteral("https://example.invalid/a.jpg")),
                                 QUrl::fromLocalFile(regular)};
    EXPECT_EQ(QVDraggingFileBgView::regularFiles(dropped), QList<QUrl>{QUrl::fromLocalFile(regular)});
    // The page is found by its class name.
    EXPECT_TRUE(QVPageRegistry::shared().contains(QStringLiteral("QVTransferFileViewController")));

    // The rows lie on the drop zone and leave a drop over them to it.
    open();
    EXPECT_TRUE(page->bodyView()->isAncestorOf(table()));
    EXPECT_TRUE(page->bodyView()->acceptDrops());
    EXPECT_FALSE(table()->acceptDrops());
    EXPECT_FALSE(table()->viewport()->acceptDrops());
}

TEST_F(UploadPage, LayoutsButtonStylesAndRowsFollowTheQueue)
{
    open();
    EXPECT_TRUE(tools()->isInToUploadFilePage());
    EXPECT_TRUE(page->headView()->isVisible());
    EXPECT_TRUE(page->dragDescribeLabel()->isVisible());
    EXPECT_FALSE(table()->isVisible());
    EXPECT_EQ(page->transferFileBtn()->text(), QStringLiteral("transferFile_btn_selectFile"));

    // The server takes the piece and holds its answer: the file is in
    // transfer for as long as the test looks.
    hold(kUploadFile);
    const QByteArray bytes = patternBytes(300000, 4);
    const QString path = write(QStringLiteral("talk.pdf"), bytes);
    page->didReceiveFiles({QUrl::fromLocalFile(path)});
    EXPECT_FALSE(page->bodyView()->allowBack());
    ASSERT_TRUE(TestSupport::waitFor([&] { return server.heldCount() == 1 && rowsShowTheFiles(); }));
    EXPECT_FALSE(page->headView()->isVisible());
    EXPECT_TRUE(table()->isVisible());
    EXPECT_EQ(buttonTag(), 101);
    EXPECT_EQ(page->transferFileBtn()->text(), QStringLiteral("transferFile_btn_cancelUpload"));
    EXPECT_EQ(shownStatus(table(), 0), Status::Uploading);
    EXPECT_TRUE(shows(table(), 0, Part::Progress));
    EXPECT_TRUE(shows(table(), 0, Part::Delete));
    EXPECT_FALSE(shows(table(), 0, Part::Done));
    // The whole piece went out: the bar says so before the answer.
    EXPECT_TRUE(TestSupport::waitFor([&] { return shownProgress(table(), 0) == 1.0f; }));

    server.clearFaults();
    server.releaseHeld();
    ASSERT_TRUE(TestSupport::waitFor([&] { return buttonTag() == 102 && rowsShowTheFiles(); }));
    EXPECT_EQ(page->transferFileBtn()->text(), QStringLiteral("transferFile_btn_doneUpload"));
    EXPECT_EQ(server.uploadedFile(QStringLiteral("talk.pdf")), bytes);
    EXPECT_EQ(table()->model()->index(0, 0).data().toString(), QStringLiteral("talk.pdf"));
    EXPECT_TRUE(shows(table(), 0, Part::Done));
    EXPECT_FALSE(shows(table(), 0, Part::Progress));
    EXPECT_FALSE(shows(table(), 0, Part::Delete));

    // A done file is not deleted: the tip says so.
    bool tip = false;
    QObject::connect(&kvo, &QVKVOModel::uploadSuccess_deleteFailChanged, [&](bool value) { tip = value; });
    page->engine()->deleteFileFromServer(fileAt(0));
    EXPECT_TRUE(tip);
    EXPECT_EQ(page->engine()->queue().fileNormalArray().size(), 1);

    // A file too large fails on the spot with its warning.
    page->didReceiveFiles({QUrl::fromLocalFile(writeHuge(QStringLiteral("huge.iso")))});
    ASSERT_TRUE(TestSupport::waitFor([&] { return rowsShowTheFiles() && shownStatus(table(), 1) == Status::TooLarge; }));
    EXPECT_TRUE(shows(table(), 1, Part::Warning));
    EXPECT_TRUE(shows(table(), 1, Part::Delete));
    EXPECT_EQ(table()->rowLayout(1).failText, QStringLiteral("transferFile_uploadFailed"));
    EXPECT_EQ(table()->rowLayout(1).warningTip, QStringLiteral("transferFile_fileSizeLimitedTo4GLess"));
    EXPECT_EQ(QVTransferFileListCellView::warningKey(Status::TooLarge),
              QStringLiteral("transferFile_fileSizeLimitedTo4GLess"));
}

TEST_F(UploadPage, ABigDropBecomesRowsAtOnceAndEachChangeRedrawsOnlyTheRowsItConcerns)
{
    open();
    constexpr int kFiles = 300;
    QList<QUrl> dropped;
    for (int i = 0; i < kFiles; ++i)
        dropped.append(QUrl::fromLocalFile(write(QStringLiteral("file-%1.txt").arg(i, 3, 10, QLatin1Char('0')), "x")));
    hold(kUploadFile);
    RowChanges changes(table()->model());
    page->didReceiveFiles(dropped);
    // One insertion of every row, at once.
    ASSERT_EQ(changes.inserted.size(), 1);
    EXPECT_EQ(changes.inserted.first(), qMakePair(0, kFiles - 1));
    EXPECT_EQ(table()->numberOfRows(), kFiles);

    // The first file goes; every change until its answer is its own row's.
    ASSERT_TRUE(TestSupport::waitFor([&] { return server.heldCount() == 1 && rowsShowTheFiles(); }));
    EXPECT_FALSE(changes.changedRows.isEmpty());
    EXPECT_EQ(QSet<int>(changes.changedRows.begin(), changes.changedRows.end()), QSet<int>{0});

    // Its answer ends it and starts the next: those two rows change, and
    // no other.
    changes.changedRows.clear();
    server.releaseHeld();
    ASSERT_TRUE(TestSupport::waitFor([&] {
        return server.heldCount() == 1 && fileAt(0)->uploadStatus() == Status::Done && rowsShowTheFiles();
    }));
    EXPECT_EQ(QSet<int>(changes.changedRows.begin(), changes.changedRows.end()), (QSet<int>{0, 1}));
    EXPECT_EQ(shownStatus(table(), 1), Status::Uploading);
    EXPECT_EQ(shownStatus(table(), 2), Status::Waiting);
    EXPECT_EQ(changes.resets, 0);
    EXPECT_EQ(changes.inserted.size(), 1);
}

TEST_F(UploadPage, TheRowsButtonsAndTipsAnswerThePointer)
{
    open(QSize(700, 640));
    page->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(page.data()));
    // A refused file, then one too large.
    server.setBusy(true);
    const QString refused = write(QStringLiteral("archive.zip"), patternBytes(20000, 7));
    page->didReceiveFiles({QUrl::fromLocalFile(refused), QUrl::fromLocalFile(writeHuge(QStringLiteral("huge.iso")))});
    ASSERT_TRUE(TestSupport::waitFor([&] {
        return page->engine()->queue().workQueue().isEmpty() && rowsShowTheFiles() && page->checkShowingAlert();
    }));
    EXPECT_EQ(page->defaultAlertVC()->contentLabel()->text(), QStringLiteral("alert_transferFile_CPULoad"));
    page->removeAlertVC();
    EXPECT_EQ(shownStatus(table(), 0), Status::Failed);
    EXPECT_TRUE(shows(table(), 0, Part::Continue));

    // The pointer on a warning shows why; on a button, the button dims.
    const QRect warning = partRect(table(), 1, Part::Warning);
    movePointer(table(), warning.center());
    ASSERT_NE(table()->openTip(), nullptr);
    auto *content = qobject_cast<QVPopoverViewController *>(table()->openTip()->contentViewController());
    ASSERT_TRUE(content);
    EXPECT_EQ(content->titleText(), QStringLiteral("transferFile_fileSizeLimitedTo4GLess"));
    EXPECT_EQ(table()->hoveredPart(1), Part::Warning);
    movePointer(table(), partRect(table(), 1, Part::Delete).center());
    EXPECT_EQ(table()->hoveredPart(1), Part::Delete);
    EXPECT_EQ(table()->openTip(), nullptr);
    EXPECT_EQ(table()->hoveredPart(0), Part::NoPart);

    // The name's tip is the whole name, shown as it is, over the name only.
    const QVTransferRowDelegate::RowLayout row = table()->rowLayout(0);
    QHelpEvent overName(QEvent::ToolTip, row.name.center(), table()->viewport()->mapToGlobal(row.name.center()));
    QCoreApplication::sendEvent(table()->viewport(), &overName);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), QStringLiteral("<qt>archive.zip</qt>"));
    const QPoint onDelete = row.deleteButton.center();
    QHelpEvent overDelete(QEvent::ToolTip, onDelete, table()->viewport()->mapToGlobal(onDelete));
    QCoreApplication::sendEvent(table()->viewport(), &overDelete);
    EXPECT_TRUE(TestSupport::waitFor([] { return !QToolTip::isVisible(); }));

    // Delete takes the warned file away at once (the server never saw it).
    ASSERT_TRUE(clickPart(table(), 1, Part::Delete));
    EXPECT_EQ(table()->numberOfRows(), 1);
    EXPECT_EQ(page->engine()->queue().fileNormalArray().size(), 1);

    // A press on one button and a release on another is no click.
    const int requests = server.requestCount();
    QTest::mousePress(table()->viewport(), Qt::LeftButton, {}, partRect(table(), 0, Part::Continue).center());
    QTest::mouseRelease(table()->viewport(), Qt::LeftButton, {}, partRect(table(), 0, Part::Delete).center());
    EXPECT_EQ(table()->numberOfRows(), 1);
    EXPECT_EQ(fileAt(0)->uploadStatus(), Status::Failed);
    EXPECT_EQ(server.requestCount(), requests);

    // Continue sends the refused file again, and now the device takes it.
    server.setBusy(false);
    ASSERT_TRUE(clickPart(table(), 0, Part::Continue));
    ASSERT_TRUE(TestSupport::waitFor([&] { return rowsShowTheFiles() && shownStatus(table(), 0) == Status::Done; }));
    EXPECT_EQ(server.uploadedFile(QStringLiteral("archive.zip")), patternBytes(20000, 7));
    EXPECT_TRUE(shows(table(), 0, Part::Done));
}

TEST_F(UploadPage, ALostCastingConnectionLeavesAtOnceOnlyBeforeFilesWereAdded)
{
    open();
    kvo.setDisconnectDeviceType(1);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !host.shown.isEmpty(); }));
    EXPECT_EQ(host.shown, QStringList{QStringLiteral("QVMainViewController")});
    EXPECT_FALSE(tools()->isInToUploadFilePage());
    delete page.data();
    host.shown.clear();

    open();
    page->didReceiveFiles({QUrl::fromLocalFile(write(QStringLiteral("a.txt"), "a"))});
    kvo.setDisconnectDeviceType(2);
    // Nothing happens by itself: the page stays.
    TestSupport::spin(100);
    EXPECT_TRUE(host.shown.isEmpty());
    EXPECT_TRUE(page->tavlinDisconnect());
    // The user leaves later: to the device list, not the casting screen.
    page->backToPreviousPage();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !host.shown.isEmpty(); }));
    EXPECT_EQ(host.shown, QStringList{QStringLiteral("QVMainViewController")});

    // A user leaving while connected goes back to the casting screen.
    delete page.data();
    host.shown.clear();
    open();
    kvo.setDisconnectDeviceType(4);
    page->backToPreviousPage();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !host.shown.isEmpty(); }));
    EXPECT_EQ(host.shown, QStringList{QStringLiteral("QVShareScreenViewController")});
}

TEST_F(UploadPage, ALongFileNameIsCutInItsMiddleInsideTheRowAndKeepsTheWholeNameInItsTip)
{
    open(QSize(500, 640));
    const QString name = QStringLiteral("start-") + QString(160, QLatin1Char('n')) + QStringLiteral(".pdf");
    // Added, not started: the row stays as it is.
    page->addInitialDataWithArray({QUrl::fromLocalFile(write(name, "pdf")),
                                   QUrl::fromLocalFile(write(QStringLiteral("short.pdf"), "pdf"))});
    // Laid out in the drop zone of a page 500 points wide.
    ASSERT_TRUE(TestSupport::waitFor([&] { return table()->isVisible() && table()->width() > 400; }));
    const QFont font = QVTransferRowDelegate::nameFont(table()->font());
    const auto shownName = [&](int row) { return table()->rowLayout(row).shownName; };
    const QString shown = shownName(0);
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << qPrintable(shown);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("start-"))) << qPrintable(shown);
    EXPECT_TRUE(shown.endsWith(QStringLiteral(".pdf"))) << qPrintable(shown);
    const QVTransferRowDelegate::RowLayout row = table()->rowLayout(0);
    EXPECT_LE(QFontMetrics(font).horizontalAdvance(shown), row.name.width());
    EXPECT_GT(row.name.width(), 0);
    EXPECT_LE(row.name.right(), row.progress.left());
    EXPECT_LE(row.progress.right(), row.deleteButton.left());
    EXPECT_LE(row.deleteButton.right(), table()->viewport()->width());
    EXPECT_EQ(table()->model()->index(0, 0).data().toString(), name);
    EXPECT_TRUE(table()->model()->index(0, 0).data(Qt::ToolTipRole).toString().contains(name));
    EXPECT_EQ(shownName(1), QStringLiteral("short.pdf"));

    // Room for the whole name shows it whole.
    page->resize(3000, 640);
    ASSERT_TRUE(TestSupport::waitFor([&] { return shownName(0) == name; }));
}

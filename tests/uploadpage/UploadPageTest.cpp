// The upload page over the uploader and the fake file-share server: what a
// drop hands on, the two layouts and the bottom button's styles as the
// queue runs, the row of a finished file and its delete, and a lost casting
// connection before and after files were added.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVNoPromptAlertController.h"
#include "HttpTestSupport.h"
#include "Main/Model/QVKVOModel.h"
#include "Main/ViewController/TransferFile/QVTransferRowParts.h"
#include "Main/ViewController/TransferFile/QVTransferTableView.h"
#include "Main/ViewController/UploadFile/QVTransferFileListCellView.h"
#include "Main/ViewController/UploadFile/QVTransferFileViewController.h"
#include "Main/ViewController/UploadFile/QVTransferProgressView.h"
#include "PublicManager/QVPageRegistry.h"
#include "PublicManager/QVPublicTools.h"
#include "TransferTestSupport.h"

using namespace TransferTest;
using Status = QVUploadFileModel::Status;

namespace {

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

    void open()
    {
        page = new QVTransferFileViewController(services);
        page->resize(375, 640);
        page->show();
        TestSupport::spin(20);
    }

    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile file(files.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return files.filePath(name);
    }

    qint64 buttonTag() const { return page->transferFileBtn()->property("tag").toLongLong(); }

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
}

TEST_F(UploadPage, LayoutsButtonStylesAndRowsFollowTheQueue)
{
    open();
    EXPECT_TRUE(tools()->isInToUploadFilePage());
    EXPECT_TRUE(page->headView()->isVisible());
    EXPECT_TRUE(page->dragDescribeLabel()->isVisible());
    EXPECT_FALSE(page->tableView()->isVisible());
    EXPECT_EQ(buttonTag(), 100);
    EXPECT_EQ(page->transferFileBtn()->text(), QStringLiteral("transferFile_btn_selectFile"));

    const QByteArray bytes = patternBytes(300000, 4);
    const QString path = write(QStringLiteral("talk.pdf"), bytes);
    page->didReceiveFiles({QUrl::fromLocalFile(path)});
    EXPECT_FALSE(page->bodyView()->allowBack());
    TestSupport::spin(20);
    EXPECT_FALSE(page->headView()->isVisible());
    EXPECT_TRUE(page->tableView()->isVisible());
    EXPECT_EQ(buttonTag(), 101);
    ASSERT_TRUE(TestSupport::waitFor([&] { return buttonTag() == 102; }, 20000));
    EXPECT_EQ(page->transferFileBtn()->text(), QStringLiteral("transferFile_btn_doneUpload"));
    EXPECT_EQ(server.uploadedFile(QStringLiteral("talk.pdf")), bytes);

    TestSupport::spin(20);
    auto *row = qobject_cast<QVTransferFileListCellView *>(page->tableView()->viewAtRow(0));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->titleLabel()->text(), QStringLiteral("talk.pdf"));
    EXPECT_FALSE(row->doneBtn()->isHidden());
    EXPECT_TRUE(row->progressView()->isHidden());
    EXPECT_TRUE(row->deleteBtn()->isHidden());

    // A done file is not deleted: the tip says so.
    bool tip = false;
    QObject::connect(&kvo, &QVKVOModel::uploadSuccess_deleteFailChanged, [&](bool value) { tip = value; });
    page->engine()->deleteFileFromServer(row->itemModel());
    EXPECT_TRUE(tip);
    EXPECT_EQ(page->engine()->queue().fileNormalArray().size(), 1);

    // A file too large fails on the spot with its warning.
    const QString huge = files.filePath(QStringLiteral("huge.iso"));
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(4000000001));
    }
    page->didReceiveFiles({QUrl::fromLocalFile(huge)});
    TestSupport::spin(50);
    auto *warned = qobject_cast<QVTransferFileListCellView *>(page->tableView()->viewAtRow(1));
    ASSERT_NE(warned, nullptr);
    EXPECT_EQ(warned->itemModel()->uploadStatus(), Status::TooLarge);
    EXPECT_FALSE(warned->overrunBtn()->isHidden());
    EXPECT_EQ(warned->failLabel()->text(), QStringLiteral("transferFile_uploadFailed"));
    EXPECT_EQ(QVTransferFileListCellView::warningKey(Status::TooLarge),
              QStringLiteral("transferFile_fileSizeLimitedTo4GLess"));
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

TEST(UploadRow, ALongFileNameIsCutInItsMiddleInsideTheRowAndKeepsTheWholeNameInItsTip)
{
    const QString name = QStringLiteral("start-") + QString(160, QLatin1Char('n')) + QStringLiteral(".pdf");
    auto model = std::make_shared<QVUploadFileModel>(
        QVUploadFileModel::withURL(QUrl::fromLocalFile(QDir::tempPath() + QLatin1Char('/') + name)));
    QVTransferFileListCellView row;
    row.resize(500, 50);
    row.setItemModel(model);
    row.show();
    TestSupport::spin(20);
    const QVTransferRowParts::NameLabel *title = row.titleLabel();
    const QString shown = title->shownText();
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << qPrintable(shown);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("start-"))) << qPrintable(shown);
    EXPECT_TRUE(shown.endsWith(QStringLiteral(".pdf"))) << qPrintable(shown);
    EXPECT_LE(title->fontMetrics().horizontalAdvance(shown), title->contentsRect().width());
    EXPECT_EQ(title->text(), name);
    EXPECT_TRUE(title->toolTip().contains(name));

    // Room for the whole name shows it whole; a row reused for a short name
    // shows that one whole too.
    row.resize(3000, 50);
    TestSupport::spin(20);
    EXPECT_EQ(title->shownText(), name);
    row.resize(500, 50);
    row.setItemModel(std::make_shared<QVUploadFileModel>(
        QVUploadFileModel::withURL(QUrl::fromLocalFile(QDir::tempPath() + QStringLiteral("/short.pdf")))));
    TestSupport::spin(20);
    EXPECT_EQ(title->shownText(), QStringLiteral("short.pdf"));
}

TEST_F(UploadPage, TheDeleteQuestionIsTheUploadsOwn)
{
    tools()->setAlert_uploadFile_noPromptAgain(false);
    open();
    bool deleted = false;
    page->singleDeleteWithAction([&deleted] { deleted = true; });
    ASSERT_TRUE(TestSupport::waitFor([&] { return page->noPromptAlertVC() != nullptr; }));
    // The upload's own question: the download page's asks about the folder.
    EXPECT_EQ(page->noPromptAlertVC()->contentLabel()->text(), QStringLiteral("alert_uploadFile_sureDelete"));
    page->noPromptAlertVC()->doubleRightBtn()->click();
    EXPECT_TRUE(deleted);
}

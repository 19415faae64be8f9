// The whole download road in one: the browser lists the server's folder,
// two files are picked and confirmed into a folder of the test's, the
// receiver list takes the browser's hand-over and asks its host for the
// download page, and that page, built as the program builds it, fetches
// both files from the server into the chosen folder.

#include "BrowserHarness.h"

#include "FakeFileRevealer.h"
#include "Main/ViewController/DownLoadFile/QVDownLoadFileVC.h"
#include "Main/ViewController/Main/QVInputViewController.h"
#include "Main/ViewController/Main/QVMainViewController.h"
#include "Main/ViewController/PermissionPrompt/QVPermissionPromptVC.h"
#include "Main/ViewController/TransferFile/QVTransferTableView.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

namespace {

// Stands in for the main window's page host: makes the download page the
// way the running program does, over the process's own services.
class DownloadPageHost : public QObject, public QVRootViewControllerDelegate
{
public:
    void showNextPageViewWithClassStr(const QString &classStr) override
    {
        shown.append(classStr);
        if (classStr == QVDownLoadFileVC::ClassName && !page) {
            page = new QVDownLoadFileVC({QVDownloadEngineServices::linuxDefaults(), revealer});
            page->resize(800, 560);
            page->show();
        }
    }

    QStringList shown;
    QPointer<QVDownLoadFileVC> page;
    std::shared_ptr<Platform::Fake::FakeFileRevealer> revealer = std::make_shared<Platform::Fake::FakeFileRevealer>();
};

class DownloadRoadTest : public BrowserHarness
{
protected:
    void SetUp() override
    {
        BrowserHarness::SetUp();
        // Large enough to arrive in many pieces, and not the same byte over
        // and over, so a misplaced or repeated piece shows.
        QRandomGenerator random(7);
        large.resize(700 * 1024);
        for (char &byte : large)
            byte = char(random.bounded(256));
        server.addFile(QStringLiteral("Root-Local/large.bin"), large, QStringLiteral("OTHER"), 998);
        // Nothing may ask for a newer version while the receiver list is up.
        QVMainViewController::setVersionCheck({});
        QVPublicTools::sharedPublicTools()->setShowNextViewDelegate(&host);
    }

    void TearDown() override
    {
        delete host.page.data();
        delete receiverList.data();
        QVPublicTools::sharedPublicTools()->setShowNextViewDelegate(nullptr);
        BrowserHarness::TearDown();
    }

    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QByteArray large;
    DownloadPageHost host;
    QPointer<QVMainViewController> receiverList;
};

} // namespace

TEST_F(DownloadRoadTest, PickedFilesArriveByteForByteInTheChosenFolder)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    receiverList = new QVMainViewController;
    open();
    ASSERT_GE(indexOf(QStringLiteral("large.bin")), 0);
    ASSERT_GE(indexOf(QStringLiteral("report.pdf")), 0);
    clickItem(QStringLiteral("large.bin"));
    clickItem(QStringLiteral("report.pdf"));

    page->confirmBtnClick();
    ASSERT_TRUE(pendingChoice);
    pendingChoice(QUrl::fromLocalFile(folder.path()));

    // The receiver list, not the test, turns the browser's notice into the
    // download page.
    ASSERT_TRUE(TestSupport::waitFor([&] { return !host.page.isNull(); }, 5000));
    EXPECT_EQ(host.shown, QStringList{QVDownLoadFileVC::ClassName});
    QVDownLoadFileVC *downloads = host.page.data();
    ASSERT_EQ(downloads->engine()->queue().fileNormalArray().mutableArray().size(), 2);

    const auto finished = [&] {
        if (!downloads->engine()->queue().workQueue().isEmpty())
            return false;
        for (const auto &file : downloads->engine()->queue().fileNormalArray().mutableArray()) {
            if (file->downLoadStatus() != QVDownLoadFileModel::Status::Done)
                return false;
        }
        return true;
    };
    ASSERT_TRUE(TestSupport::waitFor(finished, 30000));

    const QDir chosen(folder.path());
    EXPECT_EQ(chosen.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"large.bin", "report.pdf"}));
    EXPECT_EQ(contents(chosen.filePath(QStringLiteral("large.bin"))), large);
    EXPECT_EQ(contents(chosen.filePath(QStringLiteral("report.pdf"))), QByteArray(3000, 'r'));
}

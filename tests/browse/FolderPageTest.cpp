// The download folder page of the settings window: what it shows for a
// folder stored, missing or gone, and how the dialog's answers change it.

#include "FrameTestSupport.h"

#include "BaseViewController/View/QVBaseButton.h"
#include "Main/ViewController/DownLoadFilePath/QVDownLoadFilePathSettingVC.h"
#include "Main/ViewController/Root/QVPageHost.h"

#include <QDir>
#include <QLabel>
#include <QTemporaryDir>

class FolderPageTest : public FrameTest::Fixture
{
protected:
    void SetUp() override
    {
        FrameTest::Fixture::SetUp();
        store()->remove(QVPublicTools::DownLoadFilePathKey);
        QVDownLoadFilePathSettingVC::setFolderChooser([this](QWidget *, const QString &title,
                                                             std::function<void(const QUrl &)> done) {
            titles.append(title);
            pending = std::move(done);
        });
    }
    void TearDown() override
    {
        QVDownLoadFilePathSettingVC::setFolderChooser(nullptr);
        store()->remove(QVPublicTools::DownLoadFilePathKey);
        FrameTest::Fixture::TearDown();
    }
    static std::shared_ptr<Platform::KeyValueStore> store()
    {
        return QVPublicTools::sharedPublicTools()->userDefaults();
    }

    QStringList titles;
    std::function<void(const QUrl &)> pending;
};

TEST_F(FolderPageTest, ShowsTheStoredFolderAndChangesItOnlyOnAChoice)
{
    QTemporaryDir first;
    QTemporaryDir second;
    {
        QVDownLoadFilePathSettingVC page;
        EXPECT_EQ(page.filePathLabel()->text(), QStringLiteral("downLoad_filePath_tipsShow"));
        EXPECT_EQ(page.titleLabel()->text(), QStringLiteral("downLoad_filePath_setting"));
        EXPECT_FALSE(page.checkIsSaveBookMark());

        page.settingBtn()->click();
        EXPECT_EQ(titles, QStringList{"downLoad_filePath_selectTitle"});
        pending(QUrl());
        EXPECT_FALSE(store()->contains(QVPublicTools::DownLoadFilePathKey));
        EXPECT_EQ(page.filePathLabel()->text(), QStringLiteral("downLoad_filePath_tipsShow"));

        // A choice: stored, and shown as a plain path.
        page.settingBtn()->click();
        pending(QUrl::fromLocalFile(first.path()));
        EXPECT_EQ(page.filePathLabel()->text(), QDir::toNativeSeparators(first.path()));
        EXPECT_TRUE(page.checkIsSaveBookMark());
        page.settingBtn()->click();
        pending(QUrl::fromLocalFile(second.path()));
        EXPECT_EQ(QVPublicTools::sharedPublicTools()->getDownLoadFilePathWithBookMark(),
                  QUrl::fromLocalFile(second.path()));
        // A cancel keeps it.
        page.settingBtn()->click();
        pending(QUrl());
        EXPECT_EQ(page.filePathLabel()->text(), QDir::toNativeSeparators(second.path()));
    }
    // The next visit shows it as a "file:" address.
    QVDownLoadFilePathSettingVC again;
    EXPECT_EQ(again.filePathLabel()->text(), QUrl::fromLocalFile(second.path()).toString());
}

TEST_F(FolderPageTest, AFolderThatIsGoneShowsTheHintAndStaysStored)
{
    QString gone;
    {
        QTemporaryDir folder;
        gone = folder.path();
        QVPublicTools::sharedPublicTools()->saveDownLoadFilePathWithWithUrl(QUrl::fromLocalFile(gone));
    }
    QVDownLoadFilePathSettingVC page;
    EXPECT_EQ(page.filePathLabel()->text(), QStringLiteral("downLoad_filePath_tipsShow"));
    EXPECT_FALSE(page.checkIsSaveBookMark());
    EXPECT_EQ(store()->value(QVPublicTools::DownLoadFilePathKey).toString(), gone);
}

TEST_F(FolderPageTest, TheSettingsWindowOpensItAndItsBackButtonLeads)
{
    standIn(QStringLiteral("QVSettingViewController"), true);
    QVSettingRootViewController host;
    host.showSettingNextPageViewWithClassStr(QVDownLoadFilePathSettingVC::ClassName);
    auto *page = qobject_cast<QVDownLoadFilePathSettingVC *>(host.currentViewController());
    ASSERT_NE(page, nullptr);
    page->backBtn()->click();
    EXPECT_EQ(host.currentViewController()->objectName(), QStringLiteral("QVSettingViewController"));
}

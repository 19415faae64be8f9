#pragma once

// The remote file browser as the download window shows it, against the
// fake file-share server on a loopback address of the test's own: a share
// manager over the fake casting library carries the server's address, the
// browser's wall clock is the test's to move, its countdown ticks every
// few milliseconds, and the folder dialog is the test's.

#include "FrameTestSupport.h"

#include "AFNetwork/QVHttpBaseRequest.h"
#include "AFNetwork/QVNetWork.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "Main/Browse/QVEncryptLockout.h"
#include "Main/Browse/QVProtectedRoot.h"
#include "Main/Browse/QVRemoteBrowser.h"
#include "Main/Browse/QVRemoteFolderModel.h"
#include "Main/Browse/QVRootMenuModel.h"
#include "Main/Browse/QVSortAndLayout.h"
#include "Main/ViewController/DownLoadFilePath/QVDownLoadFilePathSettingVC.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadFileListView.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadFileMenuView.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadSelectFileVC.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadSortMenuView.h"
#include "Main/ViewController/DownLoadSelectFile/QVEncryptPanelView.h"
#include "Main/ViewController/DownLoadSelectFile/QVFilePathView.h"
#include "Main/ViewController/Root/QVTipsBanner.h"
#include "PublicManager/QVNotificationCenter.h"

#include "FakeFileShareServer.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

class BrowserHarness : public FrameTest::Fixture
{
protected:
    static constexpr qint64 WallStart = 1700000000;
    static constexpr int CountdownMs = 20;

    void SetUp() override
    {
        FrameTest::Fixture::SetUp();
        ASSERT_TRUE(server.listen(TestSupport::uniqueLoopbackAddress()));
        server.addFile(QStringLiteral("Root-Local/report.pdf"), QByteArray(3000, 'r'), QStringLiteral("PDF"), 1000);
        server.addFile(QStringLiteral("Root-Local/notes.txt"), QByteArray("notes"), QStringLiteral("DOCUMENT"), 999);
        server.addFile(QStringLiteral("Root-Local/docs/plan.doc"), QByteArray("plan"), QStringLiteral("DOC"), 5);
        server.addFile(QStringLiteral("Root-Local/docs/deep/inner.txt"), QByteArray("inner"), QStringLiteral("DOCUMENT"));
        server.addFolder(QStringLiteral("Root-Download/only folders"));
        manager->setFileShareIp(server.baseUrl());
        QVNetWork::shareNetWork()->setIsConnect(true);
        store()->remove(QVSortAndLayout::LayoutSettingKey);
        store()->remove(QVSortAndLayout::SortSettingKey);
        store()->remove(QVEncryptLockout::StoreKey);
        store()->remove(QVPublicTools::DownLoadFilePathKey);

        QVDownLoadSelectFileVC::setDefaultServices(services());
        QVDownLoadFilePathSettingVC::setFolderChooser([this](QWidget *, const QString &title,
                                                             std::function<void(const QUrl &)> done) {
            chooserTitles.append(title);
            pendingChoice = std::move(done);
        });
        QVNotificationCenter *center = QVNotificationCenter::defaultCenter();
        for (const QString &name : {QVNotificationName::MainDownLoadFileBtnClick,
                                    QVNotificationName::MainDownLoadFileList_Jump}) {
            center->addObserver(&m_listener, name, [this, name](const QVariantMap &info) {
                posted.append({name, info});
            });
        }
    }

    void TearDown() override
    {
        delete page.data();
        QVDownLoadSelectFileVC::resetDefaultServices();
        QVDownLoadFilePathSettingVC::setFolderChooser(nullptr);
        QVHttpBaseRequest::setDefaultTimings(QVHttpTimings());
        QVNetWork::shareNetWork()->setIsConnect(true);
        QVPublicTools::sharedPublicTools()->setDownLoadFileListArray({});
        QVPublicTools::sharedPublicTools()->setDownLoadFilePassWord(QStringLiteral(""));
        FrameTest::Fixture::TearDown();
    }

    // The program's services with the test's clock and a quick countdown.
    QVRemoteBrowserServices services() const
    {
        QVRemoteBrowserServices services = QVRemoteBrowserServices::linuxDefaults();
        services.countdownMs = CountdownMs;
        const std::shared_ptr<qint64> clock = wall;
        services.wallSeconds = [clock] { return *clock; };
        return services;
    }

    static std::shared_ptr<Platform::KeyValueStore> store()
    {
        return QVPublicTools::sharedPublicTools()->userDefaults();
    }

    // A browser as its window makes it, once its first answers are in.
    QVDownLoadSelectFileVC *open()
    {
        delete page.data();
        page = new QVDownLoadSelectFileVC;
        page->resize(900, 620);
        page->show();
        settle();
        return page.data();
    }

    // Until every queued choice is made and no request is out.
    void settle(int timeoutMs = 5000)
    {
        if (page)
            QCoreApplication::sendPostedEvents(page.data(), QEvent::MetaCall);
        EXPECT_TRUE(TestSupport::waitFor([this] { return page && !page->isLoading(); }, timeoutMs));
    }

    QStringList shownNames() const
    {
        QStringList names;
        for (const QVRemoteFileEntryPtr &entry : page->fileListArray())
            names.append(entry->name);
        return names;
    }
    QStringList pathNames() const
    {
        QStringList names;
        for (const QVRemoteFileEntryPtr &entry : page->topDirArray())
            names.append(entry->name);
        return names;
    }
    int indexOf(const QString &name) const { return static_cast<int>(shownNames().indexOf(name)); }
    QVRemoteFileEntryPtr entryNamed(const QString &name) const { return page->folder()->entry(indexOf(name)); }
    QPoint itemCentre(const QString &name) const
    {
        return page->fileListCollectionView()->itemRect(indexOf(name)).center();
    }
    void clickItem(const QString &name)
    {
        QTest::mouseClick(page->fileListCollectionView()->viewport(), Qt::LeftButton, {}, itemCentre(name));
    }
    void doubleClickItem(const QString &name)
    {
        QWidget *viewport = page->fileListCollectionView()->viewport();
        const QPoint at = itemCentre(name);
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
        settle();
    }
    void clickRoot(int section, int item)
    {
        QVDownLoadFileMenuView *menu = page->menuListCollectionView();
        QTest::mouseClick(menu->viewport(), Qt::LeftButton, {}, menu->rootRect(section, item).center());
        settle();
    }
    bool rootMarked(int section, int item) const
    {
        QVRootMenuModel *menu = page->browser()->rootMenu();
        return menu->index(menu->rowOf(section, item)).data(QVRootMenuModel::SelectedRole).toBool();
    }
    void typePassword(const QString &text)
    {
        QLineEdit *field = page->secureTextField();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, text);
    }

    FakeServers::FakeFileShareServer server;
    // The browser's wall clock, in seconds since 1970.
    std::shared_ptr<qint64> wall = std::make_shared<qint64>(WallStart);
    QPointer<QVDownLoadSelectFileVC> page;
    QStringList chooserTitles;
    std::function<void(const QUrl &)> pendingChoice;
    QList<QPair<QString, QVariantMap>> posted;

private:
    QObject m_listener;
};

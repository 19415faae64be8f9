#pragma once

// The remote file browser as the download window shows it, against the
// fake file-share server on a loopback address of the test's own: a share
// manager over the fake casting library carries the server's address, the
// browser's clocks run scaled, and the folder dialog is the test's.

#include "FrameTestSupport.h"

#include "AFNetwork/QVHttpBaseRequest.h"
#include "AFNetwork/QVNetWork.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "Main/ViewController/DownLoadFilePath/QVDownLoadFilePathSettingVC.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadFileItems.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadSelectFileVC.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadSortMenuView.h"
#include "Main/ViewController/DownLoadSelectFile/QVFilePathView.h"
#include "Main/ViewController/Root/QVTipsBanner.h"
#include "PublicManager/QVNotificationCenter.h"

#include "FakeFileShareServer.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

class BrowserHarness : public FrameTest::Fixture
{
protected:
    // Seconds of the lock-out per real millisecond.
    static constexpr qint64 ClockScale = 10;

    void SetUp() override
    {
        FrameTest::Fixture::SetUp();
        overrides.clear();
        ASSERT_TRUE(server.listen(TestSupport::uniqueLoopbackAddress()));
        server.addFile(QStringLiteral("Root-Local/report.pdf"), QByteArray(3000, 'r'), QStringLiteral("PDF"), 1000);
        server.addFile(QStringLiteral("Root-Local/notes.txt"), QByteArray("notes"), QStringLiteral("DOCUMENT"), 999);
        server.addFile(QStringLiteral("Root-Local/docs/plan.doc"), QByteArray("plan"), QStringLiteral("DOC"), 5);
        server.addFile(QStringLiteral("Root-Local/docs/deep/inner.txt"), QByteArray("inner"), QStringLiteral("DOCUMENT"));
        server.addFolder(QStringLiteral("Root-Download/only folders"));
        manager->setFileShareIp(server.baseUrl());
        QVNetWork::shareNetWork()->setIsConnect(true);
        store()->remove(QVDownLoadSelectFileVC::LayoutSettingKey);
        store()->remove(QVDownLoadSelectFileVC::SortSettingKey);
        store()->remove(QVEncryptLockout::StoreKey);
        store()->remove(QVPublicTools::DownLoadFilePathKey);

        m_clock.start();
        QVDownLoadSelectFileTimings timings;
        timings.countdownMs = 20;
        const QElapsedTimer *clock = &m_clock;
        timings.wallSeconds = [clock] { return WallStart + clock->elapsed() * ClockScale; };
        timings.monotonicMs = [clock] { return clock->elapsed() * ClockScale * 1000; };
        QVDownLoadSelectFileVC::setDefaultTimings(timings);
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
        QVDownLoadSelectFileVC::setDefaultTimings(QVDownLoadSelectFileTimings::systemClocks());
        QVDownLoadFilePathSettingVC::setFolderChooser(nullptr);
        QVHttpBaseRequest::setDefaultTimings(QVHttpTimings());
        QVNetWork::shareNetWork()->setIsConnect(true);
        QVPublicTools::sharedPublicTools()->setDownLoadFileListArray({});
        QVPublicTools::sharedPublicTools()->setDownLoadFilePassWord(QStringLiteral(""));
        FrameTest::Fixture::TearDown();
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

    // Until no request is out and the page has taken every answer.
    void settle(int timeoutMs = 5000)
    {
        TestSupport::waitFor([this] { return page && !page->isLoading(); }, timeoutMs);
        TestSupport::spin(20);
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
    void clickItem(const QString &name)
    {
        QTest::mouseClick(page->fileItem(indexOf(name)), Qt::LeftButton, {}, QPoint(30, 30));
    }
    void doubleClickItem(const QString &name)
    {
        QWidget *item = page->fileItem(indexOf(name));
        QTest::mouseClick(item, Qt::LeftButton, {}, QPoint(30, 30));
        QTest::mouseDClick(item, Qt::LeftButton, {}, QPoint(30, 30));
        TestSupport::spin(10);
        settle();
    }
    void clickRoot(int section, int item)
    {
        QTest::mouseClick(page->menuItem(section, item), Qt::LeftButton, {}, QPoint(60, 15));
        TestSupport::spin(10);
        settle();
    }
    void typePassword(const QString &text)
    {
        QLineEdit *field = page->secureTextField();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, text);
    }

    static constexpr qint64 WallStart = 1700000000;

    FakeServers::FakeFileShareServer server;
    QPointer<QVDownLoadSelectFileVC> page;
    QStringList chooserTitles;
    std::function<void(const QUrl &)> pendingChoice;
    QList<QPair<QString, QVariantMap>> posted;

private:
    QElapsedTimer m_clock;
    QObject m_listener;
};

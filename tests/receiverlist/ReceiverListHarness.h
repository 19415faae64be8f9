#pragma once

// The receiver list as the main window shows it: the main window's page
// host over whatever share manager the test installs, with the real list
// page, stand-ins for the pages it leads to, and a short tip banner.

#include "FrameTestSupport.h"

#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVBuleCursorTextField.h"
#include "BaseViewController/View/QVLoadingView.h"
#include "BaseViewController/View/QVRotatingButton.h"
#include "Main/ViewController/Main/QVInputViewController.h"
#include "Main/ViewController/Main/QVMainListCellView.h"
#include "Main/ViewController/Main/QVMainViewController.h"
#include "Main/ViewController/PermissionPrompt/QVPermissionPromptVC.h"
#include "Main/ViewController/Root/QVRootViewController.h"

#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

class ReceiverListHarness
{
public:
    // Installs `manager` as the process's and opens the main window's host
    // on the receiver list.
    void setUpHarness(QVShareManager *manager)
    {
        QVShareManager::setSharedShareManager(manager);
        m_manager = manager;
        // Past the first start, so that every appearance checks the
        // permissions; and no codes remembered from another test.
        store()->setValue(QVMainViewController::AppFirstUsedKey, QStringLiteral("1"));
        store()->remove(QVPublicTools::ConnectStorageModelKey);
        for (const QString &name : {QVMainViewController::ShareScreenClassName,
                                    QVMainViewController::DownLoadFileClassName}) {
            m_overrides.push_back(std::make_unique<QVPageRegistry::Override>(
                name, [name]() -> QWidget * { return new StandInPage(name, false); }));
        }
        root = std::make_unique<QVRootViewController>();
        root->resize(375, 640);
        root->show();
        QVTipsTimings timings;
        timings.fadeInMs = 10;
        timings.holdMs = 50;
        timings.fadeOutMs = 10;
        root->tipsBanner()->setTimings(timings);
        bannerSpy = std::make_unique<QSignalSpy>(root->tipsBanner(), &QVTipsBanner::tipsShown);
        ASSERT_TRUE(TestSupport::waitFor([this] { return currentPageName() == QVMainViewController::ClassName; }));
        page = qobject_cast<QVMainViewController *>(root->currentViewController());
        ASSERT_NE(page, nullptr);
        // What the page queued as it loaded runs before the test starts.
        TestSupport::runPostedEvents();
    }

    void tearDownHarness()
    {
        bannerSpy.reset();
        root.reset();
        page = nullptr;
        QVPublicTools::sharedPublicTools()->vcCacheDictionary().clear();
        FrameTest::runDeferredDeletes();
        m_overrides.clear();
        QVShareManager::setSharedShareManager(nullptr);
    }

    static std::shared_ptr<Platform::KeyValueStore> store()
    {
        return QVPublicTools::sharedPublicTools()->userDefaults();
    }

    static std::optional<QVStorageModel> remembered(const QString &address)
    {
        return QVPublicTools::sharedPublicTools()->checkStorageModelWithDeviceIP(address,
                                                                                 QVPublicTools::ConnectStorageModelKey);
    }

    static void remember(const QString &name, const QString &address, const QString &code)
    {
        QVStorageModel model;
        model.setDeviceName(name);
        model.setDeviceIP(address);
        model.setScreenCastingCode(code);
        QVPublicTools::sharedPublicTools()->saveConnectStorageModel(model, QVPublicTools::ConnectStorageModelKey);
    }

    QString currentPageName() const
    {
        QWidget *current = root ? root->currentViewController() : nullptr;
        return current ? current->objectName() : QString();
    }

    QVMainListCellView *row(int index) const
    {
        QListWidgetItem *item = page->tableView()->item(index);
        return item ? qobject_cast<QVMainListCellView *>(page->tableView()->itemWidget(item)) : nullptr;
    }
    int rowCount() const { return page->tableView()->count(); }

    // The code dialog once it is up (it comes on the next turn of the loop).
    QVInputViewController *waitForDialog(int timeoutMs = 10000) const
    {
        TestSupport::waitFor([this] { return page->alertVC() && page->alertVC()->isVisible(); }, timeoutMs);
        return page->alertVC();
    }

    // Replaces whatever the field holds with `code`, as typed.
    static void typeCode(QVInputViewController *dialog, const QString &code)
    {
        QVBuleCursorTextField *field = dialog->codeTextField();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, code);
    }
    static void pressReturn(QVInputViewController *dialog) { QTest::keyClick(dialog->codeTextField(), Qt::Key_Return); }

    // The banner's messages so far, and then none.
    QStringList takeBanners()
    {
        QStringList texts;
        for (const QList<QVariant> &call : std::as_const(*bannerSpy))
            texts.append(call.at(0).toString());
        bannerSpy->clear();
        return texts;
    }
    bool waitForBanner(const QString &text, int timeoutMs = 10000)
    {
        return TestSupport::waitFor(
            [&] {
                for (const QList<QVariant> &call : std::as_const(*bannerSpy)) {
                    if (call.at(0).toString() == text)
                        return true;
                }
                return false;
            },
            timeoutMs);
    }

    std::unique_ptr<QVRootViewController> root;
    QVMainViewController *page = nullptr;
    std::unique_ptr<QSignalSpy> bannerSpy;

private:
    QVShareManager *m_manager = nullptr;
    std::vector<std::unique_ptr<QVPageRegistry::Override>> m_overrides;
};

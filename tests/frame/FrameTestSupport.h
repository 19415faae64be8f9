#pragma once

// What the tests of the program's frame share: a share manager over the
// fake casting library installed as the process's one, stand-in pages under
// the names the hosts start with, and a settings store of the test's own.

#include "FakeTavlin.h"

#include "Main/Model/QVKVOModel.h"
#include "PublicManager/QVPageRegistry.h"
#include "PublicManager/QVPublicTools.h"
#include "PublicManager/QVShareManager.h"

#include "FakePlatform.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// A page that can enter the page cache as a real page does, and count.
class StandInPage : public QWidget
{
    Q_OBJECT
public:
    explicit StandInPage(const QString &className, bool cached)
        : m_className(className)
    {
        setObjectName(className);
        ++made();
        if (cached)
            QVPublicTools::sharedPublicTools()->vcCacheDictionary().insert(className, this);
    }
    ~StandInPage() override { ++destroyed(); }

    QString className() const { return m_className; }

    static int &made()
    {
        static int count = 0;
        return count;
    }
    static int &destroyed()
    {
        static int count = 0;
        return count;
    }

private:
    QString m_className;
};

// Stands in for the desktop's browser: QDesktopServices hands it the
// addresses the program opens.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls.append(url); }
};

namespace FrameTest {

// Runs the deletions that deleteLater() scheduled.
inline void runDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class Fixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        StandInPage::made() = 0;
        StandInPage::destroyed() = 0;
        manager = std::make_unique<QVShareManager>(fakeServices(fake, capture));
        QVShareManager::setSharedShareManager(manager.get());
        // The hosts' first pages; cached like the real ones.
        standIn(QStringLiteral("QVMainViewController"), true);
        standIn(QStringLiteral("QVSettingViewController"), true);
        standIn(QStringLiteral("QVDownLoadSelectFileVC"), true);
    }

    void TearDown() override
    {
        QVPublicTools::sharedPublicTools()->vcCacheDictionary().clear();
        QVPublicTools::sharedPublicTools()->setIsInToUploadFilePage(false);
        runDeferredDeletes();
        overrides.clear();
        QVShareManager::setSharedShareManager(nullptr);
        manager.reset();
        runDeferredDeletes();
    }

    // Pages under `className` are StandInPages for the test.
    void standIn(const QString &className, bool cached)
    {
        overrides.push_back(std::make_unique<QVPageRegistry::Override>(
            className, [className, cached]() -> QWidget * { return new StandInPage(className, cached); }));
    }

    QVPageCache &cache() { return QVPublicTools::sharedPublicTools()->vcCacheDictionary(); }
    QVKVOModel *model() const { return manager->kvoModel(); }
    TavlinDelegate *library() const { return fake->delegate; }

    std::shared_ptr<FakeTavlin::Shared> fake = std::make_shared<FakeTavlin::Shared>();
    std::shared_ptr<Platform::Fake::FakeScreenCaptureAccess> capture =
        std::make_shared<Platform::Fake::FakeScreenCaptureAccess>();
    std::unique_ptr<QVShareManager> manager;
    std::vector<std::unique_ptr<QVPageRegistry::Override>> overrides;
};

} // namespace FrameTest

#pragma once

// What the settings tests share: a share manager over the fake casting
// library as the process's one, the fake web service as the maker's service
// (its address for the version check, feedback and the web site), short
// timings, and the desktop's browser replaced by a recorder.

#include "FakeWebService.h"
#include "FrameTestSupport.h"

#include "Main/Model/QVKVOModel.h"
#include "Main/ViewController/Setting/QVSettingTimings.h"
#include "PublicManager/QVPublicTools.h"
#include "PublicManager/QVShareManager.h"
#include "QVHttpBaseRequest.h"
#include "QVNetWork.h"
#include "QVServiceAddresses.h"

#include "FakePlatform.h"
#include "FakePlatformServices.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QSettings>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace SettingsTest {

using FrameTest::runDeferredDeletes;

// The platform services the program in this suite runs over.
Platform::Fake::FakePlatformServices &platformFakes();

// A spoiling rule for the fake service, its members named.
inline FakeServers::FaultRule fault(FakeServers::Fault kind, int delayMs = 0, qint64 value = 0, QByteArray body = {})
{
    FakeServers::FaultRule rule;
    rule.fault = kind;
    rule.delayMs = delayMs;
    rule.value = value;
    rule.body = std::move(body);
    return rule;
}

inline QString localizable(const char *key)
{
    return QCoreApplication::translate("Localizable", key);
}

class Fixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings settings;
        settings.clear();
        platformFakes().remoteInputConsent->given = false;
        platformFakes().remoteInputConsent->writes = 0;
        manager = std::make_unique<QVShareManager>(fakeServices(fake, capture));
        QVShareManager::setSharedShareManager(manager.get());
        QVNetWork::shareNetWork()->setIsConnect(true);
        ASSERT_TRUE(server.listen(TestSupport::uniqueLoopbackAddress()));
        setAddresses(server.baseUrl(), server.baseUrl(), server.baseUrl());

        QVSettingTimings timings;
        timings.feedbackReturnMs = 150;
        timings.aboutClickWindowMs = 400;
        timings.tips = QVTipsTimings{20, 100, 20};
        QVSettingTimings::setCurrent(timings);
        // Far beyond what an answer takes on a slow machine, short enough
        // for the cases that wait for a time-out.
        QVHttpTimings http;
        http.requestTimeout = std::chrono::milliseconds(4000);
        http.feedbackTimeout = std::chrono::milliseconds(4000);
        QVHttpBaseRequest::setDefaultTimings(http);

        QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
    }

    void TearDown() override
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QVPublicTools::sharedPublicTools()->vcCacheDictionary().clear();
        runDeferredDeletes();
        QVShareManager::setSharedShareManager(nullptr);
        manager.reset();
        runDeferredDeletes();
        QVSettingTimings::setCurrent(QVSettingTimings());
        QVHttpBaseRequest::setDefaultTimings(QVHttpTimings());
        QVNetWork::shareNetWork()->setIsConnect(true);
        QSettings().clear();
    }

    // The maker's three addresses; an empty one turns its feature off.
    static void setAddresses(const QString &webService, const QString &apiServer, const QString &webSite)
    {
        QSettings settings;
        settings.setValue(QVServiceAddresses::kWebServiceKey, webService);
        settings.setValue(QVServiceAddresses::kApiServerKey, apiServer);
        settings.setValue(QVServiceAddresses::kWebSiteKey, webSite);
    }

    QVKVOModel *model() const { return manager->kvoModel(); }
    QVPageCache &cache() { return QVPublicTools::sharedPublicTools()->vcCacheDictionary(); }

    std::shared_ptr<FakeTavlin::Shared> fake = std::make_shared<FakeTavlin::Shared>();
    std::shared_ptr<Platform::Fake::FakeScreenCaptureAccess> capture =
        std::make_shared<Platform::Fake::FakeScreenCaptureAccess>();
    std::unique_ptr<QVShareManager> manager;
    FakeServers::FakeWebService server;
    UrlRecorder browser;
};

} // namespace SettingsTest

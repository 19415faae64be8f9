// The feedback form: submit is usable exactly while there is something to
// send; the request carries this installation's fields and the text; only
// the service's acceptance counts as sent, everything else says the network
// is bad and keeps the text.

#include "SettingsTestSupport.h"

#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVFeedbackContentTextView.h"
#include "BaseViewController/View/QVLoadingView.h"
#include "Main/ViewController/Root/QVPageHost.h"
#include "Main/ViewController/Root/QVTipsBanner.h"
#include "Main/ViewController/Setting/QVFeedbackViewController.h"
#include "Main/ViewController/Setting/QVSettingViewController.h"
#include "PublicManager/QVPageRegistry.h"
#include "QVWebServiceApi.h"

#include <QElapsedTimer>
#include <QAbstractButton>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>

using namespace FakeServers;
using SettingsTest::runDeferredDeletes;
using TestSupport::spin;
using TestSupport::waitFor;

namespace {

struct Tip {
    QString text;
    qint64 type;
    // Whether the form was still the page shown when the tip came.
    bool formShown;
};

class FeedbackPageTest : public SettingsTest::Fixture
{
protected:
    void SetUp() override
    {
        SettingsTest::Fixture::SetUp();
        host = std::make_unique<QVSettingRootViewController>();
        host->resize(375, 640);
        host->show();
        host->showSettingNextPageViewWithClassStr(QVFeedbackViewController::ClassName);
        page = qobject_cast<QVFeedbackViewController *>(host->currentViewController());
        ASSERT_NE(page, nullptr);
        QObject::connect(page->tipsBanner(), &QVTipsBanner::tipsShown, page,
                         [this](const QString &text, qint64 type) {
                             tips.append(Tip{text, type, host->currentViewController() == page.data()});
                         });
    }
    void TearDown() override
    {
        host.reset();
        runDeferredDeletes();
        SettingsTest::Fixture::TearDown();
    }

    QVFeedbackContentTextView *text() const { return page->contentTextView(); }
    bool submitUsable() const { return page->sureBtn()->isEnabled(); }
    bool placeholderShown() const { return page->tipsBtn()->isVisibleTo(page); }

    void type(const QString &characters)
    {
        text()->setFocus();
        QTest::keyClicks(text(), characters);
    }

    // Submits and waits for the answer's tip.
    Tip submit()
    {
        const qsizetype before = tips.size();
        QTest::mouseClick(page->sureBtn(), Qt::LeftButton);
        EXPECT_TRUE(waitFor([&] { return tips.size() > before; }));
        return tips.value(tips.size() - 1);
    }

    std::unique_ptr<QVSettingRootViewController> host;
    QPointer<QVFeedbackViewController> page;
    QList<Tip> tips;
};

} // namespace

TEST_F(FeedbackPageTest, SubmitIsUsableExactlyWhileThereIsTextToSend)
{
    EXPECT_FALSE(submitUsable());
    EXPECT_TRUE(placeholderShown());
    EXPECT_EQ(page->tipsBtn()->text(), QStringLiteral(" feedBack_enter_prompt"));
    EXPECT_EQ(page->sureBtn()->text(), QStringLiteral("feedBack_submit"));

    type(QStringLiteral("a"));
    EXPECT_TRUE(submitUsable());
    EXPECT_FALSE(placeholderShown());
    QTest::keyClick(text(), Qt::Key_Backspace);
    EXPECT_FALSE(submitUsable());
    EXPECT_TRUE(placeholderShown());

    // Deleting a whole selection empties the text as surely as backspace.
    type(QStringLiteral("The picture stutters"));
    EXPECT_TRUE(submitUsable());
    text()->selectAll();
    QTest::keyClick(text(), Qt::Key_Delete);
    EXPECT_TRUE(text()->toPlainText().isEmpty());
    EXPECT_FALSE(submitUsable());
    EXPECT_TRUE(placeholderShown());

    // Cutting everything, and pasting over a selection.
    type(QStringLiteral("xy"));
    text()->selectAll();
    text()->cut();
    EXPECT_FALSE(submitUsable());
    text()->insertPlainText(QStringLiteral("pasted"));
    EXPECT_TRUE(submitUsable());
    text()->selectAll();
    text()->insertPlainText(QString());
    EXPECT_FALSE(submitUsable());

    // White space alone is nothing to send, but is no longer an empty box.
    type(QStringLiteral("  \t"));
    QTest::keyClick(text(), Qt::Key_Return);
    EXPECT_FALSE(submitUsable());
    EXPECT_FALSE(placeholderShown());
    page->confirmAction();
    spin(100); // for a request that must not come
    EXPECT_EQ(server.requestCount(), 0);

    // The placeholder hands the focus to the text.
    text()->clear();
    text()->clearFocus();
    ASSERT_TRUE(placeholderShown());
    QTest::mouseClick(page->tipsBtn(), Qt::LeftButton);
    EXPECT_EQ(host->focusWidget(), text());
}

TEST_F(FeedbackPageTest, AcceptedFeedbackIsConfirmedClearedAndTheListComesBack)
{
    QVPageRegistry::Override listPage(QVSettingViewController::ClassName, [] {
        auto *stand = new QWidget;
        stand->setObjectName(QVSettingViewController::ClassName);
        return stand;
    });
    const QString message = QStringLiteral("Ton coupé après 5 min \"casting\" — 画面卡顿\nsecond line");
    SettingsTest::platformFakes().interfaceAddresses->mac = QByteArray("\x00\x1b\xAC\x0f\xfe\x09", 6);
    type(QStringLiteral("x"));
    text()->setPlainText(message);
    server.setFault(FakeWebService::kFeedbackPath, SettingsTest::fault(Fault::Slow, 150));

    QTest::mouseClick(page->sureBtn(), Qt::LeftButton);
    // While it is sent, the page waits under its loading view.
    ASSERT_NE(page->loadingView(), nullptr);
    EXPECT_TRUE(page->loadingView()->isVisibleTo(page));
    EXPECT_TRUE(page->loadingView()->isBlockingEvents());
    ASSERT_TRUE(waitFor([&] { return !tips.isEmpty(); }));

    ASSERT_EQ(server.feedbacks().size(), 1);
    const QJsonObject body = server.feedbacks().first();
    const HttpRequest request = server.requestsTo(FakeWebService::kFeedbackPath).first();
    EXPECT_EQ(request.method, QByteArray("POST"));
    EXPECT_EQ(request.header("Content-Type"), QByteArray("application/json"));
    EXPECT_EQ(body.value("content").toString(), message);
    EXPECT_EQ(body.value("version").toString(),
              QStringLiteral("%1_%2").arg(QVPublicTools::appVersion(), QVPublicTools::appBuild()));
    EXPECT_EQ(body.value("platform").toString(), QStringLiteral("macOS_") + QVPublicTools::operatingSystemVersion());
    EXPECT_EQ(body.value("mac").toString(), QStringLiteral("00:1b:ac:0f:fe:09"));
    const QString language = QVPublicTools::sharedPublicTools()->systemLanguage();
    EXPECT_EQ(body.contains("language"), !language.isEmpty());
    if (!language.isEmpty()) {
        EXPECT_EQ(body.value("language").toString(), language);
    }
    for (auto it = body.begin(); it != body.end(); ++it)
        EXPECT_TRUE(it.value().isString()) << qPrintable(it.key());

    EXPECT_EQ(tips.last().text, QStringLiteral("feedBack_submit_success"));
    EXPECT_EQ(tips.last().type, QVTipsBanner::TypeGood);
    EXPECT_FALSE(page->loadingView()->isVisibleTo(page));
    EXPECT_TRUE(text()->toPlainText().isEmpty());
    EXPECT_FALSE(submitUsable());

    // After a moment the settings list comes back; the form goes. (The
    // moment is short here, and may have passed by the time of these
    // checks on a busy machine.)
    EXPECT_TRUE(tips.last().formShown);
    ASSERT_TRUE(waitFor([&] { return host->currentViewController() != page.data(); }));
    EXPECT_EQ(host->currentViewController()->objectName(), QVSettingViewController::ClassName);
    runDeferredDeletes();
    EXPECT_TRUE(page.isNull());
}

TEST_F(FeedbackPageTest, RefusedOrLostFeedbackSaysTheNetworkIsBadAndKeepsTheText)
{
    const QString message = QStringLiteral("The sound is late");
    type(message);
    const QList<std::pair<const char *, FaultRule>> faults{
        {"another code", SettingsTest::fault(Fault::WrongCode, 0, 1002)},
        {"code as text", SettingsTest::fault(Fault::WrongJsonType, 0, 0, R"("1000")")},
        {"a number", SettingsTest::fault(Fault::WrongJsonType, 0, 0, "1000")},
        {"an array", SettingsTest::fault(Fault::WrongJsonType, 0, 0, "[1000]")},
        {"not JSON", SettingsTest::fault(Fault::NotJson)},
        {"server error", SettingsTest::fault(Fault::HttpStatus, 0, 500)},
        {"empty answer", SettingsTest::fault(Fault::EmptyBody)},
        {"closed", SettingsTest::fault(Fault::Close)},
        {"no answer", SettingsTest::fault(Fault::Silent)},
    };
    for (const auto &[name, rule] : faults) {
        server.setFault(FakeWebService::kFeedbackPath, rule);
        const Tip tip = submit();
        EXPECT_EQ(tip.text, QStringLiteral("network_bad")) << name;
        EXPECT_EQ(tip.type, QVTipsBanner::TypeBad) << name;
        EXPECT_EQ(text()->toPlainText(), message) << name;
        EXPECT_TRUE(submitUsable()) << name;
        EXPECT_FALSE(page->loadingView()->isVisibleTo(page)) << name;
        EXPECT_EQ(host->currentViewController(), page.data()) << name;
    }
    // The client may try a closed connection once more.
    EXPECT_GE(server.requestCount(FakeWebService::kFeedbackPath), faults.size());

    // An answer of the code as a text is still the service's acceptance.
    server.clearFaults();
    server.setFeedbackAnswer(R"({"code":"1000","msg":"success"})");
    EXPECT_EQ(submit().text, QStringLiteral("feedBack_submit_success"));
}

TEST_F(FeedbackPageTest, WithoutAnApiServerFeedbackFailsAtOnce)
{
    setAddresses(server.baseUrl(), QString(), server.baseUrl());
    // The production time-out: failing at once must not wait for it.
    QVHttpTimings production;
    page->feedbackApi()->setTimings(production);
    type(QStringLiteral("hello"));
    QElapsedTimer clock;
    clock.start();
    const Tip tip = submit();
    EXPECT_LT(clock.elapsed(), production.feedbackTimeout.count() / 2);
    EXPECT_EQ(tip.text, QStringLiteral("network_bad"));
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_EQ(text()->toPlainText(), QStringLiteral("hello"));
}

TEST_F(FeedbackPageTest, LeavingWhileSendingEndsTheRequestQuietly)
{
    QVPageRegistry::Override listPage(QVSettingViewController::ClassName, [] { return new QWidget; });
    server.setFault(FakeWebService::kFeedbackPath, SettingsTest::fault(Fault::Slow, 300));
    type(QStringLiteral("bye"));
    QTest::mouseClick(page->sureBtn(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return server.requestCount(FakeWebService::kFeedbackPath) == 1; }));
    page->backBtnClick();
    runDeferredDeletes();
    EXPECT_TRUE(page.isNull());
    spin(500); // the slow answer comes meanwhile, and must show nothing
    EXPECT_TRUE(tips.isEmpty());
}

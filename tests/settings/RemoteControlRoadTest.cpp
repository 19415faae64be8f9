// The remote-control row end to end: the settings list's switch decides
// whether the records a receiver sends during a cast reach this computer's
// mouse and keyboard, from the next record on, without a new cast.

#include "SettingsTestSupport.h"

#include "Main/ViewController/Setting/QVSettingSwitch.h"
#include "Main/ViewController/Setting/QVSettingViewController.h"

#include "FakeInput.h"
#include "ReceiverEmulatorThread.h"
#include "RemoteControl/RemoteController.h"
#include "RemoteInputSender.h"
#include "Utils/TavlinGlobal/DynamicPortTable.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

#include <QPointer>
#include <QTest>

using TestSupport::spin;
using TestSupport::waitFor;

namespace {

class RemoteControlRoadTest : public SettingsTest::Fixture
{
protected:
    void SetUp() override
    {
        SettingsTest::Fixture::SetUp();
        TavlinGlobal::resetAll();
        receiver = std::make_unique<ReceiverEmulatorThread>(TestSupport::uniqueLoopbackAddress());
        sender = receiver->call([](ReceiverEmulator &e) { return e.addComponent<RemoteInputSender>(quint16(0)); });
        ASSERT_TRUE(receiver->start());
        DynamicPortTable::setDynamicPort_52020(sender->port());
        device->mHostIp = receiver->address().toString();
    }
    void TearDown() override
    {
        controller.reset();
        receiver.reset();
        DynamicPortTable::resetToDefaults();
        TavlinGlobal::resetAll();
        SettingsTest::Fixture::TearDown();
    }

    // The library's remote input over the program's one consent.
    void startCastInput()
    {
        RemoteControllerServices services;
        services.injector = injector;
        services.keyboardLayout =
            std::make_shared<Platform::Fake::FakeKeyboardLayout>(Platform::Fake::FakeKeyboardLayout::usSubset());
        services.store = std::make_shared<Platform::Fake::FakeKeyValueStore>();
        services.consent = SettingsTest::platformFakes().remoteInputConsent;
        services.timings.connectTimeoutMs = 2000;
        controller = std::make_unique<RemoteController>(device, services);
        controller->startController();
        ASSERT_TRUE(waitFor([&] { return sender->connectionCount() == 1; }));
    }

    // A pointer move to the middle of the screen, as the receiver sends it.
    void receiverMovesThePointer()
    {
        receiver->call([&](ReceiverEmulator &) {
            sender->sendNow(RemoteInputSender::record(8, 5000) + RemoteInputSender::record(9, 5000));
        });
    }

    std::unique_ptr<ReceiverEmulatorThread> receiver;
    RemoteInputSender *sender = nullptr;
    DevicePtr device = std::make_shared<Device>();
    std::shared_ptr<Platform::Fake::FakeInputInjector> injector = std::make_shared<Platform::Fake::FakeInputInjector>();
    std::unique_ptr<RemoteController> controller;
};

} // namespace

TEST_F(RemoteControlRoadTest, TheRowTurnsTheReceiversInputOnAndOffDuringACast)
{
    // The page cache owns the list.
    QPointer<QVSettingViewController> list = new QVSettingViewController;
    list->resize(375, 640);
    list->show();
    QVSettingSwitch *toggle = list->remoteControlSwitch();
    ASSERT_NE(toggle, nullptr);
    ASSERT_FALSE(toggle->isChecked());
    startCastInput();

    // Not allowed yet: the receiver's records reach nothing.
    receiverMovesThePointer();
    ASSERT_TRUE(waitFor([&] { return sender->bytesSent() == 32; }));
    spin(150); // for input that must not be posted
    EXPECT_TRUE(injector->posted.isEmpty());

    // Turned on during the cast: the next records move the pointer.
    QTest::mouseClick(toggle, Qt::LeftButton);
    ASSERT_TRUE(toggle->isChecked());
    receiverMovesThePointer();
    ASSERT_TRUE(waitFor([&] { return !injector->posted.isEmpty(); }));
    EXPECT_EQ(injector->posted.first().kind, Platform::Fake::PostedInput::Kind::Move);
    const qsizetype injected = injector->posted.size();

    // Turned off again: nothing more.
    QTest::mouseClick(toggle, Qt::LeftButton);
    ASSERT_FALSE(toggle->isChecked());
    receiverMovesThePointer();
    ASSERT_TRUE(waitFor([&] { return sender->bytesSent() == 96; }));
    spin(150); // for input that must not be posted
    EXPECT_EQ(injector->posted.size(), injected);
}

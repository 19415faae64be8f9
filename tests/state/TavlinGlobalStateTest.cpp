#include <gtest/gtest.h>

#include "Utils/TavlinGlobal/TavlinGlobal.h"

namespace {

class TavlinGlobalState : public ::testing::Test {
protected:
    void SetUp() override { TavlinGlobal::resetAll(); }
    void TearDown() override { TavlinGlobal::resetAll(); }
};

} // namespace

TEST_F(TavlinGlobalState, InitialValuesAreTheDocumentedOnes)
{
    EXPECT_EQ(TavlinGlobal::getChoseDevice(), nullptr);
    EXPECT_EQ(TavlinGlobal::getTempChoseDevice(), nullptr);
    EXPECT_FALSE(TavlinGlobal::getIsConnecting());
    EXPECT_FALSE(TavlinGlobal::getIsCasting());
    EXPECT_FALSE(TavlinGlobal::getIsPauseCast());
    EXPECT_EQ(TavlinGlobal::getCastMode(), -1);
    EXPECT_EQ(TavlinGlobal::getMultiScreen(), -1);
    EXPECT_EQ(TavlinGlobal::getMirrorMode(), -1);
    EXPECT_EQ(TavlinGlobal::getCastState(), -1);
    EXPECT_FALSE(TavlinGlobal::getIsSupportMasterCon());
    EXPECT_FALSE(TavlinGlobal::getIsConnectByIp());
    EXPECT_FALSE(TavlinGlobal::getIsConnectByPin());
    EXPECT_TRUE(TavlinGlobal::getConnectPin().isNull());
    EXPECT_FALSE(TavlinGlobal::getIsWindowReceiver());
    EXPECT_FALSE(TavlinGlobal::getIsTvVersion());
    EXPECT_FALSE(TavlinGlobal::getIsSupportDynamicPort());
    EXPECT_EQ(TavlinGlobal::getServerRotation(), 0);
    EXPECT_TRUE(TavlinGlobal::getServerPlatform().isNull());
    EXPECT_TRUE(TavlinGlobal::getMacCpuChipBrand().isNull());
    EXPECT_FALSE(TavlinGlobal::getIsRecasting());
    EXPECT_EQ(TavlinGlobal::getDefaultAudioId(), 0u);
    // The unused ones.
    EXPECT_TRUE(TavlinGlobal::getIsKeepAspectRatio());
    EXPECT_TRUE(TavlinGlobal::getIsCastAutoAccept());
    EXPECT_FALSE(TavlinGlobal::getIsFirstSearchDevice());
    EXPECT_FALSE(TavlinGlobal::getIsHostPreview());
    EXPECT_FALSE(TavlinGlobal::getIsAnnotation());
    EXPECT_EQ(TavlinGlobal::getServerDisconnectCastType(), 0);
    EXPECT_EQ(TavlinGlobal::getBenqAtvVersion(), 0);
}

TEST_F(TavlinGlobalState, ResetRestoresReportedValuesFlagsAndPorts)
{
    TavlinGlobal::setCastMode(2);
    TavlinGlobal::setMultiScreen(1);
    TavlinGlobal::setMirrorMode(0);
    TavlinGlobal::setCastState(2);
    TavlinGlobal::setIsConnecting(true);
    TavlinGlobal::setIsCastAutoAccept(false);
    TavlinGlobal::setConnectPin(QStringLiteral("123456"));
    DynamicPortTable::setDynamicPort_57395(40000);
    TavlinGlobal::resetAll();
    EXPECT_EQ(TavlinGlobal::getCastMode(), -1);
    EXPECT_EQ(TavlinGlobal::getMultiScreen(), -1);
    EXPECT_EQ(TavlinGlobal::getMirrorMode(), -1);
    EXPECT_EQ(TavlinGlobal::getCastState(), -1);
    EXPECT_FALSE(TavlinGlobal::getIsConnecting());
    EXPECT_TRUE(TavlinGlobal::getIsCastAutoAccept());
    EXPECT_TRUE(TavlinGlobal::getConnectPin().isEmpty());
    EXPECT_EQ(DynamicPortTable::getDynamicPort_57395(), 57395);
}

TEST_F(TavlinGlobalState, ChosenDeviceIsSharedAndOnlyItsNameIsReplaced)
{
    TavlinGlobal::setChoseDeviceName(QStringLiteral("nobody")); // no device: nothing happens
    EXPECT_EQ(TavlinGlobal::getChoseDevice(), nullptr);

    auto device = std::make_shared<Device>();
    device->mDevicename = QStringLiteral("Room 1");
    device->mHostIp = QStringLiteral("10.0.0.5");
    device->mServer_features = 0x100000;
    TavlinGlobal::setChoseDevice(device);
    TavlinGlobal::setChoseDeviceName(QStringLiteral("Room 2"));
    EXPECT_EQ(device->mDevicename, QStringLiteral("Room 2"));
    EXPECT_EQ(device->mHostIp, QStringLiteral("10.0.0.5"));
    EXPECT_EQ(device->mServer_features, 0x100000);
    EXPECT_EQ(TavlinGlobal::getChoseDevice(), device);
}

TEST_F(TavlinGlobalState, OnlyWindowIgnoresNull)
{
    QObject window;
    TavlinGlobal::setOnlyWindow(&window);
    TavlinGlobal::setOnlyWindow(nullptr);
    EXPECT_EQ(TavlinGlobal::getOnlyWindow(), &window);
}

TEST(TavlinGlobalErrors, DisconnectReasonsMapToTheirErrors)
{
    EXPECT_FALSE(TavlinGlobal::errorForDisconnectReason(DisconnectReasonByUser).has_value());
    EXPECT_EQ(TavlinGlobal::errorForDisconnectReason(1),
              TavlinError(QStringLiteral("disconnect for network unreachable"), 1));
    EXPECT_EQ(TavlinGlobal::errorForDisconnectReason(2),
              TavlinError(QStringLiteral("Heartbeat timeout due to poor network"), 2));
    EXPECT_EQ(TavlinGlobal::errorForDisconnectReason(3),
              TavlinError(QStringLiteral("disconnect due to user lock the screen"), 3));
    EXPECT_TRUE(TavlinGlobal::errorForDisconnectReason(3)->description.isEmpty());
}

TEST(TavlinGlobalFeatures, BitTestsReadTheirOwnBitOnly)
{
    EXPECT_TRUE(TavlinGlobal::isSupportMasterCon(0x100000));
    EXPECT_TRUE(TavlinGlobal::isSupportMasterCon(0x10100040));
    EXPECT_FALSE(TavlinGlobal::isSupportMasterCon(0x10000000 | 0x1000000 | 0x40));
    EXPECT_TRUE(TavlinGlobal::judgePartnerAtv(0x1000000));
    EXPECT_FALSE(TavlinGlobal::judgePartnerAtv(0x100000));
    EXPECT_TRUE(TavlinGlobal::isSupportMasterCon(-1)); // sign-extended "ffffffff"
}

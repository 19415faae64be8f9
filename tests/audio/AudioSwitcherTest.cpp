// Finding outputs by name and switching the default output, over a fake
// sound server.

#include <gtest/gtest.h>

#include "AudioSwitcher/AudioSwitcher.h"
#include "FakeSound.h"

namespace {

using Platform::Fake::FakeSoundDevices;

TEST(AudioSwitcher, NamesMatchWholeAndCaseSensitiveOnDescriptionOrServerName)
{
    FakeSoundDevices devices;
    const auto speakers = devices.addOutput(QStringLiteral("alsa_output.pci"), QStringLiteral("Built-in Speakers"));
    const auto sonvale = devices.addOutput(QStringLiteral("Sonvale"), QStringLiteral("Sonvale"));

    EXPECT_EQ(get_output_device_id_from_name(devices, "Built-in Speakers"), speakers.id);
    EXPECT_EQ(get_output_device_id_from_name(devices, "alsa_output.pci"), speakers.id);
    EXPECT_EQ(get_output_device_id_from_name(devices, "Sonvale"), sonvale.id);
    EXPECT_EQ(get_output_device_id_from_name(devices, "sonvale"), 0u);
    EXPECT_EQ(get_output_device_id_from_name(devices, "Sonval"), 0u);
    EXPECT_EQ(get_output_device_id_from_name(devices, "Sonvale "), 0u);
    EXPECT_TRUE(output_device_did_exist(devices, "Sonvale"));
    EXPECT_FALSE(output_device_did_exist(devices, "TavlinAudio"));
    EXPECT_TRUE(isStrEqual(QStringLiteral("Haut-parleurs intégrés"), "Haut-parleurs intégrés"));
    EXPECT_FALSE(isStrEqual(QStringLiteral("Sonvale"), nullptr));
}

TEST(AudioSwitcher, TheFirstOfTwoDevicesWithTheSameNameIsChosen)
{
    FakeSoundDevices devices;
    const auto first = devices.addOutput(QStringLiteral("Sonvale"));
    devices.addOutput(QStringLiteral("Sonvale"));
    EXPECT_EQ(get_output_device_id_from_name(devices, "Sonvale"), first.id);
}

TEST(AudioSwitcher, SwitchingByNameMakesTheDeviceTheDefault)
{
    FakeSoundDevices devices;
    const auto speakers = devices.addOutput(QStringLiteral("Speakers"));
    const auto sonvale = devices.addOutput(QStringLiteral("Sonvale"));
    devices.defaultOutput = speakers.id;

    EXPECT_TRUE(set_output_device_by_name(devices, "Sonvale"));
    EXPECT_EQ(devices.defaultOutput, sonvale.id);
    EXPECT_TRUE(set_output_device_id(devices, speakers.id));
    EXPECT_EQ(devices.defaultOutput, speakers.id);
}

TEST(AudioSwitcher, NoneIsNeverSwitchedTo)
{
    FakeSoundDevices devices;
    const auto speakers = devices.addOutput(QStringLiteral("Speakers"));
    devices.defaultOutput = speakers.id;

    EXPECT_FALSE(set_output_device_by_name(devices, "Sonvale"));
    EXPECT_FALSE(set_output_device_id(devices, 0));
    EXPECT_TRUE(devices.switches.isEmpty());
    EXPECT_EQ(devices.defaultOutput, speakers.id);
}

TEST(AudioSwitcher, TheOutputToRestoreIsTheCurrentOneButNeverTheVirtualDevice)
{
    FakeSoundDevices devices;
    const auto sonvale = devices.addOutput(QStringLiteral("Sonvale"));
    const auto headphones = devices.addOutput(QStringLiteral("Headphones"));
    devices.addOutput(QStringLiteral("Speakers"));

    devices.defaultOutput = headphones.id;
    EXPECT_EQ(currentOutputDeviceID(devices), headphones.id);

    // A cast that ended without restoring left the virtual device on: the
    // first real output stands in for it.
    devices.defaultOutput = sonvale.id;
    EXPECT_EQ(currentOutputDeviceID(devices), headphones.id);

    // Nothing else to return to: none, and none is never switched to.
    FakeSoundDevices onlyVirtual;
    onlyVirtual.defaultOutput = onlyVirtual.addOutput(QStringLiteral("Sonvale")).id;
    EXPECT_EQ(currentOutputDeviceID(onlyVirtual), 0u);

    FakeSoundDevices unreadable;
    unreadable.addOutput(QStringLiteral("Speakers"));
    EXPECT_EQ(currentOutputDeviceID(unreadable), 0u);
}

TEST(AudioSwitcher, ACastRestoresTheOutputOfItsStartEvenAfterTheUserChangedIt)
{
    FakeSoundDevices devices;
    const auto speakers = devices.addOutput(QStringLiteral("Speakers"));
    const auto headphones = devices.addOutput(QStringLiteral("Headphones"));
    devices.addOutput(QStringLiteral("Sonvale"));
    devices.defaultOutput = speakers.id;

    const quint32 remembered = currentOutputDeviceID(devices);
    set_output_device_by_name(devices, "Sonvale");
    set_output_device_id(devices, headphones.id); // the user, during the cast
    set_output_device_id(devices, remembered);
    EXPECT_EQ(devices.defaultOutput, speakers.id);
}

TEST(AudioSwitcher, AFailingListingFindsNothing)
{
    FakeSoundDevices devices;
    devices.addOutput(QStringLiteral("Sonvale"));
    devices.listStatus = 6;
    EXPECT_FALSE(output_device_did_exist(devices, "Sonvale"));
}

} // namespace

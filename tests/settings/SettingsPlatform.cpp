// The suite's program runs over fake platform services, handed over before
// any page or shared object can reach for the real ones, as main() does.

#include "SettingsTestSupport.h"

#include "PublicManager/QVPlatform.h"

namespace {

class SettingsPlatformEnvironment : public ::testing::Environment
{
public:
    void SetUp() override { ASSERT_TRUE(QVPlatform::setServices(SettingsTest::platformFakes().services())); }
};

[[maybe_unused]] ::testing::Environment *const environment =
    ::testing::AddGlobalTestEnvironment(new SettingsPlatformEnvironment);

} // namespace

namespace SettingsTest {

Platform::Fake::FakePlatformServices &platformFakes()
{
    static Platform::Fake::FakePlatformServices fakes;
    return fakes;
}

} // namespace SettingsTest

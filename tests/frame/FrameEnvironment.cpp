// The suite's program names; every case writes its settings into the home
// folder of its own that the test main gives it, never into the user's.

#include <QCoreApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

class FrameEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("QuavdeskFrameTest"));
        QCoreApplication::setApplicationName(QStringLiteral("QuavdeskFrameTest"));
    }
};

[[maybe_unused]] ::testing::Environment *const environment =
    ::testing::AddGlobalTestEnvironment(new FrameEnvironment);

} // namespace

// Every test of the suite writes its settings into a folder of its own,
// never into the user's.

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

class FrameEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        QStandardPaths::setTestModeEnabled(true);
        m_settings = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(m_settings->isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings->path());
        QCoreApplication::setOrganizationName(QStringLiteral("QuavdeskFrameTest"));
        QCoreApplication::setApplicationName(QStringLiteral("QuavdeskFrameTest"));
    }
    void TearDown() override { m_settings.reset(); }

private:
    std::unique_ptr<QTemporaryDir> m_settings;
};

[[maybe_unused]] ::testing::Environment *const environment =
    ::testing::AddGlobalTestEnvironment(new FrameEnvironment);

} // namespace

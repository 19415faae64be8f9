#include "CleanHome.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace TestSupport {
namespace {

std::unique_ptr<QTemporaryDir> makeHome(const char *kind)
{
    auto home = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quavdesk-%1-XXXXXX").arg(QLatin1StringView(kind)));
    if (!home->isValid()) {
        std::fprintf(stderr, "No home folder for the tests: %s\n", qPrintable(home->errorString()));
        std::abort();
    }
    return home;
}

// Points everything that finds the user's folders through the environment,
// and QSettings, at `home`.
void enter(const QTemporaryDir &home)
{
    const QDir root(home.path());
    const struct {
        const char *variable;
        const char *folder;
    } places[] = {
        {"XDG_CONFIG_HOME", ".config"},
        {"XDG_DATA_HOME", ".local/share"},
        {"XDG_STATE_HOME", ".local/state"},
        {"XDG_CACHE_HOME", ".cache"},
        {"XDG_RUNTIME_DIR", "runtime"},
    };
    qputenv("HOME", QFile::encodeName(root.path()));
    for (const auto &place : places) {
        const QString path = root.filePath(QLatin1StringView(place.folder));
        root.mkpath(path);
        qputenv(place.variable, QFile::encodeName(path));
    }
    // Qt refuses a runtime folder others may enter.
    QFile::setPermissions(root.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString config = root.filePath(QStringLiteral(".config"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config);
}

// The process's home holds what happens outside the cases (the application
// object, suite-wide set-up); each case gets a new one and the process's
// comes back when the case ends.
class CleanHome final : public ::testing::EmptyTestEventListener {
public:
    CleanHome() : m_processHome(makeHome("test-home")) { enter(*m_processHome); }

    void OnTestStart(const ::testing::TestInfo &) override
    {
        m_caseHome = makeHome("case-home");
        enter(*m_caseHome);
    }

    void OnTestEnd(const ::testing::TestInfo &) override
    {
        enter(*m_processHome);
        m_caseHome.reset();
    }

private:
    std::unique_ptr<QTemporaryDir> m_processHome;
    std::unique_ptr<QTemporaryDir> m_caseHome;
};

} // namespace

void installCleanHome()
{
    // Owned by Google Test's listener list from here on.
    ::testing::UnitTest::GetInstance()->listeners().Append(new CleanHome);
}

} // namespace TestSupport

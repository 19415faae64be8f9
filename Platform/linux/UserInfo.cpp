#include <pwd.h>
#include <unistd.h>

#include <QDir>

#include "Platform/LinuxPlatform.h"

namespace Platform::Linux {
namespace {

class PosixUserInfo final : public UserInfo {
public:
    QString accountName() const override
    {
        if (const passwd *pw = getpwuid(geteuid()); pw && pw->pw_name)
            return QString::fromLocal8Bit(pw->pw_name);
        return qEnvironmentVariable("USER");
    }
    QString homeDirectory() const override { return QDir::homePath(); }
};

} // namespace

std::shared_ptr<UserInfo> makeUserInfo() { return std::make_shared<PosixUserInfo>(); }

} // namespace Platform::Linux

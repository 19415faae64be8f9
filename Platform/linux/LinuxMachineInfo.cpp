#include <QFile>

#include "Platform/LinuxPlatform.h"

namespace Platform::Linux {
namespace {

// The value of the first "key : value" line of a /proc file with that key.
QString procValue(const QByteArray &text, const QByteArray &key)
{
    for (const QByteArray &line : text.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed() == key)
            return QString::fromUtf8(line.mid(colon + 1).trimmed());
    }
    return {};
}

QByteArray readSmallFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // These files are a few kilobytes per processor; enough for the first.
    return file.read(64 * 1024);
}

class LinuxMachineInfo final : public MachineInfo {
public:
    explicit LinuxMachineInfo(MachineInfoFiles files) : m_files(std::move(files)) {}

    QString cpuBrand() override
    {
        const QByteArray cpuinfo = readSmallFile(m_files.cpuinfo);
        const QString name = procValue(cpuinfo, "model name");
        if (!name.isEmpty())
            return name;
        // ARM processors give no name, only their designer's code; 0x61 is
        // Apple's.
        const QString implementer = procValue(cpuinfo, "CPU implementer");
        if (implementer.compare(QLatin1String("0x61"), Qt::CaseInsensitive) == 0)
            return QStringLiteral("Apple");
        return {};
    }

    QString model() override
    {
        for (const QString &path : std::as_const(m_files.models)) {
            // Device-tree texts end in a NUL.
            QByteArray text = readSmallFile(path);
            text.truncate(text.indexOf('\0') < 0 ? text.size() : text.indexOf('\0'));
            const QString model = QString::fromUtf8(text.left(256)).trimmed();
            if (!model.isEmpty())
                return model;
        }
        return {};
    }

private:
    MachineInfoFiles m_files;
};

} // namespace

std::shared_ptr<MachineInfo> makeMachineInfo(MachineInfoFiles files)
{
    return std::make_shared<LinuxMachineInfo>(std::move(files));
}

} // namespace Platform::Linux

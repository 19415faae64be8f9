#include <minizip/unzip.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>

#include "Platform/LinuxSoundPlatform.h"

namespace Platform::Linux {
namespace {

// minizip reads through these callbacks straight from the archive in memory.
struct MemoryStream {
    const QByteArray *data = nullptr;
    ZPOS64_T position = 0;
};

voidpf openMemory(voidpf opaque, const void *, int) { return opaque; }

uLong readMemory(voidpf, voidpf stream, void *buffer, uLong size)
{
    auto *memory = static_cast<MemoryStream *>(stream);
    const ZPOS64_T available = static_cast<ZPOS64_T>(memory->data->size()) - memory->position;
    const uLong count = static_cast<uLong>(std::min<ZPOS64_T>(available, size));
    std::memcpy(buffer, memory->data->constData() + memory->position, count);
    memory->position += count;
    return count;
}

uLong writeMemory(voidpf, voidpf, const void *, uLong) { return 0; }

ZPOS64_T tellMemory(voidpf, voidpf stream) { return static_cast<MemoryStream *>(stream)->position; }

long seekMemory(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto *memory = static_cast<MemoryStream *>(stream);
    const auto size = static_cast<ZPOS64_T>(memory->data->size());
    ZPOS64_T base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: base = memory->position; break;
    case ZLIB_FILEFUNC_SEEK_END: base = size; break;
    default: return -1;
    }
    if (offset > size || base > size - offset)
        return -1;
    memory->position = base + offset;
    return 0;
}

int closeMemory(voidpf, voidpf) { return 0; }
int errorMemory(voidpf, voidpf) { return 0; }

// An entry name is accepted only when it stays inside the destination: no
// absolute path, no "..", no drive letters or backslashes.
bool isSafeEntryName(const QString &name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))
        || name.contains(QLatin1Char(':')))
        return false;
    const QStringList parts = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        if (part == QLatin1String(".."))
            return false;
    }
    return true;
}

class MinizipExtractor final : public ZipExtractor {
public:
    bool extract(const QByteArray &archive, const QString &destinationFolder) override
    {
        MemoryStream stream{&archive, 0};
        zlib_filefunc64_def functions{};
        functions.zopen64_file = openMemory;
        functions.zread_file = readMemory;
        functions.zwrite_file = writeMemory;
        functions.ztell64_file = tellMemory;
        functions.zseek64_file = seekMemory;
        functions.zclose_file = closeMemory;
        functions.zerror_file = errorMemory;
        functions.opaque = &stream;

        unzFile zip = unzOpen2_64("archive", &functions);
        if (!zip)
            return false;
        const QDir destination(destinationFolder);
        bool ok = destination.mkpath(QStringLiteral("."));
        int status = ok ? unzGoToFirstFile(zip) : UNZ_OK;
        while (ok && status == UNZ_OK) {
            ok = extractCurrent(zip, destination);
            if (ok)
                status = unzGoToNextFile(zip);
        }
        if (ok && status != UNZ_END_OF_LIST_OF_FILE)
            ok = false;
        unzClose(zip);
        return ok;
    }

private:
    static bool extractCurrent(unzFile zip, const QDir &destination)
    {
        unz_file_info64 info{};
        char name[1024];
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
            return false;
        if (info.size_filename >= sizeof name)
            return false;
        const QString entry = QString::fromUtf8(name);
        if (!isSafeEntryName(entry))
            return false;
        const QString target = destination.filePath(entry);
        if (entry.endsWith(QLatin1Char('/')))
            return destination.mkpath(entry);
        if (!QFileInfo(target).dir().mkpath(QStringLiteral(".")))
            return false;

        if (unzOpenCurrentFile(zip) != UNZ_OK)
            return false;
        QFile file(target);
        bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        char buffer[16384];
        while (ok) {
            const int count = unzReadCurrentFile(zip, buffer, sizeof buffer);
            if (count < 0)
                ok = false;
            else if (count == 0)
                break;
            else
                ok = file.write(buffer, count) == count;
        }
        // Also checks the entry's CRC.
        if (unzCloseCurrentFile(zip) != UNZ_OK)
            ok = false;
        return ok;
    }
};

} // namespace

std::shared_ptr<ZipExtractor> makeZipExtractor() { return std::make_shared<MinizipExtractor>(); }

} // namespace Platform::Linux

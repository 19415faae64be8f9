// The session state's readers of receiver text, against the C library and
// against themselves: the hex reader must agree with "%x", the IPv4 check
// with inet_pton, and every object the JSON reader accepts must survive a
// write and a second read unchanged.

#include <arpa/inet.h>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QJsonDocument>
#include <QString>

#include "Utils/TavlinGlobal/TavlinGlobal.h"

namespace {

// "%x" saturates beyond 16 digits where the reader keeps wrapping; compare
// only where both are defined the same way.
bool hexDigitsFitStrtoul(const QByteArray &bytes)
{
    int digits = 0;
    for (char c : bytes) {
        if (std::isxdigit(static_cast<unsigned char>(c)))
            ++digits;
    }
    return digits <= 16;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const bool hasZero = bytes.contains('\0');

    // Hex reader.
    const QString text = QString::fromUtf8(bytes);
    const qint64 ours = TavlinGlobal::numberWithHexString(text);
    const QByteArray roundTrip = text.toUtf8();
    if (!hasZero && hexDigitsFitStrtoul(roundTrip)) {
        unsigned int theirs = 0;
        std::sscanf(roundTrip.constData(), "%x", &theirs);
        if (ours != static_cast<qint32>(theirs)) {
            std::fprintf(stderr, "hex reader: %lld, %%x: %d\n", static_cast<long long>(ours), static_cast<qint32>(theirs));
            std::abort();
        }
    }

    // IPv4 literal check.
    if (!hasZero && size < 64) {
        in_addr address{};
        const bool theirs = inet_pton(AF_INET, bytes.constData(), &address) == 1;
        if (TavlinGlobal::isValidIPAddress(QString::fromLatin1(bytes)) != theirs)
            std::abort();
    }

    // JSON: read, write, read again.
    if (const auto object = TavlinGlobal::dictionaryWithJsonData(bytes)) {
        const QString written = TavlinGlobal::jsonStringWithDict(object->toVariantMap());
        const auto again = TavlinGlobal::dictionaryWithJsonString(written);
        if (!again || QJsonDocument(*again).toJson(QJsonDocument::Compact)
                          != QJsonDocument(*object).toJson(QJsonDocument::Compact)) {
            std::fprintf(stderr, "JSON round trip changed the object:\n%s\n", qPrintable(written));
            std::abort();
        }
    }
    return 0;
}

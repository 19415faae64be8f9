#pragma once

#include <QByteArray>
#include <QString>

#include "PlatformExport.h"

namespace Platform {

// Unpacks a zip archive held in memory into a folder (created when missing).
class PLATFORM_EXPORT ZipExtractor {
public:
    virtual ~ZipExtractor() = default;
    // False when the archive is unreadable, an entry would land outside the
    // folder, or a file cannot be written; what was written stays.
    virtual bool extract(const QByteArray &archive, const QString &destinationFolder) = 0;
};

} // namespace Platform

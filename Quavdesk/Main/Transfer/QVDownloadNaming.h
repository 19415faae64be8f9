#pragma once

#include <QString>

// Names of downloaded files. A name comes from the receiver and is not
// trusted: it becomes exactly one entry of the download folder, or is
// rewritten until it does.
namespace QVDownloadNaming {

// Longest name, in UTF-8 bytes, that the file systems here accept.
inline constexpr qsizetype kMaxNameBytes = 255;
// Stands in for a name that says nothing ("", "." or "..").
inline const QString kFallbackName = QStringLiteral("download");

// The last path component of `remoteName`, with NUL, control characters
// and unpaired surrogates replaced by "_", "", "." and ".." replaced by
// "download", cut to kMaxNameBytes while its extension is kept.
QString safeFileName(const QString &remoteName);

// Splits at the last "." that is not the first character: "a.tar.gz" into
// "a.tar" and "gz", ".profile" and "README" have no extension.
struct NameParts {
    QString base;
    QString extension;
};
NameParts splitName(const QString &name);

// The `number`-th alternative to a taken name: "report(2).pdf" for
// "report.pdf", "README(2)" for "README" (no trailing full stop). The base is
// shortened when the result would be too long.
QString numberedName(const QString &safeName, qint64 number);

// `text` cut to at most `maxBytes` UTF-8 bytes, never inside a character.
QString truncatedToBytes(const QString &text, qsizetype maxBytes);

} // namespace QVDownloadNaming

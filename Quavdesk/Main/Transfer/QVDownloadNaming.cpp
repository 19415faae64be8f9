#include "QVDownloadNaming.h"

namespace QVDownloadNaming {

namespace {

bool isUnsafe(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

qsizetype utf8Bytes(const QString &text)
{
    return text.toUtf8().size();
}

// The extension is kept when cutting only if it is short; a long one is part
// of the name like any other text.
constexpr qsizetype kMaxKeptExtensionBytes = 32;

} // namespace

QString truncatedToBytes(const QString &text, qsizetype maxBytes)
{
    if (maxBytes <= 0)
        return QString();
    QString result;
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype width = text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()
            ? 2
            : 1;
        const qsizetype piece = utf8Bytes(text.mid(i, width));
        if (bytes + piece > maxBytes)
            break;
        result += text.mid(i, width);
        bytes += piece;
        i += width;
    }
    return result;
}

NameParts splitName(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return {name, QString()};
    return {name.left(dot), name.mid(dot + 1)};
}

QString safeFileName(const QString &remoteName)
{
    // Only what follows the last separator can name an entry of the folder.
    QString name = remoteName.mid(remoteName.lastIndexOf(QLatin1Char('/')) + 1);

    QString cleaned;
    cleaned.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            cleaned += c;
            cleaned += name.at(++i);
        } else if (c.isSurrogate() || isUnsafe(c.unicode())) {
            cleaned += QLatin1Char('_');
        } else {
            cleaned += c;
        }
    }
    if (cleaned.isEmpty() || cleaned == QLatin1String(".") || cleaned == QLatin1String(".."))
        return kFallbackName;
    if (utf8Bytes(cleaned) <= kMaxNameBytes)
        return cleaned;

    const NameParts parts = splitName(cleaned);
    const qsizetype extensionBytes = utf8Bytes(parts.extension);
    if (!parts.extension.isEmpty() && extensionBytes <= kMaxKeptExtensionBytes)
        return truncatedToBytes(parts.base, kMaxNameBytes - extensionBytes - 1) + QLatin1Char('.') + parts.extension;
    return truncatedToBytes(cleaned, kMaxNameBytes);
}

QString numberedName(const QString &safeName, qint64 number)
{
    NameParts parts = splitName(safeName);
    if (utf8Bytes(parts.extension) > kMaxKeptExtensionBytes)
        parts = {safeName, QString()};
    const QString suffix = QStringLiteral("(%1)").arg(number)
        + (parts.extension.isEmpty() ? QString() : QLatin1Char('.') + parts.extension);
    const QString base = truncatedToBytes(parts.base, kMaxNameBytes - utf8Bytes(suffix));
    return base + suffix;
}

} // namespace QVDownloadNaming

#include "TavlinLogText.h"

#include <QList>
#include <QStringDecoder>

#include <algorithm>

namespace {

void appendHex(QString &out, const char *prefix, uint value, int digits)
{
    out += QLatin1String(prefix);
    out += QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0'));
}

// Characters a log viewer would draw as something else than themselves.
bool isInvisibleOrReordering(char32_t c)
{
    return (c >= 0x200b && c <= 0x200f)      // zero width, marks of direction
        || (c >= 0x2028 && c <= 0x202e)      // line and paragraph separators, embeddings
        || (c >= 0x2060 && c <= 0x206f)      // isolates and other invisibles
        || c == 0xfeff || c == 0xfff9 || c == 0xfffa || c == 0xfffb;
}

void appendEscaped(QString &out, char32_t c)
{
    switch (c) {
    case U'\n': out += QLatin1String("\\n"); return;
    case U'\r': out += QLatin1String("\\r"); return;
    case U'\t': out += QLatin1String("\\t"); return;
    case U'\\': out += QLatin1String("\\\\"); return;
    default: break;
    }
    if (c < 0x20 || (c >= 0x7f && c < 0xa0))
        appendHex(out, "\\x", uint(c), 2);
    else if (isInvisibleOrReordering(c))
        appendHex(out, "\\u", uint(c), 4);
    else
        out += QString::fromUcs4(&c, 1);
}

} // namespace

QString escapedForLog(QStringView text, qsizetype maxCharacters)
{
    QString out;
    qsizetype shown = 0;
    for (const uint c : text.toUcs4()) {
        if (shown == maxCharacters) {
            out += QLatin1String("...");
            break;
        }
        appendEscaped(out, c);
        ++shown;
    }
    return out;
}

QString escapedForLog(const QByteArray &bytes, qsizetype maxCharacters)
{
    QString out;
    out.reserve(std::min(bytes.size(), maxCharacters) + 3);
    qsizetype shown = 0;
    qsizetype i = 0;
    while (i < bytes.size()) {
        if (shown == maxCharacters) {
            out += QLatin1String("...");
            break;
        }
        // A whole answer can be logged: its ASCII, nearly all of it, goes
        // without a decoder each.
        const auto ascii = static_cast<unsigned char>(bytes[i]);
        if (ascii < 0x80) {
            appendEscaped(out, ascii);
            ++i;
            ++shown;
            continue;
        }
        // The longest run of whole UTF-8 from here, one character at a time.
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const qsizetype length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xe ? 3 : (lead >> 3) == 0x1e ? 4 : 0;
        bool whole = length > 0 && i + length <= bytes.size();
        QString decoded;
        if (whole) {
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            decoded = decoder(QByteArrayView(bytes).sliced(i, length));
            whole = !decoder.hasError() && !decoded.isEmpty();
        }
        if (whole) {
            for (const uint c : decoded.toUcs4())
                appendEscaped(out, c);
            i += length;
        } else {
            appendHex(out, "\\x", lead, 2);
            ++i;
        }
        ++shown;
    }
    return out;
}

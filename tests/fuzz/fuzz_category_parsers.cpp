// The text and byte readers of the general categories against themselves:
// the first byte picks the reader, the rest is its input. Whatever a reader
// accepts must survive being written and read again unchanged, and nothing
// may crash, hang or read out of bounds. Inputs reach 64 KiB, so that
// nesting beyond the readers' depth bounds is within reach.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include <QByteArray>
#include <QString>
#include <QVariant>

#include "Categories/RVArray.h"
#include "Categories/RVDictionary.h"
#include "Categories/RVEncoding.h"
#include "Categories/RVHTML.h"
#include "Categories/RVNumber.h"
#include "Categories/RVStringHelpers.h"
#include "Categories/RVValidators.h"
#include "FuzzSupport.h"

namespace {

[[noreturn]] void fail(const char *what, const QByteArray &input)
{
    std::fprintf(stderr, "%s: %s\n", what, input.toHex().constData());
    std::abort();
}

void numbers(const QByteArray &bytes)
{
    const QString text = QString::fromUtf8(bytes);
    const QVariant number = rv_numberWithString(text);
    if (number.isValid() && number.typeId() != QMetaType::Bool && number.typeId() != QMetaType::LongLong
        && number.typeId() != QMetaType::Double)
        fail("number of an unexpected type", bytes);
    (void)rv_charValue(text);
    (void)rv_unsignedLongValue(text);
    (void)rv_isNumeric(text);
    (void)rv_isAllDigits(text);
    (void)rv_compareVesion(text, QStringLiteral("1.2.3"));
    (void)rv_deviceTypeForDisplayWithDeviceType(text);
    if (rv_lastCutWithFloatStr(text).isEmpty())
        fail("empty float text", bytes);
}

void queries(const QByteArray &bytes)
{
    const QString text = QString::fromUtf8(bytes);
    const QVariantMap parameters = rv_dictionaryFromURLParameters(text);
    for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it) {
        const QString value = it.value().toString();
        if (rv_urlDecode(rv_urlEncode(value)) != value || rv_urlDecode(rv_encode(value)) != value)
            fail("query value does not survive encoding", bytes);
    }
    if (const auto decoded = rv_urlDecode(text)) {
        if (rv_urlDecode(rv_encode(*decoded)) != *decoded)
            fail("decoded text does not survive encoding", bytes);
    }
}

void xml(const QByteArray &bytes)
{
    if (const auto document = rv_XMLDictionary(QString::fromUtf8(bytes))) {
        if (document->size() != 1)
            fail("XML root without exactly one element", bytes);
    }
}

void json(const QByteArray &bytes)
{
    const QVariant value = rv_jsonValueDecoded(bytes);
    if (!value.isValid())
        return;
    const std::optional<QString> written = value.typeId() == QMetaType::QVariantList
        ? rv_jsonStringEncoded(value.toList())
        : rv_jsonString(value.toMap());
    if (!written)
        fail("decoded JSON cannot be written", bytes);
    const QVariant again = rv_jsonValueDecoded(written->toUtf8());
    const std::optional<QString> rewritten = again.typeId() == QMetaType::QVariantList
        ? rv_jsonStringEncoded(again.toList())
        : rv_jsonString(again.toMap());
    if (rewritten != written)
        fail("JSON changes on a second round", bytes);
}

// Values alike, with NaN reals alike: compared by value, since libplist's
// writer may lay the same value out differently from one write to the next.
bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.typeId() != b.typeId())
        return false;
    switch (a.typeId()) {
    case QMetaType::QVariantList: {
        const QVariantList x = a.toList();
        const QVariantList y = b.toList();
        if (x.size() != y.size())
            return false;
        for (qsizetype i = 0; i < x.size(); ++i) {
            if (!sameValue(x.at(i), y.at(i)))
                return false;
        }
        return true;
    }
    case QMetaType::QVariantMap: {
        const QVariantMap x = a.toMap();
        const QVariantMap y = b.toMap();
        if (x.keys() != y.keys())
            return false;
        for (auto it = x.constBegin(); it != x.constEnd(); ++it) {
            if (!sameValue(it.value(), y.value(it.key())))
                return false;
        }
        return true;
    }
    case QMetaType::Double: {
        const double x = a.toDouble();
        const double y = b.toDouble();
        return x == y || (x != x && y != y);
    }
    default:
        return a == b;
    }
}

// What the reader takes, as an array or a dictionary.
std::optional<QVariant> readPlist(const QByteArray &bytes)
{
    if (const auto list = rv_arrayWithPlistData(bytes))
        return QVariant(*list);
    if (const auto map = rv_dictionaryWithPlistData(bytes))
        return QVariant(*map);
    return std::nullopt;
}

std::optional<QByteArray> writePlist(const QVariant &value)
{
    return value.typeId() == QMetaType::QVariantList ? rv_plistData(value.toList()) : rv_plistData(value.toMap());
}

void plist(const QByteArray &bytes)
{
    const std::optional<QVariant> first = readPlist(bytes);
    if (!first)
        return;
    const std::optional<QByteArray> written = writePlist(*first);
    if (!written)
        return;  // a read value that has no written form (a NUL in a text)
    // Once written by us, a value reads back, and reads back alike after
    // being written again.
    const std::optional<QVariant> second = readPlist(*written);
    if (!second)
        fail("a written property list cannot be read", bytes);
    const std::optional<QByteArray> rewritten = writePlist(*second);
    const std::optional<QVariant> third = rewritten ? readPlist(*rewritten) : std::nullopt;
    if (!third || !sameValue(*second, *third))
        fail("property list changes on a second round", bytes);
}

bool isLineBreak(QChar c)
{
    const char16_t u = c.unicode();
    return u == 0x0A || u == 0x0D || u == 0x85 || u == 0x0C || u == 0x2028 || u == 0x2029;
}

bool isWhiteSpaceOrLineBreak(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || isLineBreak(c);
}

void html(const QByteArray &bytes)
{
    const QString text = QString::fromUtf8(bytes);
    // Escaping is undone by unescaping; the ASCII form holds only ASCII and
    // cannot carry U+FFFF, which no reference may name.
    if (rv_stringByUnescapingFromHTML(rv_stringByEscapingForHTML(text)) != text)
        fail("HTML escaping does not survive unescaping", bytes);
    const QString ascii = rv_stringByEscapingForAsciiHTML(text);
    for (const QChar c : ascii) {
        if (c.unicode() >= 128)
            fail("ASCII escaping left a character beyond ASCII", bytes);
    }
    if (!text.contains(QChar(0xFFFF)) && rv_stringByUnescapingFromHTML(ascii) != text)
        fail("ASCII HTML escaping does not survive unescaping", bytes);
    (void)rv_stringByUnescapingFromHTML(text);

    // Stripping tags collapses white space as well, but a text without "<"
    // comes back as it is.
    QList<QString> collapsedTexts{rv_stringByRemovingNewLinesAndWhitespace(text)};
    if (text.contains(QLatin1Char('<')))
        collapsedTexts.append(rv_stringByStrippingTags(text));
    else if (rv_stringByStrippingTags(text) != text)
        fail("a text without tags changed when stripped", bytes);
    for (const QString &collapsed : collapsedTexts) {
        if (!collapsed.isEmpty()
            && (isWhiteSpaceOrLineBreak(collapsed.front()) || isWhiteSpaceOrLineBreak(collapsed.back())))
            fail("collapsed text starts or ends with white space", bytes);
        for (qsizetype i = 1; i < collapsed.size(); ++i) {
            if (isWhiteSpaceOrLineBreak(collapsed.at(i - 1)) && isWhiteSpaceOrLineBreak(collapsed.at(i)))
                fail("collapsed text keeps a run of white space", bytes);
        }
    }
    for (const QChar c : rv_stringWithNewLinesAsBRs(text)) {
        if (isLineBreak(c))
            fail("a line break outlived its conversion", bytes);
    }
    (void)rv_stringByConvertingHTMLToPlainText(text);
    (void)rv_stringByLinkifyingURLs(text);
}

void regex(const QByteArray &bytes)
{
    // The first byte splits the rest into a pattern and a text.
    if (bytes.isEmpty())
        return;
    const qsizetype split = qsizetype(static_cast<quint8>(bytes.at(0))) % bytes.size();
    const QString pattern = QString::fromUtf8(bytes.mid(1, split));
    const QString text = QString::fromUtf8(bytes.mid(1 + split));
    (void)rv_isValidateByRegex(text, pattern);
    // A quoted text matches itself whole, and nothing longer.
    if (!text.contains(QLatin1String("\\E"))) {
        const QString quoted = QLatin1String("\\Q") + text + QLatin1String("\\E");
        if (!rv_isValidateByRegex(text, quoted) || rv_isValidateByRegex(text + QLatin1Char('x'), quoted))
            fail("a quoted text does not match exactly itself", bytes);
    }
}

void encodings(const QByteArray &bytes)
{
    const QString text = QString::fromLatin1(bytes);
    if (const auto data = rv_dataWithBase64EncodedString(text)) {
        if (rv_dataWithBase64EncodedString(*rv_base64EncodedStringWithWrapWidth(*data, 10)) != data)
            fail("Base64 does not survive a round", bytes);
    }
    if (const auto data = rv_dataWithHexString(text)) {
        if (rv_dataWithHexString(rv_hexString(*data)) != data && !data->isEmpty())
            fail("hex does not survive a round", bytes);
    }
    (void)rv_UTF8String(bytes);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qInstallMessageHandler(FuzzSupport::quiet);
    FuzzSupport::allowInputsUpTo(argc, argv, 65536);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray input(reinterpret_cast<const char *>(data) + 1, static_cast<qsizetype>(size - 1));
    switch (data[0] % 8) {
    case 0: numbers(input); break;
    case 1: queries(input); break;
    case 2: xml(input); break;
    case 3: json(input); break;
    case 4: plist(input); break;
    case 5: html(input); break;
    case 6: regex(input); break;
    default: encodings(input); break;
    }
    return 0;
}

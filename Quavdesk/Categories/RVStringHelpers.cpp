#include "Categories/RVStringHelpers.h"

#include "Categories/RVArray.h"
#include "Categories/RVEncoding.h"
#include "Categories/RVNumber.h"
#include "Categories/RVNumberValue_p.h"
#include "Categories/RVString.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QUrl>
#include <QXmlStreamReader>

#include <cmath>
#include <memory>
#include <unicode/translit.h>
#include <unicode/unistr.h>

namespace {

template <typename T>
T convertedNumber(const QString &text)
{
    const QVariant number = rv_numberWithString(text);
    if (!number.isValid())
        return T(0);
    return rvConvertNumber<T>(number);
}

// Transliterators are costly to build and not safe to share between
// threads; each thread builds each one once.
QString transliterated(const QString &text, const char *id)
{
    struct Cached {
        std::unique_ptr<icu::Transliterator> mandarin;
        std::unique_ptr<icu::Transliterator> stripMarks;
        bool tried = false;
    };
    thread_local Cached cache;
    if (!cache.tried) {
        cache.tried = true;
        UErrorCode status = U_ZERO_ERROR;
        cache.mandarin.reset(icu::Transliterator::createInstance("Han-Latin", UTRANS_FORWARD, status));
        if (U_FAILURE(status))
            cache.mandarin.reset();
        status = U_ZERO_ERROR;
        cache.stripMarks.reset(icu::Transliterator::createInstance("NFD; [:Mn:] Remove; NFC", UTRANS_FORWARD, status));
        if (U_FAILURE(status))
            cache.stripMarks.reset();
    }
    icu::Transliterator *transliterator = qstrcmp(id, "Han-Latin") == 0 ? cache.mandarin.get() : cache.stripMarks.get();
    // Without the transform the text stays as it is.
    if (!transliterator)
        return text;
    icu::UnicodeString buffer(reinterpret_cast<const UChar *>(text.constData()), static_cast<int32_t>(text.size()));
    transliterator->transliterate(buffer);
    return QString(reinterpret_cast<const QChar *>(buffer.getBuffer()), buffer.length());
}

bool isWhiteSpaceSeparator(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

// The text's box when laid out word-wrapped within `box`; an empty box when
// there is no GUI application to measure with.
QRectF boundsOf(const QString &text, const std::optional<QFont> &font, QSizeF box)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return QRectF();
    const QFontMetricsF metrics(font.value_or(QGuiApplication::font()));
    return metrics.boundingRect(QRectF(QPointF(0, 0), box), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
}

// Layout boxes are finite: an unbounded side is this large, and a negative
// or undefined side is empty.
double boxSide(double side)
{
    constexpr double kUnbounded = 1e7;
    if (!(side > 0))
        return 0;
    return std::min(side, kUnbounded);
}

} // namespace

qint8 rv_charValue(const QString &text) { return convertedNumber<qint8>(text); }
quint8 rv_unsignedCharValue(const QString &text) { return convertedNumber<quint8>(text); }
qint16 rv_shortValue(const QString &text) { return convertedNumber<qint16>(text); }
quint16 rv_unsignedShortValue(const QString &text) { return convertedNumber<quint16>(text); }
quint32 rv_unsignedIntValue(const QString &text) { return convertedNumber<quint32>(text); }
qint64 rv_longValue(const QString &text) { return convertedNumber<qint64>(text); }
quint64 rv_unsignedLongValue(const QString &text) { return convertedNumber<quint64>(text); }
quint64 rv_unsignedLongLongValue(const QString &text) { return convertedNumber<quint64>(text); }
quint64 rv_unsignedIntegerValue(const QString &text) { return convertedNumber<quint64>(text); }

QVariant rv_numberValue(const QString &text)
{
    return rv_numberWithString(text);
}

QByteArray rv_dataValue(const QString &text)
{
    return text.toUtf8();
}

RVTextRange rv_rangeOfAll(const QString &text)
{
    return RVTextRange{0, text.size()};
}

QVariant rv_jsonValueDecoded(const QString &text)
{
    return rv_jsonValueDecoded(rv_dataValue(text));
}

bool rv_isAllDigits(const QString &text)
{
    const QList<uint> codePoints = text.toUcs4();
    for (const uint codePoint : codePoints) {
        if (QChar::category(static_cast<char32_t>(codePoint)) != QChar::Number_DecimalDigit)
            return false;
    }
    return true;
}

bool rv_isNumeric(const QString &text)
{
    qsizetype at = 0;
    while (at < text.size() && text.at(at).isSpace())
        ++at;
    const std::optional<qsizetype> length = rvScanDecimalNumber(text, at);
    if (!length)
        return false;
    for (at += *length; at < text.size(); ++at) {
        if (!text.at(at).isSpace())
            return false;
    }
    return true;
}

QString removeLastSubString(const QString &text, const QString &subString)
{
    // An empty suffix matches every text and would never stop.
    if (subString.isEmpty())
        return text;
    qsizetype end = text.size();
    while (end >= subString.size() && QStringView(text).first(end).endsWith(subString))
        end -= subString.size();
    return text.first(end);
}

QString rv_convertDataSize(quint64 byteCount)
{
    constexpr quint64 kKilo = quint64(1) << 10;
    constexpr quint64 kMega = quint64(1) << 20;
    constexpr quint64 kGiga = quint64(1) << 30;
    constexpr quint64 kTera = quint64(1) << 40;
    constexpr quint64 kPeta = quint64(1) << 50;
    constexpr quint64 kExa = quint64(1) << 60;
    const auto b = static_cast<double>(byteCount);
    if (byteCount < kKilo)
        return QString::asprintf("%llu byte", static_cast<unsigned long long>(byteCount));
    if (byteCount < kMega)
        return QString::asprintf("%.2f KB", b / double(kKilo));
    if (byteCount < kGiga)
        return QString::asprintf("%.2f MB", b / double(kMega));
    if (byteCount < kTera)
        return QString::asprintf("%.2f GB", b / double(kGiga));
    if (byteCount < kPeta)
        return QString::asprintf("%.2f TB", b / double(kTera));
    if (b < double(kExa))
        return QString::asprintf("%.2f PB", b / double(kPeta));
    return QString::asprintf("%.2f EB", b / double(kExa));
}

QString rv_getRandomString()
{
    static const QLatin1String kAlphabet("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    QString code;
    for (int i = 0; i < 4; ++i)
        code.append(kAlphabet.at(static_cast<qsizetype>(QRandomGenerator::global()->bounded(quint32(kAlphabet.size())))));
    return code;
}

int rv_compareVesion(const QString &version, const QString &otherVersion)
{
    if (rv_isEmpty(version) || rv_isEmpty(otherVersion))
        return 3;
    const QStringList mine = version.split(QLatin1Char('.'));
    const QStringList theirs = otherVersion.split(QLatin1Char('.'));
    const qsizetype count = std::max(mine.size(), theirs.size());
    const QString zero = QStringLiteral("0");
    for (qsizetype i = 0; i < count; ++i) {
        const qint64 other = rvTextIntegerValue(rv_objectOrNilAtIndex(theirs, quint64(i)).value_or(zero));
        const qint64 self = rvTextIntegerValue(rv_objectOrNilAtIndex(mine, quint64(i)).value_or(zero));
        if (other > self)
            return 1;
        if (other < self)
            return 0;
    }
    return 2;
}

QString rv_deviceTypeForDisplayWithDeviceType(const QString &deviceType)
{
    if (deviceType.isNull() || deviceType.contains(QChar(0)))
        return QLatin1String("");
    if (deviceType.endsWith(QLatin1Char('_')))
        return deviceType.chopped(1);
    if (deviceType.endsWith(QLatin1Char('R'))) {
        const QString rest = deviceType.chopped(1);
        return rest + (rest.startsWith(QLatin1Char('M')) ? QStringLiteral("0 Pro") : QStringLiteral(" Pro"));
    }
    if (deviceType.endsWith(QLatin1Char('P'))) {
        const QString rest = deviceType.chopped(1);
        return rest + (rest.startsWith(QLatin1Char('M')) ? QStringLiteral("0 Plus") : QStringLiteral(" Plus"));
    }
    // A lone "M" has no second-to-last character to repeat.
    if (deviceType.startsWith(QLatin1Char('M')) && deviceType.size() >= 2)
        return deviceType.chopped(1) + QLatin1Char('0') + deviceType.at(deviceType.size() - 2);
    return deviceType;
}

std::optional<QString> rv_stringNamed(const QString &name)
{
    for (const QString &path : {QStringLiteral(":/") + name, QStringLiteral(":/") + name + QStringLiteral(".txt")}) {
        QFile file(path);
        // The resource root and folders open too, as empty files.
        if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
            continue;
        if (std::optional<QString> text = rv_UTF8String(file.readAll()))
            return text;
    }
    return std::nullopt;
}

QString rv_lastCutWithFloatStr(const QString &text)
{
    const auto value = static_cast<float>(rvTextDoubleValue(text));
    if (value == 0.0f)
        return QStringLiteral("0.00");
    return rvFormattedDecimal(static_cast<double>(value));
}

double rv_heightWithFont(const QString &text, const std::optional<QFont> &font, double width)
{
    return std::ceil(boundsOf(text, font, QSizeF(boxSide(width), boxSide(HUGE_VAL))).height());
}

double rv_widthWithFont(const QString &text, const std::optional<QFont> &font, double height)
{
    return std::ceil(boundsOf(text, font, QSizeF(boxSide(HUGE_VAL), boxSide(height))).width());
}

QSizeF rv_sizeWithFontConstrainedToWidth(const QString &text, const std::optional<QFont> &font, double width)
{
    const QRectF bounds = boundsOf(text, font, QSizeF(boxSide(width), boxSide(HUGE_VAL)));
    return QSizeF(std::ceil(bounds.width()), std::ceil(bounds.height()));
}

QSizeF rv_sizeWithFontConstrainedToHeight(const QString &text, const std::optional<QFont> &font, double height)
{
    const QRectF bounds = boundsOf(text, font, QSizeF(boxSide(HUGE_VAL), boxSide(height)));
    return QSizeF(std::ceil(bounds.width()), std::ceil(bounds.height()));
}

QString rv_pinyinWithPhoneticSymbol(const QString &text)
{
    return transliterated(text, "Han-Latin");
}

QString rv_pinyin(const QString &text)
{
    return transliterated(rv_pinyinWithPhoneticSymbol(text), "strip-marks");
}

QStringList rv_pinyinArray(const QString &text)
{
    const QString latin = rv_pinyin(text);
    QStringList pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i < latin.size(); ++i) {
        if (isWhiteSpaceSeparator(latin.at(i))) {
            pieces.append(latin.mid(start, i - start));
            start = i + 1;
        }
    }
    pieces.append(latin.mid(start));
    return pieces;
}

QString rv_pinyinWithoutBlank(const QString &text)
{
    return rv_pinyinArray(text).join(QString());
}

QStringList rv_pinyinInitialsArray(const QString &text)
{
    QStringList initials;
    const QStringList pieces = rv_pinyinArray(text);
    for (const QString &piece : pieces) {
        if (!piece.isEmpty())
            initials.append(piece.left(1));
    }
    return initials;
}

QString rv_pinyinInitialsString(const QString &text)
{
    return rv_pinyinInitialsArray(text).join(QString());
}

QString rv_urlEncode(const QString &text)
{
    // Encoding the whole text at once gives what encoding it in batches of
    // whole characters gives; no batch can split a character here.
    return QString::fromLatin1(QUrl::toPercentEncoding(text, QByteArrayLiteral("/?")));
}

QString rv_encode(const QString &text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

std::optional<QString> rv_urlDecode(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    qsizetype plainStart = 0;
    for (qsizetype i = 0; i < text.size();) {
        if (text.at(i) != QLatin1Char('%')) {
            ++i;
            continue;
        }
        bytes.append(QStringView(text).mid(plainStart, i - plainStart).toUtf8());
        const int high = i + 1 < text.size() ? rvHexDigitValue(text.at(i + 1).unicode()) : -1;
        const int low = i + 2 < text.size() ? rvHexDigitValue(text.at(i + 2).unicode()) : -1;
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.append(static_cast<char>(high * 16 + low));
        i += 3;
        plainStart = i;
    }
    bytes.append(QStringView(text).mid(plainStart).toUtf8());
    return rv_UTF8String(bytes);
}

QVariantMap rv_dictionaryFromURLParameters(const QString &text)
{
    QVariantMap parameters;
    const QStringList pieces = text.split(QLatin1Char('&'));
    for (const QString &piece : pieces) {
        const QStringList parts = piece.split(QLatin1Char('='));
        if (parts.size() < 2)
            continue;
        const std::optional<QString> value = rv_urlDecode(parts.at(1));
        if (!value)
            continue;
        parameters.insert(parts.at(0), *value);
    }
    return parameters;
}

RVXMLDictionaryBuilder::RVXMLDictionaryBuilder()
{
    setCurrentDictionaries({QVariantMap()});
}

void RVXMLDictionaryBuilder::setCurrentDictionaries(const QList<QVariantMap> &dictionaries)
{
    m_dictionaries = dictionaries;
    m_names = QStringList();
    m_hasText = QList<bool>();
    for (qsizetype i = 0; i < m_dictionaries.size(); ++i) {
        m_names.append(QString());
        m_hasText.append(false);
    }
}

void RVXMLDictionaryBuilder::storeText(qsizetype level)
{
    if (m_text.isEmpty() || level < 0 || level >= m_dictionaries.size())
        return;
    QVariantMap &dictionary = m_dictionaries[level];
    const QString key = QStringLiteral("text");
    // The first text of an element replaces a "text" attribute; text that
    // resumes after a child element joins what the element already holds.
    if (m_hasText.at(level))
        dictionary.insert(key, dictionary.value(key).toString() + m_text);
    else
        dictionary.insert(key, m_text);
    m_hasText[level] = true;
    m_text = QString();
}

void RVXMLDictionaryBuilder::parserDidStartElement(const QString &elementName, const QVariantMap &attributes)
{
    // Text before a child belongs to the element that holds it, not to the
    // child that ends next.
    storeText(m_dictionaries.size() - 1);
    m_dictionaries.append(attributes);
    m_names.append(elementName);
    m_hasText.append(false);
}

void RVXMLDictionaryBuilder::parserDidEndElement(const QString &elementName)
{
    Q_UNUSED(elementName);
    // The root is never closed.
    if (m_dictionaries.size() < 2)
        return;
    storeText(m_dictionaries.size() - 1);
    const QVariantMap child = m_dictionaries.takeLast();
    const QString name = m_names.takeLast();
    m_hasText.removeLast();

    QVariantMap &parent = m_dictionaries.last();
    const auto existing = parent.find(name);
    if (existing == parent.end()) {
        parent.insert(name, child);
    } else if (existing.value().typeId() == QMetaType::QVariantList) {
        QVariantList list = existing.value().toList();
        list.append(child);
        existing.value() = list;
    } else {
        existing.value() = QVariantList{existing.value(), child};
    }
}

void RVXMLDictionaryBuilder::parserFoundCharacters(const QString &characters)
{
    m_text += characters;
}

QVariantMap RVXMLDictionaryBuilder::result() const
{
    return m_dictionaries.isEmpty() ? QVariantMap() : m_dictionaries.first();
}

namespace {

// The deepest element nesting rv_XMLDictionary builds; the document element
// is at depth 1.
constexpr int kXMLMaxDepth = 512;

} // namespace

std::optional<QVariantMap> rv_XMLDictionary(const QString &text)
{
    QXmlStreamReader reader(text.toUtf8());
    // Names are taken as written, prefixes included, and namespace
    // declarations are attributes like any other.
    reader.setNamespaceProcessing(false);
    RVXMLDictionaryBuilder builder;
    // Each level is a dictionary inside its parent's, and freeing one frees
    // its children first: a document nested deeper than any real one is
    // refused before it is built, so neither step runs out of stack.
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            if (++depth > kXMLMaxDepth)
                return std::nullopt;
            QVariantMap attributes;
            const QXmlStreamAttributes list = reader.attributes();
            for (const QXmlStreamAttribute &attribute : list)
                attributes.insert(attribute.qualifiedName().toString(), attribute.value().toString());
            builder.parserDidStartElement(reader.qualifiedName().toString(), attributes);
            break;
        }
        case QXmlStreamReader::EndElement:
            --depth;
            builder.parserDidEndElement(reader.qualifiedName().toString());
            break;
        case QXmlStreamReader::Characters:
            builder.parserFoundCharacters(reader.text().toString());
            break;
        default:
            break;
        }
    }
    if (reader.hasError()) {
        builder.parserParseErrorOccurred();
        return std::nullopt;
    }
    return builder.result();
}

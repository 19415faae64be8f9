#pragma once

#include <QByteArray>
#include <QFont>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <QtGlobal>
#include <optional>

// General text helpers of the string category. Pure functions of their
// input (apart from the random code, resources and fonts), safe on any
// thread except the measuring ones, which need the GUI application.

// Typed values: the text read by rv_numberWithString, converted as C
// converts (truncating and wrapping; out-of-range reals saturate); 0 for a
// text that is no number.
qint8 rv_charValue(const QString &text);
quint8 rv_unsignedCharValue(const QString &text);
qint16 rv_shortValue(const QString &text);
quint16 rv_unsignedShortValue(const QString &text);
quint32 rv_unsignedIntValue(const QString &text);
qint64 rv_longValue(const QString &text);
quint64 rv_unsignedLongValue(const QString &text);
quint64 rv_unsignedLongLongValue(const QString &text);
quint64 rv_unsignedIntegerValue(const QString &text);
// The number, or nil (an invalid variant).
QVariant rv_numberValue(const QString &text);

QByteArray rv_dataValue(const QString &text);

struct RVTextRange {
    qsizetype location = 0;
    qsizetype length = 0;
};
// From 0 over the whole text, in UTF-16 units.
RVTextRange rv_rangeOfAll(const QString &text);

// The JSON object or array of the text's UTF-8 bytes, or nil.
QVariant rv_jsonValueDecoded(const QString &text);

// True when no character lies outside the Unicode decimal digits ("" too).
bool rv_isAllDigits(const QString &text);
// True when, after white space, one decimal number (sign, digits with an
// optional point, optional exponent) and then only white space follow.
bool rv_isNumeric(const QString &text);

// The text with every trailing repeat of `subString` removed; an empty
// `subString` leaves it as it is.
QString removeLastSubString(const QString &text, const QString &subString);

// "0 byte" to "1023 byte", then "%.2f" KB, MB, GB, TB, PB and EB by steps of
// 1024; the unit follows the count, not the rounded figure.
QString rv_convertDataSize(quint64 byteCount);
// "0.00" when the text's leading number is 0 as a float, else that float in
// the current locale's decimal style.
QString rv_lastCutWithFloatStr(const QString &text);
// Four characters drawn uniformly from A-Z and 0-9.
QString rv_getRandomString();
// 1 when `otherVersion` is newer than `version`, 0 when older, 2 when the
// same, 3 when either is empty; dot-separated components compare by their
// leading integers, missing ones as 0.
int rv_compareVesion(const QString &version, const QString &otherVersion);
// The display form of a model code ("XR" is "X Pro", "MP" "M0 Plus", "M99"
// "M909"); nil and texts holding NUL give "".
QString rv_deviceTypeForDisplayWithDeviceType(const QString &deviceType);
// The UTF-8 text of the program's resource of that name, else of the name
// with ".txt"; nothing when neither exists or reads as UTF-8.
std::optional<QString> rv_stringNamed(const QString &name);

// The word-wrapped bounds of the text in `font` (the application's font
// when none), rounded up to whole points.
double rv_heightWithFont(const QString &text, const std::optional<QFont> &font, double width);
double rv_widthWithFont(const QString &text, const std::optional<QFont> &font, double height);
QSizeF rv_sizeWithFontConstrainedToWidth(const QString &text, const std::optional<QFont> &font, double width);
QSizeF rv_sizeWithFontConstrainedToHeight(const QString &text, const std::optional<QFont> &font, double height);

// Mandarin to Latin letters with tone marks ("nǐ hǎo"), then without them,
// split at white space (empty pieces kept), joined, and the initials.
QString rv_pinyinWithPhoneticSymbol(const QString &text);
QString rv_pinyin(const QString &text);
QStringList rv_pinyinArray(const QString &text);
QString rv_pinyinWithoutBlank(const QString &text);
QStringList rv_pinyinInitialsArray(const QString &text);
QString rv_pinyinInitialsString(const QString &text);

// Percent-encoding of the UTF-8 bytes keeping A-Z a-z 0-9 "-._~/?"; the
// legacy form keeps only A-Z a-z 0-9 "-._~".
QString rv_urlEncode(const QString &text);
QString rv_encode(const QString &text);
// Every %XX escape replaced by its byte, the bytes read as UTF-8; "+" stays.
// Nothing for a malformed escape or bytes that are not UTF-8.
std::optional<QString> rv_urlDecode(const QString &text);
// Query parameters: pieces between "&", key before the first "=" (as it is),
// value up to a second "=" percent-decoded; later keys replace earlier ones.
// Pieces without "=" or with a value that does not decode are skipped.
QVariantMap rv_dictionaryFromURLParameters(const QString &text);

// The XML document as nested dictionaries: the root holds the document
// element's name; each element is a dictionary of its attributes, repeated
// child names collect into a list, and an element's character data is under
// "text" (a "text" attribute gives way to it). Nothing when the text is not
// well-formed XML, or when elements nest more than 512 deep.
std::optional<QVariantMap> rv_XMLDictionary(const QString &text);

// The event handler behind rv_XMLDictionary, for parsers driven elsewhere.
class RVXMLDictionaryBuilder
{
public:
    RVXMLDictionaryBuilder();

    void parserDidStartElement(const QString &elementName, const QVariantMap &attributes);
    void parserDidEndElement(const QString &elementName);
    void parserFoundCharacters(const QString &characters);
    // Nothing to undo: the caller discards the result of a failed parse.
    void parserParseErrorOccurred() {}

    // The stack of open dictionaries; its first entry is the root.
    const QList<QVariantMap> &currentDictionaries() const { return m_dictionaries; }
    void setCurrentDictionaries(const QList<QVariantMap> &dictionaries);
    const QString &currentText() const { return m_text; }
    void setCurrentText(const QString &text) { m_text = text; }

    // The root dictionary once every element has ended.
    QVariantMap result() const;

private:
    void storeText(qsizetype level);

    QList<QVariantMap> m_dictionaries;
    QStringList m_names;
    QList<bool> m_hasText;
    QString m_text;
};

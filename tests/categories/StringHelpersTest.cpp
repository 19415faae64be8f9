#include <gtest/gtest.h>

#include "CategoryVectors.h"
#include "Categories/RVNumber.h"
#include "Categories/RVStringHelpers.h"

#include <QFont>
#include <QRegularExpression>
#include <QSet>
#include <limits>
#include <unicode/locid.h>

namespace {

// Pins ICU's default locale for one test and restores it.
class PinnedLocale
{
public:
    explicit PinnedLocale(const char *name)
        : m_saved(icu::Locale::getDefault())
    {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(icu::Locale(name), status);
    }
    ~PinnedLocale()
    {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(m_saved, status);
    }
    PinnedLocale(const PinnedLocale &) = delete;
    PinnedLocale &operator=(const PinnedLocale &) = delete;

private:
    icu::Locale m_saved;
};

QVariantMap child(const QVariantMap &map, const char *key)
{
    return map.value(QLatin1String(key)).toMap();
}

} // namespace

TEST(RvNumberWithString, TableThenHexThenTheLocaleFormat)
{
    const PinnedLocale english("en_US");
    EXPECT_EQ(rv_numberWithString(QStringLiteral("  YES ")), QVariant(true));
    EXPECT_EQ(rv_numberWithString(QStringLiteral("True")), QVariant(true));
    EXPECT_EQ(rv_numberWithString(QStringLiteral("no")), QVariant(false));
    for (const char *nil : {"<NULL>", "nil", " null ", "", "   ", "abc", "12abc", "0x", "-0x", "0xzz", "1 2"})
        EXPECT_FALSE(rv_numberWithString(QString::fromLatin1(nil)).isValid()) << nil;
    EXPECT_FALSE(rv_numberWithString(QString()).isValid());
    EXPECT_EQ(rv_numberWithString(QStringLiteral("0x1F")), QVariant(qint64(31)));
    EXPECT_EQ(rv_numberWithString(QStringLiteral("0X1f")), QVariant(qint64(31)));
    EXPECT_EQ(rv_numberWithString(QStringLiteral("0x1fzz")), QVariant(qint64(31)));
    EXPECT_EQ(rv_numberWithString(QStringLiteral("-0x1f")), QVariant(qint64(-31)));
    EXPECT_EQ(rv_numberWithString(QStringLiteral("0x1FFFFFFFFFF")), QVariant(qint64(0xFFFFFFFF)));
    EXPECT_EQ(rv_numberWithString(QStringLiteral("1,234")), QVariant(qint64(1234)));
    EXPECT_EQ(rv_numberWithString(QStringLiteral("-17")), QVariant(qint64(-17)));
    EXPECT_EQ(rv_numberWithString(QStringLiteral("2.5")), QVariant(2.5));
    {
        const PinnedLocale german("de_DE");
        EXPECT_EQ(rv_numberWithString(QStringLiteral("1.234,5")), QVariant(1234.5));
    }

    EXPECT_EQ(rv_charValue(QStringLiteral("300")), 44);
    EXPECT_EQ(rv_unsignedCharValue(QStringLiteral("-1")), 255);
    EXPECT_EQ(rv_shortValue(QStringLiteral("70000")), 4464);
    EXPECT_EQ(rv_unsignedShortValue(QStringLiteral("yes")), 1);
    EXPECT_EQ(rv_unsignedIntValue(QStringLiteral("0xFFFFFFFF")), 0xFFFFFFFFu);
    EXPECT_EQ(rv_longValue(QStringLiteral("3.7")), 3);
    EXPECT_EQ(rv_longValue(QStringLiteral("null")), 0);
    EXPECT_EQ(rv_unsignedLongValue(QStringLiteral("-3.7")), 0u);
    EXPECT_EQ(rv_unsignedLongLongValue(QStringLiteral("12")), 12u);
    EXPECT_EQ(rv_unsignedIntegerValue(QStringLiteral("junk")), 0u);
    EXPECT_EQ(rv_numberValue(QStringLiteral("7")), QVariant(qint64(7)));
}

TEST(RvStringHelpers, SmallTextOperations)
{
    EXPECT_EQ(rv_dataValue(QStringLiteral("中")), QByteArray("\xe4\xb8\xad"));
    EXPECT_EQ(rv_rangeOfAll(QStringLiteral("a\U0001F600")).length, 3);
    EXPECT_EQ(rv_rangeOfAll(QStringLiteral("abc")).location, 0);
    EXPECT_EQ(rv_jsonValueDecoded(QStringLiteral("{\"a\":1}")).toMap().value(QStringLiteral("a")).toInt(), 1);
    EXPECT_FALSE(rv_jsonValueDecoded(QStringLiteral("1")).isValid());

    EXPECT_TRUE(rv_isAllDigits(QString()));
    EXPECT_TRUE(rv_isAllDigits(QStringLiteral("0123")));
    EXPECT_TRUE(rv_isAllDigits(QString::fromUtf16(u"\u0661\u0662\u0663")));
    EXPECT_TRUE(rv_isAllDigits(QStringLiteral("\U0001D7CE")));  // a digit outside the BMP
    EXPECT_FALSE(rv_isAllDigits(QStringLiteral("12a")));
    EXPECT_FALSE(rv_isAllDigits(QStringLiteral("1.5")));
    EXPECT_FALSE(rv_isAllDigits(QString::fromUtf16(u"\xD835")));

    for (const char *yes : {"1.5", " 1.5 ", ".5", "5.", "-1e3", "+2", "\t7\n"})
        EXPECT_TRUE(rv_isNumeric(QString::fromLatin1(yes))) << yes;
    for (const char *no : {"1.5x", "1e", "", " ", "abc", ".", "-", "inf", "nan", "0x1p3", "1 2", "e5"})
        EXPECT_FALSE(rv_isNumeric(QString::fromLatin1(no))) << no;

    EXPECT_EQ(removeLastSubString(QStringLiteral("a.b..."), QStringLiteral(".")), QStringLiteral("a.b"));
    EXPECT_EQ(removeLastSubString(QStringLiteral("..."), QStringLiteral(".")), QString());
    EXPECT_EQ(removeLastSubString(QStringLiteral("abab"), QStringLiteral("ab")), QString());
    EXPECT_EQ(removeLastSubString(QStringLiteral("abc"), QString()), QStringLiteral("abc"));
    EXPECT_EQ(removeLastSubString(QStringLiteral("abc"), QStringLiteral("x")), QStringLiteral("abc"));
    EXPECT_EQ(removeLastSubString(QStringLiteral("ab"), QStringLiteral("abc")), QStringLiteral("ab"));
    EXPECT_EQ(removeLastSubString(QString(200000, QLatin1Char('.')), QStringLiteral(".")), QString());

    const QJsonArray sizes = categoryVectors("strings.json", "sizes");
    ASSERT_GT(sizes.size(), 10);
    for (const QJsonValue &value : sizes) {
        const QJsonObject entry = value.toObject();
        const quint64 bytes = entry.value(QLatin1String("bytes")).toString().toULongLong();
        EXPECT_EQ(rv_convertDataSize(bytes), entry.value(QLatin1String("text")).toString()) << bytes;
    }

    const PinnedLocale english("en_US");
    EXPECT_EQ(rv_lastCutWithFloatStr(QStringLiteral("1234.5678")), QStringLiteral("1,234.568"));
    EXPECT_EQ(rv_lastCutWithFloatStr(QStringLiteral(" -2.5")), QStringLiteral("-2.5"));
    EXPECT_EQ(rv_lastCutWithFloatStr(QStringLiteral("abc")), QStringLiteral("0.00"));
    EXPECT_EQ(rv_lastCutWithFloatStr(QStringLiteral("1e-50")), QStringLiteral("0.00"));
}

TEST(RvStringHelpers, CodesVersionsModelNamesAndResources)
{
    const QRegularExpression shape(QStringLiteral("^[A-Z0-9]{4}$"));
    QSet<QChar> seen;
    for (int i = 0; i < 2000; ++i) {
        const QString code = rv_getRandomString();
        ASSERT_TRUE(shape.match(code).hasMatch()) << code.toStdString();
        for (const QChar c : code)
            seen.insert(c);
    }
    EXPECT_EQ(seen.size(), 36);

    EXPECT_EQ(rv_compareVesion(QStringLiteral("  "), QStringLiteral("1.0")), 3);
    EXPECT_EQ(rv_compareVesion(QStringLiteral("1.0"), QString()), 3);
    EXPECT_EQ(rv_compareVesion(QStringLiteral("2.0"), QStringLiteral("10.0")), 1);
    EXPECT_EQ(rv_compareVesion(QStringLiteral("1.2"), QStringLiteral("1.2.0")), 2);
    EXPECT_EQ(rv_compareVesion(QStringLiteral("1.10"), QStringLiteral("1.9")), 0);
    EXPECT_EQ(rv_compareVesion(QStringLiteral("1.2a"), QStringLiteral("1.2")), 2);
    EXPECT_EQ(rv_compareVesion(QStringLiteral("1.0"), QStringLiteral("1.-1")), 0);
    EXPECT_EQ(rv_compareVesion(QStringLiteral("1..2"), QStringLiteral("1.0.3")), 1);

    EXPECT_EQ(rv_deviceTypeForDisplayWithDeviceType(QStringLiteral("XR")), QStringLiteral("X Pro"));
    EXPECT_EQ(rv_deviceTypeForDisplayWithDeviceType(QStringLiteral("MP")), QStringLiteral("M0 Plus"));
    EXPECT_EQ(rv_deviceTypeForDisplayWithDeviceType(QStringLiteral("M9R")), QStringLiteral("M90 Pro"));
    EXPECT_EQ(rv_deviceTypeForDisplayWithDeviceType(QStringLiteral("M99")), QStringLiteral("M909"));
    EXPECT_EQ(rv_deviceTypeForDisplayWithDeviceType(QStringLiteral("6_")), QStringLiteral("6"));
    EXPECT_EQ(rv_deviceTypeForDisplayWithDeviceType(QStringLiteral("iPad")), QStringLiteral("iPad"));
    EXPECT_EQ(rv_deviceTypeForDisplayWithDeviceType(QStringLiteral("MR")), QStringLiteral("M0 Pro"));
    EXPECT_EQ(rv_deviceTypeForDisplayWithDeviceType(QStringLiteral("M")), QStringLiteral("M"));
    EXPECT_EQ(rv_deviceTypeForDisplayWithDeviceType(QStringLiteral("")), QStringLiteral(""));
    EXPECT_EQ(rv_deviceTypeForDisplayWithDeviceType(QString()), QStringLiteral(""));
    EXPECT_FALSE(rv_deviceTypeForDisplayWithDeviceType(QString()).isNull());
    EXPECT_EQ(rv_deviceTypeForDisplayWithDeviceType(QString::fromUtf16(u"a\u0000b", 3)), QStringLiteral(""));

    EXPECT_EQ(rv_stringNamed(QStringLiteral("category_sample")), QStringLiteral("plain text resource\n中文\n"));
    EXPECT_EQ(rv_stringNamed(QStringLiteral("category_other")), QStringLiteral("from the txt file"));
    EXPECT_FALSE(rv_stringNamed(QStringLiteral("category_binary")).has_value());
    EXPECT_FALSE(rv_stringNamed(QStringLiteral("no_such_resource")).has_value());
    EXPECT_FALSE(rv_stringNamed(QString()).has_value());
}

TEST(RvStringHelpers, MeasuresInWholePointsAndWrapsToTheWidth)
{
    const QString text = QStringLiteral("several words that wrap onto more than one line when narrow");
    const QFont font(QStringLiteral("DejaVu Sans"), 13);
    const double wide = rv_heightWithFont(text, font, 10000);
    const double narrow = rv_heightWithFont(text, font, 80);
    EXPECT_GT(wide, 0);
    EXPECT_GT(narrow, wide);
    EXPECT_EQ(wide, std::ceil(wide));
    const QSizeF size = rv_sizeWithFontConstrainedToWidth(text, font, 80);
    EXPECT_EQ(size.height(), narrow);
    EXPECT_LE(size.width(), 80 + 80);  // a word longer than the width may stick out
    const double oneLine = rv_widthWithFont(text, font, 20);
    EXPECT_GT(oneLine, size.width());
    EXPECT_EQ(rv_sizeWithFontConstrainedToHeight(text, font, 20).width(), oneLine);
    // Without a font the application's is used; odd sizes give no crash.
    EXPECT_GT(rv_heightWithFont(QStringLiteral("x"), std::nullopt, 100), 0);
    EXPECT_GE(rv_heightWithFont(text, std::nullopt, -5), 0);
    EXPECT_GE(rv_widthWithFont(text, std::nullopt, std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(rv_heightWithFont(QString(), font, 100), std::ceil(rv_heightWithFont(QString(), font, 100)));
}

TEST(RvPinyin, TransliteratesMandarinAndSplitsAtWhiteSpace)
{
    EXPECT_EQ(rv_pinyinWithPhoneticSymbol(QStringLiteral("你好")), QString::fromUtf16(u"n\u01d0 h\u01ceo"));
    EXPECT_EQ(rv_pinyin(QStringLiteral("你好")), QStringLiteral("ni hao"));
    EXPECT_EQ(rv_pinyinArray(QStringLiteral("你好")), QStringList({"ni", "hao"}));
    EXPECT_EQ(rv_pinyinWithoutBlank(QStringLiteral("你好")), QStringLiteral("nihao"));
    EXPECT_EQ(rv_pinyinInitialsArray(QStringLiteral("你好")), QStringList({"n", "h"}));
    EXPECT_EQ(rv_pinyinInitialsString(QStringLiteral("你好")), QStringLiteral("nh"));
    EXPECT_EQ(rv_pinyinInitialsString(QStringLiteral("你好 ab")), QStringLiteral("nha"));
    EXPECT_EQ(rv_pinyin(QStringLiteral("plain ascii")), QStringLiteral("plain ascii"));
    // Empty pieces between runs of white space stay in the array.
    EXPECT_EQ(rv_pinyinArray(QStringLiteral("a  b\tc")), QStringList({"a", "", "b", "c"}));
    EXPECT_EQ(rv_pinyinArray(QString()), QStringList({""}));
    EXPECT_TRUE(rv_pinyinInitialsArray(QString()).isEmpty());
    const QString chinese = QStringLiteral("中华人民共和国");
    const QString initials = rv_pinyinInitialsString(chinese);
    EXPECT_EQ(initials.size(), chinese.size());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[a-z]+$")).match(initials).hasMatch());
}

TEST(RvUrl, EncodesAndDecodesLikePythonsUrllib)
{
    const QJsonArray encoding = categoryVectors("strings.json", "urlEncoding");
    ASSERT_GT(encoding.size(), 8);
    for (const QJsonValue &value : encoding) {
        const QJsonObject entry = value.toObject();
        const QString text = entry.value(QLatin1String("text")).toString();
        EXPECT_EQ(rv_urlEncode(text), entry.value(QLatin1String("urlEncode")).toString()) << text.toStdString();
        EXPECT_EQ(rv_encode(text), entry.value(QLatin1String("encode")).toString()) << text.toStdString();
        EXPECT_EQ(rv_urlDecode(rv_encode(text)), text);
        EXPECT_EQ(rv_urlDecode(rv_urlEncode(text)), text);
    }
    const QJsonArray decoding = categoryVectors("strings.json", "urlDecoding");
    ASSERT_GT(decoding.size(), 10);
    for (const QJsonValue &value : decoding) {
        const QJsonObject entry = value.toObject();
        const QString text = entry.value(QLatin1String("text")).toString();
        const QJsonValue expected = entry.value(QLatin1String("decoded"));
        if (expected.isNull())
            EXPECT_FALSE(rv_urlDecode(text).has_value()) << text.toStdString();
        else
            EXPECT_EQ(rv_urlDecode(text), expected.toString()) << text.toStdString();
    }
    EXPECT_EQ(rv_encode(QStringLiteral("/?")), QStringLiteral("%2F%3F"));
    EXPECT_EQ(rv_urlEncode(QString()), QString());
}

TEST(RvUrl, QueryParametersSkipWhatTheyCannotRead)
{
    EXPECT_EQ(rv_dictionaryFromURLParameters(QStringLiteral("a=1&b=%20x&a=3")),
              (QVariantMap{{QStringLiteral("a"), QStringLiteral("3")}, {QStringLiteral("b"), QStringLiteral(" x")}}));
    EXPECT_EQ(rv_dictionaryFromURLParameters(QStringLiteral("?a=1")), (QVariantMap{{QStringLiteral("?a"), QStringLiteral("1")}}));
    EXPECT_EQ(rv_dictionaryFromURLParameters(QStringLiteral("a=1=2")), (QVariantMap{{QStringLiteral("a"), QStringLiteral("1")}}));
    EXPECT_EQ(rv_dictionaryFromURLParameters(QStringLiteral("a&b=1")), (QVariantMap{{QStringLiteral("b"), QStringLiteral("1")}}));
    EXPECT_EQ(rv_dictionaryFromURLParameters(QStringLiteral("a=%zz&b=%E4%B8%AD&c=%E4")),
              (QVariantMap{{QStringLiteral("b"), QStringLiteral("中")}}));
    EXPECT_EQ(rv_dictionaryFromURLParameters(QStringLiteral("k%20x=a+b&=empty&e=")),
              (QVariantMap{{QStringLiteral("k%20x"), QStringLiteral("a+b")},
                           {QString(), QStringLiteral("empty")},
                           {QStringLiteral("e"), QString()}}));
    EXPECT_TRUE(rv_dictionaryFromURLParameters(QString()).isEmpty());
    EXPECT_TRUE(rv_dictionaryFromURLParameters(QStringLiteral("&&&")).isEmpty());
}

TEST(RvXMLDictionary, NestsElementsAttributesListsAndText)
{
    const auto listed = rv_XMLDictionary(QStringLiteral(R"(<r><i k="1"/><i k="2"/></r>)"));
    ASSERT_TRUE(listed.has_value());
    EXPECT_EQ(listed->keys(), QStringList{QStringLiteral("r")});
    EXPECT_EQ(child(*listed, "r").value(QStringLiteral("i")).toList(),
              (QVariantList{QVariantMap{{QStringLiteral("k"), QStringLiteral("1")}},
                            QVariantMap{{QStringLiteral("k"), QStringLiteral("2")}}}));

    const auto three = rv_XMLDictionary(QStringLiteral("<r><i/><i/><i/><j a='x'>t</j></r>"));
    EXPECT_EQ(child(*three, "r").value(QStringLiteral("i")).toList().size(), 3);
    EXPECT_EQ(child(child(*three, "r"), "j"), (QVariantMap{{QStringLiteral("a"), QStringLiteral("x")}, {QStringLiteral("text"), QStringLiteral("t")}}));

    // Content replaces an attribute named "text".
    const auto named = rv_XMLDictionary(QStringLiteral("<r text='attribute'>content</r>"));
    EXPECT_EQ(child(*named, "r").value(QStringLiteral("text")), QVariant(QStringLiteral("content")));

    // Text stays with the element that holds it, around its children too;
    // white space is kept as written.
    const auto mixed = rv_XMLDictionary(QStringLiteral("<a>x<b>y</b>z&amp;<![CDATA[<c>]]></a>"));
    EXPECT_EQ(child(*mixed, "a").value(QStringLiteral("text")), QVariant(QStringLiteral("xz&<c>")));
    EXPECT_EQ(child(child(*mixed, "a"), "b").value(QStringLiteral("text")), QVariant(QStringLiteral("y")));
    const auto spaced = rv_XMLDictionary(QStringLiteral("<r>\n  <i/>\n</r>"));
    EXPECT_EQ(child(*spaced, "r").value(QStringLiteral("text")), QVariant(QStringLiteral("\n  \n")));
    EXPECT_FALSE(child(child(*spaced, "r"), "i").contains(QStringLiteral("text")));

    // Prefixed names and namespace declarations are kept as written.
    const auto prefixed = rv_XMLDictionary(QStringLiteral("<p:r xmlns:p='urn:x' p:a='1'/>"));
    ASSERT_TRUE(prefixed.has_value());
    EXPECT_EQ(child(*prefixed, "p:r").value(QStringLiteral("p:a")), QVariant(QStringLiteral("1")));
}

TEST(RvXMLDictionary, HostileAndMalformedDocumentsGiveNothing)
{
    for (const char *bad : {"", "not xml", "<r>", "<r></s>", "<r/><r/>", "<r a='1' a='2'/>", "<r>&undefined;</r>",
                            "<?xml version='1.0'?>", "<r><![CDATA[x</r>"})
        EXPECT_FALSE(rv_XMLDictionary(QString::fromLatin1(bad)).has_value()) << bad;
    EXPECT_FALSE(rv_XMLDictionary(QString()).has_value());

    // Entity expansion is bounded: a "billion laughs" document is refused
    // rather than expanded.
    QString laughs = QStringLiteral("<?xml version='1.0'?><!DOCTYPE r [<!ENTITY l0 'ha'>");
    for (int i = 1; i < 12; ++i)
        laughs += QStringLiteral("<!ENTITY l%1 '&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;'>").arg(i).arg(i - 1);
    laughs += QStringLiteral("]><r>&l11;</r>");
    const auto expanded = rv_XMLDictionary(laughs);
    if (expanded) {
        EXPECT_LT(child(*expanded, "r").value(QStringLiteral("text")).toString().size(), 1 << 20);
    }

    // An external entity is never fetched.
    const auto external = rv_XMLDictionary(
        QStringLiteral("<!DOCTYPE r [<!ENTITY e SYSTEM 'file:///etc/passwd'>]><r>&e;</r>"));
    if (external) {
        EXPECT_FALSE(child(*external, "r").value(QStringLiteral("text")).toString().contains(QLatin1String("root:")));
    }

}

// Each level is a dictionary inside its parent's: nesting beyond 512 is
// refused before it is built, so neither building nor freeing the result
// recurses without bound.
TEST(RvXMLDictionary, RefusesNestingBeyond512)
{
    const auto nested = [](int depth, const QString &inner = QString()) {
        return QStringLiteral("<a>").repeated(depth) + inner + QStringLiteral("</a>").repeated(depth);
    };
    const auto deepest = rv_XMLDictionary(nested(511, QStringLiteral("<b k='v'/>")));
    ASSERT_TRUE(deepest.has_value());
    QVariantMap level = *deepest;
    int depth = 0;
    while (level.contains(QStringLiteral("a"))) {
        level = child(level, "a");
        ++depth;
    }
    EXPECT_EQ(depth, 511);
    EXPECT_EQ(child(level, "b").value(QStringLiteral("k")), QStringLiteral("v"));

    EXPECT_FALSE(rv_XMLDictionary(nested(513)).has_value());
    EXPECT_FALSE(rv_XMLDictionary(nested(511, QStringLiteral("<b><c/></b>"))).has_value());
    // Deep siblings after shallow ones, and a million levels.
    EXPECT_FALSE(rv_XMLDictionary(QStringLiteral("<r><x/>") + nested(600) + QStringLiteral("</r>")).has_value());
    EXPECT_FALSE(rv_XMLDictionary(nested(1'000'000)).has_value());
    // Depth is nesting, not the count of elements.
    EXPECT_TRUE(rv_XMLDictionary(QStringLiteral("<r>") + QStringLiteral("<i/>").repeated(5000) + QStringLiteral("</r>")));
}

TEST(RvXMLDictionary, TheBuilderCanBeDrivenDirectly)
{
    RVXMLDictionaryBuilder builder;
    ASSERT_EQ(builder.currentDictionaries().size(), 1);
    EXPECT_TRUE(builder.currentText().isEmpty());
    builder.parserDidStartElement(QStringLiteral("r"), {});
    builder.parserFoundCharacters(QStringLiteral("a"));
    builder.parserFoundCharacters(QStringLiteral("b"));
    EXPECT_EQ(builder.currentText(), QStringLiteral("ab"));
    EXPECT_EQ(builder.currentDictionaries().size(), 2);
    builder.parserDidEndElement(QStringLiteral("r"));
    builder.parserParseErrorOccurred();
    // Unbalanced ends do not pop the root.
    builder.parserDidEndElement(QStringLiteral("r"));
    EXPECT_EQ(builder.result(), (QVariantMap{{QStringLiteral("r"), QVariantMap{{QStringLiteral("text"), QStringLiteral("ab")}}}}));
    builder.setCurrentText(QStringLiteral("left"));
    builder.setCurrentDictionaries({});
    builder.parserDidEndElement(QStringLiteral("x"));
    EXPECT_TRUE(builder.result().isEmpty());
}

#include <gtest/gtest.h>

#include "CategoryVectors.h"
#include "Categories/RVHTML.h"

#include <QRandomGenerator>

namespace {

QString u16(const char16_t *text)
{
    return QString::fromUtf16(text);
}

} // namespace

TEST(RvHtmlTables, FullTableIsHtml4PlusAposAndShortTableIsItsSubset)
{
    const QJsonArray expected = categoryVectors("html.json", "entities");
    const auto full = rv_fullHTMLEntityTable();
    ASSERT_EQ(expected.size(), 253);
    ASSERT_EQ(full.size(), 253u);
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const QJsonObject row = expected.at(i).toObject();
        EXPECT_EQ(QLatin1String(full[static_cast<std::size_t>(i)].entity), row.value("entity").toString()) << i;
        EXPECT_EQ(int(full[static_cast<std::size_t>(i)].unit), row.value("unit").toInt()) << i;
    }
    const auto shortTable = rv_shortHTMLEntityTable();
    ASSERT_EQ(shortTable.size(), 33u);
    for (std::size_t i = 0; i < shortTable.size(); ++i) {
        if (i > 0) {
            EXPECT_LT(shortTable[i - 1].unit, shortTable[i].unit);
        }
        const auto same = std::find_if(full.begin(), full.end(), [&](const RVHTMLEntity &row) {
            return row.unit == shortTable[i].unit && qstrcmp(row.entity, shortTable[i].entity) == 0;
        });
        EXPECT_NE(same, full.end()) << shortTable[i].entity;
    }
}

TEST(RvHtmlEscaping, ShortTableKeepsTextAndAsciiFormMatchesPython)
{
    EXPECT_EQ(rv_stringByEscapingForHTML(QStringLiteral("a<b & \"c\"")), QStringLiteral("a&lt;b &amp; &quot;c&quot;"));
    EXPECT_EQ(rv_stringByEscapingForHTML(u16(u"\u00e9\u4e2d\u2014\u20ac'")),
              u16(u"\u00e9\u4e2d&mdash;&euro;&apos;"));
    EXPECT_EQ(rv_stringByEscapingForAsciiHTML(u16(u"\u00e9")), QStringLiteral("&eacute;"));
    EXPECT_EQ(rv_stringByEscapingForAsciiHTML(u16(u"\u4e2d")), QStringLiteral("&#20013;"));
    EXPECT_EQ(rv_stringByEscapingForAsciiHTML(u16(u"\U0001F600")), QStringLiteral("&#55357;&#56832;"));
    EXPECT_TRUE(rv_stringByEscapingForHTML(QString()).isEmpty());

    for (const QJsonValue &value : categoryVectors("html.json", "asciiEscaping")) {
        const QJsonObject entry = value.toObject();
        const QString escaped = rv_stringByEscapingForAsciiHTML(entry.value("text").toString());
        EXPECT_EQ(escaped, entry.value("escaped").toString());
        for (const QChar c : escaped)
            ASSERT_LT(c.unicode(), 128);
    }
}

TEST(RvHtmlUnescaping, ReplacesOneReferenceAtATimeFromTheEnd)
{
    EXPECT_EQ(rv_stringByUnescapingFromHTML(QStringLiteral("&lt;&#65;&#x42;&amp;")), QStringLiteral("<AB&"));
    EXPECT_EQ(rv_stringByUnescapingFromHTML(QStringLiteral("&amp;lt;")), QStringLiteral("&lt;"));
    EXPECT_EQ(rv_stringByUnescapingFromHTML(QStringLiteral("&#x0041;&#X61;&#00066;")), QStringLiteral("AaB"));
    EXPECT_EQ(rv_stringByUnescapingFromHTML(QStringLiteral("&#65534;")), QString(QChar(0xFFFE)));
    EXPECT_EQ(rv_stringByUnescapingFromHTML(QStringLiteral("a & b; &c")), QStringLiteral("a & b; &c"));
    // Each ";" belongs to the nearest "&" before it.
    EXPECT_EQ(rv_stringByUnescapingFromHTML(QStringLiteral("&&lt;;")), QStringLiteral("&<;"));
    // Left as written: value 0, 65535 and up, stray characters, unknown or
    // miscased names, no ";", too short or too long.
    for (const char *kept : {"&#0;", "&#65535;", "&#x1F600;", "&#1234567;", "&#99999999;", "&unknown;", "&LT;",
                             "&amp", "&#;", "&#x;", "&#x4g;", "&#+65;", "&#-65;", "&# 65;", "&#x 41;", "&;",
                             "&ab;", "&thetasymXX;"})
        EXPECT_EQ(rv_stringByUnescapingFromHTML(QString::fromLatin1(kept)), QString::fromLatin1(kept)) << kept;
}

TEST(RvHtmlUnescaping, SurrogateHalvesDecodeOnlyAsAPair)
{
    EXPECT_EQ(rv_stringByUnescapingFromHTML(QStringLiteral("x&#55357;&#56832;y")), u16(u"x\U0001F600y"));
    EXPECT_EQ(rv_stringByUnescapingFromHTML(QStringLiteral("&#xD83D;&#xDE00;")), u16(u"\U0001F600"));
    for (const char *lone : {"&#xD800;", "&#56832;", "&#56832;&#55357;", "&#55357;x&#56832;", "&#55357;&#55357;"})
        EXPECT_EQ(rv_stringByUnescapingFromHTML(QString::fromLatin1(lone)), QString::fromLatin1(lone)) << lone;
    EXPECT_EQ(rv_stringByUnescapingFromHTML(QStringLiteral("&#55357;&#55357;&#56832;")),
              u16(u"&#55357;\U0001F600"));
    // What a reference stands for is not read again, not even as a half.
    EXPECT_EQ(rv_stringByUnescapingFromHTML(QStringLiteral("&#55357;&amp;#56832;")),
              QStringLiteral("&#55357;&#56832;"));
}

TEST(RvHtmlUnescaping, AsciiEscapingRoundTripsEveryTextWithoutNoncharacters)
{
    auto *random = QRandomGenerator::global();
    for (int round = 0; round < 300; ++round) {
        QString text;
        const int length = random->bounded(1, 60);
        for (int i = 0; i < length; ++i) {
            const char32_t pick[] = {char32_t(random->bounded(1, 128)), char32_t(random->bounded(128, 0xD800)),
                                     char32_t(random->bounded(0xE000, 0xFFFF)),
                                     char32_t(random->bounded(0x10000, 0x110000)), U'&', U';', U'#'};
            text += QString::fromUcs4(&pick[random->bounded(7)], 1);
        }
        EXPECT_EQ(rv_stringByUnescapingFromHTML(rv_stringByEscapingForAsciiHTML(text)), text);
        EXPECT_EQ(rv_stringByUnescapingFromHTML(rv_stringByEscapingForHTML(text)), text);
    }
}

TEST(RvHtmlText, LineBreaksAndWhiteSpace)
{
    EXPECT_EQ(rv_stringWithNewLinesAsBRs(QStringLiteral("a\r\nb\n\nc")), QStringLiteral("a<br />b<br /><br />c"));
    EXPECT_EQ(rv_stringWithNewLinesAsBRs(u16(u"a\u2028b\u0085\u000c\u2029c\r")),
              QStringLiteral("a<br />b<br /><br /><br />c<br />"));
    // A run that does not begin with CR LF counts every character.
    EXPECT_EQ(rv_stringWithNewLinesAsBRs(QStringLiteral("a\n\r\nb")), QStringLiteral("a<br /><br /><br />b"));
    EXPECT_EQ(rv_stringWithNewLinesAsBRs(u16(u"a\u00a0b")), u16(u"a\u00a0b"));

    EXPECT_EQ(rv_stringByRemovingNewLinesAndWhitespace(QStringLiteral("  a \n\t b  ")), QStringLiteral("a b"));
    EXPECT_EQ(rv_stringByRemovingNewLinesAndWhitespace(u16(u"\u2028x\u2029\u0085y\u00a0z")), u16(u"x y\u00a0z"));
    EXPECT_EQ(rv_stringByRemovingNewLinesAndWhitespace(QStringLiteral(" \t\r\n ")), QString());
    EXPECT_EQ(rv_stringByRemovingNewLinesAndWhitespace(QString()), QString());
}

TEST(RvHtmlLinks, MatchPythonsReadingOfThePattern)
{
    for (const QJsonValue &value : categoryVectors("html.json", "linkified")) {
        const QJsonObject entry = value.toObject();
        EXPECT_EQ(rv_stringByLinkifyingURLs(entry.value("text").toString()), entry.value("linked").toString())
            << entry.value("text").toString().toStdString();
    }
    EXPECT_EQ(rv_stringByLinkifyingURLs(QStringLiteral("go to http://a.b now")),
              QStringLiteral("go to <a href=\"http://a.b\" class=\"linkified\">http://a.b</a> now"));
    EXPECT_EQ(rv_stringByLinkifyingURLs(QStringLiteral("<img src=\"http://a.b/c.png\">")),
              QStringLiteral("<img src=\"http://a.b/c.png\">"));
}

TEST(RvHtmlTags, StripKeepsInlineTagsSeamlessAndOthersAsSpace)
{
    EXPECT_EQ(rv_stringByStrippingTags(QStringLiteral("<p>Hi <b>you</b></p>")), QStringLiteral("Hi you"));
    EXPECT_EQ(rv_stringByStrippingTags(QStringLiteral("x<span>y</span>z")), QStringLiteral("xyz"));
    EXPECT_EQ(rv_stringByStrippingTags(QStringLiteral("a<a href=\"u\">b</a>c")), QStringLiteral("a bc"));
    EXPECT_EQ(rv_stringByStrippingTags(QStringLiteral("<em>a</em><strong>b</strong>")), QStringLiteral("ab"));
    EXPECT_EQ(rv_stringByStrippingTags(QStringLiteral("no tags  here ")), QStringLiteral("no tags  here "));
    // An unterminated tag never occurs as collected, so it stays.
    EXPECT_EQ(rv_stringByStrippingTags(QStringLiteral("a<b")), QStringLiteral("a<b"));
    // A lone "<" reaches to the next ">", and all of it is one tag.
    EXPECT_EQ(rv_stringByStrippingTags(QStringLiteral("1 < 2 <br> 3")), QStringLiteral("1 3"));
    // Nested openings: the occurrence that starts first wins.
    EXPECT_EQ(rv_stringByStrippingTags(QStringLiteral("x<a<b>y<b>z")), QStringLiteral("x y z"));
}

TEST(RvHtmlTags, PlainTextDropsCommentsScriptsAndBlockEnds)
{
    EXPECT_EQ(rv_stringByConvertingHTMLToPlainText(
                  QStringLiteral("<p>Hi</p><!-- c --><script>x</script><b>bold</b> text &amp; more")),
              QStringLiteral("Hi bold text & more"));
    EXPECT_EQ(rv_stringByConvertingHTMLToPlainText(QStringLiteral("<div>a</div><div>b</div>c")), QStringLiteral("a b c"));
    EXPECT_EQ(rv_stringByConvertingHTMLToPlainText(QStringLiteral("a<i>b</i><q>c</q>d")), QStringLiteral("abcd"));
    EXPECT_EQ(rv_stringByConvertingHTMLToPlainText(QStringLiteral("a</ P >b")), QStringLiteral("a b"));
    EXPECT_EQ(rv_stringByConvertingHTMLToPlainText(QStringLiteral("a</>b")), QStringLiteral("a b"));
    // A leading block end adds nothing; a last one still does, as its ">"
    // is yet to come when the space is written.
    EXPECT_EQ(rv_stringByConvertingHTMLToPlainText(QStringLiteral("</p>a</p>")), QStringLiteral("a "));
    // Unterminated comment, script or tag: the rest is dropped.
    EXPECT_EQ(rv_stringByConvertingHTMLToPlainText(QStringLiteral("a <!-- x")), QStringLiteral("a "));
    EXPECT_EQ(rv_stringByConvertingHTMLToPlainText(QStringLiteral("a<script>b")), QStringLiteral("a"));
    EXPECT_EQ(rv_stringByConvertingHTMLToPlainText(QStringLiteral("a<b c")), QStringLiteral("a"));
    // Only lower-case "script" opens a script.
    EXPECT_EQ(rv_stringByConvertingHTMLToPlainText(QStringLiteral("<SCRIPT>x</SCRIPT>y")), QStringLiteral("x y"));
}

TEST(RvHtmlHostile, LongHostileTextsStayLinear)
{
    // Each of these takes time growing with the square of the length when
    // searched naively, which the case time limit would catch.
    const qsizetype n = 200000;
    const QString ampersands = QString(n, QLatin1Char('&')) + QLatin1Char(';');
    const QString openings = QString(n, QLatin1Char('<')) + QLatin1Char('>');
    QString manyTags;
    for (int i = 0; i < n / 8; ++i)
        manyTags += QStringLiteral("<t%1>").arg(i);
    QString nested;
    for (int i = 0; i < 2000; ++i)
        nested += QStringLiteral("<x") + QString(i % 50, QLatin1Char('<')) + QStringLiteral(">");

    EXPECT_EQ(rv_stringByUnescapingFromHTML(ampersands), ampersands);
    EXPECT_EQ(rv_stringByStrippingTags(openings), QString());
    EXPECT_EQ(rv_stringByStrippingTags(manyTags), QString());
    EXPECT_EQ(rv_stringByStrippingTags(nested), QString());
    EXPECT_EQ(rv_stringByConvertingHTMLToPlainText(openings), QString());
    EXPECT_EQ(rv_stringByLinkifyingURLs(QString(n, QLatin1Char('h'))), QString(n, QLatin1Char('h')));
    const QString longAddress = QStringLiteral("http://a") + QString(n / 4, QLatin1Char('.')) + QStringLiteral("b");
    EXPECT_EQ(rv_stringByLinkifyingURLs(longAddress), longAddress);
}

TEST(RvHtmlHostile, AMillionReferencesUnescapeInOnePass)
{
    // Replaced one by one, each reference would move all the text after it:
    // a million times several megabytes, which the case time limit would
    // catch. Built in one pass, the work follows the length.
    const qsizetype n = 1'000'000;
    const QString tail(n, QLatin1Char('x'));
    EXPECT_EQ(rv_stringByUnescapingFromHTML(QStringLiteral("&amp;").repeated(n) + tail),
              QString(n, QLatin1Char('&')) + tail);
    EXPECT_EQ(rv_stringByUnescapingFromHTML(QStringLiteral("&lt;&#65;&#x42;&#55357;&#56832;&bogus;").repeated(n / 6)),
              u16(u"<AB\U0001F600&bogus;").repeated(n / 6));
}

#include "Categories/RVHTML.h"

#include "Categories/RVIcu_p.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <vector>

namespace {

// Every named reference of HTML 4.01 with the code point HTML gives it, and
// "&apos;"; sorted by unit for the binary search of escaping.
constexpr RVHTMLEntity kFullTable[] = {
    {"&quot;", 0x0022}, {"&amp;", 0x0026}, {"&apos;", 0x0027}, {"&lt;", 0x003C}, {"&gt;", 0x003E},
    {"&nbsp;", 0x00A0}, {"&iexcl;", 0x00A1}, {"&cent;", 0x00A2}, {"&pound;", 0x00A3}, {"&curren;", 0x00A4},
    {"&yen;", 0x00A5}, {"&brvbar;", 0x00A6}, {"&sect;", 0x00A7}, {"&uml;", 0x00A8}, {"&copy;", 0x00A9},
    {"&ordf;", 0x00AA}, {"&laquo;", 0x00AB}, {"&not;", 0x00AC}, {"&shy;", 0x00AD}, {"&reg;", 0x00AE},
    {"&macr;", 0x00AF}, {"&deg;", 0x00B0}, {"&plusmn;", 0x00B1}, {"&sup2;", 0x00B2}, {"&sup3;", 0x00B3},
    {"&acute;", 0x00B4}, {"&micro;", 0x00B5}, {"&para;", 0x00B6}, {"&middot;", 0x00B7}, {"&cedil;", 0x00B8},
    {"&sup1;", 0x00B9}, {"&ordm;", 0x00BA}, {"&raquo;", 0x00BB}, {"&frac14;", 0x00BC}, {"&frac12;", 0x00BD},
    {"&frac34;", 0x00BE}, {"&iquest;", 0x00BF}, {"&Agrave;", 0x00C0}, {"&Aacute;", 0x00C1}, {"&Acirc;", 0x00C2},
    {"&Atilde;", 0x00C3}, {"&Auml;", 0x00C4}, {"&Aring;", 0x00C5}, {"&AElig;", 0x00C6}, {"&Ccedil;", 0x00C7},
    {"&Egrave;", 0x00C8}, {"&Eacute;", 0x00C9}, {"&Ecirc;", 0x00CA}, {"&Euml;", 0x00CB}, {"&Igrave;", 0x00CC},
    {"&Iacute;", 0x00CD}, {"&Icirc;", 0x00CE}, {"&Iuml;", 0x00CF}, {"&ETH;", 0x00D0}, {"&Ntilde;", 0x00D1},
    {"&Ograve;", 0x00D2}, {"&Oacute;", 0x00D3}, {"&Ocirc;", 0x00D4}, {"&Otilde;", 0x00D5}, {"&Ouml;", 0x00D6},
    {"&times;", 0x00D7}, {"&Oslash;", 0x00D8}, {"&Ugrave;", 0x00D9}, {"&Uacute;", 0x00DA}, {"&Ucirc;", 0x00DB},
    {"&Uuml;", 0x00DC}, {"&Yacute;", 0x00DD}, {"&THORN;", 0x00DE}, {"&szlig;", 0x00DF}, {"&agrave;", 0x00E0},
    {"&aacute;", 0x00E1}, {"&acirc;", 0x00E2}, {"&atilde;", 0x00E3}, {"&auml;", 0x00E4}, {"&aring;", 0x00E5},
    {"&aelig;", 0x00E6}, {"&ccedil;", 0x00E7}, {"&egrave;", 0x00E8}, {"&eacute;", 0x00E9}, {"&ecirc;", 0x00EA},
    {"&euml;", 0x00EB}, {"&igrave;", 0x00EC}, {"&iacute;", 0x00ED}, {"&icirc;", 0x00EE}, {"&iuml;", 0x00EF},
    {"&eth;", 0x00F0}, {"&ntilde;", 0x00F1}, {"&ograve;", 0x00F2}, {"&oacute;", 0x00F3}, {"&ocirc;", 0x00F4},
    {"&otilde;", 0x00F5}, {"&ouml;", 0x00F6}, {"&divide;", 0x00F7}, {"&oslash;", 0x00F8}, {"&ugrave;", 0x00F9},
    {"&uacute;", 0x00FA}, {"&ucirc;", 0x00FB}, {"&uuml;", 0x00FC}, {"&yacute;", 0x00FD}, {"&thorn;", 0x00FE},
    {"&yuml;", 0x00FF}, {"&OElig;", 0x0152}, {"&oelig;", 0x0153}, {"&Scaron;", 0x0160}, {"&scaron;", 0x0161},
    {"&Yuml;", 0x0178}, {"&fnof;", 0x0192}, {"&circ;", 0x02C6}, {"&tilde;", 0x02DC}, {"&Alpha;", 0x0391},
    {"&Beta;", 0x0392}, {"&Gamma;", 0x0393}, {"&Delta;", 0x0394}, {"&Epsilon;", 0x0395}, {"&Zeta;", 0x0396},
    {"&Eta;", 0x0397}, {"&Theta;", 0x0398}, {"&Iota;", 0x0399}, {"&Kappa;", 0x039A}, {"&Lambda;", 0x039B},
    {"&Mu;", 0x039C}, {"&Nu;", 0x039D}, {"&Xi;", 0x039E}, {"&Omicron;", 0x039F}, {"&Pi;", 0x03A0}, {"&Rho;", 0x03A1},
    {"&Sigma;", 0x03A3}, {"&Tau;", 0x03A4}, {"&Upsilon;", 0x03A5}, {"&Phi;", 0x03A6}, {"&Chi;", 0x03A7},
    {"&Psi;", 0x03A8}, {"&Omega;", 0x03A9}, {"&alpha;", 0x03B1}, {"&beta;", 0x03B2}, {"&gamma;", 0x03B3},
    {"&delta;", 0x03B4}, {"&epsilon;", 0x03B5}, {"&zeta;", 0x03B6}, {"&eta;", 0x03B7}, {"&theta;", 0x03B8},
    {"&iota;", 0x03B9}, {"&kappa;", 0x03BA}, {"&lambda;", 0x03BB}, {"&mu;", 0x03BC}, {"&nu;", 0x03BD},
    {"&xi;", 0x03BE}, {"&omicron;", 0x03BF}, {"&pi;", 0x03C0}, {"&rho;", 0x03C1}, {"&sigmaf;", 0x03C2},
    {"&sigma;", 0x03C3}, {"&tau;", 0x03C4}, {"&upsilon;", 0x03C5}, {"&phi;", 0x03C6}, {"&chi;", 0x03C7},
    {"&psi;", 0x03C8}, {"&omega;", 0x03C9}, {"&thetasym;", 0x03D1}, {"&upsih;", 0x03D2}, {"&piv;", 0x03D6},
    {"&ensp;", 0x2002}, {"&emsp;", 0x2003}, {"&thinsp;", 0x2009}, {"&zwnj;", 0x200C}, {"&zwj;", 0x200D},
    {"&lrm;", 0x200E}, {"&rlm;", 0x200F}, {"&ndash;", 0x2013}, {"&mdash;", 0x2014}, {"&lsquo;", 0x2018},
    {"&rsquo;", 0x2019}, {"&sbquo;", 0x201A}, {"&ldquo;", 0x201C}, {"&rdquo;", 0x201D}, {"&bdquo;", 0x201E},
    {"&dagger;", 0x2020}, {"&Dagger;", 0x2021}, {"&bull;", 0x2022}, {"&hellip;", 0x2026}, {"&permil;", 0x2030},
    {"&prime;", 0x2032}, {"&Prime;", 0x2033}, {"&lsaquo;", 0x2039}, {"&rsaquo;", 0x203A}, {"&oline;", 0x203E},
    {"&frasl;", 0x2044}, {"&euro;", 0x20AC}, {"&image;", 0x2111}, {"&weierp;", 0x2118}, {"&real;", 0x211C},
    {"&trade;", 0x2122}, {"&alefsym;", 0x2135}, {"&larr;", 0x2190}, {"&uarr;", 0x2191}, {"&rarr;", 0x2192},
    {"&darr;", 0x2193}, {"&harr;", 0x2194}, {"&crarr;", 0x21B5}, {"&lArr;", 0x21D0}, {"&uArr;", 0x21D1},
    {"&rArr;", 0x21D2}, {"&dArr;", 0x21D3}, {"&hArr;", 0x21D4}, {"&forall;", 0x2200}, {"&part;", 0x2202},
    {"&exist;", 0x2203}, {"&empty;", 0x2205}, {"&nabla;", 0x2207}, {"&isin;", 0x2208}, {"&notin;", 0x2209},
    {"&ni;", 0x220B}, {"&prod;", 0x220F}, {"&sum;", 0x2211}, {"&minus;", 0x2212}, {"&lowast;", 0x2217},
    {"&radic;", 0x221A}, {"&prop;", 0x221D}, {"&infin;", 0x221E}, {"&ang;", 0x2220}, {"&and;", 0x2227},
    {"&or;", 0x2228}, {"&cap;", 0x2229}, {"&cup;", 0x222A}, {"&int;", 0x222B}, {"&there4;", 0x2234},
    {"&sim;", 0x223C}, {"&cong;", 0x2245}, {"&asymp;", 0x2248}, {"&ne;", 0x2260}, {"&equiv;", 0x2261},
    {"&le;", 0x2264}, {"&ge;", 0x2265}, {"&sub;", 0x2282}, {"&sup;", 0x2283}, {"&nsub;", 0x2284}, {"&sube;", 0x2286},
    {"&supe;", 0x2287}, {"&oplus;", 0x2295}, {"&otimes;", 0x2297}, {"&perp;", 0x22A5}, {"&sdot;", 0x22C5},
    {"&lceil;", 0x2308}, {"&rceil;", 0x2309}, {"&lfloor;", 0x230A}, {"&rfloor;", 0x230B}, {"&lang;", 0x2329},
    {"&rang;", 0x232A}, {"&loz;", 0x25CA}, {"&spades;", 0x2660}, {"&clubs;", 0x2663}, {"&hearts;", 0x2665},
    {"&diams;", 0x2666},
};

constexpr RVHTMLEntity kShortTable[] = {
    {"&quot;", 0x0022}, {"&amp;", 0x0026}, {"&apos;", 0x0027}, {"&lt;", 0x003C}, {"&gt;", 0x003E},
    {"&OElig;", 0x0152}, {"&oelig;", 0x0153}, {"&Scaron;", 0x0160}, {"&scaron;", 0x0161}, {"&Yuml;", 0x0178},
    {"&circ;", 0x02C6}, {"&tilde;", 0x02DC}, {"&ensp;", 0x2002}, {"&emsp;", 0x2003}, {"&thinsp;", 0x2009},
    {"&zwnj;", 0x200C}, {"&zwj;", 0x200D}, {"&lrm;", 0x200E}, {"&rlm;", 0x200F}, {"&ndash;", 0x2013},
    {"&mdash;", 0x2014}, {"&lsquo;", 0x2018}, {"&rsquo;", 0x2019}, {"&sbquo;", 0x201A}, {"&ldquo;", 0x201C},
    {"&rdquo;", 0x201D}, {"&bdquo;", 0x201E}, {"&dagger;", 0x2020}, {"&Dagger;", 0x2021}, {"&permil;", 0x2030},
    {"&lsaquo;", 0x2039}, {"&rsaquo;", 0x203A}, {"&euro;", 0x20AC},
};

constexpr bool isSortedAndUnique(std::span<const RVHTMLEntity> table)
{
    for (std::size_t i = 1; i < table.size(); ++i) {
        if (table[i - 1].unit >= table[i].unit)
            return false;
    }
    return true;
}
static_assert(std::size(kFullTable) == 253 && isSortedAndUnique(kFullTable));
static_assert(std::size(kShortTable) == 33 && isSortedAndUnique(kShortTable));

// Unescaping looks names up by their text; built once, read by every thread.
const QHash<QString, char16_t> &entityUnits()
{
    static const QHash<QString, char16_t> units = [] {
        QHash<QString, char16_t> byName;
        for (const RVHTMLEntity &row : kFullTable)
            byName.insert(QString::fromLatin1(row.entity), row.unit);
        return byName;
    }();
    return units;
}

bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case 0x000A: case 0x000D: case 0x0085: case 0x000C: case 0x2028: case 0x2029:
        return true;
    default:
        return false;
    }
}

bool isWhiteSpaceOrLineBreak(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || isLineBreak(c);
}

bool isTagNameLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

int hexDigitValue(QChar c)
{
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return c.unicode() - '0';
    if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        return c.unicode() - 'a' + 10;
    if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        return c.unicode() - 'A' + 10;
    return -1;
}

int decimalDigitValue(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9') ? c.unicode() - '0' : -1;
}

// The unit a numeric reference's digits stand for; 0 when the digits are
// not all of the base, are missing, or name no single unit (0 itself,
// 65535 and up). Large values stop counting early, so an overlong digit run
// cannot overflow.
char16_t numericUnit(QStringView digits, int base)
{
    if (digits.isEmpty())
        return 0;
    quint32 value = 0;
    for (const QChar c : digits) {
        const int digit = base == 16 ? hexDigitValue(c) : decimalDigitValue(c);
        if (digit < 0)
            return 0;
        if (value <= 0xFFFF)
            value = value * static_cast<quint32>(base) + static_cast<quint32>(digit);
    }
    if (value < 1 || value > 0xFFFE)
        return 0;
    return static_cast<char16_t>(value);
}

// The unit the reference `candidate` ("&...;", 4 to 10 units) stands for,
// or 0 when it stays as written.
char16_t referencedUnit(QStringView candidate)
{
    if (candidate.at(1) == QLatin1Char('#')) {
        if (candidate.at(2) == QLatin1Char('x') || candidate.at(2) == QLatin1Char('X'))
            return numericUnit(candidate.mid(3, candidate.size() - 4), 16);
        return numericUnit(candidate.mid(2, candidate.size() - 3), 10);
    }
    return entityUnits().value(candidate.toString(), 0);
}

constexpr qsizetype kShortestReference = 4;
constexpr qsizetype kLongestReference = 10;

// The length of the reference ("&...;") at `at`, or 0 when none starts
// there. A ";" further away than the longest reference changes nothing, so
// the search stops there and hostile runs of "&" stay linear.
qsizetype referenceLengthAt(QStringView text, qsizetype at, qsizetype end)
{
    if (at >= end || text.at(at) != QLatin1Char('&'))
        return 0;
    const qsizetype limit = std::min(end, at + kLongestReference);
    for (qsizetype i = at; i < limit; ++i) {
        if (text.at(i) == QLatin1Char(';')) {
            const qsizetype length = i - at + 1;
            return length >= kShortestReference ? length : 0;
        }
    }
    return 0;
}

} // namespace

std::span<const RVHTMLEntity> rv_fullHTMLEntityTable()
{
    return kFullTable;
}

std::span<const RVHTMLEntity> rv_shortHTMLEntityTable()
{
    return kShortTable;
}

QString rv_stringByEscapingHTMLUsingTable(const QString &text, std::span<const RVHTMLEntity> table,
                                          bool escapingUnicode)
{
    if (text.isEmpty())
        return text;
    QString out;
    out.reserve(text.size() + text.size() / 4);
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text.at(i).unicode();
        const auto row = std::lower_bound(table.begin(), table.end(), unit,
                                          [](const RVHTMLEntity &entry, char16_t u) { return entry.unit < u; });
        const bool inTable = row != table.end() && row->unit == unit;
        if (!inTable && !(escapingUnicode && unit >= 128))
            continue;
        out += QStringView(text).mid(runStart, i - runStart);
        if (inTable)
            out += QLatin1String(row->entity);
        else
            out += QStringLiteral("&#%1;").arg(static_cast<uint>(unit));
        runStart = i + 1;
    }
    out += QStringView(text).mid(runStart);
    return out;
}

QString rv_stringByEscapingForHTML(const QString &text)
{
    return rv_stringByEscapingHTMLUsingTable(text, kShortTable, false);
}

QString rv_stringByEscapingForAsciiHTML(const QString &text)
{
    return rv_stringByEscapingHTMLUsingTable(text, kFullTable, true);
}

QString rv_stringByUnescapingFromHTML(const QString &text)
{
    if (!text.contains(QLatin1Char('&')))
        return text;
    // Each "&" may end at the first ";" before the next "&", and what a
    // reference stands for is never read again ("&amp;lt;" gives "&lt;"):
    // the references of the text as given, each replaced once. So the
    // result is built in one pass from left to right.
    const QStringView view(text);
    QString out;
    out.reserve(text.size());
    qsizetype copied = 0;
    qsizetype amp = text.indexOf(QLatin1Char('&'));
    while (amp >= 0) {
        const qsizetype nextAmp = text.indexOf(QLatin1Char('&'), amp + 1);
        const qsizetype end = nextAmp < 0 ? text.size() : nextAmp;
        if (const qsizetype length = referenceLengthAt(view, amp, end)) {
            const char16_t unit = referencedUnit(view.mid(amp, length));
            if (unit && !QChar::isSurrogate(unit)) {
                out += view.mid(copied, amp - copied);
                out += QChar(unit);
                copied = amp + length;
            } else if (QChar::isHighSurrogate(unit)) {
                // A character beyond the first plane is escaped as two
                // references, one per half. Only a whole pair is decoded: a
                // lone half would be text that no encoder can write.
                const qsizetype next = amp + length;
                if (const qsizetype nextLength = referenceLengthAt(view, next, text.size())) {
                    const char16_t low = referencedUnit(view.mid(next, nextLength));
                    if (QChar::isLowSurrogate(low)) {
                        out += view.mid(copied, amp - copied);
                        out += QChar(unit);
                        out += QChar(low);
                        copied = next + nextLength;
                    }
                }
            }
        }
        amp = nextAmp < 0 ? -1 : text.indexOf(QLatin1Char('&'), std::max(nextAmp, copied));
    }
    out += view.mid(copied);
    return out;
}

QString rv_stringWithNewLinesAsBRs(const QString &text)
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype start = i;
        while (i < n && !isLineBreak(text.at(i)))
            ++i;
        out += QStringView(text).mid(start, i - start);
        if (i >= n)
            break;
        if (i + 1 < n && text.at(i) == QLatin1Char('\r') && text.at(i + 1) == QLatin1Char('\n')) {
            out += QLatin1String("<br />");
            i += 2;
            continue;
        }
        while (i < n && isLineBreak(text.at(i))) {
            out += QLatin1String("<br />");
            ++i;
        }
    }
    return out;
}

QString rv_stringByRemovingNewLinesAndWhitespace(const QString &text)
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        const qsizetype start = i;
        while (i < n && !isWhiteSpaceOrLineBreak(text.at(i)))
            ++i;
        out += QStringView(text).mid(start, i - start);
        while (i < n && isWhiteSpaceOrLineBreak(text.at(i)))
            ++i;
        if (!out.isEmpty() && i < n)
            out += QLatin1Char(' ');
    }
    return out;
}

QString rv_stringByLinkifyingURLs(const QString &text)
{
    // The address classes hold "%" twice and the letters of "&amp;"; both
    // are harmless repeats inside a character class.
    static const RVRegex pattern(QStringLiteral(
        R"((?<!=")\b((http|https):\/\/[\w\-_]+(\.[\w\-_]+)+([\w\-\.,@?^=%%&amp;:/~\+#]*[\w\-\@?^=%%&amp;/~\+#])?))"));
    return pattern.replaceAll(text, QStringLiteral(R"(<a href="$1" class="linkified">$1</a>)"));
}

QString rv_stringByStrippingTags(const QString &text)
{
    if (!text.contains(QLatin1Char('<')))
        return text;
    const qsizetype n = text.size();
    const QStringView view(text);

    // nextClose[i]: the first ">" at or after i, or -1.
    std::vector<qsizetype> nextClose(static_cast<std::size_t>(n) + 1, -1);
    for (qsizetype i = n - 1; i >= 0; --i)
        nextClose[static_cast<std::size_t>(i)] = text.at(i) == QLatin1Char('>') ? i : nextClose[static_cast<std::size_t>(i) + 1];

    // The distinct tags: from each "<" the scan reaches, up to the next ">"
    // (or the end) with ">" after it. An unterminated tag is collected as if
    // closed, and so never occurs in the text.
    QSet<QStringView> tags;
    QSet<qsizetype> tagLengths;
    qsizetype pos = 0;
    while (pos < n) {
        const qsizetype open = text.indexOf(QLatin1Char('<'), pos);
        if (open < 0)
            break;
        const qsizetype close = nextClose[static_cast<std::size_t>(open)];
        if (close < 0)
            break;
        tags.insert(view.mid(open, close - open + 1));
        tagLengths.insert(close - open + 1);
        pos = close;
    }

    static const QSet<QString> inlineTags = {
        QStringLiteral("<a>"), QStringLiteral("</a>"), QStringLiteral("<span>"), QStringLiteral("</span>"),
        QStringLiteral("<strong>"), QStringLiteral("</strong>"), QStringLiteral("<em>"), QStringLiteral("</em>"),
    };

    // Every occurrence of a collected tag is replaced. A tag can only occur
    // as a "<" up to the first ">" after it, so one pass finds them all;
    // where occurrences nest ("<a<b>"), the longer one, starting first, wins.
    QString out;
    out.reserve(n);
    qsizetype i = 0;
    while (i < n) {
        if (text.at(i) == QLatin1Char('<')) {
            const qsizetype close = nextClose[static_cast<std::size_t>(i)];
            if (close >= 0 && tagLengths.contains(close - i + 1)) {
                const QStringView tag = view.mid(i, close - i + 1);
                if (tags.contains(tag)) {
                    if (!inlineTags.contains(tag.toString()))
                        out += QLatin1Char(' ');
                    i = close + 1;
                    continue;
                }
            }
        }
        out += text.at(i);
        ++i;
    }
    return rv_stringByRemovingNewLinesAndWhitespace(out);
}

QString rv_stringByConvertingHTMLToPlainText(const QString &text)
{
    static const QSet<QString> inlineNames = {
        QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("i"), QStringLiteral("q"),
        QStringLiteral("span"), QStringLiteral("em"), QStringLiteral("strong"), QStringLiteral("cite"),
        QStringLiteral("abbr"), QStringLiteral("acronym"), QStringLiteral("label"),
    };
    const qsizetype n = text.size();
    const QStringView view(text);
    // Skips to just past the next `marker`, or to the end.
    const auto pastNext = [&](qsizetype from, QLatin1String marker) {
        const qsizetype at = text.indexOf(marker, from);
        return at < 0 ? n : at + marker.size();
    };

    QString out;
    out.reserve(n);
    qsizetype i = 0;
    while (i < n) {
        const qsizetype start = i;
        while (i < n && text.at(i) != QLatin1Char('<') && !isWhiteSpaceOrLineBreak(text.at(i)))
            ++i;
        out += view.mid(start, i - start);
        if (i >= n)
            break;
        if (text.at(i) == QLatin1Char('<')) {
            ++i;
            if (view.mid(i).startsWith(QLatin1String("!--"))) {
                i = pastNext(i + 3, QLatin1String("-->"));
            } else if (view.mid(i).startsWith(QLatin1String("script"))) {
                i = pastNext(i + 6, QLatin1String("</script>"));
            } else {
                if (i < n && text.at(i) == QLatin1Char('/')) {
                    ++i;
                    const qsizetype nameStart = i;
                    while (i < n && isTagNameLetter(text.at(i)))
                        ++i;
                    const QString name = view.mid(nameStart, i - nameStart).toString().toLower();
                    if (!inlineNames.contains(name) && !out.isEmpty() && i < n)
                        out += QLatin1Char(' ');
                }
                i = pastNext(i, QLatin1String(">"));
            }
        } else {
            while (i < n && isWhiteSpaceOrLineBreak(text.at(i)))
                ++i;
            if (!out.isEmpty() && i < n)
                out += QLatin1Char(' ');
        }
    }
    return rv_stringByUnescapingFromHTML(out);
}

#pragma once

#include <QString>
#include <span>

// Text to HTML and back. Pure functions of their input, safe on any thread.
// Positions and lengths count UTF-16 units, as the texts store them.

// One row of an entity table: the reference ("&amp;") and the UTF-16 unit it
// stands for. Tables are sorted by unit, ascending and without duplicates.
struct RVHTMLEntity {
    const char *entity;
    char16_t unit;
};

// Every named reference of HTML 4.01 plus "&apos;" (253 rows).
std::span<const RVHTMLEntity> rv_fullHTMLEntityTable();
// The references that plain HTML escaping writes: markup characters and
// the typographic marks that are easy to mistake for others (33 rows).
std::span<const RVHTMLEntity> rv_shortHTMLEntityTable();

// Each unit found in `table` becomes its reference; with `escapingUnicode`
// every other unit from 128 up becomes "&#<decimal>;" (one per surrogate), so
// the result is ASCII. Other units stay.
QString rv_stringByEscapingHTMLUsingTable(const QString &text, std::span<const RVHTMLEntity> table,
                                          bool escapingUnicode);
// With the short table, other characters kept.
QString rv_stringByEscapingForHTML(const QString &text);
// With the full table and decimal references: pure ASCII.
QString rv_stringByEscapingForAsciiHTML(const QString &text);

// Named references of the full table and numeric ones ("&#65;", "&#x41;")
// of 4 to 10 units replaced in one pass, the last first. Numeric values
// outside 1..65534, surrogate halves, unknown names and stray characters
// stay as written.
QString rv_stringByUnescapingFromHTML(const QString &text);

// CR LF becomes one "<br />", any other line break one "<br />" each.
QString rv_stringWithNewLinesAsBRs(const QString &text);
// Each inner run of white space and line breaks becomes one space; leading
// and trailing runs vanish.
QString rv_stringByRemovingNewLinesAndWhitespace(const QString &text);
// Each web address (http or https) in running text wrapped in a link whose
// address and label are the address; addresses that already stand in an
// attribute (right after `="`) stay.
QString rv_stringByLinkifyingURLs(const QString &text);
// Tags removed: bare inline tags (<a>, <span>, <strong>, <em> and their ends)
// without a trace, every other tag as a space; then white space collapsed.
QString rv_stringByStrippingTags(const QString &text);
// The readable text of an HTML fragment: comments and scripts dropped,
// block-level ends as spaces, white space collapsed, references replaced.
QString rv_stringByConvertingHTMLToPlainText(const QString &text);

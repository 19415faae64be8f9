#pragma once

#include <QString>
#include <memory>
#include <unicode/regex.h>
#include <unicode/unistr.h>

// Bridges between Qt texts and ICU, shared by the categories that lean on
// ICU for calendars, formats and regular expressions.

// A copy of the text for ICU. constData(), not utf16(): utf16() rewrites a
// literal's storage to add a terminator, which races when threads share one
// constant.
inline icu::UnicodeString rvToIcu(const QString &text)
{
    return icu::UnicodeString(reinterpret_cast<const UChar *>(text.constData()), static_cast<int32_t>(text.size()));
}

// A read-only ICU view of the text, valid while the text lives unchanged.
inline icu::UnicodeString rvIcuView(const QString &text)
{
    return icu::UnicodeString(false, reinterpret_cast<const UChar *>(text.constData()),
                              static_cast<int32_t>(text.size()));
}

inline QString rvFromIcu(const icu::UnicodeString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

// An ICU regular expression, compiled once. A compiled pattern is immutable
// and each use makes its own matcher, so one object may serve every thread.
class RVRegex
{
public:
    explicit RVRegex(const QString &pattern, uint32_t flags = 0);

    // False when the pattern did not compile; every use then fails.
    bool isValid() const { return m_pattern != nullptr; }
    // The whole text matches, as a "matches" predicate asks.
    bool matchesWhole(const QString &text) const;
    // Some part of the text matches.
    bool finds(const QString &text) const;
    // Every match replaced by `replacement` ($1 for the first group); the
    // text unchanged when the pattern did not compile.
    QString replaceAll(const QString &text, const QString &replacement) const;

private:
    std::unique_ptr<icu::RegexMatcher> matcherFor(const icu::UnicodeString &input) const;

    std::unique_ptr<icu::RegexPattern> m_pattern;
};

#include "Categories/RVIcu_p.h"

namespace {

// A pattern written to backtrack without end (nested repeats over a long
// text) would otherwise hold its thread for ever. The limit is in matcher
// steps, a few seconds of work; a match cut off there counts as no match.
constexpr int32_t kMatchStepLimit = 5000;

} // namespace

RVRegex::RVRegex(const QString &pattern, uint32_t flags)
{
    UErrorCode status = U_ZERO_ERROR;
    UParseError where;
    m_pattern.reset(icu::RegexPattern::compile(rvToIcu(pattern), flags, where, status));
    if (U_FAILURE(status))
        m_pattern.reset();
}

std::unique_ptr<icu::RegexMatcher> RVRegex::matcherFor(const icu::UnicodeString &input) const
{
    if (!m_pattern)
        return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(m_pattern->matcher(input, status));
    if (U_FAILURE(status))
        return nullptr;
    matcher->setTimeLimit(kMatchStepLimit, status);
    return matcher;
}

bool RVRegex::matchesWhole(const QString &text) const
{
    const icu::UnicodeString input = rvIcuView(text);
    const auto matcher = matcherFor(input);
    if (!matcher)
        return false;
    UErrorCode status = U_ZERO_ERROR;
    const bool matched = matcher->matches(status);
    return U_SUCCESS(status) && matched;
}

bool RVRegex::finds(const QString &text) const
{
    const icu::UnicodeString input = rvIcuView(text);
    const auto matcher = matcherFor(input);
    if (!matcher)
        return false;
    UErrorCode status = U_ZERO_ERROR;
    const bool found = matcher->find(0, status);
    return U_SUCCESS(status) && found;
}

QString RVRegex::replaceAll(const QString &text, const QString &replacement) const
{
    const icu::UnicodeString input = rvIcuView(text);
    const auto matcher = matcherFor(input);
    if (!matcher)
        return text;
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString out = matcher->replaceAll(rvToIcu(replacement), status);
    if (U_FAILURE(status))
        return text;
    return rvFromIcu(out);
}

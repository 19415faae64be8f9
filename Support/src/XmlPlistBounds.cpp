#include <cstdint>
#include <optional>

#include "PlistBounds_p.h"
#include "Support/BoundedPlist.h"

namespace Support::PlistBounds {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// An integer's text as libplist reads it (a sign, then the leading digits
// in base 16 after "0x", 8 after "0", else 10): whether its value fits a
// signed 64-bit integer, which is all libplist 2.2 can hand back.
bool integerFits(std::string_view text)
{
    text = trimmed(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    unsigned base = 10;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    else if (!text.empty() && text[0] == '0')
        base = 8;
    const std::uint64_t limit = negative ? std::uint64_t(1) << 63 : (std::uint64_t(1) << 63) - 1;
    std::uint64_t value = 0;
    for (const char c : text) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = unsigned(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = unsigned(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = unsigned(c - 'A' + 10);
        else
            break;
        if (digit >= base)
            break;
        if (value > (limit - digit) / base)
            return false;
        value = value * base + digit;
    }
    return true;
}

// A date's text: exactly "YYYY-MM-DDTHH:MM:SSZ" (the "Z" may be missing),
// whose whole seconds from 2001 fit 32 bits. libplist reads any other text
// as some unrelated moment.
bool dateFits(std::string_view text)
{
    text = trimmed(text);
    if (text.size() == 20 && text.back() == 'Z')
        text.remove_suffix(1);
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':'
        || text[16] != ':')
        return false;
    const auto field = [&](std::size_t at, std::size_t width) -> std::optional<int> {
        int value = 0;
        for (std::size_t i = at; i < at + width; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return std::nullopt;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    const auto year = field(0, 4), month = field(5, 2), day = field(8, 2);
    const auto hour = field(11, 2), minute = field(14, 2), second = field(17, 2);
    if (!year || !month || !day || !hour || !minute || !second || *month < 1 || *month > 12 || *day < 1
        || *day > 31 || *hour > 23 || *minute > 59 || *second > 60)
        return false;
    // Days from 1970-01-01 in the proleptic Gregorian calendar.
    const int y = *year - (*month <= 2 ? 1 : 0);
    const int era = y / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (*month + (*month > 2 ? -3 : 9)) + 2) / 5 + *day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t days = std::int64_t(era) * 146097 + dayOfEra - 719468;
    const std::int64_t seconds = days * 86400 + *hour * 3600 + *minute * 60 + *second - 978307200;
    return seconds >= -2147483648LL && seconds <= 2147483647LL;
}

class Scan
{
public:
    explicit Scan(std::string_view bytes) : m_text(bytes) {}

    bool run()
    {
        while (m_at < m_text.size()) {
            const std::size_t open = m_text.find('<', m_at);
            if (open == std::string_view::npos)
                break;
            m_at = open;
            if (!markup())
                return false;
        }
        return true;
    }

private:
    bool startsWith(std::string_view prefix) const { return m_text.substr(m_at, prefix.size()) == prefix; }

    // Moves past the next `end`; false when there is none.
    bool skipPast(std::string_view end)
    {
        const std::size_t found = m_text.find(end, m_at);
        if (found == std::string_view::npos)
            return false;
        m_at = found + end.size();
        return true;
    }

    static bool isNameChar(char c)
    {
        return c != '>' && c != '/' && !isSpace(c) && c != '=' && c != '<' && c != '"' && c != '\'';
    }

    std::string_view name()
    {
        const std::size_t from = m_at;
        while (m_at < m_text.size() && isNameChar(m_text[m_at]))
            ++m_at;
        return m_text.substr(from, m_at - from);
    }

    // Moves past the ">" that ends a tag or a declaration, over quoted
    // values and, in a declaration (a document type), over the bracketed
    // internal subset.
    bool markupEnd(bool declaration = false)
    {
        char quote = 0;
        int brackets = 0;
        for (; m_at < m_text.size(); ++m_at) {
            const char c = m_text[m_at];
            if (quote) {
                if (c == quote)
                    quote = 0;
            }
            else if (c == '"' || c == '\'')
                quote = c;
            else if (declaration && c == '[')
                ++brackets;
            else if (declaration && c == ']')
                --brackets;
            else if (c == '>' && brackets <= 0) {
                ++m_at;
                return true;
            }
        }
        return false;
    }

    // The markup at m_at ("<"); false when the document must be refused.
    bool markup()
    {
        if (startsWith("<!--"))
            return skipPast("-->");
        if (startsWith("<![CDATA["))
            return skipPast("]]>");
        if (startsWith("<?"))
            return skipPast("?>");
        if (startsWith("<!"))
            return markupEnd(true);
        if (startsWith("</")) {
            m_at += 2;
            const std::string_view closed = name();
            if (!markupEnd() || m_depth == 0)
                return false;
            --m_depth;
            if (closed == "array" || closed == "dict")
                --m_containers;
            return true;
        }
        ++m_at;
        const std::string_view opened = name();
        if (opened.empty() || !markupEnd())
            return false;
        const bool empty = m_text[m_at - 2] == '/';
        // The document element wraps the values and is no node of its own.
        if (++m_nodes > kPlistMaxNodes + 1)
            return false;
        if (empty)
            return opened != "date"; // libplist reads it as 2001-01-01
        // Beside the containers, the document element and one scalar.
        if (++m_depth > std::size_t(kPlistMaxDepth) + 2)
            return false;
        if (opened == "array" || opened == "dict")
            return ++m_containers <= std::size_t(kPlistMaxDepth);
        if (opened == "integer" || opened == "date") {
            // The value runs up to its end tag, with no markup inside.
            const std::size_t end = m_text.find('<', m_at);
            if (end == std::string_view::npos)
                return false;
            const std::string_view value = m_text.substr(m_at, end - m_at);
            m_at = end;
            if (!startsWith("</") || m_text.substr(m_at + 2, opened.size()) != opened)
                return false;
            return opened == "integer" ? integerFits(value) : dateFits(value);
        }
        return true;
    }

    const std::string_view m_text;
    std::size_t m_at = 0;
    std::size_t m_depth = 0;
    std::size_t m_containers = 0;
    std::uint64_t m_nodes = 0;
};

} // namespace

bool xmlWithinBounds(std::string_view bytes)
{
    return Scan(bytes).run();
}

} // namespace Support::PlistBounds

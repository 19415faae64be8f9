#include "QVModelText.h"

#include <limits>

namespace QVModelText {

qint64 integerOf(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    // One past the largest positive value: the magnitude of the smallest.
    constexpr quint64 limit = quint64(std::numeric_limits<qint64>::max()) + 1;
    quint64 magnitude = 0;
    for (; i < n && text.at(i) >= u'0' && text.at(i) <= u'9'; ++i) {
        const quint64 digit = quint64(text.at(i).unicode() - u'0');
        if (magnitude > (limit - digit) / 10) {
            magnitude = limit;
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (negative)
        return magnitude >= limit ? std::numeric_limits<qint64>::min() : -qint64(magnitude);
    return magnitude >= limit ? std::numeric_limits<qint64>::max() : qint64(magnitude);
}

} // namespace QVModelText

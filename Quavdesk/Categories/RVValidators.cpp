#include "Categories/RVValidators.h"

#include "Categories/RVIcu_p.h"

#include <QDateTime>
#include <QSet>
#include <QSysInfo>
#include <QUuid>
#include <array>
#include <cctype>

namespace {

// Each fixed validator compiles its pattern once, on first use.
#define RV_FIXED_PATTERN(name, pattern)                                                                      \
    bool name(const QString &text)                                                                           \
    {                                                                                                        \
        static const RVRegex compiled(QStringLiteral(pattern));                                              \
        return compiled.matchesWhole(text);                                                                  \
    }

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isGregorianLeapYear(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// The characters a caller allows besides letters and digits, each made
// literal inside a character class: "]", "\\", "^", "-", "[" or "&" would
// otherwise end the class, build a range or open a nested set, and could
// smuggle arbitrary pattern text into the test.
QString literalClassMembers(const QString &characters)
{
    QString out;
    out.reserve(characters.size() * 2);
    for (const QChar c : characters) {
        if (c.unicode() < 128 && !c.isLetterOrNumber())
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

const QString kChineseRange = QStringLiteral("一-龥");

} // namespace

QString rv_UUID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString rv_timeStamp()
{
    return QString::number(QDateTime::currentMSecsSinceEpoch());
}

std::optional<QString> rv_platformUuidFromMachineId(const QByteArray &machineId)
{
    const QByteArray id = machineId.trimmed();
    if (id.size() != 32)
        return std::nullopt;
    for (const char c : id) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
    }
    const QString hex = QString::fromLatin1(id).toUpper();
    return hex.mid(0, 8) + QLatin1Char('-') + hex.mid(8, 4) + QLatin1Char('-') + hex.mid(12, 4) + QLatin1Char('-')
        + hex.mid(16, 4) + QLatin1Char('-') + hex.mid(20);
}

std::optional<QString> rv_platform_uuid()
{
    return rv_platformUuidFromMachineId(QSysInfo::machineUniqueId());
}

bool rv_isValidateByRegex(const QString &text, const QString &pattern)
{
    return RVRegex(pattern).matchesWhole(text);
}

RV_FIXED_PATTERN(rv_isMobileNumber, R"(^(0|86|17951)?(1)[0-9]{10}$)")
RV_FIXED_PATTERN(rv_isEmailAddress,
                 R"([\w!#$%&'*+/=?^_`{|}~-]+(?:\.[\w!#$%&'*+/=?^_`{|}~-]+)*@(?:[\w](?:[\w-]*[\w])?\.)+[\w](?:[\w-]*[\w])?)")
RV_FIXED_PATTERN(rv_simpleVerifyIdentityCardNum, R"(^(\d{6})(\d{4})(\d{2})(\d{2})(\d{3})([0-9]|X)$)")
RV_FIXED_PATTERN(rv_isCarNumber, R"(^[一-鿿]{1}[a-zA-Z]{1}[-][a-zA-Z_0-9]{4}[a-zA-Z_0-9_一-鿿]$)")
RV_FIXED_PATTERN(rv_isMacAddress, R"(([A-Fa-f\d]{2}:){5}[A-Fa-f\d]{2})")
RV_FIXED_PATTERN(rv_isValidUrl, R"(^((http)|(https))+:[^\s]+\.[^\s]*$)")
RV_FIXED_PATTERN(rv_isValidChinese, R"(^[一-龥]+$)")
RV_FIXED_PATTERN(rv_isInteger, R"(^-?[1-9]\d*$)")
RV_FIXED_PATTERN(rv_isPositiveInteger, R"(^[1-9]\d*$)")
RV_FIXED_PATTERN(rv_isNegativeInteger, R"(^-[1-9]\d*$)")
RV_FIXED_PATTERN(rv_Non_PositiveInteger, R"(^-[1-9]\d*|0$)")
RV_FIXED_PATTERN(rv_Non_NegativeInteger, R"(^[1-9]\d*|0$)")
RV_FIXED_PATTERN(rv_PositiveFloat, R"(^[1-9]\d*\.\d*|0\.\d*[1-9]\d*$)")
RV_FIXED_PATTERN(rv_NegativeFloat, R"(^-[1-9]\d*\.\d*|-0\.\d*[1-9]\d*$)")
RV_FIXED_PATTERN(rv_isValidPostalcode, R"([1-9]\d{5}(?!\d))")
RV_FIXED_PATTERN(rv_isValidTaxNo, R"([0-9]\d{13}([0-9]|X)$)")
RV_FIXED_PATTERN(rv_isTheFirstLetterALetter, R"([A-Za-z]+)")

#undef RV_FIXED_PATTERN

bool rv_isBlankSpace(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (!c.isSpace())
            return false;
    }
    return true;
}

bool rv_isValidWithMinLenth(const QString &text, qsizetype minLength, qsizetype maxLength, bool containChinese,
                            bool firstCannotBeDigit)
{
    // With the first-character rule the first character stands outside the
    // repeated class, which then covers one character less.
    const qsizetype fewest = firstCannotBeDigit ? minLength - 1 : minLength;
    const qsizetype most = firstCannotBeDigit ? maxLength - 1 : maxLength;
    const QString pattern = QStringLiteral("%1[%2A-Za-z0-9_]{%3,%4}")
                                .arg(firstCannotBeDigit ? QStringLiteral("^[a-zA-Z_]") : QString(),
                                     containChinese ? kChineseRange : QString())
                                .arg(fewest)
                                .arg(most);
    return rv_isValidateByRegex(text, pattern);
}

bool rv_isValidWithMinLenth(const QString &text, qsizetype minLength, qsizetype maxLength, bool containChinese,
                            bool containDigit, bool containLetter, const std::optional<QString> &otherCharacters,
                            bool firstCannotBeDigit)
{
    const QString length = QStringLiteral("(?=^.{%1,%2}$)").arg(minLength).arg(maxLength);
    const QString digit = containDigit ? QStringLiteral(R"((?=(.*\d.*){1}))") : QString();
    const QString letter = containLetter ? QStringLiteral("(?=(.*[a-zA-Z].*){1})") : QString();
    const QString characters = QStringLiteral("(?:%1[%2A-Za-z0-9%3]+)")
                                   .arg(firstCannotBeDigit ? QStringLiteral("^[a-zA-Z_]") : QString(),
                                        containChinese ? kChineseRange : QString(),
                                        literalClassMembers(otherCharacters.value_or(QString())));
    return rv_isValidateByRegex(text, length + digit + letter + characters);
}

bool rv_accurateVerifyIDCardNumber(const QString &text)
{
    const QString number = text.trimmed();
    if (number.size() != 15 && number.size() != 18)
        return false;

    static const QSet<QString> regions = {
        QStringLiteral("11"), QStringLiteral("12"), QStringLiteral("13"), QStringLiteral("14"), QStringLiteral("15"),
        QStringLiteral("21"), QStringLiteral("22"), QStringLiteral("23"), QStringLiteral("31"), QStringLiteral("32"),
        QStringLiteral("33"), QStringLiteral("34"), QStringLiteral("35"), QStringLiteral("36"), QStringLiteral("37"),
        QStringLiteral("41"), QStringLiteral("42"), QStringLiteral("43"), QStringLiteral("44"), QStringLiteral("45"),
        QStringLiteral("46"), QStringLiteral("50"), QStringLiteral("51"), QStringLiteral("52"), QStringLiteral("53"),
        QStringLiteral("54"), QStringLiteral("61"), QStringLiteral("62"), QStringLiteral("63"), QStringLiteral("64"),
        QStringLiteral("65"), QStringLiteral("71"), QStringLiteral("81"), QStringLiteral("82"), QStringLiteral("91"),
    };
    if (!regions.contains(number.left(2)))
        return false;

    // Month and day of a real date; February's last day by the leap rule.
    static const RVRegex leap15(
        QStringLiteral("^[1-9][0-9]{5}[0-9]{2}((01|03|05|07|08|10|12)(0[1-9]|[1-2][0-9]|3[0-1])|(04|06|09|11)"
                       "(0[1-9]|[1-2][0-9]|30)|02(0[1-9]|[1-2][0-9]))[0-9]{3}$"),
        UREGEX_CASE_INSENSITIVE);
    static const RVRegex common15(
        QStringLiteral("^[1-9][0-9]{5}[0-9]{2}((01|03|05|07|08|10|12)(0[1-9]|[1-2][0-9]|3[0-1])|(04|06|09|11)"
                       "(0[1-9]|[1-2][0-9]|30)|02(0[1-9]|1[0-9]|2[0-8]))[0-9]{3}$"),
        UREGEX_CASE_INSENSITIVE);
    // Birth years 1800 to 2099: the numbers of people born since 2000 are
    // as valid as the older ones.
    static const RVRegex leap18(
        QStringLiteral("^[1-9][0-9]{5}(18|19|20)[0-9]{2}((01|03|05|07|08|10|12)(0[1-9]|[1-2][0-9]|3[0-1])|"
                       "(04|06|09|11)(0[1-9]|[1-2][0-9]|30)|02(0[1-9]|[1-2][0-9]))[0-9]{3}[0-9Xx]$"),
        UREGEX_CASE_INSENSITIVE);
    static const RVRegex common18(
        QStringLiteral("^[1-9][0-9]{5}(18|19|20)[0-9]{2}((01|03|05|07|08|10|12)(0[1-9]|[1-2][0-9]|3[0-1])|"
                       "(04|06|09|11)(0[1-9]|[1-2][0-9]|30)|02(0[1-9]|1[0-9]|2[0-8]))[0-9]{3}[0-9Xx]$"),
        UREGEX_CASE_INSENSITIVE);

    if (number.size() == 15) {
        // The short numbers carry the year's last two digits of a 19xx
        // birth year, so "00" is 1900, which was no leap year.
        const int year = 1900 + number.mid(6, 2).toInt();
        return (isGregorianLeapYear(year) ? leap15 : common15).finds(number);
    }

    const int year = number.mid(6, 4).toInt();
    if (!(isGregorianLeapYear(year) ? leap18 : common18).finds(number))
        return false;

    // MOD 11-2 check character (ISO 7064) over the first 17 digits.
    static constexpr std::array<int, 17> weights = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    int sum = 0;
    for (int i = 0; i < 17; ++i)
        sum += (number.at(i).unicode() - '0') * weights[static_cast<std::size_t>(i)];
    const QChar expected = QLatin1String("10X98765432").at(sum % 11);
    return expected.toLower() == number.at(17).toLower();
}

bool rv_bankCardluhmCheck(const QString &text)
{
    if (text.isEmpty())
        return false;
    const auto digitValue = [](QChar c) { return isAsciiDigit(c) ? c.unicode() - '0' : 0; };
    // Only the total's last digit matters, which keeps a long text from
    // overflowing it.
    int total = 0;
    bool doubled = true;
    for (qsizetype i = text.size() - 2; i >= 0; --i) {
        int value = digitValue(text.at(i));
        if (doubled) {
            value *= 2;
            if (value >= 10)
                value -= 9;
        }
        total = (total + value) % 10;
        doubled = !doubled;
    }
    return (total + digitValue(text.back())) % 10 == 0;
}

bool rv_isIPAddress(const QString &text)
{
    // ASCII digits only: a Unicode "\d" would let "١.١.١.١" pass and then
    // read as 0.0.0.0.
    static const RVRegex dotted(QStringLiteral(R"(^([0-9]{1,3})\.([0-9]{1,3})\.([0-9]{1,3})\.([0-9]{1,3})$)"));
    if (!dotted.matchesWhole(text))
        return false;
    for (const QString &part : text.split(QLatin1Char('.'))) {
        if (part.toInt() > 255)
            return false;
    }
    return true;
}

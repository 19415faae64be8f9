#include "PinCode/PinCode.h"

#include <limits>
#include <string>

#include "Utils/IntegerValue.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

namespace {

// Longer codes cannot stand for an address; the bound keeps the base-26
// arithmetic exact.
constexpr qsizetype kMaxLetterCodeLength = 24;

QString number(__int128 value)
{
    return QString::number(static_cast<qint64>(value));
}

} // namespace

PinCode::PinCode()
{
    for (char c = 'A'; c <= 'Z'; ++c)
        m_alphabet.append(QString(QLatin1Char(c)));
}

void PinCode::initMaxComb()
{
    m_allCharComb = 208827064576LL; // 26^8
    m_allIPComb = 4294967296LL;     // 2^32
    m_all6CharComb = 308915776LL;   // 26^6
}

qint64 PinCode::get26Power(qint64 k)
{
    quint64 result = 1;
    for (qint64 i = 1; i < k && i < 64; ++i)
        result *= 26;
    return static_cast<qint64>(result);
}

qint64 PinCode::getSpecificCharAtIndex(qint64 index, const QString &text) const
{
    if (index < 0 || index >= text.size())
        return -1;
    return m_alphabet.indexOf(QString(text[index]));
}

bool PinCode::base26Value(const QString &code, __int128 &value) const
{
    if (code.size() > kMaxLetterCodeLength)
        return false;
    value = 0;
    for (qsizetype j = 0; j < code.size(); ++j)
        value = value * 26 + getSpecificCharAtIndex(j, code);
    return true;
}

QString PinCode::eightCharPinToIP(const QString &code) const
{
    __int128 v = 0;
    if (!base26Value(code, v))
        return {};
    const __int128 a = m_allCharComb - (v + 1);
    // Integer division and remainder truncate as the C operators do, so a
    // negative value gives negative parts and no valid address.
    const __int128 b = m_allIPComb != 0 ? a % m_allIPComb : a;
    const QString text = QStringLiteral("%1.%2.%3.%4")
                             .arg(number(b / 16777216), number((b % 16777216) / 65536),
                                  number((b % 65536) / 256), number(b % 256));
    return TavlinGlobal::isValidIPAddress(text) ? text : QString();
}

QString PinCode::sixNumberPinToIP(const QString &code) const
{
    const __int128 a = __int128(999999) - integerValueOfText(code);
    const QString mine = TavlinGlobal::getMineIPAddress();
    if (mine.isEmpty())
        return {};
    const QStringList parts = mine.split(QLatin1Char('.'));
    if (parts.size() < 2)
        return {};
    const QString text = QStringLiteral("%1.%2.%3.%4")
                             .arg(parts[0], parts[1], number((a % 65536) / 256), number(a % 256));
    return TavlinGlobal::isValidIPAddress(text) ? text : QString();
}

QString PinCode::Char6ToIP(const QString &code) const
{
    __int128 v = 0;
    if (!base26Value(code, v))
        return {};
    const __int128 c = m_all6CharComb - 1 - v;
    return QStringLiteral("%1.%2.%3").arg(number((c % 16777216) / 65536), number((c % 65536) / 256), number(c % 256));
}

QString PinCode::Code2IP(const QString &code) const
{
    const qint64 n = integerValueOfText(code);
    if (n == 0)
        return {};
    const __int128 a = __int128(99999999) - n;
    return QStringLiteral("%1.%2.%3").arg(number((a % 16777216) / 65536), number((a % 65536) / 256), number(a % 256));
}

QString PinCode::getPinCodeAddress() const
{
    const std::string code = m_pinCode.toStdString();
    if (code.empty())
        return {};
    quint64 value = 0;
    for (const char c : code) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'V')
            digit = c - 'A' + 10;
        else
            return {};
        if (value > (std::numeric_limits<quint64>::max() - digit) / 32)
            return {};
        value = value * 32 + digit;
    }
    std::string hex = QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toStdString();
    QStringList parts;
    for (size_t i = 0; i < hex.size(); i += 2)
        parts.append(QString::number(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return parts.join(QLatin1Char('.'));
}

QString PinCode::getIPAddress() const
{
    const QString mine = TavlinGlobal::getMineIPAddress();
    return mine.isEmpty() ? QStringLiteral("error") : mine;
}

QString PinCode::getMineMacAddress() const
{
    return TavlinGlobal::getMineMacAddress();
}

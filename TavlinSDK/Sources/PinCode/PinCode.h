#pragma once

#include <QString>
#include <QStringList>

// Turns a receiver's casting code back into its dotted IPv4 address: eight
// capital letters carry the whole address, six digits the last two octets of
// an address on this machine's own /16 network. A null string means "none".
class PinCode {
public:
    PinCode();

    // Sets the three limits (0 until then).
    void initMaxComb();

    QString eightCharPinToIP(const QString &code) const;
    QString sixNumberPinToIP(const QString &code) const;

    // 26^(k-1) for k of 2 or more, 1 otherwise.
    static qint64 get26Power(qint64 k);
    // Position of the character at `index` in the alphabet (A = 0), or -1.
    qint64 getSpecificCharAtIndex(qint64 index, const QString &text) const;

    // Offered conversions that the connect roads do not use.
    QString Char6ToIP(const QString &code) const;
    QString Code2IP(const QString &code) const;
    // `pinCode` read in base 32 ('0'-'9', then 'A'-'V'), as dotted decimal
    // pairs of its hexadecimal form; none for any other character or a value
    // beyond 64 bits.
    QString getPinCodeAddress() const;
    // This machine's address, or "error".
    QString getIPAddress() const;
    QString getMineMacAddress() const;

    QString pinCode() const { return m_pinCode; }
    void setPinCode(const QString &code) { m_pinCode = code; }
    const QStringList &alphabet() const { return m_alphabet; }
    qint64 allCharComb() const { return m_allCharComb; }
    qint64 allIPComb() const { return m_allIPComb; }
    qint64 all6CharComb() const { return m_all6CharComb; }
    qint64 maxNum() const { return m_maxNum; }

private:
    // The code read as base-26 digits, most significant first; a character
    // outside the alphabet counts as -1. False for codes too long to mean an
    // address.
    bool base26Value(const QString &code, __int128 &value) const;

    QString m_pinCode;
    QStringList m_alphabet;
    qint64 m_allCharComb = 0;
    qint64 m_allIPComb = 0;
    qint64 m_all6CharComb = 0;
    qint64 m_maxNum = 0;
};

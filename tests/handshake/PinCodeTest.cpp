#include <gtest/gtest.h>

#include "HandshakeServer.h"
#include "PinCode/PinCode.h"
#include "FakePlatform.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

namespace {

class PinCodeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        addresses = std::make_shared<Platform::Fake::FakeInterfaceAddresses>();
        addresses->ipv4 = QStringLiteral("192.168.1.20");
        TavlinGlobal::setInterfaceAddresses(addresses);
        pin.initMaxComb();
    }
    void TearDown() override { TavlinGlobal::setInterfaceAddresses(nullptr); }

    std::shared_ptr<Platform::Fake::FakeInterfaceAddresses> addresses;
    PinCode pin;
};

} // namespace

TEST_F(PinCodeTest, EightLettersGiveTheWholeAddressBothWays)
{
    const QList<QPair<QString, QString>> examples = {
        {"AAAAAAAA", "159.16.32.255"}, {"ZZZZZZZZ", "0.0.0.0"},   {"BAAAAAAA", "192.84.110.127"},
        {"AMCBIXZV", "192.168.1.20"},  {"AICMQMHY", "10.0.0.1"},
    };
    for (const auto &[code, address] : examples) {
        EXPECT_EQ(pin.eightCharPinToIP(code), address) << code.toStdString();
        // The receiver's side names the address with the smallest code.
        const QString back = HandshakeCodes::eightLetterCodeFor(QHostAddress(address));
        EXPECT_EQ(pin.eightCharPinToIP(back), address) << back.toStdString();
    }
    EXPECT_EQ(HandshakeCodes::eightLetterCodeFor(QHostAddress(QStringLiteral("192.168.1.20"))), QStringLiteral("AMCBIXZV"));
    // A code and the same code plus 2^32 in value name one address.
    EXPECT_EQ(PinCode::get26Power(1), 1);
    EXPECT_EQ(PinCode::get26Power(0), 1);
    EXPECT_EQ(PinCode::get26Power(3), 676);
    EXPECT_EQ(pin.getSpecificCharAtIndex(0, QStringLiteral("C")), 2);
    EXPECT_EQ(pin.getSpecificCharAtIndex(0, QStringLiteral("c")), -1);
    EXPECT_EQ(pin.getSpecificCharAtIndex(5, QStringLiteral("C")), -1);
}

TEST_F(PinCodeTest, LimitsAreZeroUntilInitialised)
{
    PinCode fresh;
    EXPECT_EQ(fresh.allCharComb(), 0);
    EXPECT_EQ(fresh.alphabet().size(), 26);
    EXPECT_EQ(fresh.alphabet().first(), QStringLiteral("A"));
    EXPECT_EQ(pin.allCharComb(), 208827064576LL);
    EXPECT_EQ(pin.allIPComb(), 4294967296LL);
    EXPECT_EQ(pin.all6CharComb(), 308915776LL);
    // Uninitialised, every code falls below zero: no address.
    EXPECT_TRUE(fresh.eightCharPinToIP(QStringLiteral("AMCBIXZV")).isEmpty());
}

TEST_F(PinCodeTest, SixDigitsGiveTheLastTwoOctetsOnTheOwnNetwork)
{
    EXPECT_EQ(pin.sixNumberPinToIP(QStringLiteral("000000")), QStringLiteral("192.168.66.63"));
    EXPECT_EQ(pin.sixNumberPinToIP(QStringLiteral("123456")), QStringLiteral("192.168.95.255"));
    EXPECT_EQ(pin.sixNumberPinToIP(QStringLiteral("999999")), QStringLiteral("192.168.0.0"));
    // Only the low 16 bits of 999999 - n count.
    EXPECT_EQ(pin.sixNumberPinToIP(QStringLiteral("065536")), pin.sixNumberPinToIP(QStringLiteral("000000")));
    EXPECT_EQ(pin.sixNumberPinToIP(QStringLiteral("999723")), QStringLiteral("192.168.1.20"));
    EXPECT_EQ(HandshakeCodes::sixDigitCodeFor(QHostAddress(QStringLiteral("192.168.1.20"))), QStringLiteral("999723"));
    EXPECT_EQ(HandshakeCodes::sixDigitCodeFor(QHostAddress(QStringLiteral("10.1.66.63"))), QStringLiteral("983040"));
    EXPECT_EQ(pin.sixNumberPinToIP(QStringLiteral("983040")), QStringLiteral("192.168.66.63"));

    addresses->ipv4.clear();
    EXPECT_TRUE(pin.sixNumberPinToIP(QStringLiteral("123456")).isEmpty());
    // This host's loop-back address never stands for the own network.
    addresses->ipv4 = QStringLiteral("127.0.0.1");
    EXPECT_TRUE(pin.sixNumberPinToIP(QStringLiteral("123456")).isEmpty());
    addresses->ipv4 = QStringLiteral("127.9.8.7");
    EXPECT_EQ(pin.sixNumberPinToIP(QStringLiteral("999723")), QStringLiteral("127.9.1.20"));
}

TEST_F(PinCodeTest, OfferedConversions)
{
    EXPECT_EQ(pin.Char6ToIP(QStringLiteral("AAAAAA")), QStringLiteral("105.174.63"));
    EXPECT_EQ(pin.Code2IP(QStringLiteral("0")), QString());
    EXPECT_EQ(pin.Code2IP(QStringLiteral("99999998")), QStringLiteral("0.0.1"));
    EXPECT_EQ(pin.getIPAddress(), QStringLiteral("192.168.1.20"));
    addresses->ipv4.clear();
    EXPECT_EQ(pin.getIPAddress(), QStringLiteral("error"));

    // Base 32 read into hex pairs.
    pin.setPinCode(QStringLiteral("10"));
    EXPECT_EQ(pin.getPinCodeAddress(), QStringLiteral("0.0.0.32"));
    pin.setPinCode(QStringLiteral("3VVVVVV"));
    EXPECT_EQ(pin.getPinCodeAddress(), QStringLiteral("255.255.255.255"));
    pin.setPinCode(QStringLiteral("4000000"));
    EXPECT_EQ(pin.getPinCodeAddress(), QStringLiteral("16.0.0.0.0"));
    // Letters past V are no base-32 digits; neither are lower-case ones.
    pin.setPinCode(QStringLiteral("W1"));
    EXPECT_TRUE(pin.getPinCodeAddress().isEmpty());
    pin.setPinCode(QStringLiteral("a1"));
    EXPECT_TRUE(pin.getPinCodeAddress().isEmpty());
    // A code far longer than any address neither overflows nor fails loudly.
    pin.setPinCode(QString(200, QLatin1Char('V')));
    EXPECT_TRUE(pin.getPinCodeAddress().isEmpty());
    pin.setPinCode(QStringLiteral("VVVVVVVVVVVV")); // 60 bits: still a value
    EXPECT_FALSE(pin.getPinCodeAddress().isEmpty());
    EXPECT_TRUE(pin.eightCharPinToIP(QString(500, QLatin1Char('Z'))).isEmpty());
}

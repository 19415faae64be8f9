// The public operations' argument checks and what they do with and without
// the session objects behind them.

#include "FacadeTestRig.h"

namespace {

struct CodeCase {
    QString code;
    bool accepted;
};

QString printable(const QString &text)
{
    QString out;
    for (const QChar ch : text)
        out += ch.unicode() < 0x20 ? QStringLiteral("\\x%1").arg(ch.unicode(), 2, 16, QLatin1Char('0')) : QString(ch);
    return out;
}

} // namespace

TEST_F(FacadeTest, ConnectByIpTakesOnlyDottedIPv4Addresses)
{
    auto facade = makeFacade();
    const qsizetype start = journal.size();
    for (const char *bad : {"", "1.2.3", "256.1.1.1", "1.2.3.4 ", " 1.2.3.4", "1.2.3.4.5", "::1", "localhost",
                            "1.2.3.4\n", "01.2.3.4"}) {
        EXPECT_FALSE(facade->connectDeviceByIp(QString::fromLatin1(bad))) << bad;
    }
    EXPECT_EQ(book.connectsMade, 0);
    EXPECT_EQ(journal.mid(start), QStringList());

    EXPECT_TRUE(facade->connectDeviceByIp(QStringLiteral("192.0.2.10")));
    EXPECT_EQ(journal.last(), QStringLiteral("connect.byIp 192.0.2.10"));
    book.connectResult = false;
    EXPECT_FALSE(facade->connectDeviceByIp(QStringLiteral("192.0.2.11")));
    EXPECT_EQ(book.connectsMade, 2);
}

TEST_F(FacadeTest, CastingCodeCheckTakesSixOrEightDigitsOrCapitals)
{
    auto facade = makeFacade();
    const QList<CodeCase> cases = {
        {QStringLiteral("123456"), true},
        {QStringLiteral("12345678"), true},
        {QStringLiteral("ABCDEF"), true},
        {QStringLiteral("ABCDEFGH"), true},
        {QStringLiteral("+12345"), true},
        {QStringLiteral("-12345"), true},
        {QStringLiteral(" 12345"), true},
        {QStringLiteral("   +1234"), true},
        {QStringLiteral("000000"), true},
        {QString(), false},
        {QStringLiteral("12345"), false},
        {QStringLiteral("1234567"), false},
        {QStringLiteral("ABCDEFG"), false},
        {QStringLiteral("123456789"), false},
        {QStringLiteral("12A456"), false},
        {QStringLiteral("ABC123"), false},
        {QStringLiteral("abcdef"), false},
        {QStringLiteral("ABCDEf"), false},
        {QStringLiteral("12345 "), false},
        {QStringLiteral("123 45"), false},
        {QStringLiteral("+-1234"), false},
        {QStringLiteral("      "), false},
        {QStringLiteral("+     "), false},
        {QStringLiteral("\r\n1234"), false},
        {QStringLiteral("\t12345"), false},
        {QStringLiteral("1234\n5"), false},
        {QStringLiteral("\u2028" "12345"), false},
        {QStringLiteral("\uff11\uff12\uff13\uff14\uff15\uff16"), false},
        {QStringLiteral("\u00c4BCDEF"), false},
    };
    // Without any connect under way the verdict is the same.
    for (const CodeCase &c : cases)
        EXPECT_EQ(facade->connectDeviceByIpCheckPwd(c.code), c.accepted) << printable(c.code).toStdString();
    EXPECT_EQ(book.connectsMade, 0);

    ASSERT_TRUE(facade->connectDeviceByIp(QStringLiteral("192.0.2.10")));
    const qsizetype start = journal.size();
    for (const CodeCase &c : cases)
        facade->connectDeviceByIpCheckPwd(c.code);
    QStringList passed;
    for (const CodeCase &c : cases) {
        if (c.accepted)
            passed.append(QStringLiteral("connect.checkPwd ") + c.code);
    }
    EXPECT_EQ(journal.mid(start), passed);
    EXPECT_EQ(book.connectsMade, 1);
    EXPECT_TRUE(appEvents(start).isEmpty());
}

TEST_F(FacadeTest, SixDigitConnectTakesOneSixCharacterInteger)
{
    auto facade = makeFacade();
    for (const QString &bad : {QString(), QStringLiteral("12345"), QStringLiteral("1234567"), QStringLiteral("12a456"),
                               QStringLiteral("ABCDEF"), QStringLiteral("\n12345"), QStringLiteral("12345\r"),
                               QStringLiteral("12 456")}) {
        EXPECT_FALSE(facade->connectDeviceBy6Digits(bad)) << printable(bad).toStdString();
    }
    EXPECT_EQ(book.connectsMade, 0);
    EXPECT_TRUE(facade->connectDeviceBy6Digits(QStringLiteral("123456")));
    EXPECT_TRUE(facade->connectDeviceBy6Digits(QStringLiteral(" 12345")));
    EXPECT_EQ(journal.last(), QStringLiteral("connect.byPin  12345"));
    EXPECT_EQ(book.connectsMade, 2);
    book.connectResult = false;
    EXPECT_FALSE(facade->connectDeviceBy6Digits(QStringLiteral("654321")));
}

TEST_F(FacadeTest, EightLetterConnectTakesEightCapitals)
{
    auto facade = makeFacade();
    for (const QString &bad : {QString(), QStringLiteral("ABCDEFG"), QStringLiteral("ABCDEFGHI"), QStringLiteral("ABCDEFGh"),
                               QStringLiteral("ABCD1FGH"), QStringLiteral("ABCDEFG\n"), QStringLiteral("12345678")}) {
        EXPECT_FALSE(facade->connectDeviceBy8Char(bad)) << printable(bad).toStdString();
    }
    EXPECT_EQ(book.connectsMade, 0);
    EXPECT_TRUE(facade->connectDeviceBy8Char(QStringLiteral("ABCDEFGH")));
    EXPECT_EQ(journal.last(), QStringLiteral("connect.byPin ABCDEFGH"));
}

TEST_F(FacadeTest, WithoutSessionMakersConnectsAnswerNoAfterTheirChecks)
{
    auto facade = makeFacade(false);
    EXPECT_FALSE(facade->connectDeviceByIp(QStringLiteral("192.0.2.10")));
    EXPECT_FALSE(facade->connectDeviceBy6Digits(QStringLiteral("123456")));
    EXPECT_FALSE(facade->connectDeviceBy8Char(QStringLiteral("ABCDEFGH")));
    // The code check itself still passes a well-formed code.
    EXPECT_TRUE(facade->connectDeviceByIpCheckPwd(QStringLiteral("ABCDEFGH")));
    EXPECT_FALSE(facade->connectDeviceByIpCheckPwd(QStringLiteral("ABCDEFG")));

    EXPECT_FALSE(facade->isSonvaleInstalled());
    EXPECT_FALSE(facade->installSonvalePlugin());
    EXPECT_FALSE(facade->isTavlinAudioInstalled());
    EXPECT_FALSE(facade->uninstallTavlinAudio());
}

TEST_F(FacadeTest, AFactoryThatMakesNothingAnswersNo)
{
    book.failFactory = true;
    auto facade = makeFacade();
    EXPECT_FALSE(facade->connectDeviceByIp(QStringLiteral("192.0.2.10")));
    EXPECT_FALSE(facade->connectDeviceBy6Digits(QStringLiteral("123456")));
}

TEST_F(FacadeTest, BeforeAnySessionTheSessionOperationsAnswerNo)
{
    auto facade = makeFacade();
    TavlinGlobal::setIsConnecting(true);   // even if the state said so
    const qsizetype start = journal.size();
    EXPECT_FALSE(facade->isCanRecordScreen());
    facade->takeAScreenShot();
    EXPECT_FALSE(facade->setPauseCastStatus(1));
    EXPECT_FALSE(facade->setFullScreenStatus(1));
    facade->startMirror();
    facade->stopMirror();
    facade->disconnectWithDevice();
    EXPECT_EQ(facade->getCustomBroadcastString(), QString());
    // The start that cannot start anything is refused at once.
    EXPECT_EQ(journal.mid(start), QStringList{"app.replyCastRequest 0"});
}

TEST_F(FacadeTest, SessionOperationsReachTheMasterControlSession)
{
    auto facade = makeFacade();
    connectAndSucceed(*facade);
    qsizetype start = journal.size();
    EXPECT_TRUE(facade->isCanRecordScreen());
    book.canRecord = false;
    EXPECT_FALSE(facade->isCanRecordScreen());
    facade->takeAScreenShot();
    EXPECT_TRUE(facade->setPauseCastStatus(1));
    EXPECT_TRUE(facade->setFullScreenStatus(0));
    book.masterResult = false;
    EXPECT_FALSE(facade->setPauseCastStatus(0));
    facade->startMirror();
    facade->stopMirror();
    EXPECT_EQ(journal.mid(start), (QStringList{"master.prompt", "master.pause 1", "master.fullScreen 0", "master.pause 0",
                                               "master.startMirror", "master.stopMirror"}));

    // After a disconnect mirroring is refused, the rest still reaches the
    // last session object.
    facade->disconnectWithDevice();
    start = journal.size();
    facade->startMirror();
    facade->stopMirror();
    book.masterResult = true;
    EXPECT_TRUE(facade->setFullScreenStatus(1));
    facade->takeAScreenShot();
    EXPECT_EQ(journal.mid(start), (QStringList{"app.replyCastRequest 0", "master.fullScreen 1", "master.prompt"}));
}

TEST_F(FacadeTest, DriverOperationsUseOneDriverObject)
{
    auto facade = makeFacade();
    EXPECT_EQ(book.driversMade, 0);
    EXPECT_TRUE(facade->isSonvaleInstalled());
    EXPECT_TRUE(facade->installSonvalePlugin());
    book.driverResult = false;
    EXPECT_FALSE(facade->isTavlinAudioInstalled());
    EXPECT_FALSE(facade->uninstallTavlinAudio());
    EXPECT_EQ(book.driversMade, 1);
    EXPECT_EQ(journal.mid(journal.size() - 4),
              (QStringList{"driver.isSonvaleInstalled", "driver.installSonvalePlugin", "driver.isTavlinAudioInstalled",
                           "driver.uninstallTavlinAudio"}));
}

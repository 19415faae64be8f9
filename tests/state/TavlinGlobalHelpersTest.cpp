#include <QJsonArray>
#include <QPointF>
#include <QProcess>
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "Utils/TavlinGlobal/TavlinGlobal.h"

TEST(TavlinGlobalHex, ReadsAsPercentXDoes)
{
    EXPECT_EQ(TavlinGlobal::numberWithHexString(QStringLiteral("0x10000000")), 0x10000000);
    EXPECT_EQ(TavlinGlobal::numberWithHexString(QStringLiteral("10000000")), 0x10000000);
    EXPECT_EQ(TavlinGlobal::numberWithHexString(QStringLiteral("ffffffff")), -1);
    EXPECT_EQ(TavlinGlobal::numberWithHexString(QStringLiteral("FFFFFFFF")), -1);
    EXPECT_EQ(TavlinGlobal::numberWithHexString(QString()), 0);
    EXPECT_EQ(TavlinGlobal::numberWithHexString(QStringLiteral("")), 0);
    EXPECT_EQ(TavlinGlobal::numberWithHexString(QStringLiteral("  0x40zz")), 0x40);
    EXPECT_EQ(TavlinGlobal::numberWithHexString(QStringLiteral("\t\n10100040\r\n")), 0x10100040);
    EXPECT_EQ(TavlinGlobal::numberWithHexString(QStringLiteral("zz")), 0);
    EXPECT_EQ(TavlinGlobal::numberWithHexString(QStringLiteral("0x")), 0);
    EXPECT_EQ(TavlinGlobal::numberWithHexString(QStringLiteral("0xg1")), 0);
    EXPECT_EQ(TavlinGlobal::numberWithHexString(QStringLiteral("7fffffff")), 0x7fffffff);
    EXPECT_EQ(TavlinGlobal::numberWithHexString(QStringLiteral("80000000")), -2147483648LL);
    // More digits than fit keep the low 32 bits.
    EXPECT_EQ(TavlinGlobal::numberWithHexString(QStringLiteral("123456789")), 0x23456789);
    EXPECT_EQ(TavlinGlobal::numberWithHexString(QStringLiteral("-1")), -1);
    EXPECT_EQ(TavlinGlobal::numberWithHexString(QStringLiteral("\u00e9ff")), 0);
}

TEST(TavlinGlobalValidators, IPv4LiteralsAsTheSystemAcceptsThem)
{
    EXPECT_TRUE(TavlinGlobal::isValidIPAddress(QStringLiteral("10.0.0.1")));
    EXPECT_TRUE(TavlinGlobal::isValidIPAddress(QStringLiteral("0.0.0.0")));
    EXPECT_TRUE(TavlinGlobal::isValidIPAddress(QStringLiteral("255.255.255.255")));
    for (const char *bad : {"", "1.2.3", "256.1.1.1", "1.2.3.4.", ".1.2.3.4", "1..2.3", "1.2.3.4.5",
                            "01.2.3.4", "1.2.3.4 ", " 1.2.3.4", "1.2.3.-4", "0x1.2.3.4", "1.2.3.1000",
                            "a.b.c.d", "::1", "1.2.3.4\n", "1,2,3,4"})
        EXPECT_FALSE(TavlinGlobal::isValidIPAddress(QString::fromLatin1(bad))) << bad;
    EXPECT_FALSE(TavlinGlobal::isValidIPAddress(QStringLiteral("1.2.3.\u0664"))); // Arabic-Indic digit
}

TEST(TavlinGlobalValidators, IPv4CheckAgreesWithInetPton)
{
    // Every short text over a small alphabet, compared with the C library.
    const char alphabet[] = {'0', '1', '2', '5', '9', '.'};
    QByteArray text;
    std::function<void(int)> visit = [&](int depth) {
        in_addr out{};
        const bool expected = inet_pton(AF_INET, text.constData(), &out) == 1;
        ASSERT_EQ(TavlinGlobal::isValidIPAddress(QString::fromLatin1(text)), expected) << text.constData();
        if (depth == 0)
            return;
        for (char c : alphabet) {
            text.append(c);
            visit(depth - 1);
            text.chop(1);
        }
    };
    visit(8);
    for (const char *sample : {"192.168.001.1", "199.255.255.256", "249.250.251.252", "1.22.123.0"}) {
        in_addr out{};
        EXPECT_EQ(TavlinGlobal::isValidIPAddress(QString::fromLatin1(sample)),
                  inet_pton(AF_INET, sample, &out) == 1) << sample;
    }
}

TEST(TavlinGlobalValidators, CastingCodeShapes)
{
    EXPECT_TRUE(TavlinGlobal::ifEnterPinCountIsValid(QStringLiteral("123456")));
    EXPECT_TRUE(TavlinGlobal::ifEnterPinCountIsValid(QStringLiteral("ABCDEFGH")));
    EXPECT_FALSE(TavlinGlobal::ifEnterPinCountIsValid(QStringLiteral("1234567")));
    EXPECT_FALSE(TavlinGlobal::ifEnterPinCountIsValid(QString()));

    EXPECT_TRUE(TavlinGlobal::ifSixNumberPin(QStringLiteral("012789")));
    EXPECT_FALSE(TavlinGlobal::ifSixNumberPin(QStringLiteral("01278a")));
    EXPECT_FALSE(TavlinGlobal::ifSixNumberPin(QStringLiteral("+12345")));
    EXPECT_TRUE(TavlinGlobal::compareCharter(QStringLiteral("999")));
    EXPECT_FALSE(TavlinGlobal::compareCharter(QStringLiteral("9 9")));
    EXPECT_TRUE(TavlinGlobal::ifEightBigCharPin(QStringLiteral("ABCDEFGZ")));
    EXPECT_FALSE(TavlinGlobal::ifEightBigCharPin(QStringLiteral("ABCDEFGa")));
    EXPECT_FALSE(TavlinGlobal::ifEightBigCharPin(QStringLiteral("ABCDEFG\u00c4")));
    // The all-characters checks hold for an empty text.
    EXPECT_TRUE(TavlinGlobal::ifSixNumberPin(QString()));
    EXPECT_TRUE(TavlinGlobal::compareCharter(QString()));
    EXPECT_TRUE(TavlinGlobal::ifEightBigCharPin(QString()));

    EXPECT_TRUE(TavlinGlobal::ifContainDot(QStringLiteral("a.b")));
    EXPECT_FALSE(TavlinGlobal::ifContainDot(QStringLiteral("ab")));
    EXPECT_TRUE(TavlinGlobal::removeChinese(QStringLiteral("Caf\u00e9\u0100")));
    EXPECT_FALSE(TavlinGlobal::removeChinese(QStringLiteral("\u6295\u5c4f")));
}

TEST(TavlinGlobalJson, HeartbeatIsWrittenByteForByte)
{
    const QString text = TavlinGlobal::jsonStringWithDict({{QStringLiteral("heartbeat"), 0}});
    EXPECT_EQ(text.toUtf8(), QByteArray("{\n  \"heartbeat\" : 0\n}"));
    EXPECT_EQ(TavlinGlobal::jsonStrReplacelinebreak(text).toUtf8(), QByteArray("{  \"heartbeat\" : 0}\n"));
}

TEST(TavlinGlobalJson, EveryValueKindIsWrittenInTheSameShape)
{
    QVariantMap dict;
    dict.insert(QStringLiteral("b"), true);
    dict.insert(QStringLiteral("d"), 1.5);
    dict.insert(QStringLiteral("i"), qint64(-600001));
    dict.insert(QStringLiteral("s"), QStringLiteral("a\"b\\c/d\n\t\u0001\u00e9\U0001F600"));
    dict.insert(QStringLiteral("l"), QVariantList{1, QStringLiteral("x")});
    dict.insert(QStringLiteral("m"), QVariantMap{{QStringLiteral("k"), QVariant()}});
    dict.insert(QStringLiteral("e"), QVariantMap{});
    const QByteArray expected = "{\n"
                                "  \"b\" : true,\n"
                                "  \"d\" : 1.5,\n"
                                "  \"e\" : {},\n"
                                "  \"i\" : -600001,\n"
                                "  \"l\" : [\n"
                                "    1,\n"
                                "    \"x\"\n"
                                "  ],\n"
                                "  \"m\" : {\n"
                                "    \"k\" : null\n"
                                "  },\n"
                                "  \"s\" : \"a\\\"b\\\\c\\/d\\n\\t\\u0001\xc3\xa9\xf0\x9f\x98\x80\"\n"
                                "}";
    EXPECT_EQ(TavlinGlobal::jsonStringWithDict(dict).toUtf8(), expected);
}

TEST(TavlinGlobalJson, OutputParsesWithAnIndependentParser)
{
    const QString python = TestSupport::python3();
    if (!TestSupport::requireFacility("python3", !python.isEmpty()))
        return;
    QVariantMap dict;
    dict.insert(QStringLiteral("deviceName"), QStringLiteral("Zo\u00eb's \"Mac\" /\u6295\u5c4f\U0001F600"));
    dict.insert(QStringLiteral("versionCode"), 1024);
    dict.insert(QStringLiteral("ratio"), 0.1);
    dict.insert(QStringLiteral("ctl"), QString(QChar(0x1f)) + QStringLiteral("\r\b\f"));
    const QString text = TavlinGlobal::jsonStringWithDict(dict);
    ASSERT_FALSE(text.isEmpty());

    QProcess process;
    process.start(python, {QStringLiteral("-c"),
                           QStringLiteral("import json,sys\n"
                                          "d=json.loads(sys.stdin.buffer.read().decode('utf-8'))\n"
                                          "sys.stdout.buffer.write(json.dumps(d,sort_keys=True,ensure_ascii=True).encode())")});
    ASSERT_TRUE(process.waitForStarted());
    process.write(TavlinGlobal::jsonStrReplacelinebreak(text).toUtf8());
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished(30000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().constData();
    EXPECT_EQ(process.readAllStandardOutput(),
              QByteArray("{\"ctl\": \"\\u001f\\r\\b\\f\", \"deviceName\": \"Zo\\u00eb's \\\"Mac\\\" /\\u6295\\u5c4f"
                         "\\ud83d\\ude00\", \"ratio\": 0.1, \"versionCode\": 1024}"));
}

TEST(TavlinGlobalJson, JsonValuesFromAParsedReplyAreWrittenToo)
{
    const auto reply = TavlinGlobal::dictionaryWithJsonString(QStringLiteral("{\"k\":{\"a\":[1,\"x\"]}}"));
    ASSERT_TRUE(reply.has_value());
    QVariantMap dict;
    dict.insert(QStringLiteral("object"), QVariant::fromValue(reply->value(QStringLiteral("k")).toObject()));
    dict.insert(QStringLiteral("array"), QVariant::fromValue(QJsonArray{true, 2}));
    dict.insert(QStringLiteral("value"), QVariant::fromValue(QJsonValue(QStringLiteral("v"))));
    EXPECT_EQ(TavlinGlobal::jsonStringWithDict(dict).toUtf8(),
              QByteArray("{\n"
                         "  \"array\" : [\n    true,\n    2\n  ],\n"
                         "  \"object\" : {\n    \"a\" : [\n      1,\n      \"x\"\n    ]\n  },\n"
                         "  \"value\" : \"v\"\n"
                         "}"));
}

TEST(TavlinGlobalJson, UnwritableValuesGiveEmptyText)
{
    EXPECT_TRUE(TavlinGlobal::jsonStringWithDict({{QStringLiteral("n"), qQNaN()}}).isEmpty());
    EXPECT_TRUE(TavlinGlobal::jsonStringWithDict({{QStringLiteral("n"), qInf()}}).isEmpty());
    EXPECT_TRUE(TavlinGlobal::jsonStringWithDict({{QStringLiteral("p"), QVariant::fromValue(QPointF(1, 2))}}).isEmpty());
}

TEST(TavlinGlobalJson, LineBreaksAreRemovedAndOneAppended)
{
    EXPECT_EQ(TavlinGlobal::jsonStrReplacelinebreak(QString()), QStringLiteral("\n"));
    EXPECT_EQ(TavlinGlobal::jsonStrReplacelinebreak(QStringLiteral("\n\na\nb\n")), QStringLiteral("ab\n"));
    EXPECT_EQ(TavlinGlobal::jsonStrReplacelinebreak(QStringLiteral("a\r\nb")), QStringLiteral("a\rb\n"));
}

TEST(TavlinGlobalJson, ParsingGivesObjectsOnlyAndSurvivesHostileText)
{
    auto parsed = TavlinGlobal::dictionaryWithJsonString(QStringLiteral("{\"replyHeartbeat\":3,\"castMode\":1}"));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->value(QStringLiteral("castMode")).toInt(), 1);
    // Pretty-printed, with a UTF-8 name.
    parsed = TavlinGlobal::dictionaryWithJsonString(QStringLiteral("{\n  \"name\" : \"\u6295\u5c4f\"\n}\n"));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->value(QStringLiteral("name")).toString(), QStringLiteral("\u6295\u5c4f"));

    EXPECT_FALSE(TavlinGlobal::dictionaryWithJsonString(QString()).has_value());
    EXPECT_FALSE(TavlinGlobal::dictionaryWithJsonString(QStringLiteral("")).has_value());
    for (const char *bad : {"success", "{", "{\"a\":1", "{\"a\":1}}", "[1,2]", "3", "\"x\"", "null",
                            "{\"a\":1}{\"b\":2}", "{'a':1}", "{\"a\":01}", "{\"a\":\"\\ud800\\u\"}"})
        EXPECT_FALSE(TavlinGlobal::dictionaryWithJsonString(QString::fromLatin1(bad)).has_value()) << bad;

    // Deep nesting and a long text neither crash nor hang.
    const QString deep = QString(100000, QLatin1Char('[')) + QString(100000, QLatin1Char(']'));
    EXPECT_FALSE(TavlinGlobal::dictionaryWithJsonString(deep).has_value());
    const QString deepObject = QString(2000, QLatin1Char('{')).replace(QStringLiteral("{"), QStringLiteral("{\"a\":"));
    EXPECT_FALSE(TavlinGlobal::dictionaryWithJsonString(deepObject).has_value());
    const QString big = QStringLiteral("{\"k\":\"") + QString(1 << 20, QLatin1Char('x')) + QStringLiteral("\"}");
    ASSERT_TRUE(TavlinGlobal::dictionaryWithJsonString(big).has_value());

    // Raw bytes: invalid UTF-8 and embedded zero bytes.
    EXPECT_FALSE(TavlinGlobal::dictionaryWithJsonData(QByteArray()).has_value());
    EXPECT_FALSE(TavlinGlobal::dictionaryWithJsonData(QByteArray("{\"a\":\"\xff\xfe\"}")).has_value());
    EXPECT_FALSE(TavlinGlobal::dictionaryWithJsonData(QByteArray("{\"a\":1}\0junk", 12)).has_value());
    EXPECT_TRUE(TavlinGlobal::dictionaryWithJsonData(QByteArray("{\"a\":[1,{\"b\":null}]}")).has_value());
}

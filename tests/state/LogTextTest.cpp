#include <gtest/gtest.h>

#include "TavlinLogText.h"

TEST(LogText, ReceiverTextCannotBreakOrDisguiseALogLine)
{
    EXPECT_EQ(escapedForLog(QStringLiteral("Room A")), QStringLiteral("Room A"));
    EXPECT_EQ(escapedForLog(QStringLiteral("Salle Été 会议室 😀")), QStringLiteral("Salle Été 会议室 😀"));
    // A forged second line, a terminal colour and a bell.
    EXPECT_EQ(escapedForLog(QStringLiteral("A\r\n2024-01-01 connected\t\x1b[31m\x07")),
              QStringLiteral("A\\r\\n2024-01-01 connected\\t\\x1b[31m\\x07"));
    // The backslash is escaped too, so an escape in the log always means one.
    EXPECT_EQ(escapedForLog(QStringLiteral("a\\nb")), QStringLiteral("a\\\\nb"));
    // Reordering and invisible characters, line separators, C1 controls.
    EXPECT_EQ(escapedForLog(QString::fromUtf16(u"abc\u202Etxt.exe\u2028\u200B\u0085")),
              QStringLiteral("abc\\u202etxt.exe\\u2028\\u200b\\x85"));
    // Long text is cut.
    EXPECT_EQ(escapedForLog(QString(300, u'x'), 4), QStringLiteral("xxxx..."));
    EXPECT_EQ(escapedForLog(QString(4, u'x'), 4), QStringLiteral("xxxx"));
}

TEST(LogText, BytesShowTheirUtf8AndEscapeTheRest)
{
    EXPECT_EQ(escapedForLog(QByteArray("{\"deviceName\":\"\xe4\xbc\x9a\"}\n")),
              QString::fromUtf8("{\"deviceName\":\"会\"}\\n"));
    // Bytes that are not UTF-8, and a character cut short at the end.
    EXPECT_EQ(escapedForLog(QByteArray("\xff\xfe" "ok" "\xe4\xbc")), QStringLiteral("\\xff\\xfeok\\xe4\\xbc"));
    EXPECT_EQ(escapedForLog(QByteArray("\xc0\x80")), QStringLiteral("\\xc0\\x80"));   // an overlong NUL
    EXPECT_EQ(escapedForLog(QByteArray(1, '\0')), QStringLiteral("\\x00"));
    EXPECT_EQ(escapedForLog(QByteArray(500, 'y'), 3), QStringLiteral("yyy..."));
}

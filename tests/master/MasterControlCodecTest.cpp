#include <QJsonDocument>
#include <gtest/gtest.h>
#include <limits>

#include "LogCapture.h"
#include "MainControl/TLMasterControlPack/MasterControlCodec.h"

using namespace MasterControlCodec;
using Kind = ReceiverMessage::Kind;

namespace {

QJsonObject parsedLine(const QString &line)
{
    EXPECT_TRUE(line.endsWith(QLatin1Char('\n')));
    EXPECT_EQ(line.count(QLatin1Char('\n')), 1) << "one line per message";
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
    return document.object();
}

QList<QByteArray> feedAll(LineFramer &framer, const QList<QByteArray> &chunks)
{
    QList<QByteArray> lines;
    for (const QByteArray &chunk : chunks)
        lines.append(framer.feed(chunk));
    return lines;
}

} // namespace

TEST(MasterControlCodec, LinesTheLibraryWritesByteForByte)
{
    EXPECT_EQ(heartbeat(0), QStringLiteral("{  \"heartbeat\" : 0}\n"));
    EXPECT_EQ(heartbeat(600000), QStringLiteral("{  \"heartbeat\" : 600000}\n"));
    EXPECT_EQ(castRequest(), QStringLiteral("{  \"requestCast\" : 7}\n"));
    EXPECT_EQ(fullScreenRequest(), QStringLiteral("{  \"requestCast\" : 8}\n"));
    EXPECT_EQ(exitFullScreen(), QStringLiteral("{  \"exitFullscreen\" : \"N\"}\n"));
    EXPECT_EQ(disconnect(), QStringLiteral("{  \"disconnect\" : \"N\"}\n"));
    EXPECT_EQ(replyInfo(), QStringLiteral("{  \"replyInfo\" : \"N\"}\n"));

    ClientInformation info;
    info.clientName = QStringLiteral("Mac of \"Ann\"\n/ 会议");
    info.versionName = QStringLiteral("2.5.1");
    info.versionCode = 251;
    const QString line = clientInformation(info);
    const QJsonObject object = parsedLine(line);
    EXPECT_EQ(object.size(), 6);
    EXPECT_EQ(object.value("reportClientInfo").toString(), QStringLiteral("N"));
    EXPECT_EQ(object.value("clientName").toString(), info.clientName);
    EXPECT_EQ(object.value("clientType").toInteger(-1), 5);
    EXPECT_EQ(object.value("isTouchable").toInteger(-1), 0);
    EXPECT_EQ(object.value("versionName").toString(), QStringLiteral("2.5.1"));
    EXPECT_TRUE(object.value("versionCode").isDouble());
    EXPECT_EQ(object.value("versionCode").toInteger(-1), 251);
}

TEST(MasterControlCodec, ReceiverLinesAreClassifiedByTheirKeysInTheProtocolsOrder)
{
    auto kindOf = [](const char *line) -> std::optional<Kind> {
        const std::optional<ReceiverMessage> message = classify(QByteArray(line));
        return message ? std::optional<Kind>(message->kind) : std::nullopt;
    };
    EXPECT_EQ(kindOf(R"({"replyHeartbeat":"N","castMode":1})"), Kind::ReplyHeartbeat);
    EXPECT_EQ(kindOf(R"({"replyClientInfo":"N"})"), Kind::ReplyClientInfo);
    EXPECT_EQ(kindOf(R"({"disconnectClient":"N"})"), Kind::DisconnectClient);
    EXPECT_EQ(kindOf(R"({"replyCastRequest":1})"), Kind::ReplyCastRequest);
    EXPECT_EQ(kindOf(R"({"inviteCast":"N"})"), Kind::InviteCast);
    EXPECT_EQ(kindOf(R"({"cancelCastInvite":"N"})"), Kind::CancelCastInvite);
    EXPECT_EQ(kindOf(R"({"reportInfo":"N"})"), Kind::ReportInfo);
    EXPECT_EQ(kindOf(R"({"replyExitFullscreen":"N"})"), Kind::ReplyExitFullscreen);
    // A line with several keys is the first of the list.
    EXPECT_EQ(kindOf(R"({"reportInfo":"N","replyCastRequest":1,"replyHeartbeat":"N"})"), Kind::ReplyHeartbeat);
    EXPECT_EQ(kindOf(R"({"reportInfo":"N","replyCastRequest":0})"), Kind::ReplyCastRequest);

    // Words inside values are text the receiver chose, never a message.
    const std::optional<ReceiverMessage> named =
        classify(R"({"reportInfo":"N","deviceName":"replyCastRequest replyHeartbeat","rotation":90})");
    ASSERT_TRUE(named);
    EXPECT_EQ(named->kind, Kind::ReportInfo);
    EXPECT_EQ(named->deviceName, QStringLiteral("replyCastRequest replyHeartbeat"));
    EXPECT_EQ(named->rotation, 90);

    // Damaged or foreign lines are nothing at all, and are logged.
    LogCapture log;
    for (const char *line : {R"({"replyHeartbeat":"N","castMode":0,"multiScreen":1)", R"("replyCastRequest":1)",
                             "replyHeartbeat", "[{\"replyHeartbeat\":1}]", "{}", R"({"heartbeat":3})", "",
                             "{\"replyCastRequest\":1}}", "\xff\xfe{\"replyCastRequest\":1}"}) {
        SCOPED_TRACE(line);
        EXPECT_FALSE(classify(QByteArray(line)));
    }
    EXPECT_GE(log.countContaining(QStringLiteral("master control line not understood")), 5);
}

TEST(MasterControlCodec, MembersAreReadWithCheckedTypes)
{
    const std::optional<ReceiverMessage> heartbeat = classify(
        R"({"replyHeartbeat":{"nested":true},"castMode":"2","multiScreen":true,"mirrorMode":[1],"castState":1.9})");
    ASSERT_TRUE(heartbeat);
    EXPECT_EQ(heartbeat->castMode, 2);
    EXPECT_EQ(heartbeat->multiScreen, 1);
    EXPECT_EQ(heartbeat->mirrorMode, 0);
    EXPECT_EQ(heartbeat->castState, 1);

    const std::optional<ReceiverMessage> missing = classify(R"({"replyHeartbeat":"N"})");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->castMode, 0);
    EXPECT_EQ(missing->castState, 0);

    const std::optional<ReceiverMessage> info = classify(
        R"({"replyClientInfo":"N","deviceName":42,"rotation":" -270deg","platform":["tv"],"flavor":"x","supportMirror":"1"})");
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->deviceName) << "a name that is no text is absent";
    EXPECT_EQ(info->rotation, -270);
    EXPECT_EQ(info->platform, QString());
    EXPECT_EQ(info->flavor, QStringLiteral("x"));
    EXPECT_EQ(info->supportMirror, 1);
    const std::optional<ReceiverMessage> noSupport = classify(R"({"replyClientInfo":"N","platform":"android"})");
    ASSERT_TRUE(noSupport);
    EXPECT_FALSE(noSupport->supportMirror);
    EXPECT_EQ(noSupport->platform, QStringLiteral("android"));

    const QJsonObject extremes = QJsonDocument::fromJson(
        R"({"huge":1e300,"tiny":-1e300,"text":"99999999999999999999999","neg":"-99999999999999999999","nan":"nan","null":null,"exact":9007199254740993,"negzero":-0.5})")
                                     .object();
    EXPECT_EQ(integerMember(extremes, "huge"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(integerMember(extremes, "tiny"), std::numeric_limits<qint64>::min());
    EXPECT_EQ(integerMember(extremes, "text"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(integerMember(extremes, "neg"), std::numeric_limits<qint64>::min());
    EXPECT_EQ(integerMember(extremes, "nan"), 0);
    EXPECT_EQ(integerMember(extremes, "null"), 0);
    EXPECT_EQ(integerMember(extremes, "absent"), 0);
    EXPECT_EQ(integerMember(extremes, "negzero"), 0);
    EXPECT_NEAR(double(integerMember(extremes, "exact")), 9007199254740993.0, 2.0);

    const std::optional<ReceiverMessage> reply = classify(R"({"replyCastRequest":"1"})");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->replyCastRequest, 1);
}

TEST(MasterControlCodec, LinesAreFramedAcrossReadsWhereverTheyAreCut)
{
    const QByteArray stream = QByteArray(R"({"replyHeartbeat":"N","castMode":2})") + "\r\n\n  \n"
                              + R"({"reportInfo":"N","deviceName":"Salle Été 会议室"})" + "\n"
                              + R"({"replyCastRequest":1})" + "\n";
    const QList<QByteArray> expected = {R"({"replyHeartbeat":"N","castMode":2})",
                                        QByteArray(R"({"reportInfo":"N","deviceName":"Salle Été 会议室"})"),
                                        R"({"replyCastRequest":1})"};
    // Every single cut, and every byte on its own.
    for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
        LineFramer framer;
        EXPECT_EQ(feedAll(framer, {stream.left(cut), stream.mid(cut)}), expected) << "cut at " << cut;
        EXPECT_EQ(framer.pendingBytes(), 0);
    }
    LineFramer bytewise;
    QList<QByteArray> chunks;
    for (char c : stream)
        chunks.append(QByteArray(1, c));
    const QList<QByteArray> lines = feedAll(bytewise, chunks);
    EXPECT_EQ(lines, expected);
    const std::optional<ReceiverMessage> info = classify(lines.at(1));
    ASSERT_TRUE(info && info->deviceName);
    EXPECT_EQ(*info->deviceName, QStringLiteral("Salle Été 会议室"));
}

namespace {

// One line of each kind a receiver sends, in the order of the kinds.
QList<QByteArray> receiverLines()
{
    return {
        R"({"replyHeartbeat":"N","castMode":2,"multiScreen":0,"mirrorMode":0,"castState":1})",
        R"({"replyClientInfo":"N","deviceName":"Salle Été 会议室 {x}","rotation":90,"supportMirror":1,"platform":"android","flavor":"a\"b"})",
        R"({"disconnectClient":"N"})",
        R"({"replyCastRequest":1})",
        R"({"inviteCast":"N"})",
        R"({"cancelCastInvite":"N"})",
        R"({ "reportInfo" : "N", "deviceName" : "Room", "rotation" : 0 })",
        R"({"replyExitFullscreen":"N"})",
    };
}

QList<Kind> kindsOf(const QList<QByteArray> &lines)
{
    QList<Kind> kinds;
    for (const QByteArray &line : lines) {
        if (const std::optional<ReceiverMessage> message = classify(line))
            kinds.append(message->kind);
    }
    return kinds;
}

} // namespace

TEST(MasterControlCodec, EveryMessageIsReadWholeWhereverItIsCutAndWhateverFollowsIt)
{
    const QList<QByteArray> lines = receiverLines();
    for (qsizetype a = 0; a < lines.size(); ++a) {
        for (qsizetype b = 0; b < lines.size(); ++b) {
            const QList<Kind> expected = {Kind(a), Kind(b)};
            // With line ends, glued in one stream, cut at every byte.
            const QByteArray stream = lines[a] + (a % 2 ? "\r\n" : "\n") + lines[b] + "\n";
            for (qsizetype cut = 1; cut < stream.size(); ++cut) {
                LineFramer framer;
                const QList<QByteArray> got = feedAll(framer, {stream.left(cut), stream.mid(cut)});
                ASSERT_EQ(got, (QList<QByteArray>{lines[a], lines[b]})) << "cut at " << cut << " of " << stream.toStdString();
                ASSERT_EQ(kindsOf(got), expected);
            }
            // Without line ends, cut at every byte of the first; the next
            // comes with its rest or in a read of its own.
            for (qsizetype cut = 1; cut <= lines[a].size(); ++cut) {
                LineFramer glued;
                ASSERT_EQ(feedAll(glued, {lines[a].left(cut), lines[a].mid(cut) + lines[b]}),
                          (QList<QByteArray>{lines[a], lines[b]}))
                    << "glued, cut at " << cut << " of " << lines[a].toStdString();
                LineFramer apart;
                ASSERT_EQ(feedAll(apart, {lines[a].left(cut), lines[a].mid(cut), lines[b]}),
                          (QList<QByteArray>{lines[a], lines[b]}))
                    << "apart, cut at " << cut << " of " << lines[a].toStdString();
            }
        }
    }
}

TEST(MasterControlCodec, ALastLineWithoutItsEndIsTakenWhenWholeAndBoundedOtherwise)
{
    LineFramer framer;
    // Whole: taken at once.
    EXPECT_EQ(framer.feed(R"({"replyCastRequest":1})"), QList<QByteArray>{R"({"replyCastRequest":1})"});
    EXPECT_EQ(framer.pendingBytes(), 0);
    // The line end that follows later makes no second line.
    EXPECT_TRUE(framer.feed("\n").isEmpty());
    // A brace inside a text does not end the object early.
    EXPECT_TRUE(framer.feed(R"({"reportInfo":"N","deviceName":"a})").isEmpty());
    EXPECT_EQ(framer.feed(R"(b"})").size(), 1);

    // Without an end, a line waits up to the bound, then is dropped; the
    // stream goes on after the next line end.
    LogCapture log;
    LineFramer bounded;
    const QByteArray filler(LineFramer::kMaxPendingBytes / 2, 'x');
    EXPECT_TRUE(bounded.feed("{\"reportInfo\":\"" + filler).isEmpty());
    EXPECT_GT(bounded.pendingBytes(), 0);
    EXPECT_TRUE(bounded.feed(filler + filler).isEmpty());
    EXPECT_EQ(bounded.pendingBytes(), 0);
    EXPECT_EQ(log.countContaining(QStringLiteral("dropped")), 1);
    const QList<QByteArray> after = bounded.feed("tail of the long line\n{\"replyHeartbeat\":\"N\"}\n");
    EXPECT_EQ(after, (QList<QByteArray>{"tail of the long line", "{\"replyHeartbeat\":\"N\"}"}));
}

TEST(MasterControlCodec, EveryByteIsScannedOnceHoweverTheStreamIsCut)
{
    // A line as long as the framer keeps, full of objects that close inside
    // it, one byte per read; then thousands of lines in one read.
    QByteArray nested = R"({"reportInfo":"N","x":[)";
    while (nested.size() < LineFramer::kMaxPendingBytes - 64)
        nested += R"({"a":{}},)";
    nested += R"({}]})";
    const QByteArray lines = QByteArray(R"({"replyHeartbeat":"N","castMode":1})" "\r\n").repeated(3000);

    LineFramer framer;
    QList<QByteArray> taken;
    for (char byte : nested)
        taken += framer.feed(QByteArray(1, byte));
    taken += framer.feed("\n");
    taken += framer.feed(lines);
    ASSERT_EQ(taken.size(), 1 + 3000);
    EXPECT_EQ(taken.first(), nested);
    EXPECT_TRUE(classify(taken.first()).has_value());
    EXPECT_EQ(framer.pendingBytes(), 0);

    const qint64 input = nested.size() + 1 + lines.size();
    EXPECT_GE(framer.scannedBytes(), input);
    EXPECT_LE(framer.scannedBytes(), 2 * input);
}

TEST(MasterControlCodec, ALineNotUnderstoodIsLoggedWithItsControlCharactersEscaped)
{
    LogCapture log;
    EXPECT_FALSE(classify("\x1b[2J{\"reportInfo\":\r\"N\x07").has_value());
    const QStringList lines = log.lines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.first().contains(QStringLiteral("\\x1b[2J{\"reportInfo\":\\r\"N\\x07"))) << lines.first().toStdString();
    for (const QChar c : lines.first())
        EXPECT_FALSE(c.category() == QChar::Other_Control) << int(c.unicode());
}

TEST(MasterControlCodec, DirectCastKeepAliveAndItsCommands)
{
    EXPECT_EQ(directCastKeepAlive(QStringLiteral("192.0.2.10"), 7, QStringLiteral("Tester Mac"), true),
              QStringLiteral("OPTIONS rtsp://192.0.2.10 RTSP/1.0\r\nCSeq: 7\r\nName: Tester Mac\r\nStatus: 1\r\n"
                             "System: 1\r\nContent-Length: 0\r\n\r\n"));
    EXPECT_TRUE(directCastKeepAlive({}, 0, {}, false).contains(QStringLiteral("\r\nStatus: 0\r\n")));

    EXPECT_EQ(directCastCommand("RTSP/1.0 200 OK\r\nCSeq: 3\r\n\r\n{\"command\":768}"), 768);
    // The object starts at the first brace followed by a quote.
    EXPECT_EQ(directCastCommand("x {not json} {\"command\" : \"769\"}"), 769);
    EXPECT_EQ(directCastCommand("{ \"command\":768}"), std::nullopt);
    EXPECT_EQ(directCastCommand("RTSP/1.0 200 OK\r\n\r\n{\"command\":769}\r\n"), 769);
    EXPECT_EQ(directCastCommand("RTSP/1.0 200 OK\r\n\r\n"), std::nullopt);
    LogCapture log;
    EXPECT_EQ(directCastCommand("command without a brace"), std::nullopt);
    EXPECT_EQ(log.count(QStringLiteral("Not Found")), 1);
    EXPECT_EQ(directCastCommand("{\"command\":[1]}"), 0);
    EXPECT_EQ(directCastCommand("{\"other\":1} command"), std::nullopt);
}

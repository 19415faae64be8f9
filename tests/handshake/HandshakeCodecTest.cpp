#include <gtest/gtest.h>

#include "MainControl/TLConnectPack/HandshakeCodec.h"

using namespace HandshakeCodec;
using Kind = HandshakeReply::Kind;

namespace {

QList<Kind> kinds(const QList<HandshakeReply> &replies)
{
    QList<Kind> result;
    for (const HandshakeReply &reply : replies)
        result.append(reply.kind);
    return result;
}

// Feeds `stream` cut at `cut` (and, when given, at `second`) and returns all
// replies.
QList<HandshakeReply> feedCut(const QByteArray &stream, qsizetype cut, qsizetype second = -1)
{
    HandshakeReplyFramer framer;
    QList<HandshakeReply> replies;
    if (second < 0) {
        replies += framer.feed(stream.left(cut));
        replies += framer.feed(stream.mid(cut));
    } else {
        replies += framer.feed(stream.left(cut));
        replies += framer.feed(stream.mid(cut, second - cut));
        replies += framer.feed(stream.mid(second));
    }
    return replies;
}

} // namespace

TEST(HandshakeCodec, RequestsAreByteExact)
{
    EXPECT_EQ(passwordConfigRequest(), QByteArray("GETPASSWORDCONFIG\r\ntavlin\r\n\r\n"));
    EXPECT_EQ(serverInfoRequest(), QByteArray("getServerInfo\r\n1\r\n\r\n"));
    EXPECT_EQ(listenedPortRequest(), QByteArray("getListenedPort\r\n1\r\n\r\n"));
}

TEST(HandshakeCodec, TextLinesAreClassifiedByTheFirstWordTheyHold)
{
    EXPECT_EQ(classify("success")->kind, Kind::CodeAccepted);
    EXPECT_EQ(classify("password check success, not failed")->kind, Kind::CodeAccepted);
    EXPECT_EQ(classify("failed")->kind, Kind::CodeRefused);
    EXPECT_EQ(classify("falied")->kind, Kind::CodeRefused);
    EXPECT_EQ(classify("configed password")->kind, Kind::CodeConfigured);
    EXPECT_EQ(classify("unconfiged password")->kind, Kind::CodeConfigured);
    EXPECT_FALSE(classify("no code").has_value());
    EXPECT_FALSE(classify("Success").has_value()); // the tests are case-sensitive
    // Text that is not an object: the name test with nothing to read.
    const auto name = classify("hostname");
    ASSERT_TRUE(name.has_value());
    EXPECT_EQ(name->kind, Kind::ServerInfo);
    EXPECT_TRUE(name->name.isNull());
    EXPECT_EQ(name->features, 0);
    EXPECT_EQ(name->extraInfo, QStringLiteral(""));
}

TEST(HandshakeCodec, ObjectsAreClassifiedByTheirMembersNotTheirText)
{
    const auto info = classify(R"({"name":"failed success","feature":"0x10100040","extraInfo":"configed password"})");
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->kind, Kind::ServerInfo);
    EXPECT_EQ(info->name, QStringLiteral("failed success"));
    EXPECT_EQ(info->features, 0x10100040);
    EXPECT_EQ(info->extraInfo, QStringLiteral("configed password"));

    const auto ports = classify(R"({"hasChanged":true,"name_of":"x","ports":{}})");
    ASSERT_TRUE(ports.has_value());
    EXPECT_EQ(ports->kind, Kind::Ports);

    // An object with neither member falls back to the words it holds.
    EXPECT_EQ(classify(R"({"result":"success"})")->kind, Kind::CodeAccepted);
    // Feature bits are read as "%x": sign-extended 32 bits.
    EXPECT_EQ(classify(R"({"name":"a","feature":"ffffffff"})")->features, -1);
    EXPECT_EQ(classify(R"({"name":"a","feature":"  40zz"})")->features, 0x40);
}

TEST(HandshakeCodec, MembersOfAnUnexpectedTypeReadAsAbsent)
{
    const auto info = classify(R"({"name":["x"],"feature":268435456,"extraInfo":{"a":1}})");
    ASSERT_TRUE(info.has_value());
    EXPECT_TRUE(info->name.isNull());
    EXPECT_EQ(info->features, 0);
    EXPECT_EQ(info->extraInfo, QStringLiteral(""));

    const auto ports = classify(
        R"({"hasChanged":"true","ports":{"51040":"41040","51030":0,"51060":70000,"52020":-4,"52030":1.5,"57395":true}})");
    ASSERT_TRUE(ports.has_value());
    EXPECT_TRUE(ports->portsParsed);
    EXPECT_TRUE(ports->hasChanged);
    EXPECT_EQ(ports->ports, (std::array<qint64, 6>{41040, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(classify(R"({"hasChanged":1,"ports":[]})")->hasChanged);
    EXPECT_FALSE(classify(R"({"hasChanged":"no"})")->hasChanged);
    EXPECT_FALSE(classify(R"({"hasChanged":null})")->hasChanged);
}

TEST(HandshakeCodec, PortReplyThatDoesNotParseAloneFallsBackToTheWholeRead)
{
    const QString whole = QStringLiteral("{\n  \"hasChanged\" : true,\n  \"ports\" : {\"51040\" : 41040}\n}\n");
    const auto reply = classify(QStringLiteral("  \"hasChanged\" : true,"), whole);
    ASSERT_TRUE(reply.has_value());
    EXPECT_TRUE(reply->portsParsed);
    EXPECT_EQ(reply->ports[0], 41040);
    const auto broken = classify(QStringLiteral("hasChanged"), QStringLiteral("hasChanged"));
    EXPECT_FALSE(broken->portsParsed);
}

TEST(HandshakeCodec, EveryCutOfAReplyStreamGivesTheSameMessages)
{
    // Objects are joined again wherever the transport cuts them, and so are
    // the lines that follow a complete object in the same read.
    const QByteArray stream =
        R"({"name":"Salle à manger 会议室 😀","feature":"10100040","extraInfo":"ünï"})" "\n"
        "\n"
        R"({"hasChanged":true,"ports":{"51040":41040}})" "\n"
        "{\n  \"hasChanged\" : true,\n  \"ports\" : {\"57395\" : 47395}\n}\n";
    const QList<Kind> expected = {Kind::ServerInfo, Kind::Ports, Kind::Ports};

    HandshakeReplyFramer whole;
    const QList<HandshakeReply> reference = whole.feed(stream);
    ASSERT_EQ(kinds(reference), expected);
    EXPECT_EQ(reference[0].name, QStringLiteral("Salle à manger 会议室 😀"));
    EXPECT_EQ(reference[0].extraInfo, QStringLiteral("ünï"));
    EXPECT_EQ(reference[2].ports[5], 47395);
    EXPECT_EQ(whole.pendingBytes(), 0);

    for (qsizetype cut = 1; cut < stream.size(); ++cut) {
        const QList<HandshakeReply> replies = feedCut(stream, cut);
        ASSERT_EQ(kinds(replies), expected) << "cut at " << cut;
        EXPECT_EQ(replies[0].name, reference[0].name) << "cut at " << cut;
        EXPECT_EQ(replies[1].ports, reference[1].ports) << "cut at " << cut;
        EXPECT_EQ(replies[2].ports, reference[2].ports) << "cut at " << cut;
    }
    // Two cuts, a stride apart, also inside the four-byte character.
    for (qsizetype cut = 1; cut + 3 < stream.size(); cut += 3) {
        const QList<HandshakeReply> replies = feedCut(stream, cut, cut + 2);
        ASSERT_EQ(kinds(replies), expected) << "cuts at " << cut;
        EXPECT_EQ(replies[0].name, reference[0].name);
    }
    // Byte by byte.
    HandshakeReplyFramer trickle;
    QList<HandshakeReply> replies;
    for (char byte : stream)
        replies += trickle.feed(QByteArray(1, byte));
    EXPECT_EQ(kinds(replies), expected);
}

TEST(HandshakeCodec, TextWithoutALineEndWaitsOnlyWhileItCanStillBecomeAReply)
{
    HandshakeReplyFramer framer;
    // A whole word is a reply at once.
    EXPECT_EQ(kinds(framer.feed("success")), QList<Kind>{Kind::CodeAccepted});
    EXPECT_EQ(framer.pendingBytes(), 0);

    // Text that cannot become a reply is a line at once: a bare answer to
    // the code question does not spoil the name reply in a later read.
    EXPECT_TRUE(framer.feed("none").isEmpty());
    EXPECT_EQ(framer.pendingBytes(), 0);
    const QList<HandshakeReply> name = framer.feed(R"({"name":"Room A","feature":"100000"})" "\n");
    ASSERT_EQ(kinds(name), QList<Kind>{Kind::ServerInfo});
    EXPECT_EQ(name[0].name, QStringLiteral("Room A"));
    EXPECT_EQ(name[0].features, 0x100000);
    EXPECT_TRUE(framer.feed("no password\r").isEmpty());
    EXPECT_EQ(kinds(framer.feed(R"({"name":"B","feature":"40"})")), QList<Kind>{Kind::ServerInfo});

    // The beginning of a word waits for its rest, however long the rest
    // takes: the session's time-outs, not the framer, deal with silence.
    EXPECT_TRUE(framer.feed("configed pass").isEmpty());
    EXPECT_EQ(framer.pendingBytes(), 13);
    EXPECT_EQ(kinds(framer.feed("word\n")), QList<Kind>{Kind::CodeConfigured});
    EXPECT_EQ(framer.pendingBytes(), 0);

    // It is a line of its own once a byte comes that cannot continue it:
    // what follows is never glued onto it.
    EXPECT_TRUE(framer.feed("con").isEmpty());
    const QList<HandshakeReply> after = framer.feed(R"({"name":"C","feature":"40"})");
    ASSERT_EQ(kinds(after), QList<Kind>{Kind::ServerInfo});
    EXPECT_EQ(after[0].name, QStringLiteral("C"));
    EXPECT_TRUE(framer.feed("succ").isEmpty());
    EXPECT_EQ(kinds(framer.feed("Xfailed\n")), QList<Kind>{Kind::CodeRefused});
    EXPECT_TRUE(framer.feed("fa").isEmpty());
    EXPECT_EQ(kinds(framer.feed("success")), QList<Kind>{Kind::CodeAccepted});

    // An object without a line end waits until it is whole.
    EXPECT_TRUE(framer.feed(R"({"name":"A","feat)").isEmpty());
    EXPECT_GT(framer.pendingBytes(), 0);
    EXPECT_EQ(kinds(framer.feed(R"(ure":"40"})")), QList<Kind>{Kind::ServerInfo});
    EXPECT_EQ(framer.pendingBytes(), 0);
}

namespace {

struct TableReply {
    QByteArray bytes;
    Kind kind;
};

// Every reply of the protocol's table as receivers write it, with its line
// end ("\n" or "\r\n"), or without one.
QList<TableReply> tableReplies(bool ended)
{
    const QByteArray name = R"({"name":"Salle à 会议室","feature":"10100240","extraInfo":"x y"})";
    const QByteArray ports = R"({"hasChanged":true,"ports":{"51040":41040,"57395":47395}})";
    const QByteArray portsOverLines = "{\n  \"hasChanged\" : true,\n  \"ports\" : {\"51040\" : 41040}\n}";
    QList<TableReply> replies = {
        {"success", Kind::CodeAccepted},      {"failed", Kind::CodeRefused},  {"falied", Kind::CodeRefused},
        {"configed password", Kind::CodeConfigured}, {name, Kind::ServerInfo}, {ports, Kind::Ports},
    };
    if (ended) {
        replies.append({portsOverLines, Kind::Ports});
        for (qsizetype i = 0; i < replies.size(); ++i)
            replies[i].bytes += i % 2 ? "\r\n" : "\n";
    }
    return replies;
}

// The replies the framer gave are the two it was sent, with their content.
void expectPair(const QList<HandshakeReply> &replies, const TableReply &first, const TableReply &second,
                const std::string &where)
{
    ASSERT_EQ(kinds(replies), (QList<Kind>{first.kind, second.kind})) << where;
    for (const HandshakeReply &reply : replies) {
        if (reply.kind == Kind::ServerInfo) {
            EXPECT_EQ(reply.name, QStringLiteral("Salle à 会议室")) << where;
            EXPECT_EQ(reply.features, 0x10100240) << where;
        } else if (reply.kind == Kind::Ports) {
            EXPECT_TRUE(reply.portsParsed && reply.hasChanged) << where;
            EXPECT_EQ(reply.ports[0], 41040) << where;
        }
    }
}

} // namespace

TEST(HandshakeCodec, EveryReplyIsReadWholeWhereverItIsCutAndWhateverFollowsIt)
{
    // Each reply with its line end, glued to each next one in the stream and
    // cut at every byte of the two.
    for (const TableReply &first : tableReplies(true)) {
        for (const TableReply &second : tableReplies(true)) {
            const QByteArray stream = first.bytes + second.bytes;
            for (qsizetype cut = 1; cut < stream.size(); ++cut) {
                expectPair(feedCut(stream, cut), first, second,
                           (stream.left(cut) + " | " + stream.mid(cut)).toStdString());
            }
        }
    }
}

TEST(HandshakeCodec, AReplyWithoutItsLineEndIsReadWholeAndNotGluedToTheNext)
{
    // Each reply without a line end, cut at every byte (or not at all); the
    // next reply comes with the rest of it, or in a read of its own.
    for (const TableReply &first : tableReplies(false)) {
        for (bool nextEnded : {false, true}) {
            for (const TableReply &second : tableReplies(nextEnded)) {
                for (qsizetype cut = 1; cut <= first.bytes.size(); ++cut) {
                    const std::string where =
                        (first.bytes.left(cut) + " | " + first.bytes.mid(cut) + " | " + second.bytes).toStdString();
                    HandshakeReplyFramer glued;
                    QList<HandshakeReply> replies = glued.feed(first.bytes.left(cut));
                    replies += glued.feed(first.bytes.mid(cut) + second.bytes);
                    expectPair(replies, first, second, "glued " + where);

                    HandshakeReplyFramer apart;
                    replies = apart.feed(first.bytes.left(cut));
                    replies += apart.feed(first.bytes.mid(cut));
                    replies += apart.feed(second.bytes);
                    expectPair(replies, first, second, "apart " + where);
                }
            }
        }
    }
}

TEST(HandshakeCodec, EveryByteIsScannedOnceHoweverTheStreamIsCut)
{
    // Objects as long as the framer keeps, one byte per read: one on a line,
    // one over several lines.
    const QByteArray filler(HandshakeReplyFramer::kMaxPendingBytes - 64, 'a');
    const QByteArray oneLine = R"({"name":")" + filler + R"(","feature":"100000"})" "\n";
    const QByteArray severalLines = "{\n \"hasChanged\" : true,\n \"x\" : \"" + filler + "\"\n}\n";
    // And many lines in one read.
    const QByteArray lines = QByteArray("configed password\r\n").repeated(3000);

    HandshakeReplyFramer framer;
    QList<HandshakeReply> replies;
    for (const QByteArray *stream : {&oneLine, &severalLines}) {
        for (char byte : *stream)
            replies += framer.feed(QByteArray(1, byte));
    }
    replies += framer.feed(lines);
    ASSERT_EQ(replies.size(), 2 + 3000);
    EXPECT_EQ(replies[0].kind, Kind::ServerInfo);
    EXPECT_EQ(replies[1].kind, Kind::Ports);
    EXPECT_EQ(replies.last().kind, Kind::CodeConfigured);
    EXPECT_EQ(framer.pendingBytes(), 0);

    const qint64 input = oneLine.size() + severalLines.size() + lines.size();
    EXPECT_GE(framer.scannedBytes(), input - 3000);
    EXPECT_LE(framer.scannedBytes(), 2 * input);
}

TEST(HandshakeCodec, AnObjectOverSeveralLinesIsOneMessage)
{
    HandshakeReplyFramer framer;
    const QList<HandshakeReply> replies = framer.feed(
        "{\n  \"hasChanged\" : true,\n  \"ports\" : {\n    \"57395\" : 47395\n  }\n}\nsuccess\n");
    ASSERT_EQ(kinds(replies), (QList<Kind>{Kind::Ports, Kind::CodeAccepted}));
    EXPECT_EQ(replies[0].ports[5], 47395);
}

TEST(HandshakeCodec, HostileInputIsBoundedAndDoesNotStallLaterLines)
{
    HandshakeReplyFramer framer;
    // A line that opens an object it never closes is read as a line.
    EXPECT_EQ(kinds(framer.feed("{\"name\":\"broken\n")), QList<Kind>{Kind::ServerInfo});
    EXPECT_EQ(kinds(framer.feed("success\n")), QList<Kind>{Kind::CodeAccepted});
    // Endless text without a line end is dropped at the bound.
    framer.feed(QByteArray(HandshakeReplyFramer::kMaxPendingBytes + 10, 'x'));
    EXPECT_EQ(framer.pendingBytes(), 0);
    // An endless object too.
    framer.feed("{\n");
    for (int i = 0; i < 200; ++i)
        framer.feed(QByteArray(1024, '['));
    EXPECT_LE(framer.pendingBytes(), HandshakeReplyFramer::kMaxPendingBytes);
    framer.reset();
    EXPECT_EQ(kinds(framer.feed("failed\n")), QList<Kind>{Kind::CodeRefused});
    // Bytes that are not UTF-8 do not stop the words around them.
    EXPECT_EQ(kinds(framer.feed("\xff\xfe\n\xc3success\n")), QList<Kind>{Kind::CodeAccepted});
}

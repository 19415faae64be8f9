#include <gtest/gtest.h>

#include <QJsonValue>

#include "Rtsp/RTSPCodec.h"
#include "Utils/IntegerValue.h"

using namespace RTSPCodec;

namespace {

QList<Reply> drain(ReplyFramer &framer)
{
    QList<Reply> replies;
    while (auto reply = framer.next())
        replies.append(*reply);
    return replies;
}

} // namespace

TEST(RTSPRequestHead, FirstRequestCarriesAspectRatioAndContentLengthInOrder)
{
    EXPECT_EQ(requestHead("SETUP", "192.168.1.20", 1, 0, 132),
              QByteArray("SETUP rtsp://192.168.1.20 RTSP/1.0\r\n"
                         "CSeq: 1\r\n"
                         "AspectRatio: 0\r\n"
                         "Content-Length: 132\r\n"
                         "User-Agent: Tavlin (Tavlin 1.0)\r\n"
                         "\r\n"));
    EXPECT_EQ(requestHead("SETUP", "10.0.0.7", 1, 1, 57),
              QByteArray("SETUP rtsp://10.0.0.7 RTSP/1.0\r\nCSeq: 1\r\nAspectRatio: 1\r\n"
                         "Content-Length: 57\r\nUser-Agent: Tavlin (Tavlin 1.0)\r\n\r\n"));
}

TEST(RTSPRequestHead, LaterRequestsAndBodilessRequests)
{
    EXPECT_EQ(requestHead("SETUP", "10.0.0.7", 2, std::nullopt, 90),
              QByteArray("SETUP rtsp://10.0.0.7 RTSP/1.0\r\nCSeq: 2\r\nContent-Length: 90\r\n"
                         "User-Agent: Tavlin (Tavlin 1.0)\r\n\r\n"));
    // No body: no "Content-Length" line at all.
    EXPECT_EQ(requestHead("OPTIONS", "10.0.0.7", 3, std::nullopt, 0),
              QByteArray("OPTIONS rtsp://10.0.0.7 RTSP/1.0\r\nCSeq: 3\r\n"
                         "User-Agent: Tavlin (Tavlin 1.0)\r\n\r\n"));
    EXPECT_EQ(requestHead("SET_PARAMETER", "10.0.0.7", 65535, 1, 0),
              QByteArray("SET_PARAMETER rtsp://10.0.0.7 RTSP/1.0\r\nCSeq: 65535\r\nAspectRatio: 1\r\n"
                         "User-Agent: Tavlin (Tavlin 1.0)\r\n\r\n"));
    // The wrapped sequence number after 65535.
    EXPECT_EQ(requestHead("OPTIONS", "h", static_cast<quint16>(65535 + 1), std::nullopt, 0),
              QByteArray("OPTIONS rtsp://h RTSP/1.0\r\nCSeq: 0\r\nUser-Agent: Tavlin (Tavlin 1.0)\r\n\r\n"));
    EXPECT_EQ(requestHead("TEARDOWN", "h", 9, std::nullopt, 69, {{"Session", "x"}, {"A", "b"}}),
              QByteArray("TEARDOWN rtsp://h RTSP/1.0\r\nCSeq: 9\r\nContent-Length: 69\r\n"
                         "User-Agent: Tavlin (Tavlin 1.0)\r\nSession: x\r\nA: b\r\n\r\n"));
}

TEST(RTSPContentLength, ReadsLeadingDigitsOfTheExactHeaderOnly)
{
    EXPECT_EQ(contentLength("RTSP/1.0 200 OK\r\nContent-Length: 42\r\n\r\n"), 42);
    EXPECT_EQ(contentLength("RTSP/1.0 200 OK\r\nContent-Length: 12abc\r\n\r\n"), 12);
    EXPECT_EQ(contentLength("RTSP/1.0 200 OK\r\ncontent-length: 42\r\n\r\n"), 0);
    EXPECT_EQ(contentLength("RTSP/1.0 200 OK\r\nContent-Length:42\r\n\r\n"), 0);
    EXPECT_EQ(contentLength("RTSP/1.0 200 OK\r\nContent-Length: -5\r\n\r\n"), 0);
    EXPECT_EQ(contentLength("RTSP/1.0 200 OK\r\n\r\n"), 0);
    EXPECT_EQ(contentLength("Content-Length: 99999999999999999999999999\r\n\r\n"),
              std::numeric_limits<qint64>::max());
}

TEST(RTSPReplyFramer, FramesByHeadEndAndContentLength)
{
    ReplyFramer framer;
    framer.append("RTSP/1.0 200 OK\r\nCSeq: 1\r\n\r\n"
                  "RTSP/1.0 200 OK\r\nCSeq: 2\r\nContent-Length: 5\r\n\r\nhello"
                  "RTSP/1.0 200 OK\r\nCSeq: 3\r\n\r\n");
    const QList<Reply> replies = drain(framer);
    ASSERT_EQ(replies.size(), 3);
    EXPECT_EQ(replies[0].raw, QByteArray("RTSP/1.0 200 OK\r\nCSeq: 1\r\n\r\n"));
    EXPECT_FALSE(replies[0].body);
    EXPECT_EQ(replies[1].body, QByteArray("hello"));
    EXPECT_EQ(replies[1].raw, QByteArray("RTSP/1.0 200 OK\r\nCSeq: 2\r\nContent-Length: 5\r\n\r\nhello"));
    EXPECT_FALSE(replies[2].body);
    EXPECT_FALSE(framer.hasPartial());
}

TEST(RTSPReplyFramer, ReassemblesAReplySplitIntoSingleBytes)
{
    const QByteArray wire("RTSP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n0123456789RTSP/1.0 200 OK\r\n\r\n");
    ReplyFramer framer;
    QList<Reply> replies;
    for (char c : wire) {
        framer.append(QByteArray(1, c));
        replies += drain(framer);
    }
    ASSERT_EQ(replies.size(), 2);
    EXPECT_EQ(replies[0].body, QByteArray("0123456789"));
    EXPECT_FALSE(replies[1].body);
}

TEST(RTSPReplyFramer, EveryReplyIsReadWholeWhereverItIsCutAndWhateverFollowsIt)
{
    // The replies of one cast: video "SETUP", audio "SETUP" with its
    // property list, "OPTIONS" with an encoder request, "TEARDOWN".
    // A binary body that holds a head's end and a whole reply of its own.
    const QByteArray plist = QByteArray("bplist00\0\xd1", 10) + "\r\n\r\nRTSP/1.0 200 OK\r\nContent-Length: 3\r\n\r\n";
    const QByteArray json = R"({"casting_win_width":1280,"casting_win_height":720,"Framerate":30,"feature":1})";
    const QList<QPair<QByteArray, QByteArray>> replies = {
        {"RTSP/1.0 200 OK\r\nCSeq: 1\r\n\r\n", {}},
        {"RTSP/1.0 200 OK\r\nCSeq: 2\r\nContent-Length: " + QByteArray::number(plist.size()) + "\r\n\r\n" + plist, plist},
        {"RTSP/1.0 200 OK\r\nCSeq: 3\r\nContent-Length: " + QByteArray::number(json.size()) + "\r\n\r\n" + json, json},
        {"RTSP/1.0 200 OK\r\nCSeq: 4\r\nContent-Length: 0\r\n\r\n", {}},
    };
    for (const auto &first : replies) {
        for (const auto &second : replies) {
            const QByteArray stream = first.first + second.first;
            for (qsizetype cut = 1; cut < stream.size(); ++cut) {
                ReplyFramer framer;
                framer.append(stream.left(cut));
                QList<Reply> got = drain(framer);
                framer.append(stream.mid(cut));
                got += drain(framer);
                ASSERT_EQ(got.size(), 2) << "cut at " << cut << " of " << stream.toStdString();
                EXPECT_EQ(got[0].raw, first.first);
                EXPECT_EQ(got[1].raw, second.first);
                EXPECT_EQ(got[0].body.value_or(QByteArray()), first.second);
                EXPECT_EQ(got[1].body.value_or(QByteArray()), second.second);
                EXPECT_FALSE(framer.hasPartial());
            }
        }
    }
}

TEST(RTSPReplyFramer, BodyLimitIsInclusiveAndLargerBodiesAreSkippedWithoutUse)
{
    ReplyFramer framer;
    const QByteArray atLimit(kReplyBodyLimit, 'a');
    framer.append("R\r\nContent-Length: 4096\r\n\r\n" + atLimit);
    auto first = framer.next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->body, atLimit);

    // One byte over: the reply counts without a body; its bytes are dropped,
    // also when they arrive later, and the next reply is framed correctly.
    framer.append("R\r\nContent-Length: 4097\r\n\r\n" + QByteArray(100, 'b'));
    auto second = framer.next();
    ASSERT_TRUE(second);
    EXPECT_FALSE(second->body);
    EXPECT_FALSE(framer.next());
    EXPECT_EQ(framer.pendingSkip(), 4097 - 100);
    framer.append(QByteArray(4097 - 100, 'b') + "NEXT\r\nContent-Length: 2\r\n\r\nok");
    auto third = framer.next();
    ASSERT_TRUE(third);
    EXPECT_EQ(third->body, QByteArray("ok"));
    EXPECT_EQ(third->raw, QByteArray("NEXT\r\nContent-Length: 2\r\n\r\nok"));
}

TEST(RTSPReplyFramer, HugeContentLengthHoldsNoMemory)
{
    ReplyFramer framer;
    framer.append("RTSP/1.0 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n");
    auto reply = framer.next();
    ASSERT_TRUE(reply);
    EXPECT_FALSE(reply->body);
    for (int i = 0; i < 64; ++i) {
        framer.append(QByteArray(65536, 'x'));
        EXPECT_FALSE(framer.next());
        EXPECT_FALSE(framer.hasPartial());
    }
}

TEST(RTSPReplyFramer, TruncatedBodyWaitsAndCanBeGivenUpAsBodiless)
{
    ReplyFramer framer;
    framer.append("RTSP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nonly this");
    EXPECT_FALSE(framer.next());
    EXPECT_TRUE(framer.hasPartial());
    auto partial = framer.takePartial();
    ASSERT_TRUE(partial);
    EXPECT_FALSE(partial->body);
    EXPECT_EQ(partial->raw, QByteArray("RTSP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nonly this"));
    EXPECT_FALSE(framer.hasPartial());
    EXPECT_FALSE(framer.takePartial());
}

TEST(RTSPReplyFramer, GarbageWithoutHeadEndIsBoundedAndGivenUpInOnePiece)
{
    ReplyFramer framer;
    framer.append(QByteArray(kReplyHeadLimit, 'g'));
    EXPECT_FALSE(framer.next());
    framer.append("g");
    auto reply = framer.next();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->raw.size(), kReplyHeadLimit + 1);
    EXPECT_FALSE(reply->body);
    EXPECT_FALSE(framer.hasPartial());

    // A lower-case length header frames no body: the bytes after it lead the
    // next reply's head, which still ends where its own head ends.
    framer.append("R\r\ncontent-length: 3\r\n\r\nabcR2\r\n\r\n");
    auto a = framer.next();
    auto b = framer.next();
    ASSERT_TRUE(a && b);
    EXPECT_FALSE(a->body);
    EXPECT_EQ(b->raw, QByteArray("abcR2\r\n\r\n"));
}

TEST(RTSPUtf8, ValidAndInvalidSequences)
{
    EXPECT_TRUE(isValidUtf8("plain"));
    EXPECT_TRUE(isValidUtf8("caf\xc3\xa9"));
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_FALSE(isValidUtf8("\xff\xfe"));
    EXPECT_FALSE(isValidUtf8("caf\xc3"));
    EXPECT_FALSE(isValidUtf8("\xed\xa0\x80")); // a lone surrogate
}

TEST(RTSPEncoderChange, AppliesTheReceiversRules)
{
    struct Case {
        const char *body;
        std::optional<EncoderChange> expected;
    };
    const Case cases[] = {
        {R"({"casting_win_width":1280,"casting_win_height":720,"Framerate":30,"feature":1})",
         EncoderChange{1280, 720, 30}},
        // Any zero value, a missing key included, asks for nothing.
        {R"({"casting_win_width":1280,"casting_win_height":720,"Framerate":0,"feature":1})", std::nullopt},
        {R"({"casting_win_width":1280,"casting_win_height":720,"feature":1})", std::nullopt},
        {R"({"casting_win_width":1280,"casting_win_height":0,"Framerate":30,"feature":1})", std::nullopt},
        // A negative frame rate means the default one.
        {R"({"casting_win_width":1280,"casting_win_height":720,"Framerate":-5,"feature":1})",
         EncoderChange{1280, 720, 20}},
        // Bit 0 of "feature" must be set.
        {R"({"casting_win_width":1280,"casting_win_height":720,"Framerate":30,"feature":2})", std::nullopt},
        {R"({"casting_win_width":1280,"casting_win_height":720,"Framerate":30,"feature":3})",
         EncoderChange{1280, 720, 30}},
        // Sizes no encoder can take are refused; frame rates are held to 1..60.
        {R"({"casting_win_width":-1280,"casting_win_height":-720,"Framerate":30,"feature":1})", std::nullopt},
        {R"({"casting_win_width":1,"casting_win_height":1,"Framerate":30,"feature":1})", std::nullopt},
        {R"({"casting_win_width":100000,"casting_win_height":720,"Framerate":30,"feature":1})", std::nullopt},
        {R"({"casting_win_width":8192,"casting_win_height":16,"Framerate":30,"feature":1})",
         EncoderChange{8192, 16, 30}},
        {R"({"casting_win_width":1920,"casting_win_height":1080,"Framerate":100000,"feature":1})",
         EncoderChange{1920, 1080, 60}},
        // Numbers in text and with fractions count by their integer part.
        {R"({"casting_win_width":"1280","casting_win_height":720.9,"Framerate":" 25fps","feature":true})",
         EncoderChange{1280, 720, 25}},
        // Not an object, not JSON, empty.
        {R"([1280,720,30,1])", std::nullopt},
        {"casting_win_width=1280", std::nullopt},
        {"", std::nullopt},
        {R"({"casting_win_width":1e300,"casting_win_height":720,"Framerate":30,"feature":1})", std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(parseEncoderChange(c.body), c.expected) << c.body;
}

TEST(RTSPEncoderChange, IntegerValueOfJsonValues)
{
    EXPECT_EQ(integerValueOfJson(QJsonValue(12.9)), 12);
    EXPECT_EQ(integerValueOfJson(QJsonValue(-12.9)), -12);
    EXPECT_EQ(integerValueOfJson(QJsonValue(QStringLiteral("  -42abc"))), -42);
    EXPECT_EQ(integerValueOfJson(QJsonValue(QStringLiteral("+7"))), 7);
    EXPECT_EQ(integerValueOfJson(QJsonValue(QStringLiteral("abc"))), 0);
    EXPECT_EQ(integerValueOfJson(QJsonValue(true)), 1);
    EXPECT_EQ(integerValueOfJson(QJsonValue(QJsonValue::Null)), 0);
    EXPECT_EQ(integerValueOfJson(QJsonValue(QJsonValue::Undefined)), 0);
    EXPECT_EQ(integerValueOfJson(QJsonValue(QStringLiteral("99999999999999999999"))),
              std::numeric_limits<qint64>::max());
}

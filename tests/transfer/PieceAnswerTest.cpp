// The reader of the server's answer to an upload piece, without a socket:
// answers in every framing read the same however they are cut; each bound
// holds while the bytes arrive, with only a bounded part of a hostile answer
// taken; sizes that would overflow and malformed answers are refused.

#include <QList>
#include <gtest/gtest.h>

#include "QVPieceAnswer.h"
#include "TransferTestSupport.h"

using TransferTest::gzipped;

using State = QVPieceAnswerParser::State;

namespace {

struct Read {
    State state;
    int status;
    QByteArray body;
    bool keepAlive;
    qint64 consumed;
    QString error;
};

// Feeds `bytes` in pieces of `step` bytes (all at once for 0), then the
// close when asked.
Read readAnswer(const QByteArray &bytes, qsizetype step = 0, bool close = false,
                const QVPieceAnswerParser::Limits &limits = {})
{
    QVPieceAnswerParser parser(limits);
    if (step == 0) {
        parser.feed(bytes);
    } else {
        for (qsizetype at = 0; at < bytes.size(); at += step)
            parser.feed(QByteArrayView(bytes).sliced(at, qMin(step, bytes.size() - at)));
    }
    if (close)
        parser.close();
    return {parser.state(), parser.status(), parser.body(), parser.keepAlive(), parser.consumed(), parser.error()};
}

} // namespace

TEST(PieceAnswer, EveryFramingReadsTheSameHoweverTheBytesAreCut)
{
    const QByteArray json = R"({"code":206})";
    struct Case {
        const char *name;
        QByteArray answer;
        bool close;
        int status;
        QByteArray body;
        bool keepAlive;
    };
    const QList<Case> cases{
        {"length", "HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\n" + json, false, 200, json, true},
        {"interim first", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\nX: y\r\n\r\nHTTP/1.1 200 OK\r\n"
                          "content-length: 12\r\n\r\n" + json, false, 200, json, true},
        {"chunked with extension and trailer",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\n{\"cod\r\n07 ; x=y\r\ne\":206}\r\n0\r\nX-T: 1\r\n\r\n",
         false, 200, json, true},
        {"bare line ends", "HTTP/1.1 200 OK\nContent-Length: 12\n\n" + json, false, 200, json, true},
        {"to the close", "HTTP/1.0 200 OK\r\n\r\n" + json, true, 200, json, false},
        {"1.0 kept alive", "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 12\r\n\r\n" + json, false, 200,
         json, true},
        {"1.1 closing", "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 12\r\n\r\n" + json, false, 200, json,
         false},
        {"gzip", "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: "
                     + QByteArray::number(gzipped(json).size()) + "\r\n\r\n" + gzipped(json),
         false, 200, json, true},
        {"no body", "HTTP/1.1 204 No Content\r\nContent-Length: 99\r\n\r\n", false, 204, {}, true},
        {"unknown coding kept", "HTTP/1.1 200 OK\r\nContent-Encoding: br\r\nContent-Length: 3\r\n\r\nabc", false, 200,
         "abc", true},
        {"length and chunks", "HTTP/1.1 200 OK\r\nContent-Length: 99\r\nTransfer-Encoding: chunked\r\n\r\n2\r\n{}\r\n0\r\n\r\n",
         false, 200, "{}", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const qsizetype step : {qsizetype(0), qsizetype(1), qsizetype(2), qsizetype(7)}) {
            const Read read = readAnswer(c.answer, step, c.close);
            ASSERT_EQ(read.state, State::Done) << qPrintable(read.error);
            EXPECT_EQ(read.status, c.status);
            EXPECT_EQ(read.body, c.body);
            EXPECT_EQ(read.keepAlive, c.keepAlive);
            EXPECT_EQ(read.consumed, c.answer.size());
        }
    }

    // Bytes after the answer were never asked for: the connection goes.
    QVPieceAnswerParser parser;
    EXPECT_EQ(parser.feed("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n{}HTTP/1.1 200"), State::Done);
    EXPECT_TRUE(parser.extraBytes());
    EXPECT_FALSE(parser.keepAlive());
}

TEST(PieceAnswer, EveryBoundHoldsWhileTheBytesArriveAndOnlyABoundedPartIsTaken)
{
    QVPieceAnswerParser::Limits limits;
    limits.maxLineBytes = 100;
    limits.maxHeadBytes = 1000;
    limits.maxHeaders = 10;
    limits.maxInterimAnswers = 3;
    limits.maxBodyBytes = 5000;
    const QByteArray ok = "HTTP/1.1 200 OK\r\n";
    QByteArray manyInterims;
    for (int i = 0; i < 50; ++i)
        manyInterims += "HTTP/1.1 100 Continue\r\n\r\n";
    QByteArray manyHeaders = ok;
    for (int i = 0; i < 11; ++i)
        manyHeaders += "X: y\r\n";
    QByteArray longHead = ok;
    for (int i = 0; i < 12; ++i)
        longHead += "X: " + QByteArray(95, 'h') + "\r\n";
    QByteArray tinyChunks = ok + "Transfer-Encoding: chunked\r\n\r\n";
    for (int i = 0; i < 2000; ++i)
        tinyChunks += "1;" + QByteArray(60, 'e') + "\r\nx\r\n";
    const QByteArray chunkedHead = ok + "Transfer-Encoding: chunked\r\n\r\n";
    struct Case {
        const char *name;
        QByteArray answer;
    };
    const QList<Case> cases{
        {"endless status line", "HTTP/1.1 200 " + QByteArray(1000000, 'r')},
        {"endless header line", ok + "X: " + QByteArray(1000000, 'a')},
        {"endless chunk size", chunkedHead + QByteArray(1000000, '1')},
        {"endless chunk extension", chunkedHead + "1;" + QByteArray(1000000, 'e')},
        {"endless blank lines", QByteArray(1000000, '\n')},
        {"too many headers", manyHeaders},
        {"too long a head", longHead},
        {"too many interim answers", manyInterims + ok + "Content-Length: 0\r\n\r\n"},
        {"declared length", ok + "Content-Length: 5001\r\n\r\n"},
        {"huge declared length", ok + "Content-Length: 999999999999999999\r\n\r\n"},
        {"chunks past the body", chunkedHead + "1000\r\n" + QByteArray(4096, 'b') + "\r\n1000\r\n"},
        {"size that would wrap", chunkedHead + "1\r\nx\r\n7fffffffffffffff\r\n"},
        {"size beyond 64 bits", chunkedHead + "1\r\nx\r\n1" + QByteArray(30, '0') + "\r\n"},
        {"body to the close", "HTTP/1.0 200 OK\r\n\r\n" + QByteArray(6000, 'c')},
        {"framing outweighs the body", tinyChunks},
        {"inflates past the body", ok + "Content-Encoding: gzip\r\nContent-Length: "
                                       + QByteArray::number(gzipped(QByteArray(100000, '0')).size()) + "\r\n\r\n"
                                       + gzipped(QByteArray(100000, '0'))},
    };
    // No answer may take more than its heads, the chunks' framing and the
    // body allow.
    const qint64 bound = (limits.maxInterimAnswers + 1) * limits.maxHeadBytes + 2 * limits.maxBodyBytes;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const qsizetype step : {qsizetype(0), qsizetype(3)}) {
            const Read read = readAnswer(c.answer, step, false, limits);
            EXPECT_EQ(read.state, State::Bad);
            EXPECT_FALSE(read.error.isEmpty());
            EXPECT_LE(read.consumed, bound);
            EXPECT_TRUE(read.body.isEmpty());
            EXPECT_EQ(read.status, 0);
        }
    }
    // Each bound itself is allowed.
    QByteArray atLimits = ok;
    for (int i = 0; i < 9; ++i)
        atLimits += "X: y\r\n";
    atLimits += "Content-Length: 5000\r\n\r\n" + QByteArray(5000, 'b');
    const Read fits = readAnswer(QByteArray(manyInterims).left(3 * 25) + atLimits, 0, false, limits);
    EXPECT_EQ(fits.state, State::Done) << qPrintable(fits.error);
    EXPECT_EQ(fits.body.size(), 5000);
}

TEST(PieceAnswer, MalformedAnswersAreRefused)
{
    const QList<QByteArray> answers{
        "SSH-2.0-OpenSSH\r\n\r\n",
        "HTTP/2 200 OK\r\n\r\n",
        "HTTP/1.1 2x0 OK\r\nContent-Length: 0\r\n\r\n",
        "HTTP/1.1 20 OK\r\n\r\n",
        "HTTP/1.1 2000 OK\r\n\r\n",
        "HTTP/1.1 099 Low\r\n\r\n",
        "HTTP/1.1 600 High\r\n\r\n",
        "HTTP/1.1 101 Switching Protocols\r\nUpgrade: x\r\n\r\n",
        "HTTP/1.1 200 OK\r\nno colon here\r\n\r\n",
        "HTTP/1.1 200 OK\r\nX: y\r\n folded\r\n\r\n",
        "HTTP/1.1 200 OK\r\nX : y\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: 1e3\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\n{}",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\n",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, gzip\r\n\r\n",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\n{}}\r\n",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n\r\n",
        "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 12\r\n\r\n{\"code\":200}",
    };
    for (const QByteArray &answer : answers) {
        SCOPED_TRACE(answer.constData());
        EXPECT_EQ(readAnswer(answer).state, State::Bad);
    }
    // A close inside an answer (or before one) is no answer.
    for (const QByteArray &cut : {QByteArray(), QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n{}"),
                                  QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\n{}\r\n"),
                                  QByteArray("HTTP/1.1 200 OK\r\n")}) {
        const Read read = readAnswer(cut, 0, true);
        EXPECT_EQ(read.state, State::Bad);
        EXPECT_FALSE(read.error.isEmpty());
    }
}

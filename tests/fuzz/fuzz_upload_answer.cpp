// The server's answer to an upload piece, read as its bytes arrive. The
// input picks the bounds (the program's own, or small ones that are reached
// quickly), where the bytes are cut, and whether the connection closes after
// them; the rest is what the server sends.
//
// What must hold: the verdict, status, body and bytes taken are the same
// however the bytes are cut; a whole answer has a final status and a body
// within its bound; and the bytes taken never exceed what the bounds allow
// (every head, the chunks' framing and the body), so that no server can make
// the reader hold or loop over more than that.

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include <QList>

#include "FuzzSupport.h"
#include "QVPieceAnswer.h"

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

struct Reading {
    QVPieceAnswerParser::State state;
    int status;
    QByteArray body;
    qint64 consumed;
    bool keepAlive;
    int interim;
};

Reading readAll(const QVPieceAnswerParser::Limits &limits, const QByteArray &bytes, const QList<qsizetype> &cuts,
                bool closeAtEnd)
{
    QVPieceAnswerParser parser(limits);
    qsizetype at = 0;
    for (const qsizetype cut : cuts) {
        if (cut <= at || cut >= bytes.size())
            continue;
        parser.feed(QByteArrayView(bytes).sliced(at, cut - at));
        at = cut;
    }
    parser.feed(QByteArrayView(bytes).sliced(at));
    if (closeAtEnd)
        parser.close();
    return {parser.state(), parser.status(), parser.body(), parser.consumed(), parser.keepAlive(),
            parser.interimAnswers()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzSupport::Input in(data, size);
    const uint8_t mode = in.byte();
    QVPieceAnswerParser::Limits limits;
    if (mode & 1) {
        limits.maxLineBytes = 16 + in.byte() % 64;
        limits.maxHeadBytes = 64 + in.byte() % 256;
        limits.maxHeaders = 1 + in.byte() % 8;
        limits.maxInterimAnswers = in.byte() % 4;
        limits.maxBodyBytes = in.byte() % 128;
    }
    const bool closeAtEnd = mode & 2;
    QList<qsizetype> cuts;
    for (int i = in.byte() % 8; i > 0; --i)
        cuts.append(qsizetype(in.byte()) * 7 + in.byte());
    std::sort(cuts.begin(), cuts.end());
    const QByteArray bytes = in.rest();

    const Reading whole = readAll(limits, bytes, {}, closeAtEnd);
    const Reading cut = readAll(limits, bytes, cuts, closeAtEnd);
    QList<qsizetype> everyByte;
    if (bytes.size() < 512) {
        for (qsizetype i = 1; i < bytes.size(); ++i)
            everyByte.append(i);
    }
    const Reading single = readAll(limits, bytes, everyByte, closeAtEnd);
    for (const Reading *other : {&cut, &single}) {
        check(other->state == whole.state);
        check(other->status == whole.status);
        check(other->body == whole.body);
        check(other->consumed == whole.consumed);
        check(other->keepAlive == whole.keepAlive);
    }

    check(whole.consumed <= bytes.size());
    check(whole.interim <= limits.maxInterimAnswers);
    check(whole.consumed
          <= qint64(whole.interim + 1) * limits.maxHeadBytes + 2 * limits.maxBodyBytes);
    if (closeAtEnd)
        check(whole.state != QVPieceAnswerParser::State::More);
    check(whole.body.size() <= limits.maxBodyBytes);
    if (whole.state == QVPieceAnswerParser::State::Done) {
        check(whole.status >= 200 && whole.status <= 599);
    } else {
        // Only a whole answer has a status; a refused one keeps nothing.
        check(whole.status == 0);
        if (whole.state == QVPieceAnswerParser::State::Bad)
            check(whole.body.isEmpty());
    }
    return 0;
}

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The server's answer to an upload piece, read as its bytes arrive: the
// status line (after any interim 1xx answers), the headers and a body framed
// by Content-Length, by chunks or by the end of the connection, inflated when
// it came gzip- or deflate-coded.
//
// Everything a server sends is bounded while it is read, not afterwards:
// every line, the head, the number of headers and of interim answers, the
// chunks' own framing, and the body (framed and inflated). An answer that breaks a bound or the framing is
// refused as soon as the byte that breaks it arrives; no size a server writes
// is added to another before it has been checked against the bound. Each byte
// is looked at once, however the answer is cut.
class QVPieceAnswerParser
{
public:
    struct Limits {
        // One line of the head (status line, header, chunk size, trailer).
        qint64 maxLineBytes = 8 * 1024;
        // The head of one answer, interim answers each counted anew.
        qint64 maxHeadBytes = 64 * 1024;
        int maxHeaders = 100;
        // "100 Continue" and the like before the real answer.
        int maxInterimAnswers = 8;
        // The body, as framed and once inflated.
        qint64 maxBodyBytes = 1024 * 1024;
    };

    enum class State {
        // Give more bytes (or tell of the close).
        More,
        // The answer is whole: status() and body() hold it.
        Done,
        // The answer broke a bound or the framing: error() says how.
        Bad,
    };

    QVPieceAnswerParser() = default;
    explicit QVPieceAnswerParser(const Limits &limits) : m_limits(limits) {}

    // Takes the next bytes of the connection. Once the answer is whole the
    // rest is not consumed; extraBytes() then tells that more came.
    State feed(QByteArrayView bytes);
    // The server closed the connection: a body that runs to the close ends
    // here; any other unfinished answer is Bad.
    State close();

    State state() const { return m_state; }
    // Bytes of the connection taken so far.
    qint64 consumed() const { return m_consumed; }
    // The final answer's status; 0 before it is known.
    int status() const { return m_status; }
    // The final answer's body, decoded.
    const QByteArray &body() const { return m_body; }
    // The connection may carry another request after this answer.
    bool keepAlive() const { return m_keepAlive && !m_extraBytes; }
    // Bytes came after the whole answer (never asked for).
    bool extraBytes() const { return m_extraBytes; }
    int interimAnswers() const { return m_interim; }
    const QString &error() const { return m_error; }

    const Limits &limits() const { return m_limits; }

private:
    enum class Step {
        StatusLine,
        HeaderLine,
        LengthBody,
        ChunkSizeLine,
        ChunkData,
        ChunkDataEnd,
        TrailerLine,
        BodyToClose,
        Finished,
    };
    enum class Coding { Identity, Gzip, Deflate, Other };

    // Takes bytes into the line being read; true when the line is whole
    // (without its line end). Sets Bad when the line is too long.
    bool takeLine(const char *&at, const char *end);
    void onStatusLine();
    void onHeaderLine();
    void onHeadEnd();
    void onChunkSizeLine();
    void takeBody(const char *&at, qint64 count);
    void finishAnswer();
    State fail(const QString &why);

    Limits m_limits;
    State m_state = State::More;
    Step m_step = Step::StatusLine;
    QByteArray m_line;
    qint64 m_consumed = 0;
    qint64 m_headBytes = 0;
    qint64 m_framingBytes = 0;
    int m_headers = 0;
    int m_interim = 0;

    int m_status = 0;
    int m_answerStatus = 0;
    bool m_http11 = false;
    bool m_connectionClose = false;
    bool m_connectionKeepAlive = false;
    bool m_chunked = false;
    bool m_transferCoded = false;
    qint64 m_contentLength = -1;
    Coding m_coding = Coding::Identity;
    qint64 m_remaining = 0;

    QByteArray m_body;
    bool m_keepAlive = false;
    bool m_extraBytes = false;
    QString m_error;
};

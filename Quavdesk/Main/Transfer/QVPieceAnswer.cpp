#include "QVPieceAnswer.h"

#include <cstring>
#include <optional>

#include <zlib.h>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool equalsLower(QByteArrayView text, QByteArrayView lower)
{
    if (text.size() != lower.size())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != lower[i])
            return false;
    }
    return true;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Calls `each` for every comma-separated element of a header value, blanks
// trimmed, empty elements left out.
template <typename Each>
void forEachElement(QByteArrayView value, Each each)
{
    while (!value.isEmpty()) {
        const qsizetype comma = value.indexOf(',');
        const QByteArrayView element = trimmed(comma < 0 ? value : value.first(comma));
        if (!element.isEmpty())
            each(element);
        if (comma < 0)
            break;
        value = value.sliced(comma + 1);
    }
}

// gzip or zlib-wrapped deflate (and raw deflate, which some servers send as
// "deflate"); none when the bytes are neither or inflate past `limit`.
std::optional<QByteArray> inflateBody(const QByteArray &packed, qint64 limit)
{
    for (const int windowBits : {15 + 32, -15}) {
        z_stream stream {};
        if (inflateInit2(&stream, windowBits) != Z_OK)
            return std::nullopt;
        QByteArray out;
        char buffer[16384];
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(packed.constData()));
        stream.avail_in = uInt(packed.size());
        int status = Z_OK;
        while (status == Z_OK) {
            stream.next_out = reinterpret_cast<Bytef *>(buffer);
            stream.avail_out = sizeof buffer;
            status = inflate(&stream, Z_NO_FLUSH);
            const qsizetype produced = qsizetype(sizeof buffer - stream.avail_out);
            if (out.size() + produced > limit) {
                status = Z_MEM_ERROR;
                break;
            }
            out.append(buffer, produced);
            if (status == Z_OK && stream.avail_in == 0 && stream.avail_out != 0)
                status = Z_BUF_ERROR;
        }
        inflateEnd(&stream);
        if (status == Z_STREAM_END)
            return out;
    }
    return std::nullopt;
}

} // namespace

QVPieceAnswerParser::State QVPieceAnswerParser::fail(const QString &why)
{
    m_state = State::Bad;
    m_step = Step::Finished;
    m_error = why;
    m_body.clear();
    m_status = 0;
    return m_state;
}

bool QVPieceAnswerParser::takeLine(const char *&at, const char *end)
{
    const bool inHead = m_step == Step::StatusLine || m_step == Step::HeaderLine || m_step == Step::TrailerLine;
    const bool framing = m_step == Step::ChunkSizeLine || m_step == Step::ChunkDataEnd;
    // Room for the line and its line end.
    const qint64 room = m_limits.maxLineBytes + 2 - m_line.size();
    const qint64 available = qMin<qint64>(end - at, room);
    const void *found = std::memchr(at, '\n', size_t(available));
    qint64 taken = found ? static_cast<const char *>(found) - at + 1 : available;
    // The head, and the chunks' own lines (which may not outweigh the body
    // they frame), are bounded as a whole: the byte that passes the bound
    // ends the answer, wherever the bytes were cut.
    qint64 *counted = inHead ? &m_headBytes : framing ? &m_framingBytes : nullptr;
    const qint64 bound = inHead ? m_limits.maxHeadBytes : m_limits.maxBodyBytes;
    const bool overflows = counted && *counted + taken > bound;
    if (overflows)
        taken = bound - *counted;
    if (counted)
        *counted += taken;
    m_line.append(at, qsizetype(taken));
    at += taken;
    m_consumed += taken;
    if (overflows) {
        fail(inHead ? QStringLiteral("the answer's head is longer than %1 bytes").arg(bound)
                    : QStringLiteral("the answer's chunk framing is longer than %1 bytes").arg(bound));
        return false;
    }
    if (!found) {
        if (m_line.size() >= m_limits.maxLineBytes + 2)
            fail(QStringLiteral("a line of the answer is longer than %1 bytes").arg(m_limits.maxLineBytes));
        return false;
    }
    m_line.chop(1);
    if (m_line.endsWith('\r'))
        m_line.chop(1);
    if (m_line.size() > m_limits.maxLineBytes) {
        fail(QStringLiteral("a line of the answer is longer than %1 bytes").arg(m_limits.maxLineBytes));
        return false;
    }
    return true;
}

QVPieceAnswerParser::State QVPieceAnswerParser::feed(QByteArrayView bytes)
{
    if (m_state == State::Done) {
        if (!bytes.isEmpty())
            m_extraBytes = true;
        return m_state;
    }
    const char *at = bytes.data();
    const char *end = at + bytes.size();
    while (at < end && m_state == State::More) {
        switch (m_step) {
        case Step::StatusLine:
        case Step::HeaderLine:
        case Step::ChunkSizeLine:
        case Step::ChunkDataEnd:
        case Step::TrailerLine: {
            if (!takeLine(at, end))
                break;
            const Step step = m_step;
            if (step == Step::StatusLine)
                onStatusLine();
            else if (step == Step::HeaderLine)
                onHeaderLine();
            else if (step == Step::ChunkSizeLine)
                onChunkSizeLine();
            else if (step == Step::ChunkDataEnd)
                m_line.isEmpty() ? void(m_step = Step::ChunkSizeLine)
                                 : void(fail(QStringLiteral("a chunk of the answer is longer than its size")));
            else if (m_line.isEmpty())
                finishAnswer();
            else if (++m_headers > m_limits.maxHeaders)
                fail(QStringLiteral("the answer has more than %1 trailer lines").arg(m_limits.maxHeaders));
            m_line.clear();
            break;
        }
        case Step::LengthBody:
        case Step::ChunkData:
            takeBody(at, qMin<qint64>(m_remaining, end - at));
            if (m_state == State::More && m_remaining == 0) {
                if (m_step == Step::LengthBody)
                    finishAnswer();
                else
                    m_step = Step::ChunkDataEnd;
            }
            break;
        case Step::BodyToClose:
            takeBody(at, end - at);
            break;
        case Step::Finished:
            at = end;
            break;
        }
    }
    if (m_state == State::Done && at < end)
        m_extraBytes = true;
    return m_state;
}

QVPieceAnswerParser::State QVPieceAnswerParser::close()
{
    if (m_state != State::More)
        return m_state;
    if (m_step == Step::BodyToClose) {
        finishAnswer();
        return m_state;
    }
    return fail(m_consumed == 0 ? QStringLiteral("the connection closed before an answer")
                                : QStringLiteral("the connection closed inside the answer"));
}

void QVPieceAnswerParser::onStatusLine()
{
    // Blank lines before an answer are passed over (within the head's bound).
    if (m_line.isEmpty())
        return;
    const QByteArrayView line(m_line);
    const qsizetype space = line.indexOf(' ');
    const QByteArrayView version = space < 0 ? line : line.first(space);
    if (version.size() != 8 || !version.startsWith("HTTP/1.") || version[7] < '0' || version[7] > '9') {
        fail(QStringLiteral("the answer is not HTTP/1"));
        return;
    }
    const QByteArrayView rest = space < 0 ? QByteArrayView() : line.sliced(space + 1);
    if (rest.size() < 3 || (rest.size() > 3 && rest[3] != ' ')) {
        fail(QStringLiteral("the answer's status is not three digits"));
        return;
    }
    int status = 0;
    for (int i = 0; i < 3; ++i) {
        if (rest[i] < '0' || rest[i] > '9') {
            fail(QStringLiteral("the answer's status is not three digits"));
            return;
        }
        status = status * 10 + (rest[i] - '0');
    }
    if (status < 100 || status > 599) {
        fail(QStringLiteral("the answer's status %1 is out of range").arg(status));
        return;
    }
    if (status == 101) {
        fail(QStringLiteral("the server switches protocols"));
        return;
    }
    if (status < 200) {
        if (m_interim >= m_limits.maxInterimAnswers) {
            fail(QStringLiteral("more than %1 interim answers").arg(m_limits.maxInterimAnswers));
            return;
        }
        ++m_interim;
    }
    m_answerStatus = status;
    m_http11 = version[7] != '0';
    m_headers = 0;
    m_connectionClose = false;
    m_connectionKeepAlive = false;
    m_chunked = false;
    m_transferCoded = false;
    m_contentLength = -1;
    m_coding = Coding::Identity;
    m_step = Step::HeaderLine;
}

void QVPieceAnswerParser::onHeaderLine()
{
    if (m_line.isEmpty()) {
        onHeadEnd();
        return;
    }
    if (++m_headers > m_limits.maxHeaders) {
        fail(QStringLiteral("the answer has more than %1 headers").arg(m_limits.maxHeaders));
        return;
    }
    const QByteArrayView line(m_line);
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0 || isBlank(line.front()) || isBlank(line[colon - 1])) {
        fail(QStringLiteral("a header line of the answer is malformed"));
        return;
    }
    const QByteArrayView name = line.first(colon);
    const QByteArrayView value = trimmed(line.sliced(colon + 1));
    if (equalsLower(name, "content-length")) {
        if (value.isEmpty() || value.size() > 18) {
            fail(QStringLiteral("the answer's Content-Length is malformed"));
            return;
        }
        qint64 length = 0;
        for (const char c : value) {
            if (c < '0' || c > '9') {
                fail(QStringLiteral("the answer's Content-Length is malformed"));
                return;
            }
            length = length * 10 + (c - '0');
        }
        if (m_contentLength >= 0 && m_contentLength != length) {
            fail(QStringLiteral("the answer has two Content-Lengths"));
            return;
        }
        m_contentLength = length;
    } else if (equalsLower(name, "transfer-encoding")) {
        forEachElement(value, [this](QByteArrayView coding) {
            // Chunked must be the last coding; no other is undone here.
            if (m_chunked || !equalsLower(coding, "chunked"))
                m_transferCoded = true;
            m_chunked = equalsLower(coding, "chunked");
        });
    } else if (equalsLower(name, "connection")) {
        forEachElement(value, [this](QByteArrayView option) {
            m_connectionClose |= equalsLower(option, "close");
            m_connectionKeepAlive |= equalsLower(option, "keep-alive");
        });
    } else if (equalsLower(name, "content-encoding")) {
        if (value.isEmpty() || equalsLower(value, "identity"))
            m_coding = Coding::Identity;
        else if (equalsLower(value, "gzip") || equalsLower(value, "x-gzip"))
            m_coding = Coding::Gzip;
        else if (equalsLower(value, "deflate"))
            m_coding = Coding::Deflate;
        else
            m_coding = Coding::Other;
    }
}

void QVPieceAnswerParser::onHeadEnd()
{
    if (m_answerStatus < 200) {
        // An interim answer: the real one follows, its head counted anew.
        m_headBytes = 0;
        m_step = Step::StatusLine;
        return;
    }
    m_keepAlive = m_http11 ? !m_connectionClose : m_connectionKeepAlive && !m_connectionClose;
    if (m_answerStatus == 204 || m_answerStatus == 304) {
        // No body, whatever the headers say.
        finishAnswer();
        return;
    }
    if (m_transferCoded) {
        fail(QStringLiteral("the answer's transfer coding cannot be undone"));
        return;
    }
    if (m_chunked) {
        // A length beside the chunks cannot be trusted for what follows.
        if (m_contentLength >= 0)
            m_keepAlive = false;
        m_step = Step::ChunkSizeLine;
        return;
    }
    if (m_contentLength >= 0) {
        if (m_contentLength > m_limits.maxBodyBytes) {
            fail(QStringLiteral("the answer announces %1 bytes, more than %2")
                     .arg(m_contentLength)
                     .arg(m_limits.maxBodyBytes));
            return;
        }
        m_remaining = m_contentLength;
        if (m_remaining == 0)
            finishAnswer();
        else
            m_step = Step::LengthBody;
        return;
    }
    // The body runs to the end of the connection.
    m_keepAlive = false;
    m_step = Step::BodyToClose;
}

void QVPieceAnswerParser::onChunkSizeLine()
{
    QByteArrayView line(m_line);
    const qsizetype semicolon = line.indexOf(';');
    if (semicolon >= 0)
        line = line.first(semicolon);
    line = trimmed(line);
    if (line.isEmpty()) {
        fail(QStringLiteral("a chunk size of the answer is missing"));
        return;
    }
    // Checked against the room left digit by digit, so that no size a server
    // writes can overflow.
    const qint64 room = m_limits.maxBodyBytes - m_body.size();
    qint64 size = 0;
    for (const char c : line) {
        const int digit = hexDigit(c);
        if (digit < 0) {
            fail(QStringLiteral("a chunk size of the answer is not hexadecimal"));
            return;
        }
        size = size * 16 + digit;
        if (size > room) {
            fail(QStringLiteral("the answer's body is longer than %1 bytes").arg(m_limits.maxBodyBytes));
            return;
        }
    }
    if (size == 0) {
        m_headers = 0;
        m_step = Step::TrailerLine;
        return;
    }
    m_remaining = size;
    m_step = Step::ChunkData;
}

void QVPieceAnswerParser::takeBody(const char *&at, qint64 count)
{
    // What fits is taken; the byte past the bound ends the answer.
    const qint64 room = m_limits.maxBodyBytes - m_body.size();
    const qint64 taken = qMin(count, room);
    m_body.append(at, qsizetype(taken));
    at += taken;
    m_consumed += taken;
    if (m_step != Step::BodyToClose)
        m_remaining -= taken;
    if (count > room)
        fail(QStringLiteral("the answer's body is longer than %1 bytes").arg(m_limits.maxBodyBytes));
}

void QVPieceAnswerParser::finishAnswer()
{
    if (m_coding == Coding::Gzip || m_coding == Coding::Deflate) {
        const auto plain = inflateBody(m_body, m_limits.maxBodyBytes);
        if (!plain) {
            fail(QStringLiteral("the answer's body cannot be inflated within %1 bytes").arg(m_limits.maxBodyBytes));
            return;
        }
        m_body = *plain;
    }
    // Any other coding stays as it came: it reads as no JSON answer.
    m_status = m_answerStatus;
    m_step = Step::Finished;
    m_state = State::Done;
}

#include "QVDownloadChunk.h"

#include <limits>

namespace QVDownloadChunk {

namespace {

const QByteArray kFileMd5 = QByteArrayLiteral("File-MD5");
const QByteArray kTotalChunkNumber = QByteArrayLiteral("Total-Chunk-Number");
const QByteArray kCurrentChunkSize = QByteArrayLiteral("Current-Chunk-Size");

// The header's value, or none when absent. A header sent twice with
// different values is not trusted either way.
std::optional<QByteArray> headerValue(const QList<QPair<QByteArray, QByteArray>> &headers, const QByteArray &name,
                                      bool *conflicting)
{
    std::optional<QByteArray> value;
    for (const auto &header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        if (value && *value != header.second)
            *conflicting = true;
        value = header.second;
    }
    return value;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

std::optional<qint64> decimalValue(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    if (begin == end)
        return std::nullopt;
    qint64 value = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const char c = text.at(i);
        if (c < '0' || c > '9')
            return std::nullopt;
        const int digit = c - '0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<QByteArray> md5Value(QByteArrayView text)
{
    const QByteArray trimmed = text.toByteArray().trimmed();
    if (trimmed.size() != 32)
        return std::nullopt;
    for (const char c : trimmed) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex)
            return std::nullopt;
    }
    return trimmed.toLower();
}

Result readHeaders(int httpStatus, const QList<QPair<QByteArray, QByteArray>> &headers,
                   const Expectation &expectation)
{
    Result result;
    if (httpStatus < 200 || httpStatus > 299) {
        result.error = Error::HttpStatus;
        return result;
    }

    bool conflicting = false;
    const auto md5Text = headerValue(headers, kFileMd5, &conflicting);
    if (!md5Text) {
        result.error = Error::Md5Missing;
        return result;
    }
    const auto md5 = md5Value(*md5Text);
    if (!md5 || conflicting) {
        result.error = Error::Md5Malformed;
        return result;
    }
    result.header.md5 = *md5;

    conflicting = false;
    const auto totalText = headerValue(headers, kTotalChunkNumber, &conflicting);
    if (!totalText) {
        result.error = Error::TotalMissing;
        return result;
    }
    const auto total = decimalValue(*totalText);
    if (!total || conflicting) {
        result.error = Error::TotalMalformed;
        return result;
    }
    // Every chunk brings at least one byte, so a file has no more chunks than
    // bytes; a count at or below the index would never end.
    if (*total < 1 || *total > qMax<qint64>(1, expectation.fileSize) || *total <= expectation.chunkIndex) {
        result.error = Error::TotalOutOfRange;
        return result;
    }
    if (expectation.knownTotalChunks > 0 && *total != expectation.knownTotalChunks) {
        result.error = Error::TotalChanged;
        return result;
    }
    result.header.totalChunks = *total;

    conflicting = false;
    const auto sizeText = headerValue(headers, kCurrentChunkSize, &conflicting);
    if (!sizeText) {
        result.error = Error::SizeMissing;
        return result;
    }
    const auto size = decimalValue(*sizeText);
    if (!size || conflicting) {
        result.error = Error::SizeMalformed;
        return result;
    }
    const qint64 room = expectation.fileSize - expectation.verifiedBytes;
    if (*size < 1 || *size > expectation.maxChunkBytes || *size > room) {
        result.error = Error::SizeOutOfRange;
        return result;
    }
    result.header.chunkSize = *size;
    return result;
}

QString describe(Error error)
{
    switch (error) {
    case Error::None:
        return QStringLiteral("no error");
    case Error::HttpStatus:
        return QStringLiteral("the answer's HTTP status is not a success");
    case Error::Md5Missing:
        return QStringLiteral("no File-MD5");
    case Error::Md5Malformed:
        return QStringLiteral("File-MD5 is not 32 hexadecimal digits");
    case Error::TotalMissing:
        return QStringLiteral("no Total-Chunk-Number");
    case Error::TotalMalformed:
        return QStringLiteral("Total-Chunk-Number is not a decimal number");
    case Error::TotalOutOfRange:
        return QStringLiteral("Total-Chunk-Number does not fit the file");
    case Error::TotalChanged:
        return QStringLiteral("Total-Chunk-Number changed within the file");
    case Error::SizeMissing:
        return QStringLiteral("no Current-Chunk-Size");
    case Error::SizeMalformed:
        return QStringLiteral("Current-Chunk-Size is not a decimal number");
    case Error::SizeOutOfRange:
        return QStringLiteral("Current-Chunk-Size does not fit the file");
    }
    return QString();
}

} // namespace QVDownloadChunk

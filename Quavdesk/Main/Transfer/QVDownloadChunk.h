#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

// The answer headers of one download chunk, read and checked before a byte
// of its body is kept. A chunk answer carries "File-MD5" (32 hexadecimal
// digits), "Total-Chunk-Number" and "Current-Chunk-Size" (decimal).
namespace QVDownloadChunk {

// Largest chunk accepted, whatever a server announces.
inline constexpr qint64 kDefaultMaxChunkBytes = 256ll * 1024 * 1024;

// What the client knows when the answer arrives.
struct Expectation {
    // The chunk asked for.
    qint64 chunkIndex = 0;
    // The count announced by earlier chunks of the file; 0 before the first.
    qint64 knownTotalChunks = 0;
    // Bytes of the file verified so far.
    qint64 verifiedBytes = 0;
    // The file's size as listed.
    qint64 fileSize = 0;
    qint64 maxChunkBytes = kDefaultMaxChunkBytes;
};

struct Header {
    // Lower case.
    QByteArray md5;
    qint64 totalChunks = 0;
    qint64 chunkSize = 0;
};

enum class Error {
    None,
    // The HTTP status is not a success.
    HttpStatus,
    Md5Missing,
    Md5Malformed,
    TotalMissing,
    TotalMalformed,
    // Zero, more chunks than the file has bytes, or not above the index.
    TotalOutOfRange,
    // Differs from an earlier chunk of the same file.
    TotalChanged,
    SizeMissing,
    SizeMalformed,
    // Zero, above the cap, or past the listed end of the file.
    SizeOutOfRange,
};

struct Result {
    Header header;
    Error error = Error::None;
    bool ok() const { return error == Error::None; }
};

// A plain decimal number: ASCII digits only, without sign, surrounded at most
// by blanks, that fits 63 bits.
std::optional<qint64> decimalValue(QByteArrayView text);

// 32 hexadecimal digits in either case, given back in lower case.
std::optional<QByteArray> md5Value(QByteArrayView text);

Result readHeaders(int httpStatus, const QList<QPair<QByteArray, QByteArray>> &headers,
                   const Expectation &expectation);

QString describe(Error error);

} // namespace QVDownloadChunk

// What a file-share server says about the files it offers: a folder
// listing, read as the browser reads it, and the headers of a download
// chunk, read before a byte of it is kept. Whatever the input, every name of
// a listing must become one plain entry of the download folder, and a chunk
// the checks accept must fit the file it belongs to.
//
// Input: one byte choosing the reader, then for the chunk reader 4 bytes of
// expectation (index, known count, verified share, size class) followed by
// header lines "Name: value".

#include <cstdint>
#include <cstdlib>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include "Main/Model/QVDownLoadFileModel.h"
#include "QVDownloadChunk.h"
#include "QVDownloadNaming.h"
#include "QVHttpBaseResponse.h"

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkSafeName(const QString &remote)
{
    const QString safe = QVDownloadNaming::safeFileName(remote);
    check(!safe.isEmpty() && safe != QLatin1String(".") && safe != QLatin1String(".."));
    check(!safe.contains(QLatin1Char('/')));
    check(safe.toUtf8().size() <= QVDownloadNaming::kMaxNameBytes);
    for (const QChar c : safe) {
        check(c.unicode() >= 0x20 && !(c.unicode() >= 0x7F && c.unicode() <= 0x9F));
    }
    for (qint64 n : {qint64(0), qint64(1), qint64(9999), qint64(1) << 62}) {
        const QString numbered = QVDownloadNaming::numberedName(safe, n);
        check(!numbered.contains(QLatin1Char('/')));
        check(numbered.toUtf8().size() <= QVDownloadNaming::kMaxNameBytes);
    }
}

void readListing(const QByteArray &bytes)
{
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    QJsonValue content;
    if (document.isObject()) {
        QVHttpBaseResponse response = QVHttpBaseResponse::fromJsonObject(document.object());
        response.decodeContentText();
        content = response.content;
    } else if (document.isArray()) {
        content = document.array();
    }
    const auto models = QVDownLoadFileModel::modelsWithListing(content);
    for (const auto &model : models) {
        checkSafeName(model->name());
        model->fileSizeValue();
        // The hand-over keeps every member.
        const auto back = QVDownLoadFileModel::modelsWithHandOver({model->toVariantMap()});
        check(back.size() == 1 && back.first()->keyValues() == model->keyValues());
    }
    checkSafeName(QString::fromUtf8(bytes));
}

void readChunk(const QByteArray &bytes)
{
    if (bytes.size() < 4)
        return;
    const auto byte = [&](int i) { return static_cast<unsigned char>(bytes.at(i)); };
    QVDownloadChunk::Expectation expectation;
    static const qint64 sizes[] = {1, 1000, 65536, 8388608, qint64(1) << 40, std::numeric_limits<qint64>::max()};
    expectation.fileSize = sizes[byte(3) % 6];
    expectation.chunkIndex = byte(0) % 8;
    expectation.knownTotalChunks = byte(1) % 4 == 0 ? 0 : byte(1) % 16;
    expectation.verifiedBytes = expectation.fileSize / 256 * byte(2);
    expectation.maxChunkBytes = byte(3) & 0x80 ? 4096 : QVDownloadChunk::kDefaultMaxChunkBytes;

    QList<QPair<QByteArray, QByteArray>> headers;
    for (const QByteArray &line : bytes.mid(4).split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            headers.append({line.left(colon), line.mid(colon + 1).trimmed()});
    }
    const QVDownloadChunk::Result result = QVDownloadChunk::readHeaders(200, headers, expectation);
    if (!result.ok())
        return;
    const QVDownloadChunk::Header &header = result.header;
    check(header.md5.size() == 32 && header.md5 == header.md5.toLower());
    check(header.totalChunks >= 1 && header.totalChunks > expectation.chunkIndex);
    check(expectation.knownTotalChunks == 0 || header.totalChunks == expectation.knownTotalChunks);
    check(header.chunkSize >= 1 && header.chunkSize <= expectation.maxChunkBytes);
    check(header.chunkSize <= expectation.fileSize - expectation.verifiedBytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, static_cast<qsizetype>(size - 1));
    if (data[0] & 1)
        readChunk(bytes);
    else
        readListing(bytes);
    return 0;
}

#include "QVUploadFileModel.h"

#include <QFileInfo>

#include <sys/stat.h>

bool QVUploadFileModel::fileHasBeenMoved() const
{
    const QString path = m_sourceFileURL.toLocalFile();
    struct stat info {};
    return path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0;
}

QUrl QVUploadFileModel::fileURL() const
{
    return fileHasBeenMoved() ? QUrl() : m_sourceFileURL;
}

quint64 QVUploadFileModel::fileNameLength() const
{
    const QUrl url = fileURL();
    if (url.isEmpty())
        return 0;
    return quint64(QFileInfo(url.toLocalFile()).fileName().toUtf8().toBase64().size());
}

namespace {

// The text's decimal number; -1 for anything else.
qint64 decimalValue(const QString &text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    return ok ? value : -1;
}

} // namespace

qint64 QVUploadFileModel::startBytesValue() const
{
    return decimalValue(m_startBytes);
}

qint64 QVUploadFileModel::fileSizeValue() const
{
    return decimalValue(m_fileSize);
}

std::optional<QVUploadFileModel::Snapshot> QVUploadFileModel::snapshotOf(const QString &path)
{
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return Snapshot{qint64(info.st_size), qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

QVUploadFileModel QVUploadFileModel::withURL(const QUrl &url)
{
    QVUploadFileModel model;
    model.setSourceFileURL(url);
    if (const auto now = snapshotOf(url.toLocalFile()))
        model.setFileSize(QString::number(now->size));
    return model;
}

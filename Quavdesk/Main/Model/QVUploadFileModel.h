#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// One local file of the upload page and the state of its upload. The
// receiver keeps the partial copy: a failed file resumes where that copy
// ends, whichever process asks (the copy is keyed by this installation's
// identifier, the file's MD5 and its name). Lives on the main thread.
class QVUploadFileModel
{
public:
    // Statuses of an upload.
    enum Status : qint64 {
        Waiting = 0,
        Uploading = 1,
        // The server refused it (requestCode tells why).
        Failed = 2,
        Done = 3,
        TooLarge = 4,
        NameTooLong = 5,
        // Gone, unreadable, or changed while it was being sent.
        Missing = 6,
        NetworkLost = 7,
        // Reserved: nothing sets it, rows and deletion handle it.
        FormatNotSupported = 8,
    };
    // requestCode of a file that failed on an answer the page has no name for.
    static constexpr qint64 OtherFailureCode = 400;

    // What a file's size and modification time were when its MD5 was taken;
    // a piece is sent only while the file still matches it.
    struct Snapshot {
        qint64 size = 0;
        qint64 modifiedNs = 0;
        bool operator==(const Snapshot &) const = default;
    };

    // No file is at the path any more.
    bool fileHasBeenMoved() const;
    qint64 uploadStatus() const { return m_uploadStatus; }
    void setUploadStatus(qint64 value) { m_uploadStatus = value; }
    // The server code of the last failure (210, 220, 230, or 400 for any
    // other); 200 otherwise.
    qint64 requestCode() const { return m_requestCode; }
    void setRequestCode(qint64 value) { m_requestCode = value; }
    // The file as dropped or picked.
    QUrl sourceFileURL() const { return m_sourceFileURL; }
    void setSourceFileURL(const QUrl &value) { m_sourceFileURL = value; }
    // This system has no file bookmarks: the file is where it was added, and
    // there is none once it has gone.
    QUrl fileURL() const;
    // Characters of the Base64 text of the UTF-8 file name, as the File-Name
    // header carries it; 0 when the file has gone.
    quint64 fileNameLength() const;
    // Lower-case hexadecimal MD5 of the whole file; empty until taken.
    QString fileMd5() const { return m_fileMd5; }
    void setFileMd5(const QString &value) { m_fileMd5 = value; }
    // "-1" until the server has named an offset, then the offset of the next
    // piece.
    QString startBytes() const { return m_startBytes; }
    void setStartBytes(const QString &value) { m_startBytes = value; }
    qint64 startBytesValue() const;
    // Decimal size in bytes; empty when the file could not be read when it
    // was added.
    QString fileSize() const { return m_fileSize; }
    void setFileSize(const QString &value) { m_fileSize = value; }
    qint64 fileSizeValue() const;

    std::optional<Snapshot> snapshot() const { return m_snapshot; }
    void setSnapshot(std::optional<Snapshot> value) { m_snapshot = value; }

    // The size and modification time of the file at `path` now; none when
    // it is not a regular file.
    static std::optional<Snapshot> snapshotOf(const QString &path);
    // A model for a dropped or picked file: waiting, code 200, its size as
    // it is now, no offset yet.
    static QVUploadFileModel withURL(const QUrl &url);

private:
    qint64 m_uploadStatus = Waiting;
    qint64 m_requestCode = 200;
    QUrl m_sourceFileURL;
    QString m_fileMd5;
    QString m_startBytes = QStringLiteral("-1");
    QString m_fileSize;
    std::optional<Snapshot> m_snapshot;
};

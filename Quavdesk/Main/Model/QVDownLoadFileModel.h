#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <memory>

// One remote file of the receiver's file share: the members of its entry in
// a folder listing, and the state of its download, which stays with the file
// until it finishes or is deleted so that a failed download resumes at its
// first unverified chunk. Lives on the main thread.
class QVDownLoadFileModel
{
public:
    // Statuses of a download.
    enum Status : qint64 {
        Waiting = 0,
        Downloading = 1,
        Done = 2,
        Failed = 3,
        NetworkLost = 4,
        NotOnDevice = 5,
        EmptyFile = 6,
        WrongPassword = 7,
    };

    // Members of a listing entry.
    bool dir() const { return m_dir; }
    void setDir(bool value) { m_dir = value; }
    QString absPath() const { return m_absPath; }
    void setAbsPath(const QString &value) { m_absPath = value; }
    QString absPathWithSuffix() const { return m_absPathWithSuffix; }
    void setAbsPathWithSuffix(const QString &value) { m_absPathWithSuffix = value; }
    QString extension() const { return m_extension; }
    void setExtension(const QString &value) { m_extension = value; }
    QString belongTo() const { return m_belongTo; }
    void setBelongTo(const QString &value) { m_belongTo = value; }
    QString fileType() const { return m_fileType; }
    void setFileType(const QString &value) { m_fileType = value; }
    // As the device sent it; it names nothing on this machine until it has
    // been made safe (see QVDownloadNaming).
    QString name() const { return m_name; }
    void setName(const QString &value) { m_name = value; }
    QString parentPath() const { return m_parentPath; }
    void setParentPath(const QString &value) { m_parentPath = value; }
    QString pinyinName() const { return m_pinyinName; }
    void setPinyinName(const QString &value) { m_pinyinName = value; }
    // Decimal byte count.
    QString fileSize() const { return m_fileSize; }
    void setFileSize(const QString &value) { m_fileSize = value; }
    QString lastModifyTime() const { return m_lastModifyTime; }
    void setLastModifyTime(const QString &value) { m_lastModifyTime = value; }

    // The integer value of fileSize (its leading decimal number; 0 without).
    qint64 fileSizeValue() const;

    // State of the download.
    qint64 downLoadStatus() const { return m_downLoadStatus; }
    void setDownLoadStatus(qint64 value) { m_downLoadStatus = value; }
    // The chunk count the server last announced; 0 before the first chunk.
    qint64 totalChunks() const { return m_totalChunks; }
    void setTotalChunks(qint64 value) { m_totalChunks = value; }
    // Index of the next chunk to fetch; grows by one per verified chunk.
    qint64 currentChunks() const { return m_currentChunks; }
    void setCurrentChunks(qint64 value) { m_currentChunks = value; }
    // Bytes received of the chunk in flight.
    qint64 currentChunkBytes() const { return m_currentChunkBytes; }
    void setCurrentChunkBytes(qint64 value) { m_currentChunkBytes = value; }
    // Bytes of every verified chunk, all of them in the temporary file.
    qint64 downLoadBytes() const { return m_downLoadBytes; }
    void setDownLoadBytes(qint64 value) { m_downLoadBytes = value; }
    // Name of the temporary file: the milliseconds since 1970 when the file
    // first started, as a whole number. Empty before.
    QString timeStamp() const { return m_timeStamp; }
    void setTimeStamp(const QString &value) { m_timeStamp = value; }
    // The folder the file goes to, fixed when it first starts, so that a
    // folder changed in the settings meanwhile cannot split a file in two.
    QString downloadFolder() const { return m_downloadFolder; }
    void setDownloadFolder(const QString &value) { m_downloadFolder = value; }
    // The temporary file's path; empty before the file has started.
    QString tmpFileURL() const;
    // The path of the finished file; empty before it is chosen.
    QString finalFileURL() const { return m_finalFileURL; }
    void setFinalFileURL(const QString &value) { m_finalFileURL = value; }
    // Retries used after transfer errors, one per file.
    qint64 redownloadCount() const { return m_redownloadCount; }
    void setRedownloadCount(qint64 value) { m_redownloadCount = value; }
    // The last final-name candidate tried.
    QString tmpFileName() const { return m_tmpFileName; }
    void setTmpFileName(const QString &value) { m_tmpFileName = value; }

    // Every member of the listing entry under its own name.
    QJsonObject keyValues() const;
    QVariantMap toVariantMap() const { return keyValues().toVariantMap(); }
    // Texts are taken as they are and numbers as their decimal text; "dir"
    // reads true, non-zero numbers and texts that say yes. Members of any
    // other type stay empty.
    static QVDownLoadFileModel objectWithKeyValues(const QJsonObject &keyValues);
    static QVDownLoadFileModel objectWithKeyValues(const QVariantMap &keyValues);
    // The entries of a listing's "content": the objects of an array, each
    // mapped as above; anything else in it is passed over.
    static QList<std::shared_ptr<QVDownLoadFileModel>> modelsWithListing(const QJsonValue &content);
    // The browser's hand-over list: each element a listing entry's key-value
    // map (toVariantMap()); others are passed over.
    static QList<std::shared_ptr<QVDownLoadFileModel>> modelsWithHandOver(const QVariantList &list);

private:
    bool m_dir = false;
    QString m_absPath;
    QString m_absPathWithSuffix;
    QString m_extension;
    QString m_belongTo;
    QString m_fileType;
    QString m_name;
    QString m_parentPath;
    QString m_pinyinName;
    QString m_fileSize;
    QString m_lastModifyTime;

    qint64 m_downLoadStatus = Waiting;
    qint64 m_totalChunks = 0;
    qint64 m_currentChunks = 0;
    qint64 m_currentChunkBytes = 0;
    qint64 m_downLoadBytes = 0;
    QString m_timeStamp;
    QString m_downloadFolder;
    QString m_finalFileURL;
    qint64 m_redownloadCount = 0;
    QString m_tmpFileName;
};

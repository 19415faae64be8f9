#pragma once

// The receiver's file-share server for tests: every endpoint of the device
// API, a small tree of root folders and files (in memory or read from disk),
// protected roots, the file-share code, chunked downloads and resumable
// uploads whose partial copies can live on disk so that a restarted server
// resumes them.

#include <QHash>
#include <QJsonArray>
#include <QJsonValue>
#include <QMap>
#include <functional>
#include <optional>

#include "FakeHttpServer.h"

namespace FakeServers {

struct FakeRoot {
    QString rootKey;
    QString name;
    bool needPwd = false;
    // The password the root opens with (when it needs one).
    QString password;
    // Groups of the root menu, from 0.
    int group = 0;
};

class FakeFileShareServer : public FakeHttpServer {
    Q_OBJECT
public:
    // Roots "Root-Local", "Root-Download", "Root-Share" (group 0) and
    // "Root-Meeting", "Root-Picture" (group 1), none protected; functions
    // upload and download on; no file-share code; sharing allowed; answer
    // header "glimra-api-version: 1"; chunks of 64 KiB.
    explicit FakeFileShareServer(QObject *parent = nullptr);

    // Paths of every endpoint, relative to the base URL.
    static const QStringList &endpointPaths();

    // Device state.
    void setFunctions(bool upload, bool download);
    // The file-share code; none answers "content": null.
    void setVerifyCode(std::optional<QString> code);
    // false: getGlimraStatus says "enableShareFile": false and the listing,
    // password and chunk endpoints answer 220.
    void setShareEnabled(bool enabled);
    // The device locked its protected folders: 405 to checkPwd and listings.
    void setDeviceLocked(bool locked);
    // 230 to the code, chunk and upload endpoints.
    void setBusy(bool busy);
    // Empty: the answer header is left out.
    void setGlimraApiVersion(const QByteArray &version);
    // Sends "content" as JSON text instead of as a JSON value.
    void setContentAsText(bool asText);
    // Replaces the "content" of one path's answers.
    void setContentOverride(const QString &path, const QJsonValue &content);
    void clearContentOverrides();

    void clearRoots();
    void addRoot(const FakeRoot &root);
    QList<FakeRoot> roots() const { return m_roots; }

    // Files and folders under a root: "Root-Local/docs/report.pdf". Missing
    // parent folders are made.
    void addFile(const QString &absPath, const QByteArray &bytes, const QString &fileType = {},
                 qint64 lastModifyMs = 1700000000000);
    // A file whose bytes are read from disk when asked for.
    void addDiskFile(const QString &absPath, const QString &localPath, const QString &fileType = {});
    void addFolder(const QString &absPath);
    // Every file and folder below `localDir`, under `absFolder`.
    void addDirectory(const QString &absFolder, const QString &localDir);
    // A file's bytes as served.
    QByteArray fileBytes(const QString &absPath) const;

    // Downloads.
    void setChunkSize(qint64 bytes)
    {
        m_chunkSize = qMax<qint64>(1, bytes);
        m_chunkMd5s.clear();
    }
    qint64 chunkSize() const { return m_chunkSize; }
    // The next `times` chunks carry a wrong "File-MD5".
    void setWrongChunkMd5Times(int times) { m_wrongMd5Times = times; }
    // Leaves out "Current-Chunk-Size".
    void setOmitCurrentChunkSize(bool omit) { m_omitChunkSize = omit; }
    // Changes each chunk's answer (chunk index, answer) before it leaves.
    void setChunkSpoiler(std::function<void(qint64 index, HttpAnswer &answer)> spoiler)
    {
        m_chunkSpoiler = std::move(spoiler);
    }
    // Spoils the answers to chunk `index` as `rule` says (its `times` counts
    // them); other chunks pass.
    void setChunkFault(qint64 index, const FaultRule &rule) { m_chunkFaults.insert(index, rule); }
    void clearChunkFaults() { m_chunkFaults.clear(); }

    // Uploads.
    // Files larger than this get 210.
    void setUploadQuota(qint64 bytes) { m_uploadQuota = bytes; }
    // Takes at most this many bytes of each piece (then answers 206).
    void setUploadAcceptLimit(qint64 bytes) { m_uploadAcceptLimit = bytes; }
    // Keeps partial and finished uploads in this folder (made when missing);
    // empty keeps them in memory.
    void setUploadDirectory(const QString &path);
    qint64 partialLength(const QByteArray &deviceId, const QByteArray &fileMd5, const QByteArray &fileName) const;
    QStringList uploadedFiles() const;
    QByteArray uploadedFile(const QString &name) const;

protected:
    HttpAnswer handle(const HttpRequest &request) override;
    std::optional<FaultRule> takeFault(const HttpRequest &request) override;

private:
    struct Entry {
        QString absPath;
        bool dir = false;
        QByteArray bytes;
        QString localPath;
        QString fileType;
        qint64 size = 0;
        qint64 lastModifyMs = 0;
    };

    HttpAnswer answer(const QString &path, qint64 code, const QJsonValue &content = QJsonValue::Null) const;
    const FakeRoot *rootOf(const QString &absPath) const;
    bool passwordAccepted(const QString &absPath, const HttpRequest &request) const;
    QByteArray chunk(const Entry &entry, qint64 index) const;
    QJsonObject entryJson(const Entry &entry) const;
    void ensureFolders(const QString &absPath);
    void forgetDigests(const QString &absPath);
    static QString fileTypeFor(const QString &name);
    QString partialKey(const QByteArray &deviceId, const QByteArray &fileMd5, const QByteArray &fileName) const;
    void writePartial(const QString &key, const QByteArray &bytes, bool append);
    void dropPartial(const QString &key);
    qint64 partialSize(const QString &key) const;
    QByteArray partialMd5(const QString &key) const;
    // Moves the whole copy to its name (made safe); false when the name is
    // unusable.
    bool finishUpload(const QString &key, const QString &name);
    bool storeUpload(const QString &name, const QByteArray &bytes);

    HttpAnswer functions(const HttpRequest &request);
    HttpAnswer verifyCode(const HttpRequest &request);
    HttpAnswer glimraStatus(const HttpRequest &request);
    HttpAnswer rootList(const HttpRequest &request);
    HttpAnswer checkPwd(const HttpRequest &request);
    HttpAnswer fileList(const HttpRequest &request);
    HttpAnswer thumb(const HttpRequest &request);
    HttpAnswer checkFile(const HttpRequest &request);
    HttpAnswer download(const HttpRequest &request);
    HttpAnswer startBytes(const HttpRequest &request);
    HttpAnswer uploadFile(const HttpRequest &request);
    HttpAnswer deleteTempFile(const HttpRequest &request);

    bool m_upload = true;
    bool m_download = true;
    std::optional<QString> m_verifyCode;
    bool m_shareEnabled = true;
    bool m_deviceLocked = false;
    bool m_busy = false;
    QByteArray m_glimraApiVersion = "1";
    bool m_contentAsText = false;
    QHash<QString, QJsonValue> m_contentOverrides;
    QList<FakeRoot> m_roots;
    QMap<QString, Entry> m_entries;
    qint64 m_chunkSize = 64 * 1024;
    int m_wrongMd5Times = 0;
    bool m_omitChunkSize = false;
    std::function<void(qint64, HttpAnswer &)> m_chunkSpoiler;
    QHash<qint64, FaultRule> m_chunkFaults;
    QHash<QPair<QString, qint64>, QByteArray> m_chunkMd5s;
    qint64 m_uploadQuota = std::numeric_limits<qint64>::max();
    qint64 m_uploadAcceptLimit = std::numeric_limits<qint64>::max();
    QString m_uploadDir;
    QHash<QString, QByteArray> m_partials;
    QMap<QString, QByteArray> m_uploads;
};

} // namespace FakeServers

#include "FakeFileShareServer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace FakeServers {

namespace {

// The endpoints, written here independently of the program's own table.
const QString kFunctions = QStringLiteral("api/glimra/fileShare/functions");
const QString kGetVerifyCode = QStringLiteral("api/glimra/fileShare/getVerifyCode");
const QString kGetGlimraStatus = QStringLiteral("api/glimra/fileShare/getGlimraStatus");
const QString kGetRootList = QStringLiteral("api/glimra/fileShare/getRootList");
const QString kCheckPwd = QStringLiteral("api/glimra/fileShare/checkPwd");
const QString kGetFileList = QStringLiteral("api/glimra/fileShare/getFileList");
const QString kGetThumb = QStringLiteral("api/glimra/fileShare/getThumb");
const QString kCheckFile = QStringLiteral("api/glimra/fileShare/checkFile");
const QString kDownload = QStringLiteral("api/glimra/fileShare/download");
const QString kGetStartBytes = QStringLiteral("api/glimra/fileShare/getStartBytes");
const QString kUploadFile = QStringLiteral("api/glimra/fileShare/uploadFile");
const QString kDeleteTempFile = QStringLiteral("api/glimra/fileShare/deleteTempFile");

QString decodeBase64Text(const QByteArray &value)
{
    const auto decoded = QByteArray::fromBase64Encoding(value, QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? QString::fromUtf8(*decoded) : QString();
}

QString parentOf(const QString &absPath)
{
    const qsizetype slash = absPath.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : absPath.left(slash);
}

QString nameOf(const QString &absPath)
{
    const qsizetype slash = absPath.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? absPath : absPath.mid(slash + 1);
}

QByteArray md5Hex(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

} // namespace

FakeFileShareServer::FakeFileShareServer(QObject *parent) : FakeHttpServer(parent)
{
    addRoot({QStringLiteral("Root-Local"), QStringLiteral("Local"), false, {}, 0});
    addRoot({QStringLiteral("Root-Download"), QStringLiteral("Download"), false, {}, 0});
    addRoot({QStringLiteral("Root-Share"), QStringLiteral("Share"), false, {}, 0});
    addRoot({QStringLiteral("Root-Meeting"), QStringLiteral("Meeting"), false, {}, 1});
    addRoot({QStringLiteral("Root-Picture"), QStringLiteral("Picture"), false, {}, 1});
}

const QStringList &FakeFileShareServer::endpointPaths()
{
    static const QStringList paths = {kFunctions, kGetVerifyCode, kGetGlimraStatus, kGetRootList,
                                      kCheckPwd, kGetFileList, kGetThumb, kCheckFile,
                                      kDownload, kGetStartBytes, kUploadFile, kDeleteTempFile};
    return paths;
}

void FakeFileShareServer::setFunctions(bool upload, bool download)
{
    m_upload = upload;
    m_download = download;
}

void FakeFileShareServer::setVerifyCode(std::optional<QString> code)
{
    m_verifyCode = std::move(code);
}

void FakeFileShareServer::setShareEnabled(bool enabled)
{
    m_shareEnabled = enabled;
}

void FakeFileShareServer::setDeviceLocked(bool locked)
{
    m_deviceLocked = locked;
}

void FakeFileShareServer::setBusy(bool busy)
{
    m_busy = busy;
}

void FakeFileShareServer::setGlimraApiVersion(const QByteArray &version)
{
    m_glimraApiVersion = version;
}

void FakeFileShareServer::setContentAsText(bool asText)
{
    m_contentAsText = asText;
}

void FakeFileShareServer::setContentOverride(const QString &path, const QJsonValue &content)
{
    m_contentOverrides.insert(path, content);
}

void FakeFileShareServer::clearContentOverrides()
{
    m_contentOverrides.clear();
}

void FakeFileShareServer::clearRoots()
{
    for (const FakeRoot &root : std::as_const(m_roots))
        m_entries.remove(root.rootKey);
    m_roots.clear();
}

void FakeFileShareServer::addRoot(const FakeRoot &root)
{
    m_roots.removeIf([&](const FakeRoot &r) { return r.rootKey == root.rootKey; });
    m_roots.append(root);
    Entry entry;
    entry.absPath = root.rootKey;
    entry.dir = true;
    entry.fileType = QStringLiteral("FOLDER");
    m_entries.insert(root.rootKey, entry);
}

void FakeFileShareServer::forgetDigests(const QString &absPath)
{
    m_chunkMd5s.removeIf([&](QHash<QPair<QString, qint64>, QByteArray>::iterator it) { return it.key().first == absPath; });
}

void FakeFileShareServer::ensureFolders(const QString &absPath)
{
    QString parent = parentOf(absPath);
    while (!parent.isEmpty() && !m_entries.contains(parent)) {
        Entry folder;
        folder.absPath = parent;
        folder.dir = true;
        folder.fileType = QStringLiteral("FOLDER");
        folder.lastModifyMs = 1700000000000;
        m_entries.insert(parent, folder);
        parent = parentOf(parent);
    }
}

QString FakeFileShareServer::fileTypeFor(const QString &name)
{
    const QString ext = QFileInfo(name).suffix().toLower();
    static const QHash<QString, QString> types = {
        {"jpg", "IMAGE"}, {"jpeg", "IMAGE"}, {"png", "IMAGE"}, {"gif", "IMAGE"}, {"bmp", "IMAGE"},
        {"webp", "IMAGE"}, {"doc", "DOC"}, {"docx", "DOC"}, {"pdf", "PDF"}, {"ppt", "PPT"},
        {"pptx", "PPT"}, {"xls", "EXCEL"}, {"xlsx", "EXCEL"}, {"mp3", "AUDIO"}, {"wav", "AUDIO"},
        {"aac", "AUDIO"}, {"flac", "AUDIO"}, {"mp4", "VIDEO"}, {"mov", "VIDEO"}, {"mkv", "VIDEO"},
        {"avi", "VIDEO"}, {"txt", "DOCUMENT"}, {"zip", "ZIP"}, {"rar", "ZIP"}, {"7z", "ZIP"},
        {"apk", "APK"}, {"xapk", "X_APK"},
    };
    return types.value(ext, QStringLiteral("OTHER"));
}

void FakeFileShareServer::addFile(const QString &absPath, const QByteArray &bytes, const QString &fileType,
                                  qint64 lastModifyMs)
{
    ensureFolders(absPath);
    Entry entry;
    entry.absPath = absPath;
    entry.bytes = bytes;
    entry.size = bytes.size();
    entry.fileType = fileType.isEmpty() ? fileTypeFor(absPath) : fileType;
    entry.lastModifyMs = lastModifyMs;
    forgetDigests(absPath);
    m_entries.insert(absPath, entry);
}

void FakeFileShareServer::addDiskFile(const QString &absPath, const QString &localPath, const QString &fileType)
{
    ensureFolders(absPath);
    const QFileInfo info(localPath);
    Entry entry;
    entry.absPath = absPath;
    entry.localPath = localPath;
    entry.size = info.size();
    entry.fileType = fileType.isEmpty() ? fileTypeFor(absPath) : fileType;
    entry.lastModifyMs = info.lastModified().toMSecsSinceEpoch();
    forgetDigests(absPath);
    m_entries.insert(absPath, entry);
}

void FakeFileShareServer::addFolder(const QString &absPath)
{
    ensureFolders(absPath);
    Entry entry;
    entry.absPath = absPath;
    entry.dir = true;
    entry.fileType = QStringLiteral("FOLDER");
    entry.lastModifyMs = 1700000000000;
    m_entries.insert(absPath, entry);
}

void FakeFileShareServer::addDirectory(const QString &absFolder, const QString &localDir)
{
    const QDir base(localDir);
    QDirIterator it(localDir, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString local = it.next();
        const QString absPath = absFolder + QLatin1Char('/') + base.relativeFilePath(local);
        if (it.fileInfo().isDir())
            addFolder(absPath);
        else
            addDiskFile(absPath, local);
    }
}

QByteArray FakeFileShareServer::fileBytes(const QString &absPath) const
{
    const auto it = m_entries.find(absPath);
    if (it == m_entries.end() || it->dir)
        return {};
    if (it->localPath.isEmpty())
        return it->bytes;
    QFile file(it->localPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray FakeFileShareServer::chunk(const Entry &entry, qint64 index) const
{
    const qint64 offset = index * m_chunkSize;
    const qint64 length = qMin(m_chunkSize, entry.size - offset);
    if (length <= 0)
        return {};
    if (entry.localPath.isEmpty())
        return entry.bytes.mid(offset, length);
    QFile file(entry.localPath);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return {};
    return file.read(length);
}

const FakeRoot *FakeFileShareServer::rootOf(const QString &absPath) const
{
    for (const FakeRoot &root : m_roots) {
        if (absPath == root.rootKey || absPath.startsWith(root.rootKey + QLatin1Char('/')))
            return &root;
    }
    return nullptr;
}

bool FakeFileShareServer::passwordAccepted(const QString &absPath, const HttpRequest &request) const
{
    const FakeRoot *root = rootOf(absPath);
    if (!root || !root->needPwd)
        return true;
    return request.queryValue(QStringLiteral("pwd")) == root->password;
}

QJsonObject FakeFileShareServer::entryJson(const Entry &entry) const
{
    const QString name = nameOf(entry.absPath);
    const FakeRoot *root = rootOf(entry.absPath);
    return QJsonObject{
        {"absPath", entry.absPath},
        {"absPathWithSuffix", entry.absPath},
        {"extension", entry.dir ? QString() : QFileInfo(name).suffix()},
        {"belongTo", root ? root->rootKey : QString()},
        {"fileType", entry.dir ? QStringLiteral("FOLDER") : entry.fileType},
        {"name", name},
        {"parentPath", parentOf(entry.absPath)},
        {"pinyinName", name.toLower()},
        {"fileSize", QString::number(entry.dir ? 0 : entry.size)},
        {"lastModifyTime", QString::number(entry.lastModifyMs)},
        {"dir", entry.dir},
    };
}

HttpAnswer FakeFileShareServer::answer(const QString &path, qint64 code, const QJsonValue &content) const
{
    QJsonValue value = m_contentOverrides.contains(path) ? m_contentOverrides.value(path) : content;
    if (m_contentAsText && (value.isObject() || value.isArray())) {
        value = QString::fromUtf8(value.isObject() ? QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact)
                                                   : QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    }
    return HttpAnswer::json(QJsonObject{{"code", code}, {"msg", code == 200 ? "success" : "fail"}, {"content", value}});
}

HttpAnswer FakeFileShareServer::handle(const HttpRequest &request)
{
    const QString &path = request.path;
    if (path == kFunctions)
        return functions(request);
    if (path == kGetVerifyCode)
        return verifyCode(request);
    if (path == kGetGlimraStatus)
        return glimraStatus(request);
    if (path == kGetRootList)
        return rootList(request);
    if (path == kCheckPwd)
        return checkPwd(request);
    if (path == kGetFileList)
        return fileList(request);
    if (path == kGetThumb)
        return thumb(request);
    if (path == kCheckFile)
        return checkFile(request);
    if (path == kDownload)
        return download(request);
    if (path == kGetStartBytes)
        return startBytes(request);
    if (path == kUploadFile)
        return uploadFile(request);
    if (path == kDeleteTempFile)
        return deleteTempFile(request);
    HttpAnswer missing{404, {}, "not found"};
    missing.setHeader("Content-Type", "text/plain");
    return missing;
}

HttpAnswer FakeFileShareServer::functions(const HttpRequest &)
{
    return answer(kFunctions, 200, QJsonObject{{"upload", m_upload}, {"download", m_download}});
}

HttpAnswer FakeFileShareServer::verifyCode(const HttpRequest &)
{
    if (m_busy)
        return answer(kGetVerifyCode, 230);
    if (!m_shareEnabled)
        return answer(kGetVerifyCode, 220);
    return answer(kGetVerifyCode, 202, m_verifyCode ? QJsonValue(*m_verifyCode) : QJsonValue(QJsonValue::Null));
}

HttpAnswer FakeFileShareServer::glimraStatus(const HttpRequest &)
{
    return answer(kGetGlimraStatus, 200, QJsonObject{{"enableShareFile", m_shareEnabled}});
}

HttpAnswer FakeFileShareServer::rootList(const HttpRequest &)
{
    QMap<int, QJsonArray> groups;
    for (const FakeRoot &root : std::as_const(m_roots))
        groups[root.group].append(QJsonObject{{"rootKey", root.rootKey}, {"name", root.name}, {"needPwd", root.needPwd}});
    QJsonArray rootGroup;
    for (const QJsonArray &group : std::as_const(groups))
        rootGroup.append(group);
    HttpAnswer result = answer(kGetRootList, 200, QJsonObject{{"rootGroup", rootGroup}});
    if (!m_glimraApiVersion.isEmpty())
        result.setHeader("glimra-api-version", m_glimraApiVersion);
    return result;
}

HttpAnswer FakeFileShareServer::checkPwd(const HttpRequest &request)
{
    if (!m_shareEnabled)
        return answer(kCheckPwd, 220);
    if (m_deviceLocked)
        return answer(kCheckPwd, 405);
    const QString rootKey = request.queryValue(QStringLiteral("rootKey"));
    for (const FakeRoot &root : std::as_const(m_roots)) {
        if (root.rootKey == rootKey) {
            const bool right = !root.needPwd || request.queryValue(QStringLiteral("pwd")) == root.password;
            return answer(kCheckPwd, 200, QJsonObject{{"checkRes", right}});
        }
    }
    return answer(kCheckPwd, 400);
}

HttpAnswer FakeFileShareServer::fileList(const HttpRequest &request)
{
    if (!m_shareEnabled)
        return answer(kGetFileList, 220);
    const QString folder = decodeBase64Text(request.header("File-Path"));
    const auto it = m_entries.find(folder);
    if (folder.isEmpty() || it == m_entries.end() || !it->dir || !rootOf(folder))
        return answer(kGetFileList, 404);
    const FakeRoot *root = rootOf(folder);
    if (root->needPwd && (m_deviceLocked || !passwordAccepted(folder, request)))
        return answer(kGetFileList, 405);
    QJsonArray list;
    for (const Entry &entry : std::as_const(m_entries)) {
        if (parentOf(entry.absPath) == folder)
            list.append(entryJson(entry));
    }
    return answer(kGetFileList, 200, list);
}

HttpAnswer FakeFileShareServer::thumb(const HttpRequest &request)
{
    const QString absPath = request.queryValue(QStringLiteral("path"));
    const auto it = m_entries.find(absPath);
    if (it == m_entries.end() || it->dir || !passwordAccepted(absPath, request)) {
        HttpAnswer missing{404, {}, "not found"};
        missing.setHeader("Content-Type", "text/plain");
        return missing;
    }
    HttpAnswer image{200, {}, fileBytes(absPath)};
    const QString ext = QFileInfo(absPath).suffix().toLower();
    image.setHeader("Content-Type", ext == QLatin1String("png")   ? "image/png"
                                    : ext == QLatin1String("gif") ? "image/gif"
                                                                  : "image/jpeg");
    return image;
}

HttpAnswer FakeFileShareServer::checkFile(const HttpRequest &request)
{
    if (m_busy)
        return answer(kCheckFile, 230);
    if (!m_shareEnabled)
        return answer(kCheckFile, 220);
    const QString absPath = decodeBase64Text(request.header("File-Path"));
    const auto it = m_entries.find(absPath);
    if (absPath.isEmpty() || it == m_entries.end() || it->dir)
        return answer(kCheckFile, 404);
    if (!passwordAccepted(absPath, request))
        return answer(kCheckFile, 406);
    bool ok = false;
    const qint64 index = request.header("Chunk-Number").toLongLong(&ok);
    const qint64 total = qMax<qint64>(1, (it->size + m_chunkSize - 1) / m_chunkSize);
    if (!ok || index < 0 || index >= total)
        return answer(kCheckFile, 400);
    return answer(kCheckFile, 200);
}

HttpAnswer FakeFileShareServer::download(const HttpRequest &request)
{
    if (m_busy)
        return answer(kDownload, 230);
    if (!m_shareEnabled)
        return answer(kDownload, 220);
    const QString absPath = decodeBase64Text(request.header("File-Path"));
    const auto it = m_entries.find(absPath);
    if (absPath.isEmpty() || it == m_entries.end() || it->dir)
        return answer(kDownload, 404);
    if (!passwordAccepted(absPath, request))
        return answer(kDownload, 406);
    bool ok = false;
    const qint64 index = request.header("Chunk-Number").toLongLong(&ok);
    const qint64 total = qMax<qint64>(1, (it->size + m_chunkSize - 1) / m_chunkSize);
    if (!ok || index < 0 || index >= total)
        return answer(kDownload, 400);
    HttpAnswer result{200, {}, chunk(*it, index)};
    result.setHeader("Content-Type", "application/octet-stream");
    // A file's chunks do not change while it is served: each digest is
    // computed once, so that a benchmark measures its client, not the server.
    const auto cacheKey = qMakePair(absPath, index);
    QByteArray md5 = m_chunkMd5s.value(cacheKey);
    if (md5.isEmpty()) {
        md5 = md5Hex(result.body);
        m_chunkMd5s.insert(cacheKey, md5);
    }
    if (m_wrongMd5Times > 0) {
        --m_wrongMd5Times;
        md5 = md5Hex(result.body + "spoilt");
    }
    result.setHeader("File-MD5", md5);
    result.setHeader("Total-Chunk-Number", QByteArray::number(total));
    if (!m_omitChunkSize)
        result.setHeader("Current-Chunk-Size", QByteArray::number(result.body.size()));
    if (m_chunkSpoiler)
        m_chunkSpoiler(index, result);
    return result;
}

std::optional<FaultRule> FakeFileShareServer::takeFault(const HttpRequest &request)
{
    if (request.path == kDownload) {
        bool ok = false;
        const qint64 index = request.header("Chunk-Number").toLongLong(&ok);
        const auto it = ok ? m_chunkFaults.find(index) : m_chunkFaults.end();
        if (it != m_chunkFaults.end() && it->times != 0) {
            if (it->times > 0)
                --it->times;
            return *it;
        }
    }
    return FakeHttpServer::takeFault(request);
}

QString FakeFileShareServer::partialKey(const QByteArray &deviceId, const QByteArray &fileMd5,
                                        const QByteArray &fileName) const
{
    return QString::fromLatin1(md5Hex(deviceId + '\n' + fileMd5 + '\n' + fileName));
}

void FakeFileShareServer::setUploadDirectory(const QString &path)
{
    m_uploadDir = path;
    if (!path.isEmpty())
        QDir().mkpath(path + QStringLiteral("/partials"));
}

void FakeFileShareServer::writePartial(const QString &key, const QByteArray &bytes, bool append)
{
    if (m_uploadDir.isEmpty()) {
        if (append)
            m_partials[key] += bytes;
        else
            m_partials[key] = bytes;
        return;
    }
    QFile file(m_uploadDir + QStringLiteral("/partials/") + key);
    if (file.open(append ? QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(bytes);
        file.flush();
    }
}

void FakeFileShareServer::dropPartial(const QString &key)
{
    m_partials.remove(key);
    if (!m_uploadDir.isEmpty())
        QFile::remove(m_uploadDir + QStringLiteral("/partials/") + key);
}

qint64 FakeFileShareServer::partialLength(const QByteArray &deviceId, const QByteArray &fileMd5,
                                          const QByteArray &fileName) const
{
    return partialSize(partialKey(deviceId, fileMd5, fileName));
}

qint64 FakeFileShareServer::partialSize(const QString &key) const
{
    if (m_uploadDir.isEmpty())
        return m_partials.value(key).size();
    return QFileInfo(m_uploadDir + QStringLiteral("/partials/") + key).size();
}

QByteArray FakeFileShareServer::partialMd5(const QString &key) const
{
    if (m_uploadDir.isEmpty())
        return md5Hex(m_partials.value(key));
    // Read as it lies on disk: a copy of a large upload never sits in memory.
    QFile file(m_uploadDir + QStringLiteral("/partials/") + key);
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return hash.result().toHex();
}

bool FakeFileShareServer::finishUpload(const QString &key, const QString &name)
{
    if (m_uploadDir.isEmpty()) {
        const QByteArray whole = m_partials.value(key);
        m_partials.remove(key);
        return storeUpload(name, whole);
    }
    const QString safe = QFileInfo(name).fileName();
    if (safe.isEmpty() || safe == QLatin1String(".") || safe == QLatin1String("..") || safe.contains(QLatin1Char('/')))
        return false;
    const QString target = m_uploadDir + QLatin1Char('/') + safe;
    QFile::remove(target);
    return QFile::rename(m_uploadDir + QStringLiteral("/partials/") + key, target);
}

bool FakeFileShareServer::storeUpload(const QString &name, const QByteArray &bytes)
{
    // The device keeps only the last component of the name it was given.
    const QString safe = QFileInfo(name).fileName();
    if (safe.isEmpty() || safe == QLatin1String(".") || safe == QLatin1String("..") || safe.contains(QLatin1Char('/')))
        return false;
    m_uploads.insert(safe, bytes);
    if (!m_uploadDir.isEmpty()) {
        QFile file(m_uploadDir + QLatin1Char('/') + safe);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        file.write(bytes);
    }
    return true;
}

QStringList FakeFileShareServer::uploadedFiles() const
{
    if (m_uploadDir.isEmpty())
        return m_uploads.keys();
    return QDir(m_uploadDir).entryList(QDir::Files, QDir::Name);
}

QByteArray FakeFileShareServer::uploadedFile(const QString &name) const
{
    if (m_uploadDir.isEmpty())
        return m_uploads.value(name);
    QFile file(m_uploadDir + QLatin1Char('/') + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

HttpAnswer FakeFileShareServer::startBytes(const HttpRequest &request)
{
    if (m_busy)
        return answer(kGetStartBytes, 230);
    if (!m_shareEnabled)
        return answer(kGetStartBytes, 220);
    bool ok = false;
    const qint64 size = request.header("File-Size").toLongLong(&ok);
    const QByteArray md5 = request.header("File-MD5");
    const QByteArray name = request.header("File-Name");
    const QByteArray deviceId = request.header("Device-ID");
    if (!ok || size < 0 || md5.isEmpty() || name.isEmpty() || deviceId.isEmpty())
        return answer(kGetStartBytes, 400);
    if (size > m_uploadQuota)
        return answer(kGetStartBytes, 210);
    HttpAnswer result = answer(kGetStartBytes, 200);
    QJsonObject object = QJsonDocument::fromJson(result.body).object();
    object.insert(QStringLiteral("byteStart"), double(partialSize(partialKey(deviceId, md5, name))));
    result.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return result;
}

HttpAnswer FakeFileShareServer::uploadFile(const HttpRequest &request)
{
    if (request.method != "POST")
        return answer(kUploadFile, 400);
    if (m_busy)
        return answer(kUploadFile, 230);
    if (!m_shareEnabled)
        return answer(kUploadFile, 220);
    bool sizeOk = false;
    bool startOk = false;
    const qint64 size = request.header("File-Size").toLongLong(&sizeOk);
    const qint64 start = request.header("Bytes-Start").toLongLong(&startOk);
    const QByteArray md5 = request.header("File-MD5");
    const QByteArray name = request.header("File-Name");
    const QByteArray deviceId = request.header("Device-ID");
    if (!sizeOk || !startOk || size < 0 || md5.isEmpty() || name.isEmpty() || deviceId.isEmpty())
        return answer(kUploadFile, 400);
    if (size > m_uploadQuota)
        return answer(kUploadFile, 210);
    const QString key = partialKey(deviceId, md5, name);
    const qint64 stored = partialSize(key);
    // Not where the copy ends: the client asks getStartBytes again.
    if (start != stored)
        return answer(kUploadFile, 206);
    const QByteArray piece = request.body.left(m_uploadAcceptLimit);
    if (stored + piece.size() > size) {
        dropPartial(key);
        return answer(kUploadFile, 400);
    }
    writePartial(key, piece, true);
    if (stored + piece.size() < size)
        return answer(kUploadFile, 206);
    const bool whole = partialMd5(key) == md5.toLower();
    if (!whole || !finishUpload(key, decodeBase64Text(name))) {
        dropPartial(key);
        return answer(kUploadFile, 400);
    }
    return answer(kUploadFile, 200);
}

HttpAnswer FakeFileShareServer::deleteTempFile(const HttpRequest &request)
{
    if (m_busy)
        return answer(kDeleteTempFile, 230);
    if (!m_shareEnabled)
        return answer(kDeleteTempFile, 220);
    const QByteArray md5 = request.header("File-MD5");
    const QByteArray name = request.header("File-Name");
    const QByteArray deviceId = request.header("Device-ID");
    if (md5.isEmpty() || name.isEmpty() || deviceId.isEmpty())
        return answer(kDeleteTempFile, 400);
    dropPartial(partialKey(deviceId, md5, name));
    return answer(kDeleteTempFile, 200);
}

} // namespace FakeServers

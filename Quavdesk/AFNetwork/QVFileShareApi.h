#pragma once

#include <QUrl>

#include "QVHttpBaseRequest.h"

// The receiver's file-share server: its ports, paths, header names and the
// result codes it answers with, and one request class per endpoint that the
// program sends through the file-share road. The download chunk and the
// upload piece are built by the transfer pages; their paths are here too.
namespace QVFileShare {

// Tried in this order; the second only when the first gets no answer.
inline constexpr quint16 kPorts[] = {8652, 8687};

// "http://address:port", the base of every path below.
QString baseUrl(const QString &address, quint16 port);

inline const QString kGetGlimraStatusPath = QStringLiteral("api/glimra/fileShare/getGlimraStatus");
inline const QString kGetRootListPath = QStringLiteral("api/glimra/fileShare/getRootList");
inline const QString kCheckPwdPath = QStringLiteral("api/glimra/fileShare/checkPwd");
inline const QString kFunctionsPath = QStringLiteral("api/glimra/fileShare/functions");
inline const QString kGetFileListPath = QStringLiteral("api/glimra/fileShare/getFileList");
inline const QString kCheckFilePath = QStringLiteral("api/glimra/fileShare/checkFile");
inline const QString kDownloadPath = QStringLiteral("api/glimra/fileShare/download");
inline const QString kGetThumbPath = QStringLiteral("api/glimra/fileShare/getThumb");
inline const QString kGetVerifyCodePath = QStringLiteral("api/glimra/fileShare/getVerifyCode");
inline const QString kGetStartBytesPath = QStringLiteral("api/glimra/fileShare/getStartBytes");
inline const QString kUploadFilePath = QStringLiteral("api/glimra/fileShare/uploadFile");
inline const QString kDeleteTempFilePath = QStringLiteral("api/glimra/fileShare/deleteTempFile");

// Request headers.
inline const QString kFilePathHeader = QStringLiteral("File-Path");
inline const QString kFileNameHeader = QStringLiteral("File-Name");
inline const QString kFileMd5Header = QStringLiteral("File-MD5");
inline const QString kFileSizeHeader = QStringLiteral("File-Size");
inline const QString kDeviceIdHeader = QStringLiteral("Device-ID");
inline const QString kChunkNumberHeader = QStringLiteral("Chunk-Number");
inline const QString kBytesStartHeader = QStringLiteral("Bytes-Start");
inline const QString kClientApiVersionHeader = QStringLiteral("client-api-version");
inline const QString kClientApiVersion = QStringLiteral("1");
inline const QString kContentTypeHeader = QStringLiteral("Content-Type");
inline const QString kMultipartFormData = QStringLiteral("multipart/form-data");
inline const QString kFormUrlEncoded = QStringLiteral("application/x-www-form-urlencoded");
// Answer headers.
inline const QByteArray kGlimraApiVersionHeader = QByteArrayLiteral("glimra-api-version");
inline const QByteArray kAnswerFileMd5Header = QByteArrayLiteral("File-MD5");
inline const QByteArray kTotalChunkNumberHeader = QByteArrayLiteral("Total-Chunk-Number");
inline const QByteArray kCurrentChunkSizeHeader = QByteArrayLiteral("Current-Chunk-Size");

// Query arguments.
inline const QString kPwdArgument = QStringLiteral("pwd");
inline const QString kRootKeyArgument = QStringLiteral("rootKey");
inline const QString kPathArgument = QStringLiteral("path");

// Time-outs of the two requests the transfer pages build.
inline constexpr std::chrono::milliseconds kDownloadTimeout{120000};
inline constexpr std::chrono::milliseconds kUploadTimeout{90000};
// The most bytes one upload piece carries.
inline constexpr qint64 kMaxUploadPieceBytes = 104857600;

// Result codes ("code" of the answer); what each means depends on the
// endpoint, and a caller sends the codes it does not name to its "other"
// branch.
enum Code : qint64 {
    Success = 200,
    VerifyCode = 202,
    PartialContent = 206,
    NoSpace = 210,
    Refused = 220,
    Busy = 230,
    NotFound = 404,
    Locked = 405,
    WrongPassword = 406,
};

} // namespace QVFileShare

// Base of the file-share requests: the receiver's base URL is their address.
class QVFileShareRequest : public QVHttpBaseRequest {
    Q_OBJECT
public:
    explicit QVFileShareRequest(QString deviceIP) : m_deviceIP(std::move(deviceIP)) {}
    const QString &deviceIP() const { return m_deviceIP; }
    QString requestBaseUrl() const override { return m_deviceIP; }

protected:
    // "Content-Type: multipart/form-data" and "client-api-version: 1".
    static QList<QPair<QString, QString>> commonHeaders();

private:
    QString m_deviceIP;
};

// Whether the receiver lets files be shared: 200 with content member
// "enableShareFile".
class QVGetCheckStatusApi : public QVFileShareRequest {
    Q_OBJECT
public:
    explicit QVGetCheckStatusApi(QString deviceIP) : QVFileShareRequest(std::move(deviceIP)) {}
    QString requestSuffixUrl() const override { return QVFileShare::kGetGlimraStatusPath; }
    QList<QPair<QString, QString>> requestHeader() const override { return commonHeaders(); }
};

// The root folders. Whether "content" holds them is told by the answer
// header "glimra-api-version" (absent: 0, the fixed menu).
class QVGetRootMenuListApi : public QVFileShareRequest {
    Q_OBJECT
public:
    explicit QVGetRootMenuListApi(QString deviceIP) : QVFileShareRequest(std::move(deviceIP)) {}
    QString requestSuffixUrl() const override { return QVFileShare::kGetRootListPath; }
    QList<QPair<QString, QString>> requestHeader() const override { return commonHeaders(); }

    // The answer header "glimra-api-version" as an integer; 0 when absent or
    // not a number.
    static int glimraApiVersion(const QVHttpTask &task);
};

// A protected root's password: 200 with content member "checkRes".
class QVGetCheckEncryptPwdApi : public QVFileShareRequest {
    Q_OBJECT
public:
    QVGetCheckEncryptPwdApi(QString deviceIP, QString pwd, QString rootKey)
        : QVFileShareRequest(std::move(deviceIP)), m_pwd(std::move(pwd)), m_rootKey(std::move(rootKey))
    {
    }
    QString requestSuffixUrl() const override { return QVFileShare::kCheckPwdPath; }
    QList<QPair<QString, QString>> requestHeader() const override { return commonHeaders(); }
    QVariantMap requestAppendArgument() const override;

private:
    QString m_pwd;
    QString m_rootKey;
};

// The functions the receiver offers: 200 with content members "upload" and
// "download"; 220 when downloads are off.
class QVGetFileFunctionsApi : public QVFileShareRequest {
    Q_OBJECT
public:
    explicit QVGetFileFunctionsApi(QString deviceIP) : QVFileShareRequest(std::move(deviceIP)) {}
    QString requestSuffixUrl() const override { return QVFileShare::kFunctionsPath; }
};

// A folder's listing; "pwd" only when there is a password.
class QVGetDownLoadFileListApi : public QVFileShareRequest {
    Q_OBJECT
public:
    QVGetDownLoadFileListApi(QString deviceIP, QString filePath, QString pwd)
        : QVFileShareRequest(std::move(deviceIP)), m_filePath(std::move(filePath)), m_pwd(std::move(pwd))
    {
    }
    QString requestSuffixUrl() const override { return QVFileShare::kGetFileListPath; }
    QList<QPair<QString, QString>> requestHeader() const override;
    QVariantMap requestAppendArgument() const override;

private:
    QString m_filePath;
    QString m_pwd;
};

// Asked before each chunk of a download.
class QVGetDownLoadCheckFileApi : public QVFileShareRequest {
    Q_OBJECT
public:
    QVGetDownLoadCheckFileApi(QString deviceIP, QString filePath, qint64 chunkNumber, QString pwd)
        : QVFileShareRequest(std::move(deviceIP)), m_filePath(std::move(filePath)), m_chunkNumber(chunkNumber),
          m_pwd(std::move(pwd))
    {
    }
    QString requestSuffixUrl() const override { return QVFileShare::kCheckFilePath; }
    QList<QPair<QString, QString>> requestHeader() const override;
    QVariantMap requestAppendArgument() const override;

private:
    QString m_filePath;
    qint64 m_chunkNumber;
    QString m_pwd;
};

// The receiver's 4-character file-share code: 202 with the code as content.
class QVGetFileShareVerifyCodeApi : public QVFileShareRequest {
    Q_OBJECT
public:
    explicit QVGetFileShareVerifyCodeApi(QString deviceIP) : QVFileShareRequest(std::move(deviceIP)) {}
    QString requestSuffixUrl() const override { return QVFileShare::kGetVerifyCodePath; }
    QList<QPair<QString, QString>> requestHeader() const override;
};

// The offset at which an upload goes on: 200 with top-level "byteStart".
class QVGetFileShareStartBytesApi : public QVFileShareRequest {
    Q_OBJECT
public:
    QVGetFileShareStartBytesApi(QString deviceIP, QUrl fileURL, QString fileBytes, QString fileMd5)
        : QVFileShareRequest(std::move(deviceIP)), m_fileURL(std::move(fileURL)), m_fileBytes(std::move(fileBytes)),
          m_fileMd5(std::move(fileMd5))
    {
    }
    QString requestSuffixUrl() const override { return QVFileShare::kGetStartBytesPath; }
    QList<QPair<QString, QString>> requestHeader() const override;

private:
    QUrl m_fileURL;
    QString m_fileBytes;
    QString m_fileMd5;
};

// Drops the receiver's partial copy of an upload.
class QVGetDeleteTempFileApi : public QVFileShareRequest {
    Q_OBJECT
public:
    QVGetDeleteTempFileApi(QString deviceIP, QUrl fileURL, QString fileMd5)
        : QVFileShareRequest(std::move(deviceIP)), m_fileURL(std::move(fileURL)), m_fileMd5(std::move(fileMd5))
    {
    }
    QString requestSuffixUrl() const override { return QVFileShare::kDeleteTempFilePath; }
    QList<QPair<QString, QString>> requestHeader() const override;

private:
    QUrl m_fileURL;
    QString m_fileMd5;
};

// The upload piece described as a request class. Nothing sends it: the
// file-share road sends only GET, and the upload page builds its pieces
// itself.
class QVPostFileShareUploadFileApi : public QVFileShareRequest {
    Q_OBJECT
public:
    QVPostFileShareUploadFileApi(QString deviceIP, QUrl fileURL, QString fileBytes, QString fileMd5,
                                 QString startBytes)
        : QVFileShareRequest(std::move(deviceIP)), m_fileURL(std::move(fileURL)), m_fileBytes(std::move(fileBytes)),
          m_fileMd5(std::move(fileMd5)), m_startBytes(std::move(startBytes))
    {
    }
    QString requestSuffixUrl() const override { return QVFileShare::kUploadFilePath; }
    QList<QPair<QString, QString>> requestHeader() const override;
    qint64 httpRequestType() const override { return POST; }

private:
    QUrl m_fileURL;
    QString m_fileBytes;
    QString m_fileMd5;
    QString m_startBytes;
};

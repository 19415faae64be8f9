#include "QVFileShareApi.h"

#include <QDebug>

#include "PublicManager/QVPublicTools.h"

namespace QVFileShare {

QString baseUrl(const QString &address, quint16 port)
{
    return QStringLiteral("http://%1:%2").arg(address).arg(port);
}

} // namespace QVFileShare

using namespace QVFileShare;

QList<QPair<QString, QString>> QVFileShareRequest::commonHeaders()
{
    return {{kContentTypeHeader, kMultipartFormData}, {kClientApiVersionHeader, kClientApiVersion}};
}

int QVGetRootMenuListApi::glimraApiVersion(const QVHttpTask &task)
{
    return task.responseHeader(kGlimraApiVersionHeader).trimmed().toInt();
}

QVariantMap QVGetCheckEncryptPwdApi::requestAppendArgument() const
{
    return {{kPwdArgument, m_pwd}, {kRootKeyArgument, m_rootKey}};
}

QList<QPair<QString, QString>> QVGetDownLoadFileListApi::requestHeader() const
{
    auto headers = commonHeaders();
    headers.append({kFilePathHeader, QVPublicTools::downLoadFileForBase64(m_filePath)});
    return headers;
}

QVariantMap QVGetDownLoadFileListApi::requestAppendArgument() const
{
    if (m_pwd.isEmpty())
        return {};
    return {{kPwdArgument, m_pwd}};
}

QList<QPair<QString, QString>> QVGetDownLoadCheckFileApi::requestHeader() const
{
    const QString encodedPath = QVPublicTools::downLoadFileForBase64(m_filePath);
    qInfo().noquote() << QStringLiteral("ss = %1").arg(encodedPath);
    return {
        {kFilePathHeader, encodedPath},
        {kChunkNumberHeader, QString::number(m_chunkNumber)},
        {kClientApiVersionHeader, kClientApiVersion},
    };
}

QVariantMap QVGetDownLoadCheckFileApi::requestAppendArgument() const
{
    if (m_pwd.isEmpty())
        return {};
    return {{kPwdArgument, m_pwd}};
}

QList<QPair<QString, QString>> QVGetFileShareVerifyCodeApi::requestHeader() const
{
    return {{kContentTypeHeader, kMultipartFormData}};
}

QList<QPair<QString, QString>> QVGetFileShareStartBytesApi::requestHeader() const
{
    return {
        {kContentTypeHeader, kMultipartFormData},
        {kFileMd5Header, m_fileMd5},
        {kFileSizeHeader, m_fileBytes},
        {kFileNameHeader, QVPublicTools::getLocalFileName(m_fileURL)},
        {kDeviceIdHeader, QVPublicTools::sharedPublicTools()->deviceUDID()},
    };
}

QList<QPair<QString, QString>> QVGetDeleteTempFileApi::requestHeader() const
{
    return {
        {kFileMd5Header, m_fileMd5},
        {kFileNameHeader, QVPublicTools::getLocalFileName(m_fileURL)},
        {kDeviceIdHeader, QVPublicTools::sharedPublicTools()->deviceUDID()},
    };
}

QList<QPair<QString, QString>> QVPostFileShareUploadFileApi::requestHeader() const
{
    return {
        {kContentTypeHeader, kFormUrlEncoded},
        {kFileMd5Header, m_fileMd5},
        {kFileSizeHeader, m_fileBytes},
        {kFileNameHeader, QVPublicTools::getLocalFileName(m_fileURL)},
        {kBytesStartHeader, m_startBytes},
        {kDeviceIdHeader, QVPublicTools::sharedPublicTools()->deviceUDID()},
        {QStringLiteral("localFile"), m_fileURL.isLocalFile() ? m_fileURL.toLocalFile() : m_fileURL.toString()},
    };
}

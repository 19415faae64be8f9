#include "Main/ViewController/UploadFile/QVTransferFileListCellView.h"

#include <QCoreApplication>

#include "Main/Model/QVUploadFileModel.h"
#include "Main/ViewController/TransferFile/QVTransferRowParts.h"

using namespace QVTransferRowParts;

namespace {

constexpr int kContinueMinimumWidth = 80;

} // namespace

QVTransferFileListCellView::QVTransferFileListCellView(QObject *parent)
    // The bar is blue, with round ends.
    : QVTransferRowDelegate({QMargins(12, 0, 8, 0), localizable("transferFile_btn_continueUploading"),
                             kContinueMinimumWidth, QColor(89, 131, 236), ProgressHeight / 2.0},
                            parent)
{
}

QString QVTransferFileListCellView::warningKey(qint64 status)
{
    switch (status) {
    case QVUploadFileModel::TooLarge:
        return QString::fromLatin1(QT_TRANSLATE_NOOP("Localizable", "transferFile_fileSizeLimitedTo4GLess"));
    case QVUploadFileModel::NameTooLong:
        return QString::fromLatin1(QT_TRANSLATE_NOOP("Localizable", "transferFile_fileNameIsToLong"));
    case QVUploadFileModel::FormatNotSupported:
        return QString::fromLatin1(QT_TRANSLATE_NOOP("Localizable", "transferFile_fileFormatNotSupported"));
    default:
        return QString();
    }
}

QVTransferRowDelegate::Look QVTransferFileListCellView::lookFor(qint64 status) const
{
    Look look;
    switch (status) {
    case QVUploadFileModel::Waiting:
    case QVUploadFileModel::Uploading:
        look.parts = Progress | Delete;
        break;
    case QVUploadFileModel::Done:
        look.parts = Done;
        break;
    case QVUploadFileModel::Failed:
    case QVUploadFileModel::Missing:
    case QVUploadFileModel::NetworkLost:
        look.parts = Continue | Delete;
        break;
    default:
        look.parts = Warning | Delete;
        look.warningTip = QCoreApplication::translate("Localizable", warningKey(status).toUtf8().constData());
        break;
    }
    if (status == QVUploadFileModel::Failed || status >= QVUploadFileModel::TooLarge)
        look.failText = localizable("transferFile_uploadFailed");
    return look;
}

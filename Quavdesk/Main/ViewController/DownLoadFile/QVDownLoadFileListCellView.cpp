#include "Main/ViewController/DownLoadFile/QVDownLoadFileListCellView.h"

#include "Main/Model/QVDownLoadFileModel.h"
#include "Main/ViewController/TransferFile/QVTransferRowParts.h"

using namespace QVTransferRowParts;

QVDownLoadFileListCellView::QVDownLoadFileListCellView(QObject *parent)
    // The bar's track is white at a quarter of full strength.
    : QVTransferRowDelegate({QMargins(), localizable("downLoadFileList_btn_continueDownLoad"), 0,
                             QColor(255, 255, 255, 70), 3.0},
                            parent)
{
}

QString QVDownLoadFileListCellView::warningKey(qint64 status)
{
    switch (status) {
    case QVDownLoadFileModel::NotOnDevice:
        return localizable("main_downLoadFile_serverFileDoesNotExist");
    case QVDownLoadFileModel::EmptyFile:
        return localizable("main_downLoadFile_emptyFile");
    case QVDownLoadFileModel::WrongPassword:
        return localizable("downLoadFile_encrypt_password_faild");
    default:
        return QString();
    }
}

QVTransferRowDelegate::Look QVDownLoadFileListCellView::lookFor(qint64 status) const
{
    Look look;
    switch (status) {
    case QVDownLoadFileModel::Waiting:
    case QVDownLoadFileModel::Downloading:
        look.parts = Progress;
        break;
    case QVDownLoadFileModel::Done:
        look.parts = Folder;
        break;
    case QVDownLoadFileModel::Failed:
    case QVDownLoadFileModel::NetworkLost:
        look.parts = Continue;
        break;
    default:
        look.parts = Warning;
        look.warningTip = warningKey(status);
        break;
    }
    // The delete button is always there.
    look.parts |= Delete;
    if (status >= QVDownLoadFileModel::Failed)
        look.failText = localizable("transferFile_uploadFailed");
    return look;
}

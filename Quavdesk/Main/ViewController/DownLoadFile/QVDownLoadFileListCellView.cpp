#include "Main/ViewController/DownLoadFile/QVDownLoadFileListCellView.h"

#include <QPainter>
#include <QPainterPath>

#include "Main/Model/QVDownLoadFileModel.h"
#include "Main/ViewController/TransferFile/QVTransferRowParts.h"

using namespace QVTransferRowParts;

namespace {

// The bar: a white track at a quarter of full strength, the part done white.
constexpr double kBarRadius = 3.0;
const QColor kTrack(255, 255, 255, 70);

} // namespace

QVDownLoadFileListCellView::QVDownLoadFileListCellView(QObject *parent)
    : QVTransferRowDelegate({QMargins(), localizable("downLoadFileList_btn_continueDownLoad"), 0}, parent)
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

void QVDownLoadFileListCellView::paintProgress(QPainter *painter, const QRectF &rect, double share) const
{
    QPainterPath track;
    track.addRoundedRect(rect, kBarRadius, kBarRadius);
    painter->fillPath(track, kTrack);
    const double width = rect.width() * qBound(0.0, share, 1.0);
    if (width <= 0.0)
        return;
    QPainterPath bar;
    bar.addRoundedRect(QRectF(rect.left(), rect.top(), width, rect.height()), kBarRadius, kBarRadius);
    painter->fillPath(bar, Qt::white);
}

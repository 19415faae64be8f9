#include "Main/ViewController/DownLoadFile/QVDownLoadFileListCellView.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVNamedImage.h"
#include "Main/ViewController/TransferFile/QVTransferRowParts.h"

using namespace QVTransferRowParts;

QVDownLoadFileListCellView::QVDownLoadFileListCellView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(Identifier);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    m_titleLabel = new NameLabel(this);
    whiteText(m_titleLabel, 13);
    layout->addWidget(m_titleLabel, 1);

    m_failLabel = new QLabel(this);
    whiteText(m_failLabel, 12);
    layout->addWidget(m_failLabel);

    m_progressView = new QProgressBar(this);
    m_progressView->setRange(0, ProgressSteps);
    m_progressView->setValue(0);
    m_progressView->setTextVisible(false);
    m_progressView->setFixedSize(ProgressWidth, ProgressHeight);
    m_progressView->setStyleSheet(QStringLiteral(
        "QProgressBar { background: rgba(255, 255, 255, 70); border: none; border-radius: 3px; }"
        "QProgressBar::chunk { background: white; border-radius: 3px; }"));
    layout->addWidget(m_progressView);

    m_continueBtn = continueButton(localizable("downLoadFileList_btn_continueDownLoad"), this);
    m_continueBtn->hide();
    layout->addWidget(m_continueBtn);

    m_folderBtn = imageButton(QStringLiteral("downLoadFile_row_folder"), this);
    m_folderBtn->hide();
    layout->addWidget(m_folderBtn);

    m_overrunBtn = imageButton(QStringLiteral("downLoadFile_row_warning"), this);
    m_overrunBtn->setPopoverTitle(localizable("main_downLoadFile_serverFileDoesNotExist"));
    m_overrunBtn->hide();
    layout->addWidget(m_overrunBtn);

    m_deleteBtn = imageButton(QStringLiteral("downLoadFile_row_delete"), this);
    layout->addWidget(m_deleteBtn);

    connect(m_continueBtn, &QAbstractButton::clicked, this, [this] { call(m_continueBtnClickBlock); });
    connect(m_folderBtn, &QAbstractButton::clicked, this, [this] { call(m_folderBtnClickBlock); });
    connect(m_deleteBtn, &QAbstractButton::clicked, this, [this] { call(m_deleteBtnClickBlock); });
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

void QVDownLoadFileListCellView::setItemModel(const std::shared_ptr<QVDownLoadFileModel> &itemModel)
{
    m_itemModel = itemModel;
    m_titleLabel->setText(itemModel ? itemModel->name() : QString());
    // The device names the file: its name is shown as it is, never as markup.
    m_titleLabel->setToolTip(plainToolTip(m_titleLabel->text()));
    m_failLabel->clear();
    m_progressView->hide();
    m_continueBtn->hide();
    m_folderBtn->hide();
    m_overrunBtn->setIsShowPopover(false);
    m_overrunBtn->hide();
    m_deleteBtn->show();
    if (!itemModel)
        return;

    const qint64 status = itemModel->downLoadStatus();
    switch (status) {
    case QVDownLoadFileModel::Waiting:
    case QVDownLoadFileModel::Downloading: {
        const qint64 size = itemModel->fileSizeValue();
        setProgress(size > 0 ? float(double(itemModel->downLoadBytes() + itemModel->currentChunkBytes()) / double(size))
                             : 0.0f);
        m_progressView->show();
        break;
    }
    case QVDownLoadFileModel::Done:
        m_folderBtn->show();
        break;
    case QVDownLoadFileModel::Failed:
    case QVDownLoadFileModel::NetworkLost:
        m_continueBtn->show();
        break;
    default:
        m_overrunBtn->setPopoverTitle(warningKey(status));
        m_overrunBtn->setIsShowPopover(true);
        m_overrunBtn->show();
        break;
    }
    if (status >= QVDownLoadFileModel::Failed)
        m_failLabel->setText(localizable("transferFile_uploadFailed"));
}

void QVDownLoadFileListCellView::setProgress(float progress)
{
    m_progressView->setValue(int(qBound(0.0f, progress, 1.0f) * ProgressSteps));
}

void QVDownLoadFileListCellView::call(const Block &block)
{
    if (block && m_itemModel)
        block(m_itemModel);
}

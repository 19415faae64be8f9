#include "Main/ViewController/UploadFile/QVTransferFileListCellView.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>

#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVNamedImage.h"
#include "Main/ViewController/TransferFile/QVTransferRowParts.h"
#include "Main/ViewController/UploadFile/QVTransferProgressView.h"

using namespace QVTransferRowParts;

QVTransferFileListCellView::QVTransferFileListCellView(QWidget *parent) : QWidget(parent)
{
    setObjectName(Identifier);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 0, 8, 0);
    layout->setSpacing(10);

    m_titleLabel = new NameLabel(this);
    whiteText(m_titleLabel, 13);
    layout->addWidget(m_titleLabel, 1);

    m_failLabel = new QLabel(this);
    whiteText(m_failLabel, 12);
    layout->addWidget(m_failLabel);

    m_progressView = new QVTransferProgressView(this);
    m_progressView->setRange(0, ProgressSteps);
    m_progressView->setValue(0);
    m_progressView->setFixedSize(ProgressWidth, ProgressHeight);
    layout->addWidget(m_progressView);

    m_continueBtn = continueButton(localizable("transferFile_btn_continueUploading"), this);
    m_continueBtn->setMinimumWidth(80);
    layout->addWidget(m_continueBtn);

    // The done mark, drawn by the font.
    m_doneBtn = new QLabel(QStringLiteral("\u2714"), this);
    whiteText(m_doneBtn, 16);
    m_doneBtn->setFixedSize(24, 24);
    m_doneBtn->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_doneBtn);

    m_overrunBtn = imageButton(QStringLiteral("downLoadFile_row_warning"), this);
    layout->addWidget(m_overrunBtn);

    m_deleteBtn = imageButton(QStringLiteral("downLoadFile_row_delete"), this);
    layout->addWidget(m_deleteBtn);

    connect(m_continueBtn, &QAbstractButton::clicked, this, [this] { call(m_continueBtnClickBlock); });
    connect(m_deleteBtn, &QAbstractButton::clicked, this, [this] { call(m_deleteBtnClickBlock); });
    setItemModel(nullptr);
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

void QVTransferFileListCellView::setItemModel(const std::shared_ptr<QVUploadFileModel> &itemModel)
{
    m_itemModel = itemModel;
    QString title;
    if (itemModel) {
        const QUrl url = itemModel->fileHasBeenMoved() ? itemModel->sourceFileURL() : itemModel->fileURL();
        title = QFileInfo(url.toLocalFile()).fileName();
    }
    m_titleLabel->setText(title);
    m_titleLabel->setToolTip(plainToolTip(title));
    m_failLabel->clear();
    m_progressView->hide();
    m_continueBtn->hide();
    m_doneBtn->hide();
    m_deleteBtn->hide();
    m_overrunBtn->hide();
    m_overrunBtn->setPopoverTitle(QString());
    // The warning's tip shows on hover in every state it is shown in.
    m_overrunBtn->setIsShowPopover(true);
    if (!itemModel)
        return;

    const qint64 status = itemModel->uploadStatus();
    switch (status) {
    case QVUploadFileModel::Waiting:
    case QVUploadFileModel::Uploading:
        m_progressView->show();
        m_deleteBtn->show();
        break;
    case QVUploadFileModel::Done:
        m_doneBtn->show();
        break;
    case QVUploadFileModel::Failed:
    case QVUploadFileModel::Missing:
    case QVUploadFileModel::NetworkLost:
        m_continueBtn->show();
        m_deleteBtn->show();
        break;
    default:
        m_overrunBtn->setPopoverTitle(QCoreApplication::translate("Localizable", warningKey(status).toUtf8().constData()));
        m_overrunBtn->show();
        m_deleteBtn->show();
        break;
    }
    if (status == QVUploadFileModel::Failed || status >= QVUploadFileModel::TooLarge)
        m_failLabel->setText(localizable("transferFile_uploadFailed"));
}

void QVTransferFileListCellView::setProgress(float progress)
{
    m_progressView->setValue(int(qBound(0.0f, progress, 1.0f) * ProgressSteps));
}

float QVTransferFileListCellView::progress() const
{
    return float(m_progressView->value()) / ProgressSteps;
}

void QVTransferFileListCellView::call(const Block &block)
{
    if (block && m_itemModel)
        block(m_itemModel);
}

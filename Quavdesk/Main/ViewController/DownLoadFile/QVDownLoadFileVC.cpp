#include "Main/ViewController/DownLoadFile/QVDownLoadFileVC.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QTimer>

#include "BaseViewController/View/QVBaseButton.h"
#include "Main/Model/QVKVOModel.h"
#include "Main/ViewController/DownLoadFile/QVDownLoadFileListCellView.h"
#include "Main/ViewController/TransferFile/QVTransferListModel.h"
#include "Main/ViewController/TransferFile/QVTransferTableView.h"
#include "PublicManager/QVPageRegistry.h"
#include "PublicManager/QVPlatform.h"
#include "PublicManager/QVPublicTools.h"
#include "PublicManager/QVShareManager.h"

QV_REGISTER_PAGE(QVDownLoadFileVC)

namespace {

QString localizable(const char *key)
{
    return QCoreApplication::translate("Localizable", key);
}

const QString ShareScreenPage = QStringLiteral("QVShareScreenViewController");
const QString MainPage = QStringLiteral("QVMainViewController");

} // namespace

QVDownLoadFileVCServices QVDownLoadFileVCServices::linuxDefaults()
{
    return {QVDownloadEngineServices::linuxDefaults(), QVPlatform::services().fileRevealer};
}

QVDownLoadFileVC::QVDownLoadFileVC()
    : QVDownLoadFileVC(QVDownLoadFileVCServices::linuxDefaults())
{
}

QVDownLoadFileVC::QVDownLoadFileVC(QVDownLoadFileVCServices services, QWidget *parent)
    : QVTransferPageViewController(parent), m_services(std::move(services)),
      m_engine(std::make_unique<QVDownloadEngine>(m_services.engine))
{
    baseSetting();
    m_engine->checkFileApiWithIndex(0);
}

QVDownLoadFileVC::~QVDownLoadFileVC()
{
    m_engine->stop();
}

void QVDownLoadFileVC::baseSetting()
{
    QVPublicTools *tools = QVPublicTools::sharedPublicTools();
    // The list and the work queue hold the same files, in the order of the
    // hand-over.
    m_engine->addFiles(QVDownLoadFileModel::modelsWithHandOver(tools->downLoadFileListArray()));
    tools->vcCacheDictionary().insert(ClassName, this);
    refreshTransferFileBtnStyle(0);

    m_rows = new QVTransferRows<QVDownLoadFileModel>(
        m_engine->queue().fileNormalArray(),
        {[](const QVDownLoadFileModel &file) { return file.name(); },
         [](const QVDownLoadFileModel &file) { return file.downLoadStatus(); },
         [](const QVDownLoadFileModel &file, float) {
             // The running file is shown as started before its first bytes;
             // a waiting one shows just what is already in.
             if (file.downLoadStatus() == QVDownLoadFileModel::Downloading)
                 return QVDownloadEngine::progressOf(file);
             const qint64 size = file.fileSizeValue();
             return size > 0 ? float(double(file.downLoadBytes() + file.currentChunkBytes()) / double(size)) : 0.0f;
         }},
        this);
    tableView()->setRowDelegate(new QVDownLoadFileListCellView);
    tableView()->setModel(m_rows);
    connect(tableView(), &QVTransferTableView::partClicked, this, &QVDownLoadFileVC::onPartClicked);

    connect(m_engine.get(), &QVDownloadEngine::listChanged, this, &QVDownLoadFileVC::reloadTableView);
    connect(m_engine.get(), &QVDownloadEngine::fileChanged, this,
            [this](const QVDownloadEngine::File &file) { m_rows->refreshRow(rowOf(file)); });
    connect(m_engine.get(), &QVDownloadEngine::progressChanged, this,
            [this](const QVDownloadEngine::File &file, float progress) {
                m_rows->setReportedProgress(rowOf(file), progress);
            });
    connect(m_engine.get(), &QVDownloadEngine::transferFileBtnStyleChanged, this,
            [this](int style) { refreshTransferFileBtnStyle(style); });
    connect(m_engine.get(), &QVDownloadEngine::alertRequested, this, &QVDownLoadFileVC::onAlert);
}

void QVDownLoadFileVC::onPartClicked(int row, QVTransferRowDelegate::Part part)
{
    const QVDownloadEngine::File file = m_rows->fileAt(row);
    if (!file)
        return;
    switch (part) {
    case QVTransferRowDelegate::Continue:
        singleContinueWithModel(file);
        break;
    case QVTransferRowDelegate::Delete:
        singleDeleteWithModel(file);
        break;
    case QVTransferRowDelegate::Folder:
        folderBtnClickWithModel(file);
        break;
    default:
        break;
    }
}

int QVDownLoadFileVC::rowOf(const QVDownloadEngine::File &file) const
{
    return m_rows->rowOf(file);
}

void QVDownLoadFileVC::reloadTableView()
{
    // Rows come and go with the list at once; what they show is read again
    // once for several changes in one turn of the event loop, and only the
    // rows that changed are drawn again.
    if (m_reloadPending)
        return;
    m_reloadPending = true;
    QTimer::singleShot(0, this, [this] {
        m_reloadPending = false;
        m_rows->refresh();
    });
}

void QVDownLoadFileVC::singleDeleteWithModel(const QVDownloadEngine::File &file)
{
    QPointer<QVDownLoadFileVC> self(this);
    singleDeleteWithAction([self, file] {
        if (self)
            self->m_engine->deleteItemWithModel(file);
    });
}

void QVDownLoadFileVC::singleContinueWithModel(const QVDownloadEngine::File &file)
{
    m_engine->singleContinueWithModel(file);
    reloadTableView();
}

void QVDownLoadFileVC::folderBtnClickWithModel(const QVDownloadEngine::File &file)
{
    if (QVDownloadEngine::finalFileExists(file) && m_services.revealer) {
        m_services.revealer->revealFile(file->finalFileURL());
        return;
    }
    if (QVShareManager *manager = QVShareManager::sharedShareManager())
        manager->kvoModel()->setLocalFileDoesNotExist(true);
}

bool QVDownLoadFileVC::noPromptAgain() const
{
    return QVPublicTools::sharedPublicTools()->alert_downLoadFile_noPromptAgain();
}

void QVDownLoadFileVC::setNoPromptAgain(bool value)
{
    QVPublicTools::sharedPublicTools()->setAlert_downLoadFile_noPromptAgain(value);
}

QVTransferPageViewController::AlertTexts QVDownLoadFileVC::networkDisconnectTexts() const
{
    return {localizable("alert_downLoad_networkDisconnect"), localizable("alert_downLoad_networkDisconnect_cancel"),
            localizable("alert_downLoad_networkDisconnect_continue")};
}

void QVDownLoadFileVC::networkReconnection()
{
    m_engine->networkReconnection();
}

void QVDownLoadFileVC::onAlert(QVDownloadEngine::Alert alert)
{
    switch (alert) {
    case QVDownloadEngine::Alert::Busy:
        setServerCUPLoadAlertVC();
        break;
    case QVDownloadEngine::Alert::Refused:
        setServerRejectUploadAlertVC();
        break;
    case QVDownloadEngine::Alert::NetworkLost:
        setNetworkReconnectAlert();
        break;
    }
}

void QVDownLoadFileVC::applyTransferFileBtnStyle(qint64 style)
{
    if (style == 1) {
        transferFileBtn()->setText(localizable("downLoadFileList_btn_done"));
        describeLabel()->hide();
    } else {
        transferFileBtn()->setText(localizable("downLoadFileList_btn_cancel"));
        describeLabel()->show();
    }
}

void QVDownLoadFileVC::transferFileBtnClick()
{
    if (!m_engine->queue().workQueue().isEmpty())
        setCancelDownLoadAlertVC();
    else
        backToPreviousPage();
}

void QVDownLoadFileVC::setCancelDownLoadAlertVC()
{
    QPointer<QVDownLoadFileVC> self(this);
    showDefaultAlert({localizable("alert_downLoad_unfinishedFiles"), localizable("alert_continueDownload_cancel"),
                      localizable("alert_continueDownload_continue")},
                     [self] {
                         if (!self)
                             return;
                         self->m_engine->cancelHead();
                         self->removeAlertVC();
                         self->backToPreviousPage();
                     },
                     [self] {
                         if (self)
                             self->removeAlertVC();
                     });
}

void QVDownLoadFileVC::backToPreviousPage()
{
    if (m_leaving)
        return;
    m_leaving = true;
    // Nothing more is asked of the device once the page goes.
    m_engine->stop();
    QTimer::singleShot(0, this, [] {
        QVPublicTools *tools = QVPublicTools::sharedPublicTools();
        tools->vcCacheDictionary().remove(ClassName);
        const QString next = tools->vcCacheDictionary().contains(ShareScreenPage) ? ShareScreenPage : MainPage;
        if (QVRootViewControllerDelegate *host = tools->showNextViewDelegate())
            host->showNextPageViewWithClassStr(next);
        tools->closedFilePathSecurityScopedResource();
    });
}

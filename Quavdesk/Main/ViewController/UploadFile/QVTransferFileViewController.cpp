#include "Main/ViewController/UploadFile/QVTransferFileViewController.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVLoadingView.h"
#include "Main/Model/QVKVOModel.h"
#include "Main/ViewController/TransferFile/QVTransferListModel.h"
#include "Main/ViewController/TransferFile/QVTransferTableView.h"
#include "Main/ViewController/UploadFile/QVTransferFileListCellView.h"
#include "PublicManager/QVLog.h"
#include "PublicManager/QVPageRegistry.h"
#include "PublicManager/QVPublicTools.h"
#include "PublicManager/QVShareManager.h"
#include "QVNetWork.h"

QV_REGISTER_PAGE(QVTransferFileViewController)

namespace {

QString localizable(const char *key)
{
    return QCoreApplication::translate("Localizable", key);
}

QLabel *whiteLabel(const QString &text, int pixelSize, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    label->setWordWrap(true);
    return label;
}

const QString ShareScreenPage = QStringLiteral("QVShareScreenViewController");
const QString MainPage = QStringLiteral("QVMainViewController");

// Heights of the drop zone before and after files were added.
constexpr int SelectBodyHeight = 440;
constexpr int TransferBodyHeight = 475;

} // namespace

QVTransferFileVCServices QVTransferFileVCServices::linuxDefaults()
{
    return {QVUploadEngineServices::linuxDefaults(),
            [] { return QVShareManager::sharedShareManager()->kvoModel(); }};
}

QVTransferFileViewController::QVTransferFileViewController()
    : QVTransferFileViewController(QVTransferFileVCServices::linuxDefaults())
{
}

QVTransferFileViewController::QVTransferFileViewController(QVTransferFileVCServices services, QWidget *parent)
    : QVTransferPageViewController(parent), m_services(std::move(services)),
      m_engine(std::make_unique<QVUploadEngine>(m_services.engine))
{
    baseSetting();
    setTransferStatus(false);
}

QVTransferFileViewController::~QVTransferFileViewController()
{
    m_engine->stop();
    QObject::disconnect(m_engine.get(), nullptr, this, nullptr);
    for (const QMetaObject::Connection &observer : std::as_const(m_observers))
        QObject::disconnect(observer);
}

void QVTransferFileViewController::baseSetting()
{
    auto *layout = qobject_cast<QVBoxLayout *>(bgView()->layout());
    // The head: what the page does, under the program's name.
    m_headView = new QWidget(bgView());
    auto *headLayout = new QVBoxLayout(m_headView);
    headLayout->setContentsMargins(0, 0, 0, 0);
    m_transferTitleLabel = whiteLabel(localizable("transferFile_title"), 16, m_headView);
    m_transferToLabel = whiteLabel(localizable("transferFile_transferTo"), 13, m_headView);
    headLayout->addWidget(m_transferTitleLabel);
    headLayout->addWidget(m_transferToLabel);
    layout->insertWidget(1, m_headView);
    describeLabel()->setText(localizable("transferFile_transferringDescribe"));

    // The drop zone holds the rows.
    m_bodyView = new QVDraggingFileBgView(bgView());
    m_bodyView->setDelegate(this);
    m_bodyView->setAllowDraggingFile(true);
    m_bodyView->setAllowBack(true);
    auto *bodyLayout = new QVBoxLayout(m_bodyView);
    bodyLayout->setContentsMargins(8, 8, 8, 8);
    m_dragDescribeLabel = whiteLabel(localizable("transferFile_dragDescribe"), 14, m_bodyView);
    m_dragDescribeLabel->setAlignment(Qt::AlignCenter);
    bodyLayout->addWidget(m_dragDescribeLabel, 1);
    const int tableIndex = layout->indexOf(tableView());
    layout->removeWidget(tableView());
    tableView()->setParent(m_bodyView);
    bodyLayout->addWidget(tableView(), 1);
    layout->insertWidget(tableIndex, m_bodyView, 1);

    QVPublicTools::sharedPublicTools()->setIsInToUploadFilePage(true);
    m_rows = new QVTransferRows<QVUploadFileModel>(
        m_engine->queue().fileNormalArray(),
        {[](const QVUploadFileModel &file) {
             // The name the file was added under, also once it has gone.
             return QFileInfo(file.sourceFileURL().toLocalFile()).fileName();
         },
         [](const QVUploadFileModel &file) { return file.uploadStatus(); },
         [](const QVUploadFileModel &file, float reported) {
             // A row shows no progress until its file is sent; then the
             // offset the server named, until the first report.
             if (file.uploadStatus() != QVUploadFileModel::Uploading)
                 return 0.0f;
             return reported >= 0 ? reported : QVUploadEngine::progressOf(file, 0);
         }},
        this);
    tableView()->setRowDelegate(new QVTransferFileListCellView);
    tableView()->setModel(m_rows);
    connect(tableView(), &QVTransferTableView::partClicked, this, &QVTransferFileViewController::onPartClicked);

    QVUploadEngine *engine = m_engine.get();
    connect(engine, &QVUploadEngine::listChanged, this, &QVTransferFileViewController::reloadTableView);
    connect(engine, &QVUploadEngine::fileChanged, this,
            [this](const QVUploadEngine::File &file) { m_rows->refreshRow(rowOf(file)); });
    connect(engine, &QVUploadEngine::progressChanged, this, [this](const QVUploadEngine::File &file, float progress) {
        m_rows->setReportedProgress(rowOf(file), progress);
    });
    connect(engine, &QVUploadEngine::loadingChanged, this, [this](bool shown) {
        if (shown)
            loadingView()->showLoadingView();
        else
            hiddenLoadingView();
    });
    connect(engine, &QVUploadEngine::alertRequested, this, &QVTransferFileViewController::onAlert);
    connect(engine, &QVUploadEngine::fileDoesNotExist, this, [this] {
        if (QVKVOModel *model = m_services.kvoModel ? m_services.kvoModel() : nullptr)
            model->setFileDoesNotExist(true);
    });
    connect(engine, &QVUploadEngine::deleteFailed, this, [this] {
        if (QVKVOModel *model = m_services.kvoModel ? m_services.kvoModel() : nullptr)
            model->setUploadSuccess_deleteFail(true);
    });

    // Observation: the lists' counts and the casting connection.
    m_observers << connect(&engine->queue().workQueue(), &QVKVOMutableArrayBase::countChanged, this,
                           &QVTransferFileViewController::countsChanged);
    m_observers << connect(&engine->queue().fileFailArray(), &QVKVOMutableArrayBase::countChanged, this,
                           &QVTransferFileViewController::countsChanged);
    if (QVKVOModel *model = m_services.kvoModel ? m_services.kvoModel() : nullptr)
        m_observers << connect(model, &QVKVOModel::disconnectDeviceTypeChanged, this,
                               &QVTransferFileViewController::onDisconnectDeviceType);
    // The reachability watch runs from its first use.
    QVNetWork::shareNetWork();
}

QVLoadingView *QVTransferFileViewController::loadingView()
{
    if (!m_loadingView) {
        m_loadingView = new QVLoadingView(bgView()->rect(), bgView());
        m_loadingView->setBackgroundColor(Qt::gray);
        m_loadingView->setIsOpacity(true);
        m_loadingView->setOpacity(0.5);
        m_loadingView->hiddenLoadingView();
        m_loadingView->raise();
    }
    return m_loadingView;
}

void QVTransferFileViewController::hiddenLoadingView()
{
    if (m_loadingView)
        m_loadingView->hiddenLoadingView();
}

void QVTransferFileViewController::resizeEvent(QResizeEvent *event)
{
    QVTransferPageViewController::resizeEvent(event);
    if (m_loadingView)
        m_loadingView->setGeometry(bgView()->rect());
}

void QVTransferFileViewController::onPartClicked(int row, QVTransferRowDelegate::Part part)
{
    const QVUploadEngine::File file = m_rows->fileAt(row);
    if (!file)
        return;
    switch (part) {
    case QVTransferRowDelegate::Continue:
        m_engine->singleContinueWithModel(file);
        break;
    case QVTransferRowDelegate::Delete: {
        QPointer<QVTransferFileViewController> self(this);
        singleDeleteWithAction([self, file] {
            if (self)
                self->m_engine->deleteFileFromServer(file);
        });
        break;
    }
    default:
        break;
    }
}

int QVTransferFileViewController::rowOf(const QVUploadEngine::File &file) const
{
    return m_rows->rowOf(file);
}

void QVTransferFileViewController::reloadTableView()
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

void QVTransferFileViewController::countsChanged()
{
    refreshTransferFileBtnStyle(m_engine->queue().workQueue().isEmpty() ? 2 : 1);
    reloadTableView();
}

void QVTransferFileViewController::didReceiveFiles(const QList<QUrl> &files)
{
    m_bodyView->setAllowBack(false);
    const bool wasIdle = m_engine->queue().workQueue().isEmpty();
    addInitialDataWithArray(files);
    if (wasIdle)
        m_engine->getFileStartBytesWithIndex(0);
}

void QVTransferFileViewController::addInitialDataWithArray(const QList<QUrl> &files)
{
    m_engine->addInitialDataWithArray(files);
    setTransferStatus(true);
}

void QVTransferFileViewController::selectLocalFile()
{
    m_bodyView->setAllowBack(false);
    QPointer<QVTransferFileViewController> self(this);
    auto *panel = new QFileDialog(window());
    panel->setFileMode(QFileDialog::ExistingFiles);
    panel->setOption(QFileDialog::DontResolveSymlinks, true);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    connect(panel, &QFileDialog::filesSelected, this, [self](const QStringList &paths) {
        if (!self)
            return;
        QList<QUrl> urls;
        for (const QString &path : paths)
            urls.append(QUrl::fromLocalFile(path));
        // Only regular files: a folder, a link, a device or a pipe would
        // block the hash or send nothing the user meant.
        const QList<QUrl> files = QVDraggingFileBgView::regularFiles(urls);
        if (files.isEmpty())
            return;
        const bool wasIdle = self->m_engine->queue().workQueue().isEmpty();
        self->addInitialDataWithArray(files);
        if (wasIdle)
            self->m_engine->getFileStartBytesWithIndex(0);
    });
    connect(panel, &QFileDialog::rejected, this, [self] {
        if (!self)
            return;
        self->m_bodyView->setAllowBack(true);
        if (self->m_tavlinDisconnect) {
            QVLogInfo(QVLog::ContextDefault, QStringLiteral("selectLocalFile %1").arg(int(self->m_tavlinDisconnect)));
            self->backToPreviousPage();
        }
    });
    panel->open();
}

void QVTransferFileViewController::setTransferStatus(bool transferring)
{
    m_headView->setVisible(!transferring);
    // The window is the page's limit: the zone takes what is left, up to its
    // height of the layout.
    m_bodyView->setMaximumHeight(transferring ? TransferBodyHeight : SelectBodyHeight);
    m_dragDescribeLabel->setVisible(!transferring);
    tableView()->setVisible(transferring);
    describeLabel()->setVisible(transferring);
    refreshTransferFileBtnStyle(transferring ? 1 : 0);
}

void QVTransferFileViewController::applyTransferFileBtnStyle(qint64 style)
{
    switch (style) {
    case 0:
        transferFileBtn()->setText(localizable("transferFile_btn_selectFile"));
        describeLabel()->hide();
        break;
    case 1:
        transferFileBtn()->setText(localizable("transferFile_btn_cancelUpload"));
        describeLabel()->show();
        break;
    default:
        transferFileBtn()->setText(localizable("transferFile_btn_doneUpload"));
        describeLabel()->hide();
        break;
    }
}

void QVTransferFileViewController::transferFileBtnClick()
{
    switch (transferFileBtn()->property("tag").toLongLong()) {
    case 100:
        selectLocalFile();
        break;
    case 101:
        setCancelUploadAlert();
        break;
    case 102:
        backToPreviousPage();
        break;
    default:
        break;
    }
}

void QVTransferFileViewController::setNotEnoughSpaceAlert()
{
    showOneButtonAlert(localizable("alert_transferFile_notEnoughSpace"));
}

void QVTransferFileViewController::setCancelUploadAlert()
{
    QPointer<QVTransferFileViewController> self(this);
    showDefaultAlert({localizable("alert_transferFile_filesToBeUploaded"), localizable("transferFile_btn_cancelUpload"),
                      localizable("transferFile_btn_continueUploading")},
                     [self] {
                         if (!self)
                             return;
                         self->m_engine->cancelCurrentTask();
                         self->removeAlertVC();
                         self->backToPreviousPage();
                     },
                     [self] {
                         if (self)
                             self->removeAlertVC();
                     });
}

void QVTransferFileViewController::onAlert(QVUploadEngine::Alert alert)
{
    switch (alert) {
    case QVUploadEngine::Alert::NoSpace:
        setNotEnoughSpaceAlert();
        break;
    case QVUploadEngine::Alert::Refused:
        setServerRejectUploadAlertVC();
        break;
    case QVUploadEngine::Alert::Busy:
        setServerCUPLoadAlertVC();
        break;
    case QVUploadEngine::Alert::NetworkLost:
        setNetworkReconnectAlert();
        break;
    }
}

void QVTransferFileViewController::onDisconnectDeviceType(qint64 type)
{
    if (type >= 4)
        return;
    m_tavlinDisconnect = true;
    if (m_bodyView->allowBack())
        backToPreviousPage();
}

bool QVTransferFileViewController::noPromptAgain() const
{
    return QVPublicTools::sharedPublicTools()->alert_uploadFile_noPromptAgain();
}

void QVTransferFileViewController::setNoPromptAgain(bool value)
{
    QVPublicTools::sharedPublicTools()->setAlert_uploadFile_noPromptAgain(value);
}

QVTransferPageViewController::AlertTexts QVTransferFileViewController::networkDisconnectTexts() const
{
    return {localizable("alert_transferFile_networkDisconnect"), localizable("alert_btn_abortUpload"),
            localizable("alert_btn_reconnect")};
}

void QVTransferFileViewController::networkReconnection()
{
    m_engine->networkReconnection();
}

void QVTransferFileViewController::backToPreviousPage()
{
    if (m_leaving)
        return;
    m_leaving = true;
    // Nothing more is sent once the page goes.
    m_engine->stop();
    QTimer::singleShot(0, this, [this] {
        if (!m_kvoIsRemoved) {
            for (const QMetaObject::Connection &observer : std::as_const(m_observers))
                QObject::disconnect(observer);
            m_observers.clear();
            m_kvoIsRemoved = true;
        }
        QVPublicTools *tools = QVPublicTools::sharedPublicTools();
        tools->setIsInToUploadFilePage(false);
        if (QVRootViewControllerDelegate *host = tools->showNextViewDelegate())
            host->showNextPageViewWithClassStr(m_tavlinDisconnect ? MainPage : ShareScreenPage);
    });
}

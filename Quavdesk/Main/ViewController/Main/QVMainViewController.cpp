#include "Main/ViewController/Main/QVMainViewController.h"

#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVLoadingView.h"
#include "BaseViewController/View/QVNamedImage.h"
#include "BaseViewController/View/QVRotatingButton.h"
#include "Categories/QVViewAdd.h"
#include "Categories/RVColor.h"
#include "Main/Model/QVKVOModel.h"
#include "Main/Model/QVStorageModel.h"
#include "Main/ViewController/Main/QVInputViewController.h"
#include "Main/ViewController/Main/QVMainListCellView.h"
#include "Main/ViewController/PermissionPrompt/QVPermissionPromptVC.h"
#include "PublicManager/QVLog.h"
#include "PublicManager/QVNotificationCenter.h"
#include "PublicManager/QVPageRegistry.h"
#include "PublicManager/QVPublicTools.h"
#include "PublicManager/QVShareManager.h"
#include "TavlinLogText.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QShowEvent>

QV_REGISTER_PAGE(QVMainViewController)

namespace {

constexpr int kSideMargin = 20;
constexpr int kHeaderButtonSide = 32;

QString localizable(const char *key)
{
    return QCoreApplication::translate("Localizable", key);
}

QLabel *makeLabel(QWidget *parent, int pixelSize, bool bold, const char *hexColor)
{
    auto *label = new QLabel(parent);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, rv_colorWithHexString(QString::fromLatin1(hexColor)));
    label->setPalette(palette);
    return label;
}

QVMainViewController::VersionCheck &versionCheckSlot()
{
    static QVMainViewController::VersionCheck check;
    return check;
}

QVShareManager *shareManager()
{
    return QVShareManager::sharedShareManager();
}

QVStorageModel storageModel(const DeviceInformation &model, const QString &code)
{
    QVStorageModel storage;
    storage.setDeviceName(model.deviceName());
    storage.setDeviceIP(model.deviceIP());
    storage.setScreenCastingCode(code);
    return storage;
}

} // namespace

void QVMainViewController::setVersionCheck(VersionCheck check)
{
    versionCheckSlot() = std::move(check);
}

QVMainViewController::QVMainViewController(QWidget *parent)
    : QVBaseViewController(parent)
{
    setObjectName(ClassName);
    m_connectWatchdog.setSingleShot(true);
    connect(&m_connectWatchdog, &QTimer::timeout, this, &QVMainViewController::connectTimedOut);

    QVKVOModel *model = shareManager()->kvoModel();
    connect(model, &QVKVOModel::deviceListChanged, this, &QVMainViewController::deviceListChanged);

    setUpViews();
    QVPublicTools::sharedPublicTools()->vcCacheDictionary().insert(ClassName, this);
    m_shownDevices = model->deviceList();
    reloadData();

    QVNotificationCenter::defaultCenter()->addObserver(
        this, QVNotificationName::MainDownLoadFileList_Jump,
        [this](const QVariantMap &userInfo) { downLoadFileListJump(userInfo); });

    // The check may lay a dialog over the page: it runs once the page is in
    // its window.
    QMetaObject::invokeMethod(this, &QVMainViewController::runVersionCheck, Qt::QueuedConnection);
}

QVMainViewController::~QVMainViewController()
{
    QVNotificationCenter::defaultCenter()->removeObserver(this);
}

void QVMainViewController::setTimings(const QVMainViewControllerTimings &timings)
{
    m_timings = timings;
}

// ---------------------------------------------------------------------------
// Views

void QVMainViewController::setUpViews()
{
    m_bgView = new QVBackgrounView(this);
    m_bgView->setObjectName(QStringLiteral("bgView"));
    m_bgView->setBackgroundColor(Qt::white);

    m_appNameLabel = makeLabel(m_bgView, 22, true, "0x333333");
    m_appNameLabel->setObjectName(QStringLiteral("appNameLabel"));
    m_appNameLabel->setText(localizable(QT_TRANSLATE_NOOP("Localizable", "app_name")));
    m_titleLabel = makeLabel(m_bgView, 13, false, "0x999999");
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    m_titleLabel->setText(localizable(QT_TRANSLATE_NOOP("Localizable", "main_title")));

    m_refreshBtn = new QVRotatingButton(QVNamedImage(QStringLiteral("main_refresh")), m_bgView);
    m_refreshBtn->setObjectName(QStringLiteral("refreshBtn"));
    m_refreshBtn->setFixedSize(kHeaderButtonSide, kHeaderButtonSide);
    m_refreshBtn->setFocusPolicy(Qt::NoFocus);
    m_refreshBtn->setIsInteraction(true);
    connect(m_refreshBtn, &QAbstractButton::clicked, this, &QVMainViewController::refreshBtnClick);

    m_settingBtn = new QVBaseButton(m_bgView);
    m_settingBtn->setObjectName(QStringLiteral("settingBtn"));
    m_settingBtn->setImage(QVNamedImage(QStringLiteral("main_setting")));
    m_settingBtn->setFixedSize(kHeaderButtonSide, kHeaderButtonSide);
    m_settingBtn->setFocusPolicy(Qt::NoFocus);
    m_settingBtn->setIsInteraction(true);
    connect(m_settingBtn, &QAbstractButton::clicked, this, &QVMainViewController::settintBtnClick);

    m_tableView = new QListWidget(m_bgView);
    m_tableView->setObjectName(QStringLiteral("tableView"));
    m_tableView->setSelectionMode(QAbstractItemView::NoSelection);
    m_tableView->setFocusPolicy(Qt::NoFocus);
    m_tableView->setFrameShape(QFrame::NoFrame);
    m_tableView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_tableView->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // The rows draw themselves on the page's white; the list adds no fill.
    QPalette listPalette = m_tableView->palette();
    listPalette.setColor(QPalette::Base, Qt::transparent);
    m_tableView->setPalette(listPalette);
    m_tableView->viewport()->setAutoFillBackground(false);

    m_noDataView = new QWidget(m_bgView);
    m_noDataView->setObjectName(QStringLiteral("noDataView"));
    auto *noDataImage = new QLabel(m_noDataView);
    noDataImage->setObjectName(QStringLiteral("noDataImage"));
    noDataImage->setPixmap(QVNamedImage(QStringLiteral("main_noData")));
    noDataImage->setAlignment(Qt::AlignCenter);
    auto *noDataTitle = makeLabel(m_noDataView, 16, true, "0x333333");
    noDataTitle->setObjectName(QStringLiteral("noDataTitleLabel"));
    noDataTitle->setAlignment(Qt::AlignCenter);
    noDataTitle->setText(localizable(QT_TRANSLATE_NOOP("Localizable", "noData_title")));
    auto *noDataDetail = makeLabel(m_noDataView, 13, false, "0x666666");
    noDataDetail->setObjectName(QStringLiteral("noDataDetailLabel"));
    noDataDetail->setAlignment(Qt::AlignCenter);
    noDataDetail->setWordWrap(true);
    noDataDetail->setText(localizable(QT_TRANSLATE_NOOP("Localizable", "noData_describe")));
    auto *noData = new QVBoxLayout(m_noDataView);
    noData->setContentsMargins(40, 0, 40, 0);
    noData->setSpacing(10);
    noData->addStretch(2);
    noData->addWidget(noDataImage);
    noData->addSpacing(8);
    noData->addWidget(noDataTitle);
    noData->addWidget(noDataDetail);
    noData->addStretch(3);
    // The image and both texts stand back at half opacity.
    QVAdd::setLayerOpacity(m_noDataView, 0.5);

    auto *titles = new QVBoxLayout;
    titles->setSpacing(4);
    titles->addWidget(m_appNameLabel);
    titles->addWidget(m_titleLabel);
    auto *header = new QHBoxLayout;
    header->setContentsMargins(kSideMargin, 0, kSideMargin, 0);
    header->setSpacing(12);
    header->addLayout(titles, 1);
    header->addWidget(m_refreshBtn, 0, Qt::AlignVCenter);
    header->addWidget(m_settingBtn, 0, Qt::AlignVCenter);

    auto *page = new QVBoxLayout(m_bgView);
    page->setContentsMargins(0, 28, 0, 12);
    page->setSpacing(18);
    page->addLayout(header);
    page->addWidget(m_tableView, 1);
    page->addWidget(m_noDataView, 1);
}

void QVMainViewController::resizeEvent(QResizeEvent *event)
{
    QVBaseViewController::resizeEvent(event);
    m_bgView->setGeometry(rect());
    for (QWidget *overlay : {static_cast<QWidget *>(m_alertVC.data()),
                             static_cast<QWidget *>(m_permissionPromptVC.data())}) {
        if (overlay)
            overlay->setGeometry(rect());
    }
}

void QVMainViewController::layOver(QWidget *overlay)
{
    overlay->setGeometry(rect());
    overlay->raise();
    overlay->show();
}

// ---------------------------------------------------------------------------
// The list

void QVMainViewController::deviceListChanged(const QList<DeviceInformation> &devices)
{
    m_shownDevices = devices;
    reloadData();
}

void QVMainViewController::reloadData()
{
    m_tableView->clear();
    QPointer<QVMainViewController> page(this);
    for (const DeviceInformation &device : std::as_const(m_shownDevices)) {
        auto *item = new QListWidgetItem(m_tableView);
        item->setFlags(Qt::ItemIsEnabled);
        item->setSizeHint(QSize(0, QVMainListCellView::RowHeight));
        auto *cell = new QVMainListCellView;
        cell->setModel(device);
        cell->setConnectionBtnClickBlock([page](const DeviceInformation &model) {
            if (page)
                page->checkConnectDeviceStatusWithModel(model);
        });
        m_tableView->setItemWidget(item, cell);
    }
    const bool empty = m_shownDevices.isEmpty();
    m_noDataView->setVisible(empty);
    m_tableView->setVisible(!empty);
}

void QVMainViewController::refreshBtnClick()
{
    reloadData();
}

void QVMainViewController::settintBtnClick()
{
    QVNotificationCenter::defaultCenter()->postNotificationName(
        QVNotificationName::MainSettingBtnClick, {{QVNotificationName::OpenStatusKey, QStringLiteral("1")}});
    runVersionCheck();
}

void QVMainViewController::runVersionCheck()
{
    if (const VersionCheck &check = versionCheckSlot())
        check(*this);
}

void QVMainViewController::downLoadFileListJump(const QVariantMap &userInfo)
{
    // The casting screen answers "share".
    if (userInfo.value(QVNotificationName::JumpFromKey).toString() != QVNotificationName::JumpFromMain)
        return;
    if (QVRootViewControllerDelegate *host = QVPublicTools::sharedPublicTools()->showNextViewDelegate())
        host->showNextPageViewWithClassStr(DownLoadFileClassName);
}

// ---------------------------------------------------------------------------
// Connect

bool QVMainViewController::isLoading() const
{
    return m_loadingView && m_loadingView->isVisible();
}

void QVMainViewController::showLoadingView()
{
    if (!m_loadingView) {
        m_loadingView = new QVLoadingView(m_bgView->rect(), this);
        m_loadingView->setObjectName(QStringLiteral("loadingView"));
        m_loadingView->setBackgroundColor(QColor(128, 128, 128));
        m_loadingView->setIsOpacity(true);
        m_loadingView->setOpacity(0.5);
    }
    m_loadingView->setGeometry(m_bgView->geometry());
    // Above everything, the code dialog included: while a connect runs
    // nothing on the page takes a click.
    m_loadingView->raise();
    m_loadingView->showLoadingView();
    m_connectWatchdog.start(m_timings.connectWatchdogMs);
}

void QVMainViewController::hiddenLoadingView()
{
    m_connectWatchdog.stop();
    if (m_loadingView)
        m_loadingView->hiddenLoadingView();
}

void QVMainViewController::setConnectDeviceStatus(qint64 status)
{
    shareManager()->kvoModel()->setConnectDeviceStatus(status);
}

void QVMainViewController::checkConnectDeviceStatusWithModel(const DeviceInformation &model)
{
    QVLogInfo(0, QStringLiteral("QVMainViewController connect deviceName = %1, ip = %2")
                     .arg(escapedForLog(model.deviceName()), model.deviceIP()));
    m_reconnectBeforeCode = false;
    m_codeAwaitingRequest.clear();
    startConnect(model);
}

void QVMainViewController::startConnect(const DeviceInformation &model)
{
    QVShareManager *manager = shareManager();
    // The outcome block is in place before the connect starts, so that no
    // outcome can miss it.
    QPointer<QVMainViewController> page(this);
    const quint64 generation = ++m_connectGeneration;
    manager->setConnectDeviceStatusBlock([page, model, generation](qint64 status) {
        if (page)
            page->connectOutcome(model, status, generation);
    });
    showLoadingView();
    if (!manager->connectDeviceWithIp(model.deviceIP())) {
        // Refused at once (no address of our own, or no socket): no outcome
        // will come to end the wait.
        hiddenLoadingView();
        m_codeAwaitingRequest.clear();
        m_reconnectBeforeCode = true;
        setConnectDeviceStatus(4);
    }
}

void QVMainViewController::connectTimedOut()
{
    QVLogInfo(0, QStringLiteral("QVMainViewController connect got no answer in time"));
    // The user has been told it failed: whatever that connect says later
    // must change nothing.
    ++m_connectGeneration;
    hiddenLoadingView();
    m_codeAwaitingRequest.clear();
    m_reconnectBeforeCode = true;
    setConnectDeviceStatus(4);
}

void QVMainViewController::connectOutcome(const DeviceInformation &model, qint64 status, quint64 generation)
{
    if (generation != m_connectGeneration) {
        QVLogInfo(0, QStringLiteral("QVMainViewController late connect outcome %1 dropped").arg(status));
        // A session that came up after all is ended again, quietly (the
        // user was told the connect failed), once the library has finished
        // reporting it.
        if (status == 0) {
            QMetaObject::invokeMethod(this, [] {
                if (QVTavlinInterface *library = shareManager()->tavlinSDK())
                    library->disconnectWithDevice();
            }, Qt::QueuedConnection);
        }
        return;
    }
    hiddenLoadingView();
    switch (status) {
    case 0:
        removeAlertVC();
        setModelAndSwitchShareScreenVC(model);
        break;
    case 1:
        if (!m_codeAwaitingRequest.isEmpty() && m_alertVC) {
            // The receiver asks again on the new connection: the code the
            // user already typed goes out now.
            const QString code = m_codeAwaitingRequest;
            m_codeAwaitingRequest.clear();
            sendConnectPwdWithModel(model, code);
            break;
        }
        m_codeAwaitingRequest.clear();
        QMetaObject::invokeMethod(
            this, [this, model] { showAlertWithModel(model); }, Qt::QueuedConnection);
        break;
    case 2: {
        m_codeAwaitingRequest.clear();
        const TavlinError error = shareManager()->connectError();
        const bool wrongCode = error.domain == TavlinErrorDomain && error.code == 1;
        // Only the receiver's verdict proves a remembered code wrong; a
        // connection that failed says nothing about it.
        if (wrongCode)
            QVPublicTools::sharedPublicTools()->removeConnectStorageModel(storageModel(model, QString()),
                                                                          QVPublicTools::ConnectStorageModelKey);
        m_reconnectBeforeCode = !wrongCode;
        setConnectDeviceStatus(wrongCode ? 3 : 4);
        break;
    }
    default:
        break;
    }
}

void QVMainViewController::setModelAndSwitchShareScreenVC(const DeviceInformation &model)
{
    shareManager()->setConnectDeviceModel(model);
    if (QVRootViewControllerDelegate *host = QVPublicTools::sharedPublicTools()->showNextViewDelegate())
        host->showNextPageViewWithClassStr(ShareScreenClassName);
}

// ---------------------------------------------------------------------------
// Code dialog

void QVMainViewController::showAlertWithModel(const DeviceInformation &model)
{
    if (!m_alertVC) {
        m_alertVC = new QVInputViewController(this);
        m_alertVC->setSureBtnClickBlock(
            [this](const DeviceInformation &receiver, const QString &code) { sendConnectPwdWithModel(receiver, code); });
        m_alertVC->setCannelBtnClickBlock([this] { removeAlertVC(); });
    }
    m_alertVC->setModel(model);
    layOver(m_alertVC);
}

void QVMainViewController::removeAlertVC()
{
    m_codeAwaitingRequest.clear();
    if (QVInputViewController *dialog = m_alertVC.data()) {
        m_alertVC = nullptr;
        // Its own button may be what asked.
        dialog->hide();
        dialog->deleteLater();
    }
}

void QVMainViewController::sendConnectPwdWithModel(const DeviceInformation &model, const QString &codeStr)
{
    if (m_reconnectBeforeCode) {
        m_reconnectBeforeCode = false;
        m_codeAwaitingRequest = codeStr;
        startConnect(model);
        return;
    }
    QVShareManager *manager = shareManager();
    const bool accepted = manager->connectDeviceByIpCheckPwd(codeStr);
    const QVStorageModel storage = storageModel(model, codeStr);
    if (accepted) {
        // Sent: remembered until the receiver calls it wrong. The dialog
        // stays until the receiver answers.
        manager->setConnectDeviceModel(model);
        QVPublicTools::sharedPublicTools()->saveConnectStorageModel(storage, QVPublicTools::ConnectStorageModelKey);
        return;
    }
    // Not a code at all (length or characters): it is never sent.
    QVPublicTools::sharedPublicTools()->removeConnectStorageModel(storage, QVPublicTools::ConnectStorageModelKey);
    hiddenLoadingView();
    setConnectDeviceStatus(3);
}

// ---------------------------------------------------------------------------
// Permission prompt

void QVMainViewController::showEvent(QShowEvent *event)
{
    QVBaseViewController::showEvent(event);
    // Each time the page comes into view; a window coming back from the
    // task bar is no new appearance.
    if (!event->spontaneous())
        checkPermissions();
}

void QVMainViewController::checkPermissions()
{
    const std::shared_ptr<Platform::KeyValueStore> store = QVPublicTools::sharedPublicTools()->userDefaults();
    if (store && !store->contains(AppFirstUsedKey)) {
        // Never on the very first start.
        store->setValue(AppFirstUsedKey, QStringLiteral("1"));
        return;
    }
    if (!shareManager()->checkPermissions())
        showPermissionPromptVC();
}

void QVMainViewController::showPermissionPromptVC()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_permissionPromptVC) {
                m_permissionPromptVC = new QVPermissionPromptVC(this);
                m_permissionPromptVC->setClosedBtnClickBlock([this] { removePermissionPromptVC(); });
                m_permissionPromptVC->setToSettingBtnClickBlock([] {});
            }
            layOver(m_permissionPromptVC);
        },
        Qt::QueuedConnection);
}

void QVMainViewController::removePermissionPromptVC()
{
    if (QVPermissionPromptVC *prompt = m_permissionPromptVC.data()) {
        m_permissionPromptVC = nullptr;
        prompt->hide();
        prompt->deleteLater();
    }
}

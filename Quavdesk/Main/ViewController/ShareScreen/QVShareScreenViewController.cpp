#include "Main/ViewController/ShareScreen/QVShareScreenViewController.h"

#include "BaseViewController/View/QVAlertSlot.h"
#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVCustomButton.h"
#include "BaseViewController/View/QVDefaultAlertController.h"
#include "BaseViewController/View/QVLoadingView.h"
#include "BaseViewController/View/QVNamedImage.h"
#include "Categories/RVColor.h"
#include "Main/Model/QVKVOModel.h"
#include "Main/ViewController/Root/QVWindow.h"
#include "Main/ViewController/ShareScreen/QVFileTileView.h"
#include "Main/ViewController/ShareScreen/QVShareScreenLook.h"
#include "PublicManager/QVLog.h"
#include "PublicManager/QVNotificationCenter.h"
#include "PublicManager/QVPageRegistry.h"
#include "PublicManager/QVPublicTools.h"
#include "PublicManager/QVShareManager.h"

#include <QApplication>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>

QV_REGISTER_PAGE(QVShareScreenViewController)

namespace {

using QVShareScreenLook::localizable;

// Pages this one hands over to or waits for.
const QString kMainPage = QStringLiteral("QVMainViewController");
const QString kDownLoadFilePage = QStringLiteral("QVDownLoadFileVC");
const QString kDownLoadSelectFilePage = QStringLiteral("QVDownLoadSelectFileVC");

const QString kPageColor = QStringLiteral("0x5879FC");
const QString kOverlayColor = QStringLiteral("0x00000070");

struct SwitchStyle {
    const char *image;
    const char *title;
};
constexpr SwitchStyle kSwitchStyles[] = {
    {"detail_shareScreen_start", QT_TRANSLATE_NOOP("Localizable", "shareScreen_switchBtn_title_start")},
    {"detail_shareScreen_applying", QT_TRANSLATE_NOOP("Localizable", "shareScreen_switchBtn_title_applying")},
    {"detail_shareScreen_end", QT_TRANSLATE_NOOP("Localizable", "shareScreen_switchBtn_title_end")},
};

QVPageCache &pageCache()
{
    return QVPublicTools::sharedPublicTools()->vcCacheDictionary();
}

QLabel *makeLabel(QWidget *parent, const QString &name, int pixelSize, bool bold, double alpha)
{
    QColor color(Qt::white);
    color.setAlphaF(alpha);
    return QVShareScreenLook::makeLabel(parent, name, pixelSize, bold, color);
}

void setButtonStyle(QVCustomButton *button, qint64 style)
{
    button->setShareStyle(style);
    button->setText(QVPublicTools::getTitleNameWithStyle(style));
    button->setImage(QVNamedImage(QVPublicTools::getImageNameWithStyle(style)));
}

QVCustomButton *makeButton(QWidget *parent, const QString &name, qint64 cellStyle)
{
    auto *button = new QVCustomButton(parent);
    button->setObjectName(name);
    button->buttonCell()->setBtnStyle(cellStyle);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

QVShareScreenViewController::QVShareScreenViewController(QWidget *parent)
    : QVShareScreenViewController(QVShareScreenServices::pageDefaults(), parent)
{
}

QVShareScreenViewController::QVShareScreenViewController(QVShareScreenServices services, QWidget *parent)
    : QVBaseViewController(parent)
    , m_services(std::move(services))
{
    setObjectName(ClassName);
    addKVOObserver();
    addNotification();
    baseSetting();
    m_portArray = m_services.fileSharePorts;
    requestFileFunctions(0);
}

QVShareScreenViewController::~QVShareScreenViewController()
{
    QVNotificationCenter::defaultCenter()->removeObserver(this);
}

QVKVOModel *QVShareScreenViewController::model() const
{
    QVShareManager *manager = shareManager();
    return manager ? manager->kvoModel() : nullptr;
}

QVShareManager *QVShareScreenViewController::shareManager()
{
    return QVShareManager::sharedShareManager();
}

// ---------------------------------------------------------------------------
// Views

void QVShareScreenViewController::baseSetting()
{
    m_bgView = new QVBackgrounView(this);
    m_bgView->setObjectName(QStringLiteral("bgView"));
    m_bgView->setBackgroundColor(rv_colorWithHexString(kPageColor));

    m_appNameLabel = makeLabel(m_bgView, QStringLiteral("appNameLabel"), 20, true, 1.0);
    m_appNameLabel->setText(localizable(QT_TRANSLATE_NOOP("Localizable", "app_name")));
    m_appNameLabel->setGeometry(20, 22, 335, 28);
    m_connectLabel = makeLabel(m_bgView, QStringLiteral("connectLabel"), 13, false, 0.8);
    m_connectLabel->setText(localizable(QT_TRANSLATE_NOOP("Localizable", "shareScreen_connectedStatus")));
    m_connectLabel->setGeometry(20, 72, 335, 18);
    m_deviceNameLabel = makeLabel(m_bgView, QStringLiteral("deviceNameLabel"), 22, true, 1.0);
    m_deviceNameLabel->setGeometry(20, 92, 335, 30);
    m_connectDescribeLabel = makeLabel(m_bgView, QStringLiteral("connectDescribeLabel"), 12, false, 0.8);
    m_connectDescribeLabel->setWordWrap(true);
    m_connectDescribeLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_connectDescribeLabel->setText(localizable(QT_TRANSLATE_NOOP("Localizable", "shareScreen_connect_describe")));
    m_connectDescribeLabel->setGeometry(20, 130, 335, 34);

    m_switchBtn = makeButton(m_bgView, QStringLiteral("switchBtn"), 2);
    m_switchBtn->setGeometry(92, 172, 190, 124);
    auto *buttonRow = new QWidget(m_bgView);
    buttonRow->setObjectName(QStringLiteral("buttonRow"));
    buttonRow->setGeometry(20, 304, 335, 72);
    auto *rowLayout = new QHBoxLayout(buttonRow);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->setSpacing(8);
    m_freezeBtn = makeButton(buttonRow, QStringLiteral("freezeBtn"), 1);
    m_fullScreenBtn = makeButton(buttonRow, QStringLiteral("fullScreenBtn"), 1);
    m_disconnectBtn = makeButton(buttonRow, QStringLiteral("disconnectBtn"), 1);
    rowLayout->addStretch();
    for (QVCustomButton *button : {m_freezeBtn, m_fullScreenBtn, m_disconnectBtn}) {
        button->setFixedSize(104, 72);
        rowLayout->addWidget(button);
    }
    rowLayout->addStretch();
    initBtnStyle();

    m_transferFileBgView = new QWidget(m_bgView);
    m_transferFileBgView->setObjectName(QStringLiteral("transferFileBgView"));
    m_transferFileBgView->setGeometry(20, 392, TileWidth, TileHeight);
    m_downLoadFileBgView = new QWidget(m_bgView);
    m_downLoadFileBgView->setObjectName(QStringLiteral("downLoadFileBgView"));
    m_downLoadFileBgView->setGeometry(20, 514, TileWidth, TileHeight);
    makeTiles();

    m_alertSlot = new QVAlertSlot(m_bgView);
    loadingView();

    // Above everything: it takes every click while the download window is up.
    m_hoverBgView = new QVBackgrounView(this);
    m_hoverBgView->setObjectName(QStringLiteral("hoverBgView"));
    m_hoverBgView->setBackgroundColor(rv_colorWithHexString(kOverlayColor));
    m_hoverBgView->setIsBlockingEvents(true);
    m_hoverBgView->hide();

    pageCache().insert(ClassName, this);
}

void QVShareScreenViewController::resizeEvent(QResizeEvent *event)
{
    QVBaseViewController::resizeEvent(event);
    m_bgView->setGeometry(rect());
    m_hoverBgView->setGeometry(rect());
    if (m_permissionPromptVC)
        m_permissionPromptVC->setGeometry(rect());
    if (m_loadingView)
        m_loadingView->setGeometry(m_bgView->rect());
}

QVLoadingView *QVShareScreenViewController::loadingView()
{
    if (!m_loadingView) {
        m_loadingView = new QVLoadingView(m_bgView->rect(), m_bgView);
        m_loadingView->setObjectName(QStringLiteral("loadingView"));
        m_loadingView->setBackgroundColor(Qt::gray);
        m_loadingView->setIsOpacity(true);
        m_loadingView->setOpacity(0.5);
        m_loadingView->hiddenLoadingView();
    }
    return m_loadingView;
}

void QVShareScreenViewController::showEvent(QShowEvent *event)
{
    QVBaseViewController::showEvent(event);
    viewWillAppear();
}

void QVShareScreenViewController::viewWillAppear()
{
    QVShareManager *manager = shareManager();
    // A name longer than the label ends in an ellipsis, not at its edge.
    const QString name = manager ? manager->connectDeviceModel().deviceName() : QString();
    m_deviceNameLabel->setText(
        m_deviceNameLabel->fontMetrics().elidedText(name, Qt::ElideRight, m_deviceNameLabel->width()));
    if (QVKVOModel *kvo = model(); kvo && kvo->castScreenStatus() == 1)
        resetBtnStyle();
    // Until the receiver has named its functions, its search reply's extra
    // text is the best guess at whether it takes uploads.
    if (!m_functionsAnswered && manager)
        m_transferFileView->setSupportFunction(!manager->getCustomBroadcastString().isEmpty());
}

// ---------------------------------------------------------------------------
// Button styles

void QVShareScreenViewController::initBtnStyle()
{
    m_disconnectBtn->setText(localizable(QT_TRANSLATE_NOOP("Localizable", "shareScreen_disconnectBtn_title")));
    m_disconnectBtn->setImage(QVNamedImage(QStringLiteral("detail_disconnect_switch")));
    m_disconnectBtn->buttonCell()->setBtnStyle(1);
    connect(m_disconnectBtn, &QAbstractButton::clicked, this, &QVShareScreenViewController::disconnectBtnClick);

    setButtonStyle(m_freezeBtn, StyleFreeze);
    m_freezeBtn->buttonCell()->setBtnStyle(1);
    m_freezeBtn->hide();
    connect(m_freezeBtn, &QAbstractButton::clicked, this, &QVShareScreenViewController::freezeBtnClick);

    setSwitchBtnStyle(0);
    QFont font = QApplication::font();
    font.setPixelSize(15);
    m_switchBtn->buttonCell()->setTextFont(font);
    m_switchBtn->buttonCell()->setBtnStyle(2);
    connect(m_switchBtn, &QAbstractButton::clicked, this, &QVShareScreenViewController::switchBtnClick);

    setButtonStyle(m_fullScreenBtn, StyleFullScreen);
    m_fullScreenBtn->buttonCell()->setBtnStyle(1);
    m_fullScreenBtn->hide();
    connect(m_fullScreenBtn, &QAbstractButton::clicked, this, &QVShareScreenViewController::fullScreenBtnClick);
}

void QVShareScreenViewController::setSwitchBtnStyle(qint64 style)
{
    m_switchBtnTag = SwitchTagStart + style;
    if (style < 0 || style > 2)
        return;
    m_switchBtn->setText(localizable(kSwitchStyles[style].title));
    m_switchBtn->setImage(QVNamedImage(QString::fromLatin1(kSwitchStyles[style].image)));
}

void QVShareScreenViewController::showConnectStatusBtn()
{
    m_freezeBtn->show();
    QVKVOModel *kvo = model();
    m_fullScreenBtn->setVisible(kvo && kvo->allowFullScreenStatus() == 1);
}

void QVShareScreenViewController::resetBtnStyle()
{
    setButtonStyle(m_freezeBtn, StyleFreeze);
    m_freezeBtn->hide();
    // The title and image only: the tag keeps saying what a click does.
    m_switchBtn->setText(localizable(kSwitchStyles[0].title));
    m_switchBtn->setImage(QVNamedImage(QString::fromLatin1(kSwitchStyles[0].image)));
    setButtonStyle(m_fullScreenBtn, StyleFullScreen);
    m_fullScreenBtn->hide();
}

void QVShareScreenViewController::applyFreezeStyle(qint64 style)
{
    setButtonStyle(m_freezeBtn, style);
}

void QVShareScreenViewController::applyFullScreenStyle(qint64 style)
{
    setButtonStyle(m_fullScreenBtn, style);
}

// ---------------------------------------------------------------------------
// Tiles and the main buttons' hover

bool QVShareScreenViewController::tilesEnabled() const
{
    return !m_castBusy && !m_downLoadWindowOpen && !m_requestRunning && !m_probing && !m_askingConsent
        && !checkShowingAlert();
}

void QVShareScreenViewController::setHoverStatus(bool castIdle)
{
    m_castBusy = !castIdle;
    applyHoverStatus();
}

void QVShareScreenViewController::refreshHoverStatus()
{
    if (m_hoverRefreshQueued)
        return;
    m_hoverRefreshQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_hoverRefreshQueued = false;
            applyHoverStatus();
        },
        Qt::QueuedConnection);
}

void QVShareScreenViewController::applyHoverStatus()
{
    const bool enabled = tilesEnabled();
    // Dimmed while they wait for the cast or for the receiver's answer; an
    // alert, the loading view or the overlay covers them otherwise.
    const double opacity = (m_castBusy || m_probing) ? TileDimmedOpacity : 1.0;
    for (QVFileTileView *tile : {static_cast<QVFileTileView *>(m_transferFileView),
                                 static_cast<QVFileTileView *>(m_downLoadFileView)}) {
        tile->setHoverState(enabled);
        tile->setOpacity(opacity);
    }
    const bool uncovered = !m_downLoadWindowOpen && !m_requestRunning && !m_askingConsent && !checkShowingAlert();
    m_disconnectBtn->setIsInteraction(uncovered);
    m_switchBtn->setIsInteraction(uncovered);
}

void QVShareScreenViewController::openDownLoadPageWithStatus(bool closed)
{
    m_downLoadWindowOpen = !closed;
    QMetaObject::invokeMethod(
        this,
        [this, closed] {
            m_hoverBgView->setVisible(!closed);
            if (!closed)
                m_hoverBgView->raise();
        },
        Qt::QueuedConnection);
    refreshHoverStatus();
}

// ---------------------------------------------------------------------------
// Buttons

void QVShareScreenViewController::disconnectBtnClick()
{
    if (QVShareManager *manager = shareManager())
        manager->disconnectWithDevice();
}

void QVShareScreenViewController::backBtnClick(QObject *)
{
    disconnectBtnClick();
}

void QVShareScreenViewController::switchBtnClick()
{
    QVShareManager *manager = shareManager();
    if (!manager)
        return;
    if (!manager->checkPermissions()) {
        showPermissionPromptVC();
        return;
    }
    switch (m_switchBtnTag) {
    case SwitchTagEnd:
        setSwitchBtnStyle(0);
        // The tiles come back with the end of the cast; nothing else brings
        // them back should the library have nothing left to stop.
        m_castBusy = false;
        manager->stopMirror();
        applyHoverStatus();
        break;
    case SwitchTagStart:
        if (shouldAskRemoteInputConsent()) {
            askRemoteInputConsent();
            return;
        }
        startCast();
        break;
    default:
        // Waiting for the receiver's answer: the library answers every
        // start, at the latest when the request times out.
        break;
    }
}

void QVShareScreenViewController::startCast()
{
    setSwitchBtnStyle(1);
    if (QVShareManager *manager = shareManager())
        manager->startMirror();
    setHoverStatus(false);
}

bool QVShareScreenViewController::shouldAskRemoteInputConsent() const
{
    const auto &consent = m_services.remoteInputConsent;
    if (!consent || consent->isGiven() || m_remoteInputAskedHere)
        return false;
    const auto &settings = m_services.settings;
    return !settings || !settings->value(QVShareScreenServices::RemoteInputAskedKey).toBool();
}

void QVShareScreenViewController::keepRemoteInputConsent(bool given)
{
    m_remoteInputAskedHere = true;
    if (m_services.remoteInputConsent)
        m_services.remoteInputConsent->setGiven(given);
    if (m_services.settings)
        m_services.settings->setValue(QVShareScreenServices::RemoteInputAskedKey, true);
}

void QVShareScreenViewController::askRemoteInputConsent()
{
    auto *alert = m_alertSlot->present<QVDefaultAlertController>();
    if (!alert)
        return;
    alert->setObjectName(QStringLiteral("remoteInputConsentAlert"));
    alert->setAlertType(1);
    alert->titleLabel()->setText(localizable(QT_TRANSLATE_NOOP("Localizable", "shareScreen_remoteInput_title")));
    alert->contentLabel()->setText(localizable(QT_TRANSLATE_NOOP("Localizable", "shareScreen_remoteInput_describe")));
    alert->doubleLeftBtn()->setText(localizable(QT_TRANSLATE_NOOP("Localizable", "shareScreen_remoteInput_deny")));
    alert->doubleRightBtn()->setText(localizable(QT_TRANSLATE_NOOP("Localizable", "shareScreen_remoteInput_allow")));
    m_askingConsent = true;
    applyHoverStatus();
    const QPointer<QVShareScreenViewController> self(this);
    const auto answer = [self](bool given) {
        if (!self)
            return;
        self->m_askingConsent = false;
        self->m_alertSlot->dismiss();
        self->keepRemoteInputConsent(given);
        QVLogInfo(0, QStringLiteral("remote input during casts %1").arg(given ? "allowed" : "refused"));
        // The answer only decides about the receiver's mouse and keyboard:
        // the cast the user asked for starts either way.
        self->startCast();
    };
    alert->setDoubleLeftBtnClickBlock([answer] { answer(false); });
    alert->setDoubleRightBtnClickBlock([answer] { answer(true); });
}

void QVShareScreenViewController::freezeBtnClick()
{
    QVShareManager *manager = shareManager();
    if (!manager)
        return;
    if (m_freezeBtn->shareStyle() == StyleFreeze) {
        // The frozen picture must not show this program's windows.
        QMetaObject::invokeMethod(
            this,
            [] {
                for (QWidget *widget : QApplication::topLevelWidgets()) {
                    auto *window = qobject_cast<QVWindowChrome *>(widget);
                    if (!window || !window->isVisible())
                        continue;
                    if (!qobject_cast<QVWindow *>(window) && !qobject_cast<QVSettingWindow *>(window))
                        continue;
                    window->orderOut();
                    window->showMinimized();
                }
            },
            Qt::QueuedConnection);
        applyFreezeStyle(StyleUnFreeze);
        QTimer::singleShot(m_services.freezeDelayMs, this, [this] {
            QVShareManager *later = shareManager();
            // A freeze the library turns down is not shown as done.
            if (!later || !later->setPauseCastStatus(1))
                applyFreezeStyle(StyleFreeze);
        });
        return;
    }
    if (manager->setPauseCastStatus(0))
        applyFreezeStyle(StyleFreeze);
}

void QVShareScreenViewController::fullScreenBtnClick()
{
    QVShareManager *manager = shareManager();
    if (!manager)
        return;
    if (m_fullScreenBtn->shareStyle() == StyleFullScreen) {
        if (manager->setFullScreenStatus(1))
            applyFullScreenStyle(StyleUnFullScreen);
        return;
    }
    if (manager->setFullScreenStatus(0))
        applyFullScreenStyle(StyleFullScreen);
}

// ---------------------------------------------------------------------------
// The session model

void QVShareScreenViewController::addKVOObserver()
{
    QVKVOModel *kvo = model();
    if (!kvo)
        return;
    m_observedModel = kvo;
    // Each reaction runs after the writer has finished, as a later turn of
    // the event loop: a start answered at once is then seen after the start.
    connect(kvo, &QVKVOModel::fullScreenStatusStyleChanged, this, [this](qint64 value) {
        if (m_kvoIsRemoved)
            return;
        if (value == 1)
            applyFullScreenStyle(StyleUnFullScreen);
        else if (value == 0)
            applyFullScreenStyle(StyleFullScreen);
    }, Qt::QueuedConnection);
    connect(kvo, &QVKVOModel::castScreenStatusChanged, this, [this](qint64 value) {
        if (m_kvoIsRemoved)
            return;
        if (value == 0)
            castDidStart();
        else if (value == 1)
            castDidEnd();
    }, Qt::QueuedConnection);
    connect(kvo, &QVKVOModel::disconnectDeviceTypeChanged, this, [this](qint64 value) {
        if (!m_kvoIsRemoved)
            deviceDidDisconnect(value);
    }, Qt::QueuedConnection);
    connect(kvo, &QVKVOModel::replyCastStatusChanged, this, [this](qint64 value) {
        if (m_kvoIsRemoved)
            return;
        if (value == 1)
            castDidStart();
        else if (value == 0 || value == 2)
            castRequestDidEnd();
    }, Qt::QueuedConnection);
}

void QVShareScreenViewController::removeKVOObserver()
{
    if (!m_kvoIsRemoved) {
        if (QVKVOModel *kvo = m_observedModel.data())
            disconnect(kvo, nullptr, this, nullptr);
    }
    m_kvoIsRemoved = true;
}

void QVShareScreenViewController::castDidStart()
{
    setSwitchBtnStyle(2);
    showConnectStatusBtn();
    setHoverStatus(false);
}

void QVShareScreenViewController::castDidEnd()
{
    setSwitchBtnStyle(0);
    resetBtnStyle();
    setHoverStatus(true);
}

void QVShareScreenViewController::castRequestDidEnd()
{
    setSwitchBtnStyle(0);
    setHoverStatus(true);
}

void QVShareScreenViewController::deviceDidDisconnect(qint64 type)
{
    if (type < 0 || type > 3)
        return;
    resetBtnStyle();
    setSwitchBtnStyle(0);
    setHoverStatus(true);
    removeAlertVC();
    removePermissionPromptVC();
    // The session is over: the next connect, maybe to another receiver,
    // makes a screen of its own.
    pageCache().remove(ClassName);
    removeKVOObserver();
    if (QVPublicTools::sharedPublicTools()->isInToUploadFilePage()) {
        // The upload page reports the disconnect and leaves by itself.
        removeNotification();
        return;
    }
    QVPageCache &cache = pageCache();
    if (cache.contains(kDownLoadFilePage) || cache.contains(kDownLoadSelectFilePage)) {
        // The download window is still up: this page stays under its overlay
        // and leaves when the window closes.
        return;
    }
    returnToReceiverList();
}

void QVShareScreenViewController::returnToReceiverList()
{
    removeNotification();
    if (QVRootViewControllerDelegate *host = QVPublicTools::sharedPublicTools()->showNextViewDelegate())
        host->showNextPageViewWithClassStr(kMainPage);
}

// ---------------------------------------------------------------------------
// The download window

void QVShareScreenViewController::addNotification()
{
    QVNotificationCenter *center = QVNotificationCenter::defaultCenter();
    center->addObserver(this, QVNotificationName::MainDownLoadFileList_Jump,
                        [this](const QVariantMap &userInfo) { downLoadFileListJump(userInfo); });
    center->addObserver(this, QVNotificationName::MainDownLoadSelectFile_Close,
                        [this](const QVariantMap &userInfo) { downLoadSelectFilePageIsClosed(userInfo); });
}

void QVShareScreenViewController::removeNotification()
{
    QVNotificationCenter *center = QVNotificationCenter::defaultCenter();
    center->removeObserver(this, QVNotificationName::MainDownLoadFileList_Jump);
    center->removeObserver(this, QVNotificationName::MainDownLoadSelectFile_Close);
}

void QVShareScreenViewController::downLoadFileListJump(const QVariantMap &userInfo)
{
    if (userInfo.value(QVNotificationName::JumpFromKey).toString() != QVNotificationName::JumpFromShare)
        return;
    if (QVRootViewControllerDelegate *host = QVPublicTools::sharedPublicTools()->showNextViewDelegate())
        host->showNextPageViewWithClassStr(kDownLoadFilePage);
}

void QVShareScreenViewController::downLoadSelectFilePageIsClosed(const QVariantMap &)
{
    QVPageCache &cache = pageCache();
    cache.remove(kDownLoadSelectFilePage);
    if (!cache.contains(ClassName)) {
        // The receiver went while the window was open.
        removeKVOObserver();
        returnToReceiverList();
        return;
    }
    openDownLoadPageWithStatus(true);
}

// ---------------------------------------------------------------------------
// Permission prompt

void QVShareScreenViewController::showPermissionPromptVC()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_permissionPromptVC) {
                m_permissionPromptVC = new QVPermissionPromptVC(this);
                m_permissionPromptVC->setClosedBtnClickBlock([this] { removePermissionPromptVC(); });
                // This desktop has no privacy settings to open; the button
                // stays hidden and its block does nothing.
                m_permissionPromptVC->setToSettingBtnClickBlock([] {});
            }
            m_permissionPromptVC->setGeometry(rect());
            m_permissionPromptVC->show();
            m_permissionPromptVC->raise();
        },
        Qt::QueuedConnection);
}

void QVShareScreenViewController::removePermissionPromptVC()
{
    if (QVPermissionPromptVC *prompt = m_permissionPromptVC.data()) {
        m_permissionPromptVC.clear();
        prompt->hide();
        prompt->deleteLater();
    }
}

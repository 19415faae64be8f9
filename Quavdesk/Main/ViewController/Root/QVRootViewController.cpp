#include "Main/ViewController/Root/QVRootViewController.h"

#include "Main/Model/QVKVOModel.h"
#include "Main/ViewController/Root/QVApplicationMenu.h"
#include "PublicManager/QVLog.h"
#include "PublicManager/QVPublicTools.h"
#include "PublicManager/QVShareManager.h"
#include "QVServiceAddresses.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QMenu>

#include <cstring>
#include <optional>

namespace {

QString localizable(const char *key)
{
    return QCoreApplication::translate("Localizable", key);
}

// The session model's keys the banner reports.
constexpr const char *DisconnectDeviceType = "disconnectDeviceType";
constexpr const char *FullScreenStatus = "fullScreenStatus";
constexpr const char *ReplyCastStatus = "replyCastStatus";
constexpr const char *ConnectDeviceStatus = "connectDeviceStatus";
constexpr const char *FileDoesNotExist = "fileDoesNotExist";
constexpr const char *UploadSuccessDeleteFail = "uploadSuccess_deleteFail";
constexpr const char *DownLoadFileDoesNotExist = "downLoadFileDoesNotExist";
constexpr const char *LocalFileDoesNotExist = "localFileDoesNotExist";

struct Tip {
    const char *text;
    qint64 type;
};

// The message for the model's value now; none for values that say nothing.
std::optional<Tip> tipFor(const char *keyPath, const QVKVOModel &model)
{
    const auto is = [keyPath](const char *key) { return std::strcmp(keyPath, key) == 0; };
    if (is(DisconnectDeviceType)) {
        const qint64 reason = model.disconnectDeviceType();
        // While the upload page is shown it reports the disconnect itself.
        if (reason >= 0 && reason <= 3 && !QVPublicTools::sharedPublicTools()->isInToUploadFilePage())
            return Tip{QT_TRANSLATE_NOOP("Localizable", "shareScreen_disconnected"), QVTipsBanner::TypeGood};
    } else if (is(FullScreenStatus)) {
        if (model.fullScreenStatus() == 1)
            return Tip{QT_TRANSLATE_NOOP("Localizable", "shareScreen_request_fullScreen"), QVTipsBanner::TypeGood};
        if (model.fullScreenStatus() == 0)
            return Tip{QT_TRANSLATE_NOOP("Localizable", "shareScreen_request_unFullScreen"), QVTipsBanner::TypeGood};
    } else if (is(ReplyCastStatus)) {
        if (model.replyCastStatus() == 2)
            return Tip{QT_TRANSLATE_NOOP("Localizable", "main_requestScreenCasting_timeOut"), QVTipsBanner::TypeBad};
        if (model.replyCastStatus() == 0)
            return Tip{QT_TRANSLATE_NOOP("Localizable", "main_requestScreenCasting_refuse"), QVTipsBanner::TypeBad};
    } else if (is(ConnectDeviceStatus)) {
        if (model.connectDeviceStatus() == 4)
            return Tip{QT_TRANSLATE_NOOP("Localizable", "main_connection_failed"), QVTipsBanner::TypeBad};
        if (model.connectDeviceStatus() == 3)
            return Tip{QT_TRANSLATE_NOOP("Localizable", "main_enter_correct_code"), QVTipsBanner::TypeBad};
    } else if (is(FileDoesNotExist)) {
        return Tip{QT_TRANSLATE_NOOP("Localizable", "main_localFile_fileDoesNotExist"), QVTipsBanner::TypeBad};
    } else if (is(UploadSuccessDeleteFail)) {
        return Tip{QT_TRANSLATE_NOOP("Localizable", "transferFile_deleteFail"), QVTipsBanner::TypeBad};
    } else if (is(DownLoadFileDoesNotExist)) {
        return Tip{QT_TRANSLATE_NOOP("Localizable", "main_downLoadFile_serverFileDoesNotExist"),
                   QVTipsBanner::TypeBad};
    } else if (is(LocalFileDoesNotExist)) {
        return Tip{QT_TRANSLATE_NOOP("Localizable", "main_downLoadFile_localFileDoesNotExist"),
                   QVTipsBanner::TypeBad};
    }
    return std::nullopt;
}

} // namespace

QVRootViewController::QVRootViewController(QWidget *parent)
    : QVPageHost(parent)
    , m_tipsBanner(new QVTipsBanner(this))
{
    setObjectName(QStringLiteral("QVRootViewController"));
    addPrivacyPolicymenuItem();
    QVPublicTools::sharedPublicTools()->setShowNextViewDelegate(this);
    showNextPageViewWithClassStr(FirstPage);
    addKVOObserver();
}

QVRootViewController::~QVRootViewController() = default;

void QVRootViewController::showNextPageViewWithClassStr(const QString &classStr)
{
    QMetaObject::invokeMethod(this, [this, classStr] { switchToPage(classStr); }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------
// Privacy item

QUrl QVRootViewController::privacyPolicyUrl()
{
    const QString site = QVServiceAddresses::webSiteUrl();
    if (site.isEmpty())
        return QUrl();
    return QUrl(site + PrivacyPath + QVPublicTools::sharedPublicTools()->getAppSupportLanguageForH5());
}

void QVRootViewController::addPrivacyPolicymenuItem()
{
    m_privacyAction = new QAction(localizable(QT_TRANSLATE_NOOP("Localizable", "app_menu_privacy")), this);
    m_privacyAction->setObjectName(QStringLiteral("privacyPolicyAction"));
    // Without a known web site there is no page to open.
    m_privacyAction->setEnabled(!privacyPolicyUrl().isEmpty());
    connect(m_privacyAction, &QAction::triggered, this, &QVRootViewController::clickAction);
    if (QMenu *menu = QVApplicationMenu::menu()) {
        const QList<QAction *> actions = menu->actions();
        menu->insertAction(actions.value(1, nullptr), m_privacyAction);
    }
}

void QVRootViewController::clickAction()
{
    const QUrl url = privacyPolicyUrl();
    if (url.isEmpty())
        return;
    QVLogInfo(0, QStringLiteral("QVRootViewController open privacy policy %1").arg(url.toString()));
    QDesktopServices::openUrl(url);
}

// ---------------------------------------------------------------------------
// Tip banner

void QVRootViewController::mainThreadRefrshTipsWithTitle(const QString &text, qint64 type)
{
    QMetaObject::invokeMethod(
        this, [this, text, type] { m_tipsBanner->showTipsWithTitle(text, type); }, Qt::QueuedConnection);
}

void QVRootViewController::addKVOObserver()
{
    QVKVOModel *model = QVShareManager::sharedShareManager()->kvoModel();
    m_observedModel = model;
    // Writes may come from any thread: the host reads the model as it is told
    // and hops to its own thread before it touches a view.
    const auto observe = [this](const char *keyPath) {
        return [this, keyPath] { observeValueForKeyPath(keyPath); };
    };
    connect(model, &QVKVOModel::disconnectDeviceTypeChanged, this, observe(DisconnectDeviceType),
            Qt::DirectConnection);
    connect(model, &QVKVOModel::fullScreenStatusChanged, this, observe(FullScreenStatus), Qt::DirectConnection);
    connect(model, &QVKVOModel::replyCastStatusChanged, this, observe(ReplyCastStatus), Qt::DirectConnection);
    connect(model, &QVKVOModel::connectDeviceStatusChanged, this, observe(ConnectDeviceStatus), Qt::DirectConnection);
    connect(model, &QVKVOModel::fileDoesNotExistChanged, this, observe(FileDoesNotExist), Qt::DirectConnection);
    connect(model, &QVKVOModel::uploadSuccess_deleteFailChanged, this, observe(UploadSuccessDeleteFail),
            Qt::DirectConnection);
    connect(model, &QVKVOModel::downLoadFileDoesNotExistChanged, this, observe(DownLoadFileDoesNotExist),
            Qt::DirectConnection);
    connect(model, &QVKVOModel::localFileDoesNotExistChanged, this, observe(LocalFileDoesNotExist),
            Qt::DirectConnection);
}

void QVRootViewController::observeValueForKeyPath(const char *keyPath)
{
    const QVKVOModel *model = m_observedModel.data();
    if (!model)
        return;
    if (const std::optional<Tip> tip = tipFor(keyPath, *model))
        mainThreadRefrshTipsWithTitle(localizable(tip->text), tip->type);
}

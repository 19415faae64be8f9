// The casting screen's file-share entry: which file functions the receiver
// offers, its file-share code, and the alerts that say what stands in the way.

#include "Main/ViewController/ShareScreen/QVShareScreenViewController.h"

#include "AFNetwork/QVFileShareApi.h"
#include "BaseViewController/View/QVAlertSlot.h"
#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVDefaultAlertController.h"
#include "BaseViewController/View/QVHaveInputAlertController.h"
#include "BaseViewController/View/QVLoadingView.h"
#include "Main/Model/QVStorageModel.h"
#include "Main/ViewController/ShareScreen/QVFileTileView.h"
#include "Main/ViewController/ShareScreen/QVShareScreenLook.h"
#include "PublicManager/QVLog.h"
#include "PublicManager/QVNotificationCenter.h"
#include "PublicManager/QVPageRegistry.h"
#include "PublicManager/QVPublicTools.h"
#include "PublicManager/QVShareManager.h"

#include <QCoreApplication>
#include <QLabel>

namespace {

using QVShareScreenLook::localizable;

const QString kTransferFilePage = QStringLiteral("QVTransferFileViewController");
// The download window's first page; without it the window would open empty.
const QString kDownLoadSelectFilePage = QStringLiteral("QVDownLoadSelectFileVC");
// The code alert's caller tags.
const QString kUploadTag = QStringLiteral("0");
const QString kDownLoadTag = QStringLiteral("1");
constexpr int kFileShareCodeLength = 4;

// What the receiver's code answer holds.
struct CodeAnswer {
    enum Kind { NoCode, Code, Unusable };
    Kind kind = NoCode;
    QString code;
};

// A code is a text; a number stands for its digits. No value, "null" or
// blank text means the receiver asks for none. Anything else is no code
// anybody could type, and is not taken for the absence of one either.
CodeAnswer codeAnswer(const QJsonValue &content)
{
    if (content.isNull() || content.isUndefined())
        return {};
    if (content.isString()) {
        const QString text = content.toString();
        if (text.trimmed().isEmpty() || text == QLatin1String("null"))
            return {};
        return {CodeAnswer::Code, text};
    }
    if (const std::optional<qint64> number = QVJsonValue::integerValue(content))
        return {CodeAnswer::Code, QString::number(*number)};
    return {CodeAnswer::Unusable, {}};
}

} // namespace

template <typename Request>
std::shared_ptr<Request> QVShareScreenViewController::makeRequest(const QString &baseUrl) const
{
    auto request = std::make_shared<Request>(baseUrl);
    if (m_services.httpTimings)
        request->setTimings(*m_services.httpTimings);
    return request;
}

QString QVShareScreenViewController::baseUrlForPort(qsizetype portIndex) const
{
    QVShareManager *manager = shareManager();
    const QString address = manager ? manager->connectDeviceModel().deviceIP() : QString();
    return QStringLiteral("http://%1:%2").arg(address, m_portArray.at(portIndex));
}

void QVShareScreenViewController::makeTiles()
{
    m_transferFileView = new QVTransferFileBgView(m_transferFileBgView);
    m_downLoadFileView = new QVDownLoadFileView(m_downLoadFileBgView);
    for (QVFileTileView *tile : {static_cast<QVFileTileView *>(m_transferFileView),
                                 static_cast<QVFileTileView *>(m_downLoadFileView)}) {
        tile->setGeometry(0, 0, TileWidth, TileHeight);
        tile->setIsRadius(true);
        tile->setCornerRadius(6.0);
        tile->setBackgroundColor(Qt::white);
        tile->setIsOpacity(true);
        tile->setClock(m_services.tileClock);
    }
    m_downLoadFileView->setSupportFunction(false);
    setHoverStatus(true);
    const QPointer<QVShareScreenViewController> self(this);
    m_transferFileView->setTransferFileBtnClick([self] {
        if (self)
            self->transferFileBtnClick();
    });
    m_downLoadFileView->setDownLoadFileBtnClick([self] {
        if (self)
            self->downLoadFileBtnClick();
    });
}

// ---------------------------------------------------------------------------
// The probe

void QVShareScreenViewController::requestFileFunctions(qsizetype portIndex)
{
    if (portIndex <= 0) {
        // The tiles wait for the answer: a click meanwhile would fetch the
        // code from a port that may not be the one that answers.
        m_probing = true;
        applyHoverStatus();
    }
    if (portIndex >= m_portArray.size()) {
        // No port answered: the tiles keep the functions they had.
        m_probing = false;
        loadingView()->hiddenLoadingView();
        refreshHoverStatus();
        return;
    }
    const QString baseUrl = baseUrlForPort(portIndex);
    m_connectIp = baseUrl;
    const QPointer<QVShareScreenViewController> self(this);
    makeRequest<QVGetFileFunctionsApi>(baseUrl)->startGlimraHubRequestWithSuccess(
        [self](const QVHttpTask &, const QVHttpBaseResponse &response) {
            if (!self)
                return;
            self->m_probing = false;
            self->loadingView()->hiddenLoadingView();
            if (response.code == QVFileShare::Success) {
                self->m_functionsAnswered = true;
                self->m_transferFileView->setSupportFunction(
                    QVJsonValue::boolValue(QVJsonValue::member(response.content, QStringLiteral("upload"))));
                self->m_downLoadFileView->setSupportFunction(
                    QVJsonValue::boolValue(QVJsonValue::member(response.content, QStringLiteral("download"))));
            } else if (response.code == QVFileShare::Refused) {
                self->m_downLoadFileView->setSupportFunction(false);
            }
            self->refreshHoverStatus();
        },
        [self, portIndex](const QVHttpTask &, const TavlinError &) {
            if (self)
                self->requestFileFunctions(portIndex + 1);
        });
}

// ---------------------------------------------------------------------------
// Tile clicks and the code

void QVShareScreenViewController::transferFileBtnClick()
{
    fileTileClicked(FileTile::Upload);
}

void QVShareScreenViewController::downLoadFileBtnClick()
{
    fileTileClicked(FileTile::DownLoad);
}

void QVShareScreenViewController::fileTileClicked(FileTile tile)
{
    QVFileTileView *view = tile == FileTile::Upload ? static_cast<QVFileTileView *>(m_transferFileView)
                                                    : static_cast<QVFileTileView *>(m_downLoadFileView);
    if (!view->supportFunction()) {
        setSystemVersionIsLowerAlertVC();
        return;
    }
    m_requestRunning = true;
    applyHoverStatus();
    loadingView()->raise();
    loadingView()->showLoadingView();
    getVerifyCode(tile, 0);
}

void QVShareScreenViewController::getFileShareVerifyCode(qsizetype portIndex)
{
    getVerifyCode(FileTile::Upload, portIndex);
}

void QVShareScreenViewController::getDownLoadFileVerifyCode(qsizetype portIndex)
{
    getVerifyCode(FileTile::DownLoad, portIndex);
}

void QVShareScreenViewController::requestEnded()
{
    m_requestRunning = false;
    loadingView()->hiddenLoadingView();
    applyHoverStatus();
}

void QVShareScreenViewController::getVerifyCode(FileTile tile, qsizetype portIndex)
{
    if (portIndex >= m_portArray.size()) {
        requestEnded();
        setConnectServerErrorAlertVC();
        return;
    }
    const QString baseUrl = baseUrlForPort(portIndex);
    m_connectIp = baseUrl;
    const QPointer<QVShareScreenViewController> self(this);
    makeRequest<QVGetFileShareVerifyCodeApi>(baseUrl)->startGlimraHubRequestWithSuccess(
        // The address travels with the request: it is the one that answered,
        // whatever ran in between.
        [self, tile, baseUrl](const QVHttpTask &, const QVHttpBaseResponse &response) {
            if (!self)
                return;
            self->requestEnded();
            switch (response.code) {
            case QVFileShare::VerifyCode: {
                const CodeAnswer answer = codeAnswer(response.content);
                if (answer.kind == CodeAnswer::Unusable) {
                    QVLogInfo(0, QStringLiteral("The receiver's file-share code answer holds no code"));
                    return;
                }
                self->checkVerifyCode(tile,
                                      answer.kind == CodeAnswer::Code ? std::optional<QString>(answer.code)
                                                                      : std::nullopt,
                                      baseUrl);
                break;
            }
            case QVFileShare::Refused:
                self->setServerRejectUploadAlertVC();
                break;
            case QVFileShare::Busy:
                self->setServerCUPLoadAlertVC();
                break;
            default:
                break;
            }
        },
        [self, tile, portIndex](const QVHttpTask &, const TavlinError &) {
            if (self)
                self->getVerifyCode(tile, portIndex + 1);
        });
}

void QVShareScreenViewController::checkFileShareVerifyCode(const std::optional<QString> &code, const QString &baseUrl)
{
    checkVerifyCode(FileTile::Upload, code, baseUrl);
}

void QVShareScreenViewController::checkDownLoadFileVerifyCode(const std::optional<QString> &code,
                                                              const QString &baseUrl)
{
    checkVerifyCode(FileTile::DownLoad, code, baseUrl);
}

void QVShareScreenViewController::checkVerifyCode(FileTile tile, const std::optional<QString> &code,
                                                  const QString &baseUrl)
{
    if (!code) {
        openFileTile(tile, baseUrl);
        return;
    }
    m_verifyCode = *code;
    QVShareManager *manager = shareManager();
    const QString address = manager ? manager->connectDeviceModel().deviceIP() : QString();
    const std::optional<QVStorageModel> remembered = QVPublicTools::sharedPublicTools()->checkStorageModelWithDeviceIP(
        address, QVPublicTools::ConnectTransferFileCodeKey);
    // Codes are typed upper-cased; a receiver may hand them out either way.
    if (remembered && remembered->transferFileCode().toUpper() == code->toUpper()) {
        openFileTile(tile, baseUrl);
        return;
    }
    showInputAlert(tile, baseUrl);
}

void QVShareScreenViewController::showInputAlert(FileTile tile, const QString &baseUrl)
{
    auto *alert = m_alertSlot->present<QVHaveInputAlertController>();
    if (!alert)
        return;
    alert->setObjectName(QStringLiteral("inputAlertVC"));
    alert->setExtendStr(tile == FileTile::Upload ? kUploadTag : kDownLoadTag);
    alert->titleLabel()->setText(localizable(QT_TRANSLATE_NOOP("Localizable", "alert_transferFile_title")));
    alert->describeLabel()->setText(localizable(QT_TRANSLATE_NOOP("Localizable", "alert_transferFile_describe")));
    alert->errorLabel()->setText(localizable(QT_TRANSLATE_NOOP("Localizable", "alert_transferFile_validationFailed")));
    alert->setMaxInputLength(kFileShareCodeLength);
    applyHoverStatus();

    const QPointer<QVShareScreenViewController> self(this);
    const QPointer<QVHaveInputAlertController> shown(alert);
    alert->setSureBtnClickBlock([self, shown, baseUrl](const QString &input) {
        if (!self || !shown)
            return;
        if (input.toUpper() != self->m_verifyCode.toUpper()) {
            shown->errorLabel()->show();
            return;
        }
        QVShareManager *manager = shareManager();
        if (manager) {
            QVStorageModel record;
            record.setDeviceName(manager->connectDeviceModel().deviceName());
            record.setDeviceIP(manager->connectDeviceModel().deviceIP());
            record.setTransferFileCode(self->m_verifyCode);
            QVPublicTools::sharedPublicTools()->saveConnectStorageModel(record,
                                                                        QVPublicTools::ConnectTransferFileCodeKey);
        }
        const FileTile opened = shown->extendStr() == kUploadTag ? FileTile::Upload : FileTile::DownLoad;
        self->openFileTile(opened, baseUrl);
        self->removeAlertVC();
    });
    alert->setCannelBtnClickBlock([self] {
        if (self)
            self->removeAlertVC();
    });
}

void QVShareScreenViewController::openFileTile(FileTile tile, const QString &baseUrl)
{
    if (QVShareManager *manager = shareManager())
        manager->setFileShareIp(baseUrl);
    if (tile == FileTile::Upload) {
        if (!QVPageRegistry::shared().contains(kTransferFilePage)) {
            QVLogInfo(0, QStringLiteral("No page is named %1; the window shows none").arg(kTransferFilePage));
            return;
        }
        if (QVRootViewControllerDelegate *host = QVPublicTools::sharedPublicTools()->showNextViewDelegate())
            host->showNextPageViewWithClassStr(kTransferFilePage);
        return;
    }
    if (!QVPageRegistry::shared().contains(kDownLoadSelectFilePage)) {
        QVLogInfo(0, QStringLiteral("No page is named %1; the download window is not opened").arg(kDownLoadSelectFilePage));
        return;
    }
    openDownLoadPageWithStatus(false);
    QMetaObject::invokeMethod(
        this,
        [] {
            QVNotificationCenter::defaultCenter()->postNotificationName(
                QVNotificationName::MainDownLoadFileBtnClick,
                {{QVNotificationName::OpenStatusKey, QStringLiteral("1")}});
        },
        Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------
// Alerts

QVHaveInputAlertController *QVShareScreenViewController::inputAlertVC() const
{
    return qobject_cast<QVHaveInputAlertController *>(m_alertSlot->alert());
}

QVDefaultAlertController *QVShareScreenViewController::defaultAlertVC() const
{
    return qobject_cast<QVDefaultAlertController *>(m_alertSlot->alert());
}

bool QVShareScreenViewController::checkShowingAlert() const
{
    return m_alertSlot && m_alertSlot->isShowing();
}

void QVShareScreenViewController::removeAlertVC()
{
    m_alertSlot->dismiss();
    m_askingConsent = false;
    applyHoverStatus();
}

void QVShareScreenViewController::showDefaultAlert(const char *contentKey)
{
    if (checkShowingAlert())
        return;
    auto *alert = m_alertSlot->present<QVDefaultAlertController>();
    if (!alert)
        return;
    alert->setObjectName(QStringLiteral("defaultAlertVC"));
    alert->setAlertType(0);
    alert->contentLabel()->setText(localizable(contentKey));
    applyHoverStatus();
    const QPointer<QVShareScreenViewController> self(this);
    alert->setSingleBtnClickBlock([self] {
        if (self)
            self->removeAlertVC();
    });
}

void QVShareScreenViewController::setSystemVersionIsLowerAlertVC()
{
    showDefaultAlert(QT_TRANSLATE_NOOP("Localizable", "alert_shareScreen_glimraHub_lowVersion"));
}

void QVShareScreenViewController::setConnectServerErrorAlertVC()
{
    showDefaultAlert(QT_TRANSLATE_NOOP("Localizable", "alert_shareScreen_serverError"));
}

void QVShareScreenViewController::setServerRejectUploadAlertVC()
{
    showDefaultAlert(QT_TRANSLATE_NOOP("Localizable", "downLoad_allowTransfer_title"));
}

void QVShareScreenViewController::setServerCUPLoadAlertVC()
{
    showDefaultAlert(QT_TRANSLATE_NOOP("Localizable", "alert_shareScreen_CPULoad"));
}

void QVShareScreenViewController::setUpgradeAlertVC()
{
    showDefaultAlert(QT_TRANSLATE_NOOP("Localizable", "alert_transferFile_upgradation"));
}

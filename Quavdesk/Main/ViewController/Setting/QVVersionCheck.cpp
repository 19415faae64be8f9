#include "Main/ViewController/Setting/QVVersionCheck.h"

#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVNamedImage.h"
#include "Main/Model/QVKVOModel.h"
#include "Main/ViewController/Main/QVInputViewController.h"
#include "Main/ViewController/Main/QVMainViewController.h"
#include "Main/ViewController/PermissionPrompt/QVPermissionPromptVC.h"
#include "Main/ViewController/Setting/QVForceUpgradeVC.h"
#include "PublicManager/QVLog.h"
#include "PublicManager/QVShareManager.h"
#include "QVWebServiceApi.h"

#include <QEvent>
#include <QWidget>

QVVersionCheck::QVVersionCheck(QWidget *page, QObject *parent)
    : QObject(parent)
    , m_page(page)
{
    if (page)
        page->installEventFilter(this);
}

namespace {

// The receiver list checks through this from its first page on.
[[maybe_unused]] const bool listCheckInstalled = [] {
    QVMainViewController::setVersionCheck(
        [](QVMainViewController &page) { QVVersionCheck::checkForPage(&page, page.settingBtn()); });
    return true;
}();

} // namespace

QVVersionCheck *QVVersionCheck::checkForPage(QWidget *page, QVBaseButton *settingBtn)
{
    if (!page)
        return nullptr;
    auto *check = page->findChild<QVVersionCheck *>(QString(), Qt::FindDirectChildrenOnly);
    if (!check) {
        check = new QVVersionCheck(page, page);
        if (settingBtn) {
            QPointer<QVBaseButton> button(settingBtn);
            connect(check, &QVVersionCheck::settingImageNameChanged, settingBtn, [button](const QString &imageName) {
                if (button)
                    button->setImage(QVNamedImage(imageName));
            });
        }
    }
    check->getVersionSupportSeries();
    return check;
}

QVVersionCheck::~QVVersionCheck()
{
    if (QWidget *page = m_page.data())
        page->removeEventFilter(this);
}

void QVVersionCheck::getVersionSupportSeries()
{
    QPointer<QVVersionCheck> self(this);
    auto series = std::make_shared<QVGetSeriesWithNameApi>();
    series->startQUAVRequestWithSuccess(
        [self](const QVHttpTask &, const QVHttpBaseResponse &response) {
            if (!self)
                return;
            const std::optional<QList<qint64>> ids = QVGetSeriesWithNameApi::macSeriesIds(response);
            if (!ids) {
                QVLogInfo(0, QStringLiteral("QVVersionCheck series answer not usable, code = %1").arg(response.code));
                return;
            }
            for (const qint64 seriesId : *ids)
                self->checkNewVersionWithSeriesId(seriesId);
        },
        [](const QVHttpTask &, const TavlinError &error) {
            QVLogInfo(0, QStringLiteral("QVVersionCheck series failed: %1").arg(error.description));
        });
}

void QVVersionCheck::checkNewVersionWithSeriesId(qint64 seriesId)
{
    QPointer<QVVersionCheck> self(this);
    auto check = std::make_shared<QVCheckNewVersionApi>(seriesId);
    check->startQUAVRequestWithSuccess(
        [self](const QVHttpTask &, const QVHttpBaseResponse &response) {
            if (!self)
                return;
            // Only a success carrying an offer replaces the last one.
            const std::optional<QJsonObject> data = QVCheckNewVersionApi::versionData(response);
            if (!data) {
                QVLogInfo(0, QStringLiteral("QVVersionCheck check answer not usable, code = %1").arg(response.code));
                return;
            }
            self->handleVersionInfo(QVNewVersionInfoModel::fromJson(*data));
        },
        [seriesId](const QVHttpTask &, const TavlinError &error) {
            QVLogInfo(0, QStringLiteral("QVVersionCheck check of series %1 failed: %2").arg(seriesId).arg(error.description));
        });
}

void QVVersionCheck::handleVersionInfo(const QVNewVersionInfoModel &model)
{
    QVShareManager::sharedShareManager()->kvoModel()->setVersionInfoModel(model.toVariant());
    const bool needUpdate = model.checkNeedUpdate();
    QVLogInfo(0, QStringLiteral("QVVersionCheck newest = %1, force = %2, need update = %3")
                     .arg(model.buildNumber)
                     .arg(model.isForce)
                     .arg(needUpdate));
    setSettingImageName(needUpdate ? SettingUpdateImage : SettingImage);
    if (model.isForce && needUpdate)
        showForceUpgradeVC();
    emit versionChecked(model);
}

void QVVersionCheck::setSettingImageName(const QString &imageName)
{
    m_settingImageName = imageName;
    emit settingImageNameChanged(imageName);
}

void QVVersionCheck::showForceUpgradeVC()
{
    QWidget *page = m_page.data();
    if (!page)
        return;
    if (!m_forceUpgradeVC)
        m_forceUpgradeVC = new QVForceUpgradeVC(page);
    m_forceUpgradeVC->setGeometry(page->rect());
    m_forceUpgradeVC->raise();
    m_forceUpgradeVC->show();
}

bool QVVersionCheck::eventFilter(QObject *watched, QEvent *event)
{
    // The dialog keeps covering the whole page; and stays above whatever the
    // page lays over itself later.
    if (watched == m_page && m_forceUpgradeVC && m_forceUpgradeVC->isVisibleTo(m_page)) {
        if (event->type() == QEvent::Resize)
            m_forceUpgradeVC->setGeometry(m_page->rect());
        else if (event->type() == QEvent::ChildAdded)
            QMetaObject::invokeMethod(m_forceUpgradeVC.data(), &QWidget::raise, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

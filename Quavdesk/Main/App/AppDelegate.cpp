#include "Main/App/AppDelegate.h"

#include "Main/App/QVApplicationIcon.h"
#include "Main/App/QVQuitPath.h"
#include "Main/ViewController/Root/QVApplicationMenu.h"
#include "Main/ViewController/Root/QVWindow.h"
#include "Main/ViewController/Root/QVWindowControllers.h"
#include "PublicManager/QVLog.h"
#include "PublicManager/QVLogManager.h"
#include "PublicManager/QVNotificationCenter.h"
#include "PublicManager/QVPublicTools.h"
#include "PublicManager/QVShareManager.h"

#include <QCoreApplication>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

namespace {

QString localizable(const char *key)
{
    return QCoreApplication::translate("Localizable", key);
}

} // namespace

AppDelegateServices AppDelegateServices::linuxDefaults()
{
    AppDelegateServices services;
    services.trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    services.setUpLogging = [] { QVLogManager().creatLogFile(); };
    services.shareManager = [] { return QVShareManager::sharedShareManager(); };
    services.quit = [] { QVQuitPath::quitApplication(); };
    return services;
}

AppDelegate::AppDelegate(AppDelegateServices services, QObject *parent)
    : QObject(parent), m_services(std::move(services))
{
}

AppDelegate::~AppDelegate()
{
    QVNotificationCenter::defaultCenter()->removeObserver(this);
    delete m_downLoadWindowController.data();
    delete m_settingWindowController.data();
    delete m_mainWindowController.data();
    QVPublicTools::sharedPublicTools()->vcCacheDictionary().clear();
    if (QVApplicationMenu::menu() == m_applicationMenu)
        QVApplicationMenu::setMenu(nullptr);
    delete m_statusBar;
    delete m_applicationMenu;
}

void AppDelegate::applicationDidFinishLaunching()
{
    // 1. The tray icon and the program's menu.
    createStatusItem();
    // 2. The windows' notifications.
    QVNotificationCenter::defaultCenter()->addObserver(this, QVNotificationName::MainSettingBtnClick,
                                               [this](const QVariantMap &userInfo) { settingBtnClick(userInfo); });
    QVNotificationCenter::defaultCenter()->addObserver(this, QVNotificationName::MainDownLoadFileBtnClick,
                                               [this](const QVariantMap &userInfo) { downLoadFileBtnClick(userInfo); });
    // 3. Logging.
    if (m_services.setUpLogging)
        m_services.setUpLogging();
    // 4. The casting library starts with the share manager.
    if (m_services.shareManager)
        m_shareManager = m_services.shareManager();
    // 5. The main window with the receiver list.
    mainWindowController()->showWindow();
}

void AppDelegate::createStatusItem()
{
    m_applicationMenu = new QMenu(localizable(QT_TRANSLATE_NOOP("Localizable", "app_name")));
    m_applicationMenu->setObjectName(QStringLiteral("applicationMenu"));
    QAction *show = m_applicationMenu->addAction(localizable(QT_TRANSLATE_NOOP("Localizable", "app_menu_show")));
    show->setObjectName(QStringLiteral("showWindowAction"));
    connect(show, &QAction::triggered, this, &AppDelegate::showWindow);
    m_applicationMenu->addSeparator();
    QAction *quit = m_applicationMenu->addAction(localizable(QT_TRANSLATE_NOOP("Localizable", "app_menu_quit")));
    quit->setObjectName(QStringLiteral("quitAction"));
    connect(quit, &QAction::triggered, this, [this] {
        if (m_services.quit)
            m_services.quit();
    });
    QVApplicationMenu::setMenu(m_applicationMenu);

    if (!m_services.trayAvailable || !m_services.trayAvailable())
        return;
    m_statusBar = new QSystemTrayIcon(QVThemedApplicationIcon(QStringLiteral("mac_status_bar")));
    m_statusBar->setToolTip(localizable(QT_TRANSLATE_NOOP("Localizable", "app_name")));
    m_statusBar->setContextMenu(m_applicationMenu);
    connect(m_statusBar, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            showWindow();
    });
    m_statusBar->show();
}

QVMainWindowController *AppDelegate::mainWindowController()
{
    if (!m_mainWindowController) {
        m_mainWindowController = new QVMainWindowController(this);
        QVWindow *window = m_mainWindowController->window();
        if (!m_statusBar) {
            // Without a tray the window is the only way back to the program:
            // closing it minimises it, and it carries the program's menu.
            window->setHidesOnClose(false);
            window->setApplicationMenu(m_applicationMenu);
        }
    }
    return m_mainWindowController.data();
}

QVSettingWindowController *AppDelegate::settingWindowController()
{
    if (!m_settingWindowController)
        m_settingWindowController = new QVSettingWindowController(this);
    return m_settingWindowController.data();
}

QVDownLoadFileWindowController *AppDelegate::downLoadWindowController()
{
    if (!m_downLoadWindowController)
        m_downLoadWindowController = new QVDownLoadFileWindowController(this);
    return m_downLoadWindowController.data();
}

void AppDelegate::showWindow()
{
    mainWindowController()->window()->makeKeyAndOrderFront();
    if (m_settingWindowController)
        m_settingWindowController->window()->makeKeyAndOrderFront();
}

void AppDelegate::applicationShouldHandleReopen()
{
    mainWindowController()->window()->makeKeyAndOrderFront();
}

void AppDelegate::settingBtnClick(const QVariantMap &userInfo)
{
    if (QVNotificationCenter::boolValue(userInfo.value(QVNotificationName::OpenStatusKey))) {
        if (m_isShowSettingPage) {
            settingWindowController()->window()->makeKeyAndOrderFront();
            return;
        }
        settingWindowController()->showWindow();
        m_isShowSettingPage = true;
        return;
    }
    m_isShowSettingPage = false;
    // The close button that told us is still running.
    if (QVSettingWindowController *controller = m_settingWindowController.data()) {
        m_settingWindowController = nullptr;
        controller->deleteLater();
    }
}

void AppDelegate::downLoadFileBtnClick(const QVariantMap &userInfo)
{
    if (QVNotificationCenter::boolValue(userInfo.value(QVNotificationName::OpenStatusKey))) {
        if (m_isShowDownLoadFilePage) {
            downLoadWindowController()->window()->makeKeyAndOrderFront();
            return;
        }
        downLoadWindowController()->showWindow();
        m_isShowDownLoadFilePage = true;
        return;
    }
    m_isShowDownLoadFilePage = false;
    if (QVDownLoadFileWindowController *controller = m_downLoadWindowController.data()) {
        m_downLoadWindowController = nullptr;
        controller->deleteLater();
    }
    QVNotificationCenter::defaultCenter()->postNotificationName(QVNotificationName::MainDownLoadSelectFile_Close);
}

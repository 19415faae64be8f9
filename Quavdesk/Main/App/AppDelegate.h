#pragma once

#include <QObject>
#include <QPointer>
#include <QVariantMap>

#include <functional>

#include "Main/ViewController/Root/QVWindowControllers.h"
#include "PublicManager/QVShareManager.h"

class QMenu;
class QSystemTrayIcon;


// What the application delegate builds on. linuxDefaults() gives the real
// desktop; tests hand in their own.
struct AppDelegateServices {
    // Whether the desktop shows tray icons.
    std::function<bool()> trayAvailable;
    // Console and file logging.
    std::function<void()> setUpLogging;
    // The bridge to the casting library, made here (it starts the library).
    std::function<QVShareManager *()> shareManager;
    // Takes the program's quit path.
    std::function<void()> quit;

    static AppDelegateServices linuxDefaults();
};

// The program's start-up and its windows: the tray icon with the program's
// menu, the main window for the whole process, and the settings and
// download windows, opened and forgotten on the pages' notifications.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    explicit AppDelegate(AppDelegateServices services, QObject *parent = nullptr);
    // Deletes the pages the page cache still holds while the application
    // object exists.
    ~AppDelegate() override;

    // The launch, in this order: tray icon, window notifications, logging,
    // share manager (the casting library starts), main window.
    void applicationDidFinishLaunching();

    bool isShowSettingPage() const { return m_isShowSettingPage; }
    bool isShowDownLoadFilePage() const { return m_isShowDownLoadFilePage; }

    // Made on first read. The main one lives for the process; the other two
    // from their "open" notification to their "closed" one.
    QVMainWindowController *mainWindowController();
    QVSettingWindowController *settingWindowController();
    QVDownLoadFileWindowController *downLoadWindowController();
    // Without making them.
    QVSettingWindowController *existingSettingWindowController() const { return m_settingWindowController; }
    QVDownLoadFileWindowController *existingDownLoadWindowController() const { return m_downLoadWindowController; }

    // Null where the desktop has no tray.
    QSystemTrayIcon *statusBar() const { return m_statusBar; }
    QMenu *applicationMenu() const { return m_applicationMenu; }
    QVShareManager *shareManager() const { return m_shareManager; }

    // The tray icon's click: the main window in front, and the settings
    // window too when it is open.
    void showWindow();
    // A second start of the program: the main window in front.
    void applicationShouldHandleReopen();

    void settingBtnClick(const QVariantMap &userInfo);
    void downLoadFileBtnClick(const QVariantMap &userInfo);

private:
    void createStatusItem();

    AppDelegateServices m_services;
    bool m_isShowSettingPage = false;
    bool m_isShowDownLoadFilePage = false;
    QPointer<QVMainWindowController> m_mainWindowController;
    QPointer<QVSettingWindowController> m_settingWindowController;
    QPointer<QVDownLoadFileWindowController> m_downLoadWindowController;
    QSystemTrayIcon *m_statusBar = nullptr;
    QMenu *m_applicationMenu = nullptr;
    QPointer<QVShareManager> m_shareManager;
};

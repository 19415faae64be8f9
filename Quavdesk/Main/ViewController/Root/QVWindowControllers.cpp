#include "Main/ViewController/Root/QVWindowControllers.h"

#include "Main/ViewController/Root/QVPageHost.h"
#include "Main/ViewController/Root/QVRootViewController.h"
#include "Main/ViewController/Root/QVWindow.h"

QVWindowController::QVWindowController(QObject *parent) : QObject(parent) {}

QVWindowController::~QVWindowController()
{
    // The controller goes later than the handler that dropped it, so the
    // window is no longer inside one of its own handlers.
    delete m_window.data();
    // A host read before its window was made belongs to no window.
    delete m_pageHost.data();
}

QVWindowChrome *QVWindowController::windowChrome()
{
    if (!m_window) {
        m_window = makeWindow();
        windowDidLoad();
    }
    return m_window.data();
}

QVPageHost *QVWindowController::pageHost()
{
    if (!m_pageHost)
        m_pageHost = makePageHost();
    return m_pageHost.data();
}

void QVWindowController::windowDidLoad()
{
    m_window->setContentViewController(pageHost());
}

void QVWindowController::showWindow()
{
    windowChrome()->makeKeyAndOrderFront();
}

QVWindow *QVMainWindowController::window()
{
    return static_cast<QVWindow *>(windowChrome());
}

QVRootViewController *QVMainWindowController::rootViewController()
{
    return static_cast<QVRootViewController *>(pageHost());
}

QVWindowChrome *QVMainWindowController::makeWindow()
{
    return new QVWindow;
}

QVPageHost *QVMainWindowController::makePageHost()
{
    return new QVRootViewController;
}

QVSettingWindow *QVSettingWindowController::window()
{
    return static_cast<QVSettingWindow *>(windowChrome());
}

QVSettingRootViewController *QVSettingWindowController::settingRootViewController()
{
    return static_cast<QVSettingRootViewController *>(pageHost());
}

QVWindowChrome *QVSettingWindowController::makeWindow()
{
    return new QVSettingWindow;
}

QVPageHost *QVSettingWindowController::makePageHost()
{
    return new QVSettingRootViewController;
}

QVDownLoadWindow *QVDownLoadFileWindowController::window()
{
    return static_cast<QVDownLoadWindow *>(windowChrome());
}

QVDownLoadFileRootVC *QVDownLoadFileWindowController::downLoadFileRootVC()
{
    return static_cast<QVDownLoadFileRootVC *>(pageHost());
}

QVWindowChrome *QVDownLoadFileWindowController::makeWindow()
{
    return new QVDownLoadWindow;
}

QVPageHost *QVDownLoadFileWindowController::makePageHost()
{
    return new QVDownLoadFileRootVC;
}

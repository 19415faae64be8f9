#pragma once

#include <QObject>
#include <QPointer>

class QVDownLoadFileRootVC;
class QVDownLoadWindow;
class QVPageHost;
class QVRootViewController;
class QVSettingRootViewController;
class QVSettingWindow;
class QVWindow;
class QVWindowChrome;

// Owns one window and its page host: both are made on first use (the host
// shows its first page as it is made); the window and all its pages but the
// cached ones go with the controller.
class QVWindowController : public QObject
{
    Q_OBJECT
public:
    explicit QVWindowController(QObject *parent = nullptr);
    ~QVWindowController() override;

    QVWindowChrome *windowChrome();
    QVPageHost *pageHost();
    // Shows the window in front.
    void showWindow();
    bool isWindowLoaded() const { return !m_window.isNull(); }

protected:
    virtual QVWindowChrome *makeWindow() = 0;
    virtual QVPageHost *makePageHost() = 0;

private:
    void windowDidLoad();

    QPointer<QVWindowChrome> m_window;
    QPointer<QVPageHost> m_pageHost;
};

// The main window; it lives for the whole process.
class QVMainWindowController : public QVWindowController
{
    Q_OBJECT
public:
    using QVWindowController::QVWindowController;
    QVWindow *window();
    QVRootViewController *rootViewController();

protected:
    QVWindowChrome *makeWindow() override;
    QVPageHost *makePageHost() override;
};

// The settings window; made anew each time it opens.
class QVSettingWindowController : public QVWindowController
{
    Q_OBJECT
public:
    using QVWindowController::QVWindowController;
    QVSettingWindow *window();
    QVSettingRootViewController *settingRootViewController();

protected:
    QVWindowChrome *makeWindow() override;
    QVPageHost *makePageHost() override;
};

// The download window; made anew each time it opens.
class QVDownLoadFileWindowController : public QVWindowController
{
    Q_OBJECT
public:
    using QVWindowController::QVWindowController;
    QVDownLoadWindow *window();
    QVDownLoadFileRootVC *downLoadFileRootVC();

protected:
    QVWindowChrome *makeWindow() override;
    QVPageHost *makePageHost() override;
};

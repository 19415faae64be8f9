#pragma once

#include <QPointer>
#include <QSize>
#include <QWidget>

class QMenu;
class QMenuBar;
class QVBoxLayout;

// What the program's three windows share: a fixed-size white window with
// the desktop's own title bar (close and minimise, no zoom), titled by a
// text key, whose whole area is one content view controller, a page host.
// Its close button does not close it: it runs the window's close action and
// then takes the window off the screen, so that the window and its pages
// stay as they are.
class QVWindowChrome : public QWidget
{
    Q_OBJECT
public:
    QVWindowChrome(const char *titleKey, const QSize &contentSize, QWidget *parent = nullptr);
    ~QVWindowChrome() override;

    // The title's text key.
    QString titleKey() const { return QString::fromLatin1(m_titleKey); }

    // The widget that fills the window; the window takes it over.
    QWidget *contentViewController() const { return m_contentViewController.data(); }
    void setContentViewController(QWidget *controller);

    // A menu bar above the content with the menu (for desktops without a
    // tray, where it is the way to the program's menu).
    void setApplicationMenu(QMenu *menu);
    QMenuBar *applicationMenuBar() const { return m_menuBar; }

    // Shows the window, restores it when minimised, and brings it forward.
    void makeKeyAndOrderFront();
    // Takes the window off the screen without closing it.
    virtual void orderOut();

    // The close button: the close action, then off the screen.
    void closeClick();
    // The minimise button.
    void minClick();

protected:
    virtual void closeAction() {}
    void closeEvent(QCloseEvent *event) override;

private:
    const char *m_titleKey;
    QSize m_contentSize;
    QVBoxLayout *m_layout = nullptr;
    QMenuBar *m_menuBar = nullptr;
    QPointer<QWidget> m_contentViewController;
};

// The main window. Its close button ends the session with the receiver when
// one is up. On a desktop without a tray the window could not come back
// once hidden, so there closing minimises it instead.
class QVWindow : public QVWindowChrome
{
    Q_OBJECT
public:
    static constexpr QSize ContentSize{375, 640};

    explicit QVWindow(QWidget *parent = nullptr);

    bool hidesOnClose() const { return m_hidesOnClose; }
    void setHidesOnClose(bool hides) { m_hidesOnClose = hides; }

    // Hidden, or minimised where it could not come back.
    void orderOut() override;

protected:
    void closeAction() override;

private:
    bool m_hidesOnClose = true;
};

// The settings window: closing tells the application delegate, which forgets
// the window.
class QVSettingWindow : public QVWindowChrome
{
    Q_OBJECT
public:
    static constexpr QSize ContentSize{375, 640};

    explicit QVSettingWindow(QWidget *parent = nullptr);

protected:
    void closeAction() override;
};

// The download window: closing tells the application delegate, which
// forgets the window and lets the casting screen decide where to go.
class QVDownLoadWindow : public QVWindowChrome
{
    Q_OBJECT
public:
    static constexpr QSize ContentSize{900, 620};

    explicit QVDownLoadWindow(QWidget *parent = nullptr);

protected:
    void closeAction() override;
};

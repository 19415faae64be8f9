#pragma once

#include "BaseViewController/View/QVBaseViewController.h"
#include "PublicManager/QVPageHostDelegates.h"

#include <QPointer>
#include <QString>

// A window's page host: it shows exactly one page at a time in its page
// area (bgView), chosen by the page's class name. A page that the page
// cache holds is reused; any other page is made anew from the page
// registry. A page taken out of the area stays alive only while the cache
// holds it (it is then detached from the window, so that the window may
// go); otherwise it is deleted later, since the switch may have been asked
// for from inside the page's own handler.
class QVPageHost : public QVBaseViewController
{
    Q_OBJECT
public:
    explicit QVPageHost(QWidget *parent = nullptr);
    ~QVPageHost() override;

    QWidget *currentViewController() const { return m_currentViewController.data(); }
    // The area pages fill.
    QWidget *bgView() const { return m_bgView; }

    // The page switch, at once. A name that no page answers leaves the
    // host without a page (and says so in the log).
    void switchToPage(const QString &classStr);

signals:
    // After each switch; `page` is null when no page answered the name.
    void pageSwitched(const QString &classStr, QWidget *page);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void takeOut(QWidget *page);

    QWidget *m_bgView = nullptr;
    QPointer<QWidget> m_currentViewController;
};

// The settings window's host; it starts with the settings list.
class QVSettingRootViewController : public QVPageHost, public QVSettingRootViewControllerDelegate
{
    Q_OBJECT
public:
    static inline const QString FirstPage = QStringLiteral("QVSettingViewController");

    explicit QVSettingRootViewController(QWidget *parent = nullptr);

    // Switches at once, on the caller's thread.
    void showSettingNextPageViewWithClassStr(const QString &classStr) override;
};

// The download window's host; it starts with the remote file browser. It
// answers page requests under the settings host's operation name, like the
// settings host; its own delegate operation is registered and answers
// nothing.
class QVDownLoadFileRootVC : public QVPageHost, public QVDownLoadFileRootVCDelegate
{
    Q_OBJECT
public:
    static inline const QString FirstPage = QStringLiteral("QVDownLoadSelectFileVC");

    explicit QVDownLoadFileRootVC(QWidget *parent = nullptr);

    void showSettingNextPageViewWithClassStr(const QString &classStr);
};

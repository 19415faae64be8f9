#pragma once

#include "BaseViewController/View/QVBaseViewController.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

#include "DeviceInformation.h"

class QLabel;
class QListWidget;
class QVBackgrounView;
class QVBaseButton;
class QVInputViewController;
class QVLoadingView;
class QVPermissionPromptVC;
class QVRotatingButton;

// Every interval the receiver list waits on, in milliseconds.
struct QVMainViewControllerTimings {
    // From a connect click to giving up on an outcome that never comes. The
    // library ends every connect within about ten seconds; this bound only
    // keeps the loading view from turning for ever should it not. Whatever
    // that connect reports later is dropped, and a late success is ended.
    int connectWatchdogMs = 20000;
};

// The receiver list, the main window's first page and the page it comes
// back to after every disconnect. It lists the receivers the casting
// library finds, connects to one when its row's button is pressed, asks for
// the receiver's casting code when it wants one (remembering the codes sent,
// per address), and warns once per appearance when this desktop cannot be
// cast. It enters the page cache as it is made and lives for the process.
class QVMainViewController : public QVBaseViewController
{
    Q_OBJECT
public:
    static inline const QString ClassName = QStringLiteral("QVMainViewController");
    // The page the main window shows once connected.
    static inline const QString ShareScreenClassName = QStringLiteral("QVShareScreenViewController");
    // The download page, shown here when the download window hands over a
    // selection made from this page.
    static inline const QString DownLoadFileClassName = QStringLiteral("QVDownLoadFileVC");
    // Settings key: set on the first appearance, never removed.
    static inline const QString AppFirstUsedKey = QStringLiteral("appFirstUsed");
    // The error domain of the library's own verdicts; with code 1 it is a
    // wrong casting code.
    static inline const QString TavlinErrorDomain = QStringLiteral("com.TavlinError.Domain");

    // The version check, run at the page's load and after every click on its
    // settings button. The part of the program that owns the check installs
    // it (before the main window opens); it may set the settings button's
    // image and lay its forced-upgrade dialog over the page. Without one
    // nothing runs.
    using VersionCheck = std::function<void(QVMainViewController &page)>;
    static void setVersionCheck(VersionCheck check);

    explicit QVMainViewController(QWidget *parent = nullptr);
    ~QVMainViewController() override;

    void setTimings(const QVMainViewControllerTimings &timings);

    // Views, for the version check and for tests.
    QVBackgrounView *bgView() const { return m_bgView; }
    QLabel *appNameLabel() const { return m_appNameLabel; }
    QLabel *titleLabel() const { return m_titleLabel; }
    QVRotatingButton *refreshBtn() const { return m_refreshBtn; }
    QVBaseButton *settingBtn() const { return m_settingBtn; }
    QListWidget *tableView() const { return m_tableView; }
    QWidget *noDataView() const { return m_noDataView; }
    // Null until first used.
    QVLoadingView *loadingView() const { return m_loadingView; }
    QVInputViewController *alertVC() const { return m_alertVC.data(); }
    QVPermissionPromptVC *permissionPromptVC() const { return m_permissionPromptVC.data(); }
    bool isLoading() const;

    // The list as the table shows it.
    QList<DeviceInformation> shownDevices() const { return m_shownDevices; }

    // The connect flow: loading view, connect, then the outcome.
    void checkConnectDeviceStatusWithModel(const DeviceInformation &model);
    // The code dialog for the receiver, laid over the page.
    void showAlertWithModel(const DeviceInformation &model);
    // A code typed into the dialog.
    void sendConnectPwdWithModel(const DeviceInformation &model, const QString &codeStr);
    void setModelAndSwitchShareScreenVC(const DeviceInformation &model);
    void removeAlertVC();

    // The warning that the screen cannot be cast, laid over the page on the
    // next turn of the event loop; removed by its close button.
    void checkPermissions();
    void showPermissionPromptVC();
    void removePermissionPromptVC();

public Q_SLOTS:
    void refreshBtnClick();
    void settintBtnClick();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void setUpViews();
    void reloadData();
    void deviceListChanged(const QList<DeviceInformation> &devices);
    void connectOutcome(const DeviceInformation &model, qint64 status, quint64 generation);
    void startConnect(const DeviceInformation &model);
    void showLoadingView();
    void hiddenLoadingView();
    void connectTimedOut();
    void setConnectDeviceStatus(qint64 status);
    void downLoadFileListJump(const QVariantMap &userInfo);
    void runVersionCheck();
    void layOver(QWidget *overlay);

    QVMainViewControllerTimings m_timings;

    QVBackgrounView *m_bgView = nullptr;
    QLabel *m_appNameLabel = nullptr;
    QLabel *m_titleLabel = nullptr;
    QVRotatingButton *m_refreshBtn = nullptr;
    QVBaseButton *m_settingBtn = nullptr;
    QListWidget *m_tableView = nullptr;
    QWidget *m_noDataView = nullptr;
    QVLoadingView *m_loadingView = nullptr;
    QPointer<QVInputViewController> m_alertVC;
    QPointer<QVPermissionPromptVC> m_permissionPromptVC;

    QList<DeviceInformation> m_shownDevices;
    QTimer m_connectWatchdog;
    // Counts the connects this page started and the ones its watchdog gave
    // up on: an outcome counts only while it names the newest.
    quint64 m_connectGeneration = 0;
    // Set when a connect failed other than by a wrong code: the receiver
    // may have closed the connection the code would travel on, so the next
    // code from the dialog starts a new connect and goes out when the
    // receiver asks for it again.
    bool m_reconnectBeforeCode = false;
    QString m_codeAwaitingRequest;
};

#pragma once

#include "BaseViewController/View/QVBaseViewController.h"
#include "Main/ViewController/PermissionPrompt/QVPermissionPromptVC.h"
#include "Main/ViewController/ShareScreen/QVShareScreenServices.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

class QLabel;
class QVAlertSlot;
class QVBackgrounView;
class QVCustomButton;
class QVDefaultAlertController;
class QVDownLoadFileView;
class QVHaveInputAlertController;
class QVKVOModel;
class QVLoadingView;
class QVShareManager;
class QVTransferFileBgView;

// The main window's page of a connected receiver: the receiver's name, start
// or stop, freeze, full screen on the receiver and disconnect, and the
// upload and download tiles that open the receiver's file exchange. It
// follows the session model, goes back to the receiver list when the
// connection ends, and lies under a dimming overlay while the download
// window is open.
class QVShareScreenViewController : public QVBaseViewController
{
    Q_OBJECT
public:
    static inline const QString ClassName = QStringLiteral("QVShareScreenViewController");

    // Switch-button tags: 100 + style.
    enum SwitchTag : qint64 { SwitchTagStart = 100, SwitchTagApplying = 101, SwitchTagEnd = 102 };
    // Freeze and full-screen button styles, as the shared tools name them.
    enum ShareStyle : qint64 {
        StyleFullScreen = 1,
        StyleUnFullScreen = 2,
        StyleFreeze = 3,
        StyleUnFreeze = 4,
    };

    static constexpr int TileWidth = 335;
    static constexpr int TileHeight = 110;
    static constexpr double TileDimmedOpacity = 0.6;

    explicit QVShareScreenViewController(QWidget *parent = nullptr);
    explicit QVShareScreenViewController(QVShareScreenServices services, QWidget *parent = nullptr);
    ~QVShareScreenViewController() override;

    // Outlets.
    QVBackgrounView *bgView() const { return m_bgView; }
    QVBackgrounView *hoverBgView() const { return m_hoverBgView; }
    QLabel *appNameLabel() const { return m_appNameLabel; }
    QLabel *connectLabel() const { return m_connectLabel; }
    QLabel *deviceNameLabel() const { return m_deviceNameLabel; }
    QLabel *connectDescribeLabel() const { return m_connectDescribeLabel; }
    QVCustomButton *disconnectBtn() const { return m_disconnectBtn; }
    QVCustomButton *freezeBtn() const { return m_freezeBtn; }
    QVCustomButton *switchBtn() const { return m_switchBtn; }
    QVCustomButton *fullScreenBtn() const { return m_fullScreenBtn; }
    QWidget *transferFileBgView() const { return m_transferFileBgView; }
    QVTransferFileBgView *transferFileView() const { return m_transferFileView; }
    QWidget *downLoadFileBgView() const { return m_downLoadFileBgView; }
    QVDownLoadFileView *downLoadFileView() const { return m_downLoadFileView; }
    QStringList portArray() const { return m_portArray; }
    // The file-share code the receiver last returned.
    QString verifyCode() const { return m_verifyCode; }
    // The base address of the file-share request that ran last.
    QString connectIp() const { return m_connectIp; }
    QVLoadingView *loadingView();
    bool kvoIsRemoved() const { return m_kvoIsRemoved; }
    // The switch button's tag: 100 idle, 101 start asked, 102 casting.
    qint64 switchBtnTag() const { return m_switchBtnTag; }
    // Whether the tiles take clicks now, as every reason to keep them off
    // allows.
    bool tilesEnabled() const;

    // Button actions.
    void disconnectBtnClick();
    void backBtnClick(QObject *sender);
    void switchBtnClick();
    void freezeBtnClick();
    void fullScreenBtnClick();

    // Button styles.
    void initBtnStyle();
    void resetBtnStyle();
    void showConnectStatusBtn();
    void setSwitchBtnStyle(qint64 style);
    // Whether a cast is running or being asked for, as far as the tiles
    // care: they stay off meanwhile, dimmed.
    void setHoverStatus(bool castIdle);
    // Brings the tiles and the two main buttons' hover in line with the
    // screen's state, on the next turn of the event loop.
    void refreshHoverStatus();
    // false: the download window opens; the overlay comes up. true: it went.
    void openDownLoadPageWithStatus(bool closed);

    // Observation.
    void addKVOObserver();
    void removeKVOObserver();
    void addNotification();
    void removeNotification();
    void downLoadFileListJump(const QVariantMap &userInfo);
    void downLoadSelectFilePageIsClosed(const QVariantMap &userInfo);

    // The prompt shown where the screen cannot be captured.
    void showPermissionPromptVC();
    void removePermissionPromptVC();
    QVPermissionPromptVC *permissionPromptVC() const { return m_permissionPromptVC.data(); }

    // The file-share entry: the probe of the receiver's file functions, the
    // tiles' clicks, the file-share code and the alerts.
    void requestFileFunctions(qsizetype portIndex);
    bool isProbingFileFunctions() const { return m_probing; }
    void transferFileBtnClick();
    void downLoadFileBtnClick();
    void getFileShareVerifyCode(qsizetype portIndex);
    void getDownLoadFileVerifyCode(qsizetype portIndex);
    // The receiver's code; none when it asks for no code.
    void checkFileShareVerifyCode(const std::optional<QString> &code, const QString &baseUrl);
    void checkDownLoadFileVerifyCode(const std::optional<QString> &code, const QString &baseUrl);
    // The alert showing now, of either kind; null when none is.
    QVHaveInputAlertController *inputAlertVC() const;
    QVDefaultAlertController *defaultAlertVC() const;
    bool checkShowingAlert() const;
    void removeAlertVC();
    void setSystemVersionIsLowerAlertVC();
    void setConnectServerErrorAlertVC();
    void setServerRejectUploadAlertVC();
    void setServerCUPLoadAlertVC();
    void setUpgradeAlertVC();

    // Whether the user is being asked about remote input now.
    bool isAskingRemoteInputConsent() const { return m_askingConsent; }

protected:
    // Every appearance.
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    enum class FileTile { Upload, DownLoad };

    void baseSetting();
    void viewWillAppear();
    QVKVOModel *model() const;
    static QVShareManager *shareManager();

    void startCast();
    bool shouldAskRemoteInputConsent() const;
    void askRemoteInputConsent();
    void keepRemoteInputConsent(bool given);
    void applyFreezeStyle(qint64 style);
    void applyFullScreenStyle(qint64 style);
    void castDidStart();
    void castDidEnd();
    void castRequestDidEnd();
    void deviceDidDisconnect(qint64 type);
    void returnToReceiverList();
    void applyHoverStatus();

    void makeTiles();
    void fileTileClicked(FileTile tile);
    void getVerifyCode(FileTile tile, qsizetype portIndex);
    void checkVerifyCode(FileTile tile, const std::optional<QString> &code, const QString &baseUrl);
    void showInputAlert(FileTile tile, const QString &baseUrl);
    void openFileTile(FileTile tile, const QString &baseUrl);
    void showDefaultAlert(const char *contentKey);
    void requestEnded();
    QString baseUrlForPort(qsizetype portIndex) const;
    template <typename Request> std::shared_ptr<Request> makeRequest(const QString &baseUrl) const;

    QVShareScreenServices m_services;

    QVBackgrounView *m_bgView = nullptr;
    QVBackgrounView *m_hoverBgView = nullptr;
    QLabel *m_appNameLabel = nullptr;
    QLabel *m_connectLabel = nullptr;
    QLabel *m_deviceNameLabel = nullptr;
    QLabel *m_connectDescribeLabel = nullptr;
    QVCustomButton *m_disconnectBtn = nullptr;
    QVCustomButton *m_freezeBtn = nullptr;
    QVCustomButton *m_switchBtn = nullptr;
    QVCustomButton *m_fullScreenBtn = nullptr;
    QWidget *m_transferFileBgView = nullptr;
    QVTransferFileBgView *m_transferFileView = nullptr;
    QWidget *m_downLoadFileBgView = nullptr;
    QVDownLoadFileView *m_downLoadFileView = nullptr;
    QStringList m_portArray;
    QString m_verifyCode;
    QString m_connectIp;
    QVAlertSlot *m_alertSlot = nullptr;
    QVLoadingView *m_loadingView = nullptr;
    bool m_kvoIsRemoved = false;
    QPointer<QVPermissionPromptVC> m_permissionPromptVC;
    QPointer<QVKVOModel> m_observedModel;

    qint64 m_switchBtnTag = SwitchTagStart;
    // The reasons the tiles stay off.
    bool m_castBusy = false;
    bool m_downLoadWindowOpen = false;
    bool m_requestRunning = false;
    bool m_probing = false;
    bool m_askingConsent = false;
    bool m_remoteInputAskedHere = false;
    // The receiver answered the probe with its functions: its word outranks
    // the guess from the search reply's extra text.
    bool m_functionsAnswered = false;
    bool m_hoverRefreshQueued = false;
};

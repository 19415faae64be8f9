#pragma once

#include "BaseViewController/View/QVBaseViewController.h"
#include "Main/ViewController/DownLoadSelectFile/QVEncryptLockout.h"
#include "Main/ViewController/DownLoadSelectFile/QVRemoteFileModels.h"

#include <QList>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QUrl;
class QVBackgrounView;
class QVBaseButton;
class QVDownLoadFileListItem;
class QVDownLoadFileMenuListItem;
class QVDownLoadSortMenuView;
class QVFilePathView;
class QVHttpBaseRequest;
class QVImageHoverButton;
class QVLoadingView;
class QVThumbnailLoader;
class QVTipsBanner;
struct QVHttpBaseResponse;
struct QVHttpTask;
struct TavlinError;

// The clocks and the countdown of the browser. Production: the system's
// clocks and 21 s; tests run them scaled.
struct QVDownLoadSelectFileTimings {
    int countdownMs = 21000;
    // Seconds since 1970, for the lock-out record.
    std::function<qint64()> wallSeconds;
    // Milliseconds of a clock that never goes back, for the countdown.
    std::function<qint64()> monotonicMs;

    static QVDownLoadSelectFileTimings systemClocks();
};

// The remote file browser, the one page of the download window: the roots
// of the device's file share on the left, the open folder on the right
// (grid or list, sorted, both remembered), the path with its way back, file
// picking, protected roots with their password and the client's lock-out,
// and on confirm the hand-over of the picked files to the download page.
//
// Every request is tagged with the state it was sent for: an answer that
// comes after the user has moved on (another root, another folder) is
// dropped, so it can neither show the wrong folder nor store a password
// for the wrong root.
class QVDownLoadSelectFileVC : public QVBaseViewController
{
    Q_OBJECT
public:
    static inline const QString ClassName = QStringLiteral("QVDownLoadSelectFileVC");
    static inline const QString LayoutSettingKey = QStringLiteral("DownLoadFile_Layout_Setting");
    static inline const QString SortSettingKey = QStringLiteral("DownLoadFile_Sort_Setting");
    static inline const QString ShareScreenClassName = QStringLiteral("QVShareScreenViewController");

    // What the next pages are made with.
    static void setDefaultTimings(const QVDownLoadSelectFileTimings &timings);

    explicit QVDownLoadSelectFileVC(QWidget *parent = nullptr);
    ~QVDownLoadSelectFileVC() override;

    // State, for the views and for tests.
    QVRootMenuGroups menuListArray() const { return m_menuListArray; }
    QVRootMenuListModel currentRootMenuModel() const { return m_currentRootMenuModel; }
    QPair<int, int> selectMenuIndex() const { return m_selectMenuIndex; }
    QList<QVRemoteFileEntryPtr> fileListArray() const { return m_fileListArray; }
    QList<QVRemoteFileEntryPtr> fileSelectArray() const { return m_fileSelectArray; }
    QList<QVRemoteFileEntryPtr> topDirArray() const { return m_topDirArray; }
    qint64 canSelectFileCount() const { return m_canSelectFileCount; }
    qint64 layoutType() const { return m_layoutType; }
    qint64 sortType() const { return m_sortType; }
    qint64 isGlimraVersion() const { return m_isGlimraVersion; }
    bool isLoading() const;
    bool isLockTimerRunning() const { return m_timer.isActive(); }

    // Views.
    QListWidget *menuListCollectionView() const { return m_menuListCollectionView; }
    QListWidget *fileListCollectionView() const { return m_fileListCollectionView; }
    QVFilePathView *topFilePathView() const { return m_topFilePathView; }
    QVDownLoadSortMenuView *sortMenuView() const { return m_sortMenuView; }
    QVBaseButton *backBtn() const { return m_backBtn; }
    QVBaseButton *selectAllBtn() const { return m_selectAllBtn; }
    QVImageHoverButton *sortBtn() const { return m_sortBtn; }
    QVImageHoverButton *layoutBtn() const { return m_layoutBtn; }
    QLabel *selectedNItemsLabel() const { return m_selectedNItemsLabel; }
    QVBaseButton *confirmBtn() const { return m_confirmBtn; }
    QVBaseButton *cancelBtn() const { return m_cancelBtn; }
    QVBackgrounView *noDataView() const { return m_noDataView; }
    QVBackgrounView *lockView() const { return m_lockView; }
    QVBackgrounView *networkErrorView() const { return m_networkErrorView; }
    QVBackgrounView *allowTransferView() const { return m_allowTransferView; }
    QVBackgrounView *encryptView() const { return m_encryptView; }
    QLineEdit *secureTextField() const { return m_secureTextField; }
    QLineEdit *normalTextField() const { return m_normalTextField; }
    QVBaseButton *eyeBtn() const { return m_eyeBtn; }
    QVBaseButton *confirmPwdBtn() const { return m_confirmPwdBtn; }
    QLabel *errorLabel() const { return m_errorLabel; }
    QVTipsBanner *tipsBanner() const { return m_tipsBanner; }
    // The item that shows the listing's entry at `index`.
    QVDownLoadFileListItem *fileItem(int index) const;
    QVDownLoadFileMenuListItem *menuItem(int section, int item) const;

    // Operations.
    void getRootMenuList();
    void chooseRoot(int section, int item);
    void getFileListArrayWithFileModel(const QVRemoteFileEntryPtr &folder);
    void openFolder(const QVRemoteFileEntryPtr &folder);
    void selectItemWithModel(const QVRemoteFileEntryPtr &model);
    void backBtnClick();
    void selectAllBtnClick();
    void sortBtnClick();
    void chooseSortType(qint64 sortType);
    void layoutBtnClick();
    void confirmBtnClick();
    void cancelBtnClick();
    bool checkIsAllSelect() const;
    bool checkAllFolderTypes() const;
    void eyeBtnClick();
    void confirmPwdBtnClick();
    void checkEncryptPwd(const QString &pwd);

protected:
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void baseSetting();
    void setUpEncryptView();
    void layOut();
    QString fileShareIp() const;
    void track(const std::shared_ptr<QVHttpBaseRequest> &request);

    void rootListAnswer(const QVHttpTask &task, const QVHttpBaseResponse &response);
    void listRoot();
    void fileListAnswer(const QVRemoteFileEntryPtr &folder, const QVHttpBaseResponse &response);
    void fileListFailed(const TavlinError &error);
    void updateTopDirArrayWithModel(const QVRemoteFileEntryPtr &folder);
    void setBackBtnStyle(bool hidden);

    void reloadMenuListCollectionData();
    void reloadListCollectionData();
    void updateSelectedNItemsLabelStyle();
    void refreshSelectAllBtnStyle(bool selected);
    void refreshConfirmBtnStyle();
    void checkLayoutType();
    void checkSortType();
    bool checkIsSaveBookMark() const;
    void toDownLoadFilePage();
    void showLoadingView();
    void hiddenLoadingView();
    void showOnlyPanel(QVBackgrounView *panel);

    // Protected roots.
    void enterProtectedRoot();
    void checkGlimraStatus();
    bool checkPwdFaildTimesWithStatus(bool failed);
    void startLockTimer(qint64 remainingSeconds);
    void endLockTimer();
    void refreshErrorLabel();
    void updateEncryptPageEnabled(bool enabled);
    void updatePwdBtnEnabled(bool enabled);
    void updateMenuListWithPwd(const QString &pwd);
    void passwordEdited(QLineEdit *field);
    void clearPasswordFields();
    void showNetworkPanelOnly();
    QVRemoteFileEntryPtr rootFolderModel() const;

    QVDownLoadSelectFileTimings m_timings;
    QVEncryptLockout m_lockout;

    QVRootMenuGroups m_menuListArray;
    QList<QVRemoteFileEntryPtr> m_fileListArray;
    QList<QVRemoteFileEntryPtr> m_fileSelectArray;
    QList<QVRemoteFileEntryPtr> m_topDirArray;
    qint64 m_canSelectFileCount = 0;
    QPair<int, int> m_selectMenuIndex{0, 0};
    qint64 m_layoutType = 0;
    qint64 m_sortType = 1;
    qint64 m_isGlimraVersion = 0;
    QVRootMenuListModel m_currentRootMenuModel;
    QTimer m_timer;
    qint64 m_lockEndMs = 0;
    // Bumped by every choice that makes earlier answers stale.
    quint64 m_generation = 0;
    std::vector<std::weak_ptr<QVHttpBaseRequest>> m_requests;

    QVBackgrounView *m_leftListBgView = nullptr;
    QLabel *m_appNameLabel = nullptr;
    QLabel *m_menuTitleLabel = nullptr;
    QListWidget *m_menuListCollectionView = nullptr;
    QVBackgrounView *m_bgView = nullptr;
    QVBaseButton *m_backBtn = nullptr;
    QWidget *m_filePathBgView = nullptr;
    QVFilePathView *m_topFilePathView = nullptr;
    QVBaseButton *m_selectAllBtn = nullptr;
    QLabel *m_allSelectLabel = nullptr;
    QLabel *m_selectedNItemsLabel = nullptr;
    QVImageHoverButton *m_sortBtn = nullptr;
    QVImageHoverButton *m_layoutBtn = nullptr;
    QListWidget *m_fileListCollectionView = nullptr;
    QVBackgrounView *m_bottomViewLine = nullptr;
    QVBaseButton *m_confirmBtn = nullptr;
    QVBaseButton *m_cancelBtn = nullptr;
    QVBackgrounView *m_noDataView = nullptr;
    QVBackgrounView *m_lockView = nullptr;
    QVBackgrounView *m_networkErrorView = nullptr;
    QVBackgrounView *m_allowTransferView = nullptr;
    QVBackgrounView *m_encryptView = nullptr;
    QLabel *m_titleLabel = nullptr;
    QLineEdit *m_secureTextField = nullptr;
    QLineEdit *m_normalTextField = nullptr;
    QVBaseButton *m_eyeBtn = nullptr;
    QVBaseButton *m_confirmPwdBtn = nullptr;
    QLabel *m_errorLabel = nullptr;
    QVDownLoadSortMenuView *m_sortMenuView = nullptr;
    QVLoadingView *m_loadingView = nullptr;
    QVTipsBanner *m_tipsBanner = nullptr;
    QVThumbnailLoader *m_thumbnailLoader = nullptr;
    int m_filePathLeft = 0;
};

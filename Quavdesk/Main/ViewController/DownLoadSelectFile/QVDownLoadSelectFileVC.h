#pragma once

#include "BaseViewController/View/QVBaseViewController.h"
#include "Main/Browse/QVRemoteBrowser.h"
#include "Main/Browse/QVRemoteFolderModel.h"
#include "Main/Browse/QVRootMenuModel.h"

#include <QList>

class QLabel;
class QLineEdit;
class QVBackgrounView;
class QVBaseButton;
class QVDownLoadFileListView;
class QVDownLoadFileMenuView;
class QVDownLoadPanels;
class QVDownLoadSortMenuView;
class QVEncryptPanelView;
class QVFilePathView;
class QVImageHoverButton;
class QVProtectedRoot;
class QVTipsBanner;

// The remote file browser, the one page of the download window: the roots
// of the device's file share on the left, the open folder on the right
// (grid or list, sorted, both remembered), the path with its way back, file
// picking, protected roots with their password and the client's lock-out,
// and on confirm the hand-over of the picked files to the download page.
//
// The page is the views only; what it shows and every request live in its
// QVRemoteBrowser.
class QVDownLoadSelectFileVC : public QVBaseViewController
{
    Q_OBJECT
public:
    static inline const QString ClassName = QStringLiteral("QVDownLoadSelectFileVC");

    // What the next pages are made with.
    static void setDefaultServices(const QVRemoteBrowserServices &services);
    static void resetDefaultServices();

    explicit QVDownLoadSelectFileVC(QWidget *parent = nullptr);
    ~QVDownLoadSelectFileVC() override;

    QVRemoteBrowser *browser() const { return m_browser; }
    QVRemoteFolderModel *folder() const { return m_browser->folder(); }
    QVProtectedRoot *protectedRoot() const { return m_browser->protectedRoot(); }

    // State, for the views and for tests.
    QVRootMenuGroups menuListArray() const { return m_browser->rootMenu()->groups(); }
    QVRootMenuListModel currentRootMenuModel() const { return m_browser->currentRootMenuModel(); }
    QPair<int, int> selectMenuIndex() const { return m_browser->rootMenu()->selectMenuIndex(); }
    QList<QVRemoteFileEntryPtr> fileListArray() const { return folder()->entries(); }
    QList<QVRemoteFileEntryPtr> fileSelectArray() const { return folder()->picked(); }
    QList<QVRemoteFileEntryPtr> topDirArray() const { return m_browser->topDirArray(); }
    qint64 canSelectFileCount() const { return folder()->canSelectFileCount(); }
    qint64 layoutType() const { return m_browser->layoutType(); }
    qint64 sortType() const { return m_browser->sortType(); }
    qint64 isGlimraVersion() const { return m_browser->isGlimraVersion(); }
    bool isLoading() const;
    bool isLockTimerRunning() const;
    bool checkIsAllSelect() const { return folder()->checkIsAllSelect(); }
    bool checkAllFolderTypes() const { return folder()->checkAllFolderTypes(); }

    // Views.
    QVDownLoadFileMenuView *menuListCollectionView() const { return m_menuListCollectionView; }
    QVDownLoadFileListView *fileListCollectionView() const { return m_fileListCollectionView; }
    QVFilePathView *topFilePathView() const { return m_topFilePathView; }
    QVDownLoadSortMenuView *sortMenuView() const { return m_sortMenuView; }
    QVBaseButton *backBtn() const { return m_backBtn; }
    QVBaseButton *selectAllBtn() const { return m_selectAllBtn; }
    QVImageHoverButton *sortBtn() const { return m_sortBtn; }
    QVImageHoverButton *layoutBtn() const { return m_layoutBtn; }
    QLabel *selectedNItemsLabel() const { return m_selectedNItemsLabel; }
    // The line that says how many entries a long listing leaves out.
    QLabel *notShownLabel() const { return m_notShownLabel; }
    QVBaseButton *confirmBtn() const { return m_confirmBtn; }
    QVBaseButton *cancelBtn() const { return m_cancelBtn; }
    QVBackgrounView *panel(QVRemoteBrowser::Panel panel) const;
    QVBackgrounView *noDataView() const { return panel(QVRemoteBrowser::NoData); }
    QVBackgrounView *lockView() const { return panel(QVRemoteBrowser::Lock); }
    QVBackgrounView *networkErrorView() const { return panel(QVRemoteBrowser::NetworkError); }
    QVBackgrounView *allowTransferView() const { return panel(QVRemoteBrowser::AllowTransfer); }
    QVEncryptPanelView *encryptView() const;
    QLineEdit *secureTextField() const;
    QLineEdit *normalTextField() const;
    QVBaseButton *confirmPwdBtn() const;
    QLabel *errorLabel() const;
    QVTipsBanner *tipsBanner() const { return m_tipsBanner; }

    // Operations.
    void chooseRoot(int section, int item) { m_browser->chooseRoot(section, item); }
    void openFolder(const QVRemoteFileEntryPtr &folder) { m_browser->openFolder(folder); }
    void selectItemWithModel(const QVRemoteFileEntryPtr &model) { folder()->togglePick(model); }
    void backBtnClick() { m_browser->backBtnClick(); }
    void selectAllBtnClick();
    void sortBtnClick();
    void chooseSortType(qint64 sortType);
    void layoutBtnClick();
    void confirmBtnClick();
    void cancelBtnClick();
    void confirmPwdBtnClick();

protected:
    void hideEvent(QHideEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void baseSetting();
    void layOut();
    void orderOut();
    void pathChanged();
    void listingChanged();
    void pickedChanged();
    void layoutTypeChanged(qint64 layoutType);

    QVRemoteBrowser *m_browser = nullptr;

    QVBackgrounView *m_leftListBgView = nullptr;
    QLabel *m_appNameLabel = nullptr;
    QLabel *m_menuTitleLabel = nullptr;
    QVDownLoadFileMenuView *m_menuListCollectionView = nullptr;
    QVBackgrounView *m_bgView = nullptr;
    QVBaseButton *m_backBtn = nullptr;
    QWidget *m_filePathBgView = nullptr;
    QVFilePathView *m_topFilePathView = nullptr;
    QVBaseButton *m_selectAllBtn = nullptr;
    QLabel *m_allSelectLabel = nullptr;
    QLabel *m_selectedNItemsLabel = nullptr;
    QVImageHoverButton *m_sortBtn = nullptr;
    QVImageHoverButton *m_layoutBtn = nullptr;
    QVDownLoadFileListView *m_fileListCollectionView = nullptr;
    QVBackgrounView *m_bottomViewLine = nullptr;
    QLabel *m_notShownLabel = nullptr;
    QVBaseButton *m_confirmBtn = nullptr;
    QVBaseButton *m_cancelBtn = nullptr;
    QVDownLoadPanels *m_panels = nullptr;
    QVDownLoadSortMenuView *m_sortMenuView = nullptr;
    QVTipsBanner *m_tipsBanner = nullptr;
    int m_filePathLeft = 0;
};

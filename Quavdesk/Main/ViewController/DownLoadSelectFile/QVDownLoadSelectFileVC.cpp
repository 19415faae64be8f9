#include "Main/ViewController/DownLoadSelectFile/QVDownLoadSelectFileVC.h"

#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVImageHoverButton.h"
#include "BaseViewController/View/QVNamedImage.h"
#include "BaseViewController/View/QVShowTipsView.h"
#include "Categories/RVColor.h"
#include "Main/ViewController/DownLoadSelectFile/QVBrowseLook.h"
#include "Main/Browse/QVDownLoadHandOff.h"
#include "Main/Browse/QVProtectedRoot.h"
#include "Main/ViewController/DownLoadFilePath/QVDownLoadFilePathSettingVC.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadFileListView.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadFileMenuView.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadPanels.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadSortMenuView.h"
#include "Main/ViewController/DownLoadSelectFile/QVEncryptPanelView.h"
#include "Main/ViewController/DownLoadSelectFile/QVFilePathView.h"
#include "Main/ViewController/Root/QVTipsBanner.h"
#include "Main/ViewController/Root/QVWindow.h"
#include "PublicManager/QVPageRegistry.h"
#include "PublicManager/QVPublicTools.h"

#include <QCoreApplication>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>

#include <optional>

QV_REGISTER_PAGE(QVDownLoadSelectFileVC)

namespace {

constexpr int LeftWidth = 170;
constexpr int FileListTop = 92;
constexpr int BottomHeight = 64;
constexpr int FilePathBase = 50;
constexpr int GridSpacing = 10;

std::optional<QVRemoteBrowserServices> &defaultServices()
{
    static std::optional<QVRemoteBrowserServices> services;
    return services;
}

} // namespace

using QVBrowseLook::localizable;
using QVBrowseLook::setLook;

void QVDownLoadSelectFileVC::setDefaultServices(const QVRemoteBrowserServices &services)
{
    defaultServices() = services;
}

void QVDownLoadSelectFileVC::resetDefaultServices()
{
    defaultServices().reset();
}

QVDownLoadSelectFileVC::QVDownLoadSelectFileVC(QWidget *parent)
    : QVBaseViewController(parent)
    , m_browser(new QVRemoteBrowser(defaultServices() ? *defaultServices() : QVRemoteBrowserServices::linuxDefaults(),
                                    this))
{
    setObjectName(ClassName);
    resize(QVDownLoadWindow::ContentSize);
    baseSetting();
    m_browser->getRootMenuList();
}

QVDownLoadSelectFileVC::~QVDownLoadSelectFileVC() = default;

// ---------------------------------------------------------------------------
// Set-up

void QVDownLoadSelectFileVC::baseSetting()
{
    QVPublicTools::sharedPublicTools()->vcCacheDictionary().insert(ClassName, this);

    m_leftListBgView = new QVBackgrounView(this);
    m_leftListBgView->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0x5879FC")));
    m_appNameLabel = new QLabel(localizable("app_name"), m_leftListBgView);
    setLook(m_appNameLabel, 18, Qt::white, true);
    m_menuTitleLabel = new QLabel(localizable("shareScreen_downLoadFile_title"), m_leftListBgView);
    setLook(m_menuTitleLabel, 13, QColor(255, 255, 255, 200));
    m_menuListCollectionView = new QVDownLoadFileMenuView(m_leftListBgView);
    m_menuListCollectionView->setModel(m_browser->rootMenu());
    connect(m_menuListCollectionView, &QVDownLoadFileMenuView::rootClicked, this, [this](int section, int item) {
        // The menu changes under the press: leave the view's handler first.
        QPointer<QVDownLoadSelectFileVC> self(this);
        QMetaObject::invokeMethod(
            this, [self, section, item] { if (self) self->chooseRoot(section, item); }, Qt::QueuedConnection);
    });

    m_bgView = new QVBackgrounView(this);
    m_bgView->setObjectName(QStringLiteral("bgView"));
    m_bgView->setBackgroundColor(Qt::white);

    m_backBtn = new QVBaseButton(m_bgView);
    m_backBtn->setObjectName(QStringLiteral("backBtn"));
    m_backBtn->setImage(QVNamedImage(QStringLiteral("list_back")));
    m_backBtn->setIsInteraction(true);
    connect(m_backBtn, &QAbstractButton::clicked, this, &QVDownLoadSelectFileVC::backBtnClick);
    m_filePathBgView = new QWidget(m_bgView);
    m_topFilePathView = new QVFilePathView(m_filePathBgView);
    m_topFilePathView->topFilePathClick = [this](const QVRemoteFileEntryPtr &folder) {
        m_browser->getFileListArrayWithFileModel(folder);
    };

    m_selectAllBtn = new QVBaseButton(m_bgView);
    m_selectAllBtn->setObjectName(QStringLiteral("selectAllBtn"));
    m_selectAllBtn->setClickStyle(false);
    connect(m_selectAllBtn, &QAbstractButton::clicked, this, &QVDownLoadSelectFileVC::selectAllBtnClick);
    m_allSelectLabel = new QLabel(localizable("downLoadFile_topBar_allSelect"), m_bgView);
    setLook(m_allSelectLabel, 13, QColor(0x33, 0x33, 0x33));
    m_selectedNItemsLabel = new QLabel(m_bgView);
    setLook(m_selectedNItemsLabel, 13, QColor(0x99, 0x99, 0x99));
    m_sortBtn = new QVImageHoverButton(m_bgView);
    m_sortBtn->setObjectName(QStringLiteral("sortBtn"));
    m_sortBtn->setImage(QVNamedImage(QStringLiteral("list_sort")));
    connect(m_sortBtn, &QAbstractButton::clicked, this, &QVDownLoadSelectFileVC::sortBtnClick);
    m_layoutBtn = new QVImageHoverButton(m_bgView);
    m_layoutBtn->setObjectName(QStringLiteral("layoutBtn"));
    connect(m_layoutBtn, &QAbstractButton::clicked, this, &QVDownLoadSelectFileVC::layoutBtnClick);

    m_fileListCollectionView = new QVDownLoadFileListView(m_bgView);
    m_fileListCollectionView->setModel(folder());
    connect(m_fileListCollectionView, &QVDownLoadFileListView::entryClicked, this,
            [this](const QVRemoteFileEntryPtr &entry) { folder()->togglePick(entry); });
    connect(m_fileListCollectionView, &QVDownLoadFileListView::entryDoubleClicked, this,
            [this](const QVRemoteFileEntryPtr &entry) {
                if (!entry->isFolder())
                    return;
                // The listing is replaced: leave the view's handler first.
                QPointer<QVDownLoadSelectFileVC> self(this);
                QMetaObject::invokeMethod(
                    this, [self, entry] { if (self) self->openFolder(entry); }, Qt::QueuedConnection);
            });

    m_bottomViewLine = new QVBackgrounView(m_bgView);
    m_bottomViewLine->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0x979797")));
    m_notShownLabel = new QLabel(m_bgView);
    m_notShownLabel->setObjectName(QStringLiteral("notShownLabel"));
    setLook(m_notShownLabel, 12, QColor(0x99, 0x99, 0x99));
    m_notShownLabel->hide();
    m_confirmBtn = new QVBaseButton(localizable("downLoadFile_btn_selectFile_confirm"), m_bgView);
    m_confirmBtn->setObjectName(QStringLiteral("confirmBtn"));
    m_confirmBtn->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0x5879FC")));
    m_confirmBtn->setIsRadius(true);
    m_confirmBtn->setCornerRadius(5.0);
    setLook(m_confirmBtn, 14, Qt::white);
    connect(m_confirmBtn, &QAbstractButton::clicked, this, &QVDownLoadSelectFileVC::confirmBtnClick);
    m_cancelBtn = new QVBaseButton(localizable("downLoadFile_btn_selectFile_cancel"), m_bgView);
    m_cancelBtn->setObjectName(QStringLiteral("cancelBtn"));
    m_cancelBtn->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0xEDEDED")));
    m_cancelBtn->setIsRadius(true);
    m_cancelBtn->setCornerRadius(5.0);
    m_cancelBtn->setIsInteraction(true);
    setLook(m_cancelBtn, 14, QColor(0x33, 0x33, 0x33));
    connect(m_cancelBtn, &QAbstractButton::clicked, this, &QVDownLoadSelectFileVC::cancelBtnClick);

    m_panels = new QVDownLoadPanels(m_browser, m_bgView);

    m_sortMenuView = new QVDownLoadSortMenuView(this);
    m_sortMenuView->hide();
    m_sortMenuView->sortCellClickBlock = [this](qint64 sortType) { chooseSortType(sortType); };
    m_sortMenuView->setSortType(m_browser->sortType());

    m_tipsBanner = new QVTipsBanner(this);
    connect(protectedRoot(), &QVProtectedRoot::wrongPassword, this,
            [this](const QString &text) { m_tipsBanner->showTipsWithTitle(text, QVTipsBanner::TypeBad); });

    connect(m_browser, &QVRemoteBrowser::pathChanged, this, &QVDownLoadSelectFileVC::pathChanged);
    connect(m_browser, &QVRemoteBrowser::layoutTypeChanged, this, &QVDownLoadSelectFileVC::layoutTypeChanged);
    connect(folder(), &QAbstractItemModel::modelReset, this, &QVDownLoadSelectFileVC::listingChanged);
    connect(folder(), &QVRemoteFolderModel::pickedChanged, this, &QVDownLoadSelectFileVC::pickedChanged);

    layoutTypeChanged(m_browser->layoutType());
    listingChanged();
    pathChanged();
    layOut();
}

void QVDownLoadSelectFileVC::resizeEvent(QResizeEvent *event)
{
    QVBaseViewController::resizeEvent(event);
    layOut();
}

void QVDownLoadSelectFileVC::layOut()
{
    const int h = height();
    m_leftListBgView->setGeometry(0, 0, LeftWidth, h);
    m_appNameLabel->setGeometry(20, 16, LeftWidth - 30, 24);
    m_menuTitleLabel->setGeometry(20, 44, LeftWidth - 30, 20);
    m_menuListCollectionView->setGeometry(0, 80, LeftWidth, h - 80);
    m_bgView->setGeometry(LeftWidth, 0, width() - LeftWidth, h);
    const int w = m_bgView->width();
    m_backBtn->setGeometry(20, 18, 24, 24);
    m_filePathBgView->setGeometry(m_filePathLeft, 16, std::min(660, w - m_filePathLeft), 28);
    m_topFilePathView->setGeometry(0, 0, 660, 28);
    m_selectAllBtn->setGeometry(20, 60, 18, 18);
    m_allSelectLabel->setGeometry(44, 56, 90, 26);
    m_selectedNItemsLabel->setGeometry(140, 56, 260, 26);
    m_sortBtn->setGeometry(w - 84, 54, 30, 30);
    m_layoutBtn->setGeometry(w - 48, 54, 30, 30);
    const QRect listArea(0, FileListTop, w, h - FileListTop - BottomHeight);
    m_fileListCollectionView->setGeometry(listArea.adjusted(GridSpacing, 0, 0, 0));
    m_bottomViewLine->setGeometry(0, h - BottomHeight, w, 1);
    m_notShownLabel->setGeometry(20, h - 48, std::max(0, w - 290), 32);
    m_cancelBtn->setGeometry(w - 250, h - 48, 100, 32);
    m_confirmBtn->setGeometry(w - 134, h - 48, 114, 32);
    m_panels->layOut(listArea);
    m_sortMenuView->setGeometry(m_bgView->geometry());
    m_sortMenuView->setPanelTopRight(QPoint(m_layoutBtn->geometry().right() + 1, m_sortBtn->geometry().bottom() + 4));
    // The banner lies across the page's top edge.
    m_tipsBanner->tipsView()->setGeometry(0, 0, width(), QVTipsBanner::DefaultHeight);
}

void QVDownLoadSelectFileVC::showEvent(QShowEvent *event)
{
    QVBaseViewController::showEvent(event);
    m_browser->thumbnails()->setTargetSize(
        QSize(QVDownLoadFileItemDelegate::GridImageSide, QVDownLoadFileItemDelegate::GridImageSide)
        * devicePixelRatioF());
    protectedRoot()->resumeCountdown();
}

void QVDownLoadSelectFileVC::hideEvent(QHideEvent *event)
{
    QVBaseViewController::hideEvent(event);
    // A minimised window still counts down; a page that went away does not.
    if (!event->spontaneous())
        protectedRoot()->stopCountdown();
}

// ---------------------------------------------------------------------------
// What the browser's state shows

QVBackgrounView *QVDownLoadSelectFileVC::panel(QVRemoteBrowser::Panel panel) const
{
    return m_panels->panel(panel);
}

QVEncryptPanelView *QVDownLoadSelectFileVC::encryptView() const
{
    return m_panels->encryptView();
}

QLineEdit *QVDownLoadSelectFileVC::secureTextField() const
{
    return encryptView()->secureTextField();
}

QLineEdit *QVDownLoadSelectFileVC::normalTextField() const
{
    return encryptView()->normalTextField();
}

QVBaseButton *QVDownLoadSelectFileVC::confirmPwdBtn() const
{
    return encryptView()->confirmPwdBtn();
}

QLabel *QVDownLoadSelectFileVC::errorLabel() const
{
    return encryptView()->errorLabel();
}

bool QVDownLoadSelectFileVC::isLoading() const
{
    return m_panels->isLoading();
}

bool QVDownLoadSelectFileVC::isLockTimerRunning() const
{
    return protectedRoot()->isLockTimerRunning();
}

void QVDownLoadSelectFileVC::pathChanged()
{
    const QList<QVRemoteFileEntryPtr> path = m_browser->topDirArray();
    m_topFilePathView->setFilePathArray(path);
    // The path bar moves left when there is no way back.
    const bool hidden = path.size() < 2;
    m_backBtn->setHidden(hidden);
    m_filePathLeft = FilePathBase + (hidden ? -30 : 20);
    m_filePathBgView->move(m_filePathLeft, m_filePathBgView->y());
    m_filePathBgView->resize(std::min(660, m_bgView->width() - m_filePathLeft), m_filePathBgView->height());
}

void QVDownLoadSelectFileVC::listingChanged()
{
    const qsizetype notShown = folder()->notShownCount();
    m_notShownLabel->setText(notShown > 0 ? localizable("downLoadFile_list_not_shown_n_items").arg(notShown)
                                          : QString());
    m_notShownLabel->setVisible(notShown > 0);
    pickedChanged();
}

void QVDownLoadSelectFileVC::pickedChanged()
{
    const bool all = folder()->checkIsAllSelect();
    m_selectAllBtn->setIsSelect(all);
    m_selectAllBtn->setImage(QVNamedImage(QStringLiteral("list_fileList_cell_select_%1").arg(all ? 1 : 0)));
    m_selectedNItemsLabel->setText(localizable("downLoadFile_topBar_select_n_items").arg(folder()->picked().size()));
    const bool any = !folder()->picked().isEmpty();
    m_confirmBtn->setEnabled(any);
    m_confirmBtn->setIsInteraction(any);
    m_confirmBtn->setBackgroundColor(
        rv_colorWithHexString(any ? QStringLiteral("0x5879FC") : QStringLiteral("0x5879FC80")));
}

// ---------------------------------------------------------------------------
// Picking, sort and layout

void QVDownLoadSelectFileVC::selectAllBtnClick()
{
    if (m_selectAllBtn->isSelect())
        folder()->clearPicks();
    else if (!folder()->checkAllFolderTypes())
        folder()->pickAllFiles();
}

void QVDownLoadSelectFileVC::sortBtnClick()
{
    m_sortMenuView->setVisible(m_sortMenuView->isHidden());
    m_sortMenuView->raise();
}

void QVDownLoadSelectFileVC::chooseSortType(qint64 sortType)
{
    m_browser->chooseSortType(sortType);
    m_sortMenuView->setSortType(sortType);
    m_sortMenuView->hide();
}

void QVDownLoadSelectFileVC::layoutBtnClick()
{
    m_browser->switchLayout();
}

void QVDownLoadSelectFileVC::layoutTypeChanged(qint64 layoutType)
{
    m_fileListCollectionView->setLayoutType(layoutType);
    m_layoutBtn->setImage(QVNamedImage(layoutType == QVSortAndLayout::Grid ? QStringLiteral("list_layout_list")
                                                                          : QStringLiteral("list_layout_grid")));
}

// ---------------------------------------------------------------------------
// Confirm and cancel

void QVDownLoadSelectFileVC::orderOut()
{
    if (auto *chrome = qobject_cast<QVWindowChrome *>(window()))
        chrome->orderOut();
}

void QVDownLoadSelectFileVC::confirmBtnClick()
{
    if (folder()->picked().isEmpty())
        return;
    QPointer<QVDownLoadSelectFileVC> self(this);
    const auto handOff = [self] {
        QVDownLoadHandOff::toDownLoadFilePage(self->currentRootMenuModel().encryptPwd, self->fileSelectArray(),
                                              [self] { if (self) self->orderOut(); });
    };
    if (QVDownLoadHandOff::checkIsSaveBookMark()) {
        handOff();
        return;
    }
    QVDownLoadFilePathSettingVC::chooseFolder(this, [self, handOff](const QUrl &chosen) {
        if (!self || chosen.isEmpty() || !chosen.isLocalFile())
            return;
        QVPublicTools::sharedPublicTools()->saveDownLoadFilePathWithWithUrl(chosen);
        handOff();
    });
}

void QVDownLoadSelectFileVC::cancelBtnClick()
{
    QPointer<QVDownLoadSelectFileVC> self(this);
    QVDownLoadHandOff::cancel([self] { if (self) self->orderOut(); });
}

void QVDownLoadSelectFileVC::confirmPwdBtnClick()
{
    encryptView()->confirmPwdBtnClick();
}

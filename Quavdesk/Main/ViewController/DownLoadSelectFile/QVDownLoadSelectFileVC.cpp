#include "Main/ViewController/DownLoadSelectFile/QVDownLoadSelectFileVC.h"

#include "AFNetwork/QVFileShareApi.h"
#include "AFNetwork/QVHttpError.h"
#include "AFNetwork/QVNetWork.h"
#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVImageHoverButton.h"
#include "BaseViewController/View/QVLoadingView.h"
#include "BaseViewController/View/QVNamedImage.h"
#include "Categories/RVColor.h"
#include "Main/ViewController/DownLoadFilePath/QVDownLoadFilePathSettingVC.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadFileItems.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadSortMenuView.h"
#include "Main/ViewController/DownLoadSelectFile/QVFilePathView.h"
#include "Main/ViewController/Root/QVTipsBanner.h"
#include "Main/ViewController/Root/QVWindow.h"
#include "PublicManager/QVNotificationCenter.h"
#include "PublicManager/QVPageRegistry.h"
#include "PublicManager/QVPublicTools.h"
#include "PublicManager/QVShareManager.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>

QV_REGISTER_PAGE(QVDownLoadSelectFileVC)

namespace {

constexpr int LeftWidth = 170;
constexpr int FileListTop = 92;
constexpr int BottomHeight = 64;
constexpr int FilePathBase = 50;
constexpr int GridSpacing = 10;

QString localizable(const char *key)
{
    return QCoreApplication::translate("Localizable", key);
}

QVDownLoadSelectFileTimings &defaultTimings()
{
    static QVDownLoadSelectFileTimings timings = QVDownLoadSelectFileTimings::systemClocks();
    return timings;
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::ButtonText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

void setPixelSize(QWidget *widget, int size, bool bold = false)
{
    QFont font = widget->font();
    font.setPixelSize(size);
    font.setBold(bold);
    widget->setFont(font);
}

QVBackgrounView *makePanel(QWidget *parent, const QString &objectName, const QStringList &texts)
{
    auto *panel = new QVBackgrounView(parent);
    panel->setObjectName(objectName);
    panel->setBackgroundColor(Qt::white);
    panel->setIsBlockingEvents(true);
    int y = 150;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        auto *label = new QLabel(texts.at(i), panel);
        label->setObjectName(i == 0 ? QStringLiteral("title") : QStringLiteral("detail"));
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        setPixelSize(label, i == 0 ? 15 : 13, i == 0);
        setTextColor(label, i == 0 ? QColor(0x33, 0x33, 0x33) : QColor(0x99, 0x99, 0x99));
        label->setProperty("top", y);
        y += 34;
    }
    panel->hide();
    return panel;
}

void layOutPanel(QVBackgrounView *panel, const QRect &area)
{
    panel->setGeometry(area);
    for (QLabel *label : panel->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        const int top = label->property("top").toInt();
        if (top > 0)
            label->setGeometry(40, top * area.height() / 464, area.width() - 80, 30);
    }
}

} // namespace

QVDownLoadSelectFileTimings QVDownLoadSelectFileTimings::systemClocks()
{
    QVDownLoadSelectFileTimings timings;
    timings.wallSeconds = [] { return QDateTime::currentSecsSinceEpoch(); };
    timings.monotonicMs = [] {
        static QElapsedTimer clock = [] {
            QElapsedTimer started;
            started.start();
            return started;
        }();
        return clock.elapsed();
    };
    return timings;
}

void QVDownLoadSelectFileVC::setDefaultTimings(const QVDownLoadSelectFileTimings &timings)
{
    defaultTimings() = timings;
}

QVDownLoadSelectFileVC::QVDownLoadSelectFileVC(QWidget *parent)
    : QVBaseViewController(parent)
    , m_timings(defaultTimings())
    , m_lockout(QVPublicTools::sharedPublicTools()->userDefaults())
{
    setObjectName(ClassName);
    resize(QVDownLoadWindow::ContentSize);
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &QVDownLoadSelectFileVC::refreshErrorLabel);
    baseSetting();
    getRootMenuList();
}

QVDownLoadSelectFileVC::~QVDownLoadSelectFileVC()
{
    for (const std::weak_ptr<QVHttpBaseRequest> &weak : m_requests) {
        if (const std::shared_ptr<QVHttpBaseRequest> request = weak.lock())
            request->cancel();
    }
}

QString QVDownLoadSelectFileVC::fileShareIp() const
{
    QVShareManager *manager = QVShareManager::sharedShareManager();
    return manager ? manager->fileShareIp() : QString();
}

void QVDownLoadSelectFileVC::track(const std::shared_ptr<QVHttpBaseRequest> &request)
{
    std::erase_if(m_requests, [](const std::weak_ptr<QVHttpBaseRequest> &weak) { return weak.expired(); });
    m_requests.push_back(request);
}

// ---------------------------------------------------------------------------
// Set-up

void QVDownLoadSelectFileVC::baseSetting()
{
    QVPublicTools *tools = QVPublicTools::sharedPublicTools();
    tools->vcCacheDictionary().insert(ClassName, this);

    m_leftListBgView = new QVBackgrounView(this);
    m_leftListBgView->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0x5879FC")));
    m_appNameLabel = new QLabel(localizable("app_name"), m_leftListBgView);
    setPixelSize(m_appNameLabel, 18, true);
    setTextColor(m_appNameLabel, Qt::white);
    m_menuTitleLabel = new QLabel(localizable("shareScreen_downLoadFile_title"), m_leftListBgView);
    setPixelSize(m_menuTitleLabel, 13);
    setTextColor(m_menuTitleLabel, QColor(255, 255, 255, 200));
    m_menuListCollectionView = new QListWidget(m_leftListBgView);
    m_menuListCollectionView->setObjectName(QStringLiteral("menuListCollectionView"));
    m_menuListCollectionView->setFrameShape(QFrame::NoFrame);
    m_menuListCollectionView->setSelectionMode(QAbstractItemView::NoSelection);
    m_menuListCollectionView->setFocusPolicy(Qt::NoFocus);
    m_menuListCollectionView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_menuListCollectionView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_menuListCollectionView->setStyleSheet(QStringLiteral("QListWidget { background: transparent; }"));

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
        getFileListArrayWithFileModel(folder);
    };

    m_selectAllBtn = new QVBaseButton(m_bgView);
    m_selectAllBtn->setObjectName(QStringLiteral("selectAllBtn"));
    m_selectAllBtn->setClickStyle(false);
    connect(m_selectAllBtn, &QAbstractButton::clicked, this, &QVDownLoadSelectFileVC::selectAllBtnClick);
    m_allSelectLabel = new QLabel(localizable("downLoadFile_topBar_allSelect"), m_bgView);
    setPixelSize(m_allSelectLabel, 13);
    setTextColor(m_allSelectLabel, QColor(0x33, 0x33, 0x33));
    m_selectedNItemsLabel = new QLabel(m_bgView);
    setPixelSize(m_selectedNItemsLabel, 13);
    setTextColor(m_selectedNItemsLabel, QColor(0x99, 0x99, 0x99));
    m_sortBtn = new QVImageHoverButton(m_bgView);
    m_sortBtn->setObjectName(QStringLiteral("sortBtn"));
    m_sortBtn->setImage(QVNamedImage(QStringLiteral("list_sort")));
    connect(m_sortBtn, &QAbstractButton::clicked, this, &QVDownLoadSelectFileVC::sortBtnClick);
    m_layoutBtn = new QVImageHoverButton(m_bgView);
    m_layoutBtn->setObjectName(QStringLiteral("layoutBtn"));
    connect(m_layoutBtn, &QAbstractButton::clicked, this, &QVDownLoadSelectFileVC::layoutBtnClick);

    m_fileListCollectionView = new QListWidget(m_bgView);
    m_fileListCollectionView->setObjectName(QStringLiteral("fileListCollectionView"));
    m_fileListCollectionView->setFrameShape(QFrame::NoFrame);
    m_fileListCollectionView->setSelectionMode(QAbstractItemView::NoSelection);
    m_fileListCollectionView->setFocusPolicy(Qt::NoFocus);
    m_fileListCollectionView->setMovement(QListView::Static);
    m_fileListCollectionView->setResizeMode(QListView::Adjust);
    m_fileListCollectionView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_fileListCollectionView->setStyleSheet(QStringLiteral("QListWidget { background: white; }"));

    m_bottomViewLine = new QVBackgrounView(m_bgView);
    m_bottomViewLine->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0x979797")));
    m_confirmBtn = new QVBaseButton(localizable("downLoadFile_btn_selectFile_confirm"), m_bgView);
    m_confirmBtn->setObjectName(QStringLiteral("confirmBtn"));
    m_confirmBtn->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0x5879FC")));
    m_confirmBtn->setIsRadius(true);
    m_confirmBtn->setCornerRadius(5.0);
    setTextColor(m_confirmBtn, Qt::white);
    setPixelSize(m_confirmBtn, 14);
    connect(m_confirmBtn, &QAbstractButton::clicked, this, &QVDownLoadSelectFileVC::confirmBtnClick);
    m_cancelBtn = new QVBaseButton(localizable("downLoadFile_btn_selectFile_cancel"), m_bgView);
    m_cancelBtn->setObjectName(QStringLiteral("cancelBtn"));
    m_cancelBtn->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0xEDEDED")));
    m_cancelBtn->setIsRadius(true);
    m_cancelBtn->setCornerRadius(5.0);
    m_cancelBtn->setIsInteraction(true);
    setTextColor(m_cancelBtn, QColor(0x33, 0x33, 0x33));
    setPixelSize(m_cancelBtn, 14);
    connect(m_cancelBtn, &QAbstractButton::clicked, this, &QVDownLoadSelectFileVC::cancelBtnClick);

    m_noDataView = makePanel(m_bgView, QStringLiteral("noDataView"), {localizable("downLoad_noData_title")});
    m_lockView = makePanel(m_bgView, QStringLiteral("lockView"),
                           {localizable("downLoad_lock_title"), localizable("downLoad_lock_detail")});
    m_networkErrorView = makePanel(m_bgView, QStringLiteral("networkErrorView"),
                                   {localizable("downLoad_networkErr_title")});
    m_allowTransferView = makePanel(m_bgView, QStringLiteral("allowTransferView"),
                                    {localizable("downLoad_allowTransfer_title")});
    setUpEncryptView();

    m_sortMenuView = new QVDownLoadSortMenuView(this);
    m_sortMenuView->hide();
    m_sortMenuView->sortCellClickBlock = [this](qint64 sortType) { chooseSortType(sortType); };

    m_loadingView = new QVLoadingView(QRect(QPoint(0, 0), m_bgView->size()), m_bgView);
    m_loadingView->setObjectName(QStringLiteral("loadingView"));
    m_loadingView->setBackgroundColor(QColor(128, 128, 128));
    m_loadingView->setIsOpacity(true);
    m_loadingView->setOpacity(0.5);
    m_loadingView->hiddenLoadingView();

    m_tipsBanner = new QVTipsBanner(this);
    m_thumbnailLoader = new QVThumbnailLoader(this);

    checkLayoutType();
    checkSortType();
    m_selectMenuIndex = {0, 0};
    updateSelectedNItemsLabelStyle();
    refreshConfirmBtnStyle();
    refreshSelectAllBtnStyle(false);
    setBackBtnStyle(true);
    layOut();
}

void QVDownLoadSelectFileVC::setUpEncryptView()
{
    m_encryptView = new QVBackgrounView(m_bgView);
    m_encryptView->setObjectName(QStringLiteral("encryptView"));
    m_encryptView->setBackgroundColor(Qt::white);
    m_encryptView->setIsBlockingEvents(true);
    m_encryptView->hide();
    m_titleLabel = new QLabel(localizable("downLoadFile_encrypt_title"), m_encryptView);
    m_titleLabel->setAlignment(Qt::AlignCenter);
    setPixelSize(m_titleLabel, 15, true);
    setTextColor(m_titleLabel, QColor(0x33, 0x33, 0x33));
    m_secureTextField = new QLineEdit(m_encryptView);
    m_secureTextField->setObjectName(QStringLiteral("secureTextField"));
    m_secureTextField->setEchoMode(QLineEdit::Password);
    m_normalTextField = new QLineEdit(m_encryptView);
    m_normalTextField->setObjectName(QStringLiteral("normalTextField"));
    m_normalTextField->hide();
    for (QLineEdit *field : {m_secureTextField, m_normalTextField}) {
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        field->setAttribute(Qt::WA_MacShowFocusRect, false);
        setPixelSize(field, 16);
        field->setTextMargins(12, 0, 36, 0);
        connect(field, &QLineEdit::textEdited, this, [this, field] { passwordEdited(field); });
        connect(field, &QLineEdit::returnPressed, this, [this] {
            const QLineEdit *visible = m_normalTextField->isVisibleTo(m_encryptView) ? m_normalTextField
                                                                                      : m_secureTextField;
            if (visible->text().size() == QVEncryptLockout::PasswordDigits)
                confirmPwdBtnClick();
        });
    }
    m_eyeBtn = new QVBaseButton(m_encryptView);
    m_eyeBtn->setObjectName(QStringLiteral("eyeBtn"));
    m_eyeBtn->setImage(QVNamedImage(QStringLiteral("list_encrypt_closeEye")));
    connect(m_eyeBtn, &QAbstractButton::clicked, this, &QVDownLoadSelectFileVC::eyeBtnClick);
    m_confirmPwdBtn = new QVBaseButton(localizable("alert_shareCode_sure"), m_encryptView);
    m_confirmPwdBtn->setObjectName(QStringLiteral("confirmPwdBtn"));
    m_confirmPwdBtn->setIsRadius(true);
    m_confirmPwdBtn->setCornerRadius(5.0);
    setTextColor(m_confirmPwdBtn, Qt::white);
    setPixelSize(m_confirmPwdBtn, 14);
    connect(m_confirmPwdBtn, &QAbstractButton::clicked, this, &QVDownLoadSelectFileVC::confirmPwdBtnClick);
    m_errorLabel = new QLabel(m_encryptView);
    m_errorLabel->setObjectName(QStringLiteral("errorLabel"));
    m_errorLabel->setAlignment(Qt::AlignCenter);
    m_errorLabel->setWordWrap(true);
    setPixelSize(m_errorLabel, 13);
    setTextColor(m_errorLabel, rv_colorWithHexString(QStringLiteral("0xFF0000")));
    m_errorLabel->hide();
    updateEncryptPageEnabled(false);
    updatePwdBtnEnabled(false);
}

void QVDownLoadSelectFileVC::resizeEvent(QResizeEvent *event)
{
    QVBaseViewController::resizeEvent(event);
    layOut();
}

void QVDownLoadSelectFileVC::layOut()
{
    if (!m_bgView)
        return;
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
    m_cancelBtn->setGeometry(w - 250, h - 48, 100, 32);
    m_confirmBtn->setGeometry(w - 134, h - 48, 114, 32);
    for (QVBackgrounView *panel : {m_noDataView, m_lockView, m_networkErrorView, m_allowTransferView})
        layOutPanel(panel, listArea);
    m_encryptView->setGeometry(listArea);
    const int centre = w / 2;
    m_titleLabel->setGeometry(40, 70, w - 80, 30);
    m_secureTextField->setGeometry(centre - 130, 120, 260, 40);
    m_normalTextField->setGeometry(centre - 130, 120, 260, 40);
    m_eyeBtn->setGeometry(centre + 130 - 34, 128, 24, 24);
    m_confirmPwdBtn->setGeometry(centre - 130, 180, 260, 38);
    m_errorLabel->setGeometry(40, 234, w - 80, 40);
    m_sortMenuView->setGeometry(m_bgView->geometry());
    m_sortMenuView->setPanelTopRight(QPoint(m_layoutBtn->geometry().right() + 1, m_sortBtn->geometry().bottom() + 4));
    m_loadingView->setGeometry(QRect(QPoint(0, 0), m_bgView->size()));
    m_loadingView->customLoadingView()->move((w - 50) / 2, (h - 50) / 2);
    m_loadingView->raise();
    reloadListCollectionData();
}

// ---------------------------------------------------------------------------
// Root menu

void QVDownLoadSelectFileVC::getRootMenuList()
{
    showLoadingView();
    auto request = std::make_shared<QVGetRootMenuListApi>(fileShareIp());
    track(request);
    QPointer<QVDownLoadSelectFileVC> self(this);
    request->startGlimraHubRequestWithSuccess(
        [self](const QVHttpTask &task, const QVHttpBaseResponse &response) {
            if (self)
                self->rootListAnswer(task, response);
        },
        [self](const QVHttpTask &, const TavlinError &error) {
            if (!self || QVHttpError::isCancel(error))
                return;
            self->hiddenLoadingView();
            // No root to show.
            self->showOnlyPanel(self->m_noDataView);
        });
}

void QVDownLoadSelectFileVC::rootListAnswer(const QVHttpTask &task, const QVHttpBaseResponse &response)
{
    m_isGlimraVersion = QVGetRootMenuListApi::glimraApiVersion(task);
    QVRootMenuGroups groups;
    if (m_isGlimraVersion == 1) {
        groups = QVRemoteFiles::rootGroupsWithContent(response.content);
        const QString address = fileShareIp();
        for (QList<QVRootMenuListModel> &group : groups) {
            for (QVRootMenuListModel &entry : group)
                entry.encryptPwd = m_lockout.getPassWord(address, entry.rootKey);
        }
    } else {
        groups = QVRemoteFiles::fixedRootGroups();
    }
    m_menuListArray = groups;
    hiddenLoadingView();
    if (groups.isEmpty()) {
        // A device without a root shows an empty browser.
        showOnlyPanel(m_noDataView);
        reloadMenuListCollectionData();
        return;
    }
    m_selectMenuIndex = {0, 0};
    m_currentRootMenuModel = groups.first().first();
    // A protected first root is entered as if the user had chosen it.
    if (m_currentRootMenuModel.needPwd)
        enterProtectedRoot();
    else
        listRoot();
    reloadMenuListCollectionData();
}

QVRemoteFileEntryPtr QVDownLoadSelectFileVC::rootFolderModel() const
{
    const QString name = m_currentRootMenuModel.isGlimraVersion
                             ? m_currentRootMenuModel.name
                             : QCoreApplication::translate(
                                   "Localizable",
                                   QVPublicTools::getRootMenuNameWithRootKey(m_currentRootMenuModel.rootKey).toUtf8().constData());
    return QVRemoteFiles::rootFolder(m_currentRootMenuModel.rootKey, name);
}

void QVDownLoadSelectFileVC::listRoot()
{
    m_encryptView->hide();
    const QVRemoteFileEntryPtr root = rootFolderModel();
    m_topDirArray = {root};
    m_topFilePathView->setFilePathArray(m_topDirArray);
    setBackBtnStyle(true);
    getFileListArrayWithFileModel(root);
}

void QVDownLoadSelectFileVC::chooseRoot(int section, int item)
{
    if (section < 0 || section >= m_menuListArray.size() || item < 0 || item >= m_menuListArray.at(section).size())
        return;
    if (m_selectMenuIndex == qMakePair(section, item))
        return;
    m_selectMenuIndex = {section, item};
    m_currentRootMenuModel = m_menuListArray.at(section).at(item);
    ++m_generation;
    if (m_currentRootMenuModel.needPwd)
        enterProtectedRoot();
    else
        listRoot();
    reloadMenuListCollectionData();
}

// ---------------------------------------------------------------------------
// Listing

void QVDownLoadSelectFileVC::getFileListArrayWithFileModel(const QVRemoteFileEntryPtr &folder)
{
    if (!folder)
        return;
    m_fileListArray.clear();
    m_canSelectFileCount = 0;
    m_fileSelectArray.clear();
    reloadListCollectionData();
    refreshSelectAllBtnStyle(false);
    updateSelectedNItemsLabelStyle();
    refreshConfirmBtnStyle();
    showLoadingView();
    const quint64 generation = ++m_generation;
    if (!QVNetWork::shareNetWork()->isConnect()) {
        m_networkErrorView->show();
        hiddenLoadingView();
        return;
    }
    m_networkErrorView->hide();
    auto request = std::make_shared<QVGetDownLoadFileListApi>(fileShareIp(), folder->absPath,
                                                              m_currentRootMenuModel.encryptPwd);
    track(request);
    QPointer<QVDownLoadSelectFileVC> self(this);
    request->startGlimraHubRequestWithSuccess(
        [self, generation, folder](const QVHttpTask &, const QVHttpBaseResponse &response) {
            if (self && generation == self->m_generation)
                self->fileListAnswer(folder, response);
        },
        [self, generation](const QVHttpTask &, const TavlinError &error) {
            if (self && generation == self->m_generation)
                self->fileListFailed(error);
        });
}

void QVDownLoadSelectFileVC::fileListAnswer(const QVRemoteFileEntryPtr &folder, const QVHttpBaseResponse &response)
{
    hiddenLoadingView();
    switch (response.code) {
    case QVFileShare::Success: {
        m_lockView->hide();
        m_allowTransferView->hide();
        updateTopDirArrayWithModel(folder);
        QList<QVRemoteFileEntryPtr> entries = QVRemoteFiles::entriesWithListing(response.content);
        for (const QVRemoteFileEntryPtr &entry : entries) {
            if (!entry->isFolder())
                ++m_canSelectFileCount;
        }
        QVRemoteFiles::sortEntries(entries, m_sortType);
        m_fileListArray = entries;
        m_noDataView->setVisible(m_fileListArray.isEmpty());
        reloadListCollectionData();
        updateSelectedNItemsLabelStyle();
        break;
    }
    case QVFileShare::Locked:
        m_lockView->show();
        m_noDataView->hide();
        break;
    case QVFileShare::NotFound: {
        // The folder is gone: back to its root, unless the root itself is
        // gone, which leaves nothing to show (and nothing to ask again).
        const bool isRoot = m_topDirArray.isEmpty() || folder == m_topDirArray.first()
                            || folder->absPath == m_currentRootMenuModel.rootKey;
        if (isRoot) {
            m_lockView->hide();
            m_allowTransferView->hide();
            m_noDataView->show();
            break;
        }
        const QVRemoteFileEntryPtr root = m_topDirArray.first();
        updateTopDirArrayWithModel(root);
        getFileListArrayWithFileModel(root);
        break;
    }
    case QVFileShare::Refused:
        m_allowTransferView->show();
        break;
    default:
        break;
    }
}

void QVDownLoadSelectFileVC::fileListFailed(const TavlinError &error)
{
    hiddenLoadingView();
    if (QVHttpError::isTimeout(error))
        m_networkErrorView->show();
}

void QVDownLoadSelectFileVC::updateTopDirArrayWithModel(const QVRemoteFileEntryPtr &folder)
{
    const qsizetype index = m_topDirArray.indexOf(folder);
    if (index >= 0) {
        if (m_topDirArray.size() > 1)
            m_topDirArray = m_topDirArray.mid(0, index + 1);
    } else {
        m_topDirArray.append(folder);
    }
    m_topFilePathView->setFilePathArray(m_topDirArray);
    setBackBtnStyle(m_topDirArray.size() < 2);
}

void QVDownLoadSelectFileVC::setBackBtnStyle(bool hidden)
{
    m_backBtn->setHidden(hidden);
    m_filePathLeft = FilePathBase + (hidden ? -30 : 20);
    if (m_filePathBgView)
        m_filePathBgView->move(m_filePathLeft, m_filePathBgView->y());
    if (m_filePathBgView && m_bgView)
        m_filePathBgView->resize(std::min(660, m_bgView->width() - m_filePathLeft), m_filePathBgView->height());
}

void QVDownLoadSelectFileVC::openFolder(const QVRemoteFileEntryPtr &folder)
{
    if (folder && folder->isFolder())
        getFileListArrayWithFileModel(folder);
}

void QVDownLoadSelectFileVC::backBtnClick()
{
    if (m_topDirArray.size() < 2)
        return;
    getFileListArrayWithFileModel(m_topDirArray.at(m_topDirArray.size() - 2));
}

// ---------------------------------------------------------------------------
// Views

void QVDownLoadSelectFileVC::reloadMenuListCollectionData()
{
    QListWidget *list = m_menuListCollectionView;
    list->clear();
    const int width = list->viewport()->width() > 0 ? list->viewport()->width() : LeftWidth;
    for (int section = 0; section < m_menuListArray.size(); ++section) {
        if (section > 0) {
            auto *row = new QListWidgetItem(list);
            row->setFlags(Qt::NoItemFlags);
            row->setSizeHint(QSize(width, QVDownLoadFileMenuHeaderView::Height));
            list->setItemWidget(row, new QVDownLoadFileMenuHeaderView);
        }
        for (int item = 0; item < m_menuListArray.at(section).size(); ++item) {
            auto *row = new QListWidgetItem(list);
            row->setSizeHint(QSize(width, QVDownLoadFileMenuListItem::Height));
            row->setData(Qt::UserRole, section);
            row->setData(Qt::UserRole + 1, item);
            auto *view = new QVDownLoadFileMenuListItem;
            view->resize(width, QVDownLoadFileMenuListItem::Height);
            view->setMenuModel(m_menuListArray.at(section).at(item));
            view->setSelected(m_selectMenuIndex == qMakePair(section, item));
            QPointer<QVDownLoadSelectFileVC> self(this);
            view->clicked = [self, section, item] {
                // The list is rebuilt by the choice: leave the item's handler first.
                QMetaObject::invokeMethod(
                    self.data(), [self, section, item] { if (self) self->chooseRoot(section, item); },
                    Qt::QueuedConnection);
            };
            list->setItemWidget(row, view);
        }
    }
}

QVDownLoadFileMenuListItem *QVDownLoadSelectFileVC::menuItem(int section, int item) const
{
    for (int row = 0; row < m_menuListCollectionView->count(); ++row) {
        QListWidgetItem *entry = m_menuListCollectionView->item(row);
        if (entry->data(Qt::UserRole).isValid() && entry->data(Qt::UserRole).toInt() == section
            && entry->data(Qt::UserRole + 1).toInt() == item)
            return qobject_cast<QVDownLoadFileMenuListItem *>(m_menuListCollectionView->itemWidget(entry));
    }
    return nullptr;
}

void QVDownLoadSelectFileVC::reloadListCollectionData()
{
    QListWidget *list = m_fileListCollectionView;
    if (!list)
        return;
    list->clear();
    const bool grid = m_layoutType == 0;
    list->setViewMode(grid ? QListView::IconMode : QListView::ListMode);
    list->setMovement(QListView::Static);
    list->setResizeMode(QListView::Adjust);
    list->setSpacing(grid ? GridSpacing / 2 : 0);
    list->setWrapping(grid);
    const int listWidth = std::min(QVDownLoadFileListVerItem::Size.width(),
                                   list->viewport()->width() - list->verticalScrollBar()->sizeHint().width());
    for (const QVRemoteFileEntryPtr &entry : std::as_const(m_fileListArray)) {
        auto *row = new QListWidgetItem(list);
        QVDownLoadFileListItem *view = nullptr;
        if (grid) {
            row->setSizeHint(QVDownLoadFileListHorItem::Size);
            view = new QVDownLoadFileListHorItem;
        } else {
            row->setSizeHint(QSize(std::max(200, listWidth), QVDownLoadFileListVerItem::Size.height()));
            view = new QVDownLoadFileListVerItem;
            view->resize(row->sizeHint());
        }
        view->setIsGlimraVersion(m_isGlimraVersion);
        view->setThumbnailLoader(m_thumbnailLoader);
        view->setFileModel(entry);
        view->setPicked(m_fileSelectArray.contains(entry));
        QPointer<QVDownLoadSelectFileVC> self(this);
        QPointer<QVDownLoadFileListItem> item(view);
        view->singleClick = [self, item](const QVRemoteFileEntryPtr &model) {
            if (!self || !model || model->isFolder())
                return;
            self->selectItemWithModel(model);
            if (item)
                item->setPicked(self->m_fileSelectArray.contains(model));
        };
        view->doubleClick = [self](const QVRemoteFileEntryPtr &model) {
            if (!self || !model || !model->isFolder())
                return;
            // The listing is rebuilt: leave the item's handler first.
            QMetaObject::invokeMethod(
                self.data(), [self, model] { if (self) self->openFolder(model); }, Qt::QueuedConnection);
        };
        list->setItemWidget(row, view);
    }
}

QVDownLoadFileListItem *QVDownLoadSelectFileVC::fileItem(int index) const
{
    QListWidgetItem *row = m_fileListCollectionView->item(index);
    return row ? qobject_cast<QVDownLoadFileListItem *>(m_fileListCollectionView->itemWidget(row)) : nullptr;
}

bool QVDownLoadSelectFileVC::isLoading() const
{
    return m_loadingView->isVisibleTo(m_bgView);
}

void QVDownLoadSelectFileVC::showLoadingView()
{
    m_loadingView->raise();
    m_loadingView->showLoadingView();
}

void QVDownLoadSelectFileVC::hiddenLoadingView()
{
    m_loadingView->hiddenLoadingView();
}

void QVDownLoadSelectFileVC::showOnlyPanel(QVBackgrounView *panel)
{
    for (QVBackgrounView *each : {m_noDataView, m_lockView, m_networkErrorView, m_allowTransferView, m_encryptView})
        each->setVisible(each == panel);
}

// ---------------------------------------------------------------------------
// Picking

void QVDownLoadSelectFileVC::selectItemWithModel(const QVRemoteFileEntryPtr &model)
{
    if (!model || model->isFolder())
        return;
    if (m_fileSelectArray.contains(model))
        m_fileSelectArray.removeAll(model);
    else
        m_fileSelectArray.append(model);
    refreshConfirmBtnStyle();
    updateSelectedNItemsLabelStyle();
}

bool QVDownLoadSelectFileVC::checkAllFolderTypes() const
{
    return std::all_of(m_fileListArray.begin(), m_fileListArray.end(),
                       [](const QVRemoteFileEntryPtr &entry) { return entry->isFolder(); });
}

bool QVDownLoadSelectFileVC::checkIsAllSelect() const
{
    return m_canSelectFileCount != 0 && m_fileSelectArray.size() == m_canSelectFileCount;
}

void QVDownLoadSelectFileVC::selectAllBtnClick()
{
    if (m_selectAllBtn->isSelect()) {
        m_selectAllBtn->setIsSelect(false);
        m_fileSelectArray.clear();
    } else if (!checkAllFolderTypes()) {
        m_selectAllBtn->setIsSelect(true);
        m_fileSelectArray.clear();
        for (const QVRemoteFileEntryPtr &entry : std::as_const(m_fileListArray)) {
            if (!entry->isFolder())
                m_fileSelectArray.append(entry);
        }
    }
    refreshConfirmBtnStyle();
    m_selectAllBtn->setImage(QVNamedImage(QStringLiteral("list_fileList_cell_select_%1").arg(m_selectAllBtn->isSelect() ? 1 : 0)));
    reloadListCollectionData();
    updateSelectedNItemsLabelStyle();
}

void QVDownLoadSelectFileVC::updateSelectedNItemsLabelStyle()
{
    refreshSelectAllBtnStyle(checkIsAllSelect());
    m_selectedNItemsLabel->setText(
        localizable("downLoadFile_topBar_select_n_items").arg(m_fileSelectArray.size()));
}

void QVDownLoadSelectFileVC::refreshSelectAllBtnStyle(bool selected)
{
    m_selectAllBtn->setIsSelect(selected);
    m_selectAllBtn->setImage(QVNamedImage(QStringLiteral("list_fileList_cell_select_%1").arg(selected ? 1 : 0)));
}

void QVDownLoadSelectFileVC::refreshConfirmBtnStyle()
{
    const bool any = !m_fileSelectArray.isEmpty();
    m_confirmBtn->setEnabled(any);
    m_confirmBtn->setIsInteraction(any);
    m_confirmBtn->setBackgroundColor(rv_colorWithHexString(any ? QStringLiteral("0x5879FC")
                                                               : QStringLiteral("0x5879FC80")));
}

// ---------------------------------------------------------------------------
// Sort and layout

namespace {

// The stored setting's integer value; on first use `first` is stored (as
// text) and used.
qint64 storedSetting(const QString &key, qint64 first)
{
    const auto store = QVPublicTools::sharedPublicTools()->userDefaults();
    if (store && store->contains(key))
        return store->value(key).toLongLong();
    if (store)
        store->setValue(key, QString::number(first));
    return first;
}

} // namespace

void QVDownLoadSelectFileVC::checkLayoutType()
{
    m_layoutType = storedSetting(LayoutSettingKey, 0);
    m_layoutBtn->setImage(QVNamedImage(m_layoutType == 0 ? QStringLiteral("list_layout_list")
                                                         : QStringLiteral("list_layout_grid")));
}

void QVDownLoadSelectFileVC::checkSortType()
{
    m_sortType = storedSetting(SortSettingKey, 1);
    m_sortMenuView->setSortType(m_sortType);
}

void QVDownLoadSelectFileVC::sortBtnClick()
{
    m_sortMenuView->setVisible(m_sortMenuView->isHidden());
    m_sortMenuView->raise();
}

void QVDownLoadSelectFileVC::chooseSortType(qint64 sortType)
{
    m_sortType = sortType;
    if (const auto store = QVPublicTools::sharedPublicTools()->userDefaults())
        store->setValue(SortSettingKey, sortType);
    m_sortMenuView->setSortType(sortType);
    m_sortMenuView->hide();
    QVRemoteFiles::sortEntries(m_fileListArray, m_sortType);
    reloadListCollectionData();
}

void QVDownLoadSelectFileVC::layoutBtnClick()
{
    m_layoutType = m_layoutType == 0 ? 1 : 0;
    reloadListCollectionData();
    if (const auto store = QVPublicTools::sharedPublicTools()->userDefaults())
        store->setValue(LayoutSettingKey, QString::number(m_layoutType));
    m_layoutBtn->setImage(QVNamedImage(m_layoutType == 0 ? QStringLiteral("list_layout_list")
                                                         : QStringLiteral("list_layout_grid")));
}

// ---------------------------------------------------------------------------
// Confirm and cancel

bool QVDownLoadSelectFileVC::checkIsSaveBookMark() const
{
    QVPublicTools *tools = QVPublicTools::sharedPublicTools();
    const auto store = tools->userDefaults();
    return store && store->contains(QVPublicTools::DownLoadFilePathKey) && tools->downLoadFilePathIsReachable();
}

void QVDownLoadSelectFileVC::confirmBtnClick()
{
    if (m_fileSelectArray.isEmpty())
        return;
    if (checkIsSaveBookMark()) {
        toDownLoadFilePage();
        return;
    }
    QPointer<QVDownLoadSelectFileVC> self(this);
    QVDownLoadFilePathSettingVC::chooseFolder(this, [self](const QUrl &folder) {
        if (!self || folder.isEmpty() || !folder.isLocalFile())
            return;
        QVPublicTools::sharedPublicTools()->saveDownLoadFilePathWithWithUrl(folder);
        self->toDownLoadFilePage();
    });
}

void QVDownLoadSelectFileVC::toDownLoadFilePage()
{
    QVPublicTools *tools = QVPublicTools::sharedPublicTools();
    tools->setDownLoadFilePassWord(m_currentRootMenuModel.encryptPwd);
    QVariantList handOver;
    for (const QVRemoteFileEntryPtr &entry : std::as_const(m_fileSelectArray))
        handOver.append(entry->handOver());
    tools->setDownLoadFileListArray(handOver);
    // The window and this page go later than this handler: what follows
    // still runs on live objects.
    QPointer<QVDownLoadSelectFileVC> self(this);
    QVNotificationCenter *center = QVNotificationCenter::defaultCenter();
    center->postNotificationName(QVNotificationName::MainDownLoadFileBtnClick,
                                 {{QVNotificationName::OpenStatusKey, QStringLiteral("0")}});
    if (self) {
        if (auto *chrome = qobject_cast<QVWindowChrome *>(window()))
            chrome->orderOut();
    }
    const bool fromShare = tools->vcCacheDictionary().contains(ShareScreenClassName);
    center->postNotificationName(QVNotificationName::MainDownLoadFileList_Jump,
                                 {{QVNotificationName::JumpFromKey,
                                   fromShare ? QVNotificationName::JumpFromShare : QVNotificationName::JumpFromMain}});
}

void QVDownLoadSelectFileVC::cancelBtnClick()
{
    QPointer<QVDownLoadSelectFileVC> self(this);
    QVNotificationCenter::defaultCenter()->postNotificationName(
        QVNotificationName::MainDownLoadFileBtnClick, {{QVNotificationName::OpenStatusKey, QStringLiteral("0")}});
    if (self) {
        if (auto *chrome = qobject_cast<QVWindowChrome *>(window()))
            chrome->orderOut();
    }
}

// ---------------------------------------------------------------------------
// Protected roots

void QVDownLoadSelectFileVC::clearPasswordFields()
{
    m_secureTextField->clear();
    m_normalTextField->clear();
}

void QVDownLoadSelectFileVC::enterProtectedRoot()
{
    clearPasswordFields();
    updatePwdBtnEnabled(false);
    m_fileListArray.clear();
    m_fileSelectArray.clear();
    m_canSelectFileCount = 0;
    reloadListCollectionData();
    updateSelectedNItemsLabelStyle();
    refreshConfirmBtnStyle();
    m_topDirArray.clear();
    m_topFilePathView->setFilePathArray(m_topDirArray);
    setBackBtnStyle(true);
    ++m_generation;
    if (!m_currentRootMenuModel.encryptPwd.isEmpty()) {
        checkEncryptPwd(m_currentRootMenuModel.encryptPwd);
        return;
    }
    const bool locked = checkPwdFaildTimesWithStatus(false);
    updateEncryptPageEnabled(!locked);
    checkGlimraStatus();
}

void QVDownLoadSelectFileVC::showNetworkPanelOnly()
{
    showOnlyPanel(m_networkErrorView);
}

void QVDownLoadSelectFileVC::checkGlimraStatus()
{
    if (!QVNetWork::shareNetWork()->isConnect()) {
        showNetworkPanelOnly();
        return;
    }
    m_networkErrorView->hide();
    showLoadingView();
    const quint64 generation = m_generation;
    auto request = std::make_shared<QVGetCheckStatusApi>(fileShareIp());
    track(request);
    QPointer<QVDownLoadSelectFileVC> self(this);
    request->startGlimraHubRequestWithSuccess(
        [self, generation](const QVHttpTask &, const QVHttpBaseResponse &response) {
            if (!self || generation != self->m_generation)
                return;
            self->hiddenLoadingView();
            self->m_lockView->hide();
            self->m_noDataView->hide();
            if (response.code == QVFileShare::Success) {
                const bool enabled =
                    QVJsonValue::boolValue(QVJsonValue::member(response.content, QStringLiteral("enableShareFile")));
                self->m_encryptView->setVisible(enabled);
                self->m_allowTransferView->setVisible(!enabled);
            } else {
                self->m_encryptView->show();
                self->m_allowTransferView->hide();
            }
        },
        [self, generation](const QVHttpTask &, const TavlinError &error) {
            if (!self || generation != self->m_generation)
                return;
            self->hiddenLoadingView();
            if (QVHttpError::isTimeout(error))
                self->showNetworkPanelOnly();
        });
}

void QVDownLoadSelectFileVC::checkEncryptPwd(const QString &pwd)
{
    if (!QVNetWork::shareNetWork()->isConnect()) {
        showNetworkPanelOnly();
        return;
    }
    showLoadingView();
    const quint64 generation = ++m_generation;
    const QString rootKey = m_currentRootMenuModel.rootKey;
    auto request = std::make_shared<QVGetCheckEncryptPwdApi>(fileShareIp(), pwd, rootKey);
    track(request);
    QPointer<QVDownLoadSelectFileVC> self(this);
    request->startGlimraHubRequestWithSuccess(
        [self, generation, pwd, rootKey](const QVHttpTask &, const QVHttpBaseResponse &response) {
            if (!self || generation != self->m_generation || rootKey != self->m_currentRootMenuModel.rootKey)
                return;
            QVDownLoadSelectFileVC *page = self.data();
            page->clearPasswordFields();
            page->updatePwdBtnEnabled(false);
            page->hiddenLoadingView();
            const QString address = page->fileShareIp();
            switch (response.code) {
            case QVFileShare::Success:
                if (QVJsonValue::boolValue(QVJsonValue::member(response.content, QStringLiteral("checkRes")))) {
                    page->m_lockView->hide();
                    page->m_allowTransferView->hide();
                    page->m_encryptView->hide();
                    page->m_currentRootMenuModel.encryptPwd = pwd;
                    page->updateMenuListWithPwd(pwd);
                    page->m_lockout.savePassWord(address, rootKey, pwd);
                    page->listRoot();
                    return;
                }
                page->m_lockView->hide();
                page->m_allowTransferView->hide();
                page->m_encryptView->show();
                if (!page->m_currentRootMenuModel.encryptPwd.isEmpty()) {
                    // A remembered password the device no longer takes is
                    // forgotten; it was never typed, so it counts nothing.
                    page->updateEncryptPageEnabled(true);
                    page->m_lockout.savePassWord(address, rootKey, QStringLiteral(""));
                    page->m_currentRootMenuModel.encryptPwd = QStringLiteral("");
                    page->updateMenuListWithPwd(QStringLiteral(""));
                } else {
                    page->checkPwdFaildTimesWithStatus(true);
                }
                return;
            case QVFileShare::Locked:
                page->m_encryptView->hide();
                page->m_lockView->show();
                page->m_allowTransferView->hide();
                return;
            case QVFileShare::Refused:
                page->m_encryptView->hide();
                page->m_lockView->hide();
                page->m_allowTransferView->show();
                return;
            default:
                page->checkPwdFaildTimesWithStatus(true);
                page->m_encryptView->show();
                page->m_lockView->hide();
                page->m_allowTransferView->hide();
                return;
            }
        },
        [self, generation](const QVHttpTask &, const TavlinError &error) {
            if (!self || generation != self->m_generation)
                return;
            self->hiddenLoadingView();
            if (QVHttpError::isTimeout(error))
                self->showNetworkPanelOnly();
        });
}

bool QVDownLoadSelectFileVC::checkPwdFaildTimesWithStatus(bool failed)
{
    const QVEncryptLockout::Verdict verdict = m_lockout.checkPwdFaildTimes(
        fileShareIp(), m_currentRootMenuModel.rootKey, failed, m_timings.wallSeconds());
    if (verdict.triesLeft) {
        m_tipsBanner->showTipsWithTitle(
            localizable("downLoadFile_encrypt_password_faild_times").arg(*verdict.triesLeft), QVTipsBanner::TypeBad);
    }
    if (!verdict.locked) {
        m_errorLabel->hide();
        return false;
    }
    m_errorLabel->setText(
        localizable("downLoadFile_encrypt_lock_time").arg(QVEncryptLockout::getTimeString(verdict.remainingSeconds)));
    m_errorLabel->show();
    startLockTimer(verdict.remainingSeconds);
    updateEncryptPageEnabled(false);
    return true;
}

void QVDownLoadSelectFileVC::startLockTimer(qint64 remainingSeconds)
{
    if (m_timer.isActive())
        return;
    // The lock runs out on the clock that never goes back, whatever the
    // wall clock does meanwhile.
    m_lockEndMs = m_timings.monotonicMs() + remainingSeconds * 1000;
    m_timer.start(m_timings.countdownMs);
}

void QVDownLoadSelectFileVC::endLockTimer()
{
    m_timer.stop();
}

void QVDownLoadSelectFileVC::refreshErrorLabel()
{
    const QString address = fileShareIp();
    if (m_lockout.record(address).isEmpty())
        return;
    const qint64 remainingMs = m_lockEndMs - m_timings.monotonicMs();
    if (remainingMs > 0) {
        const qint64 seconds = (remainingMs + 999) / 1000;
        m_errorLabel->setText(
            localizable("downLoadFile_encrypt_lock_time").arg(QVEncryptLockout::getTimeString(seconds)));
        return;
    }
    m_lockout.endLock(address, m_currentRootMenuModel.rootKey);
    m_errorLabel->hide();
    updateEncryptPageEnabled(true);
    endLockTimer();
}

void QVDownLoadSelectFileVC::hideEvent(QHideEvent *event)
{
    QVBaseViewController::hideEvent(event);
    endLockTimer();
}

void QVDownLoadSelectFileVC::updateEncryptPageEnabled(bool enabled)
{
    const QString fill = enabled ? QStringLiteral("#EFF1FE") : QStringLiteral("rgba(239,241,254,96)");
    for (QLineEdit *field : {m_secureTextField, m_normalTextField}) {
        field->setEnabled(enabled);
        field->setStyleSheet(QStringLiteral("QLineEdit { background: %1; border-radius: 5px; color: #333333; }").arg(fill));
    }
}

void QVDownLoadSelectFileVC::updatePwdBtnEnabled(bool enabled)
{
    m_confirmPwdBtn->setEnabled(enabled);
    m_confirmPwdBtn->setBackgroundColor(
        rv_colorWithHexString(enabled ? QStringLiteral("0x5879FC") : QStringLiteral("0x5879FC60")));
}

void QVDownLoadSelectFileVC::updateMenuListWithPwd(const QString &pwd)
{
    for (QList<QVRootMenuListModel> &group : m_menuListArray) {
        for (QVRootMenuListModel &entry : group) {
            if (entry.rootKey == m_currentRootMenuModel.rootKey)
                entry.encryptPwd = pwd;
        }
    }
}

void QVDownLoadSelectFileVC::passwordEdited(QLineEdit *field)
{
    const QString digits = QVEncryptLockout::passwordDigits(field->text());
    updatePwdBtnEnabled(digits.size() == QVEncryptLockout::PasswordDigits);
    if (digits != field->text())
        field->setText(digits);
}

void QVDownLoadSelectFileVC::eyeBtnClick()
{
    if (m_normalTextField->isHidden()) {
        m_normalTextField->setText(m_secureTextField->text());
        m_normalTextField->show();
        m_secureTextField->hide();
        m_eyeBtn->setImage(QVNamedImage(QStringLiteral("list_encrypt_openEye")));
    } else {
        m_secureTextField->setText(m_normalTextField->text());
        m_normalTextField->hide();
        m_secureTextField->show();
        m_eyeBtn->setImage(QVNamedImage(QStringLiteral("list_encrypt_closeEye")));
    }
    m_eyeBtn->raise();
}

void QVDownLoadSelectFileVC::confirmPwdBtnClick()
{
    const QLineEdit *visible = m_normalTextField->isHidden() ? m_secureTextField : m_normalTextField;
    checkEncryptPwd(visible->text());
}

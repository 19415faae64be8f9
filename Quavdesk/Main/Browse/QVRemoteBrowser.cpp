#include "Main/Browse/QVRemoteBrowser.h"

#include "AFNetwork/QVFileShareApi.h"
#include "AFNetwork/QVHttpError.h"
#include "AFNetwork/QVNetWork.h"
#include "Main/Browse/QVEncryptLockout.h"
#include "Main/Browse/QVProtectedRoot.h"
#include "Main/Browse/QVRemoteFolderModel.h"
#include "Main/Browse/QVRootMenuModel.h"
#include "PublicManager/QVPublicTools.h"
#include "PublicManager/QVShareManager.h"

#include <QDateTime>
#include <QPointer>

QVRemoteBrowserServices QVRemoteBrowserServices::linuxDefaults()
{
    QVRemoteBrowserServices services;
    services.fileShareIp = [] {
        QVShareManager *manager = QVShareManager::sharedShareManager();
        return manager ? manager->fileShareIp() : QString();
    };
    services.store = QVPublicTools::sharedPublicTools()->userDefaults();
    services.networkReachable = [] { return QVNetWork::shareNetWork()->isConnect(); };
    services.wallSeconds = [] { return QDateTime::currentSecsSinceEpoch(); };
    services.thumbnailUrl = [](const QString &path) {
        return QVPublicTools::sharedPublicTools()->getDownLoadThumbUrl(path);
    };
    return services;
}

QVRemoteBrowser::QVRemoteBrowser(QVRemoteBrowserServices services, QObject *parent)
    : QObject(parent)
    , m_services(std::move(services))
    , m_sortAndLayout(m_services.store)
    , m_rootMenu(new QVRootMenuModel(this))
    , m_folder(new QVRemoteFolderModel(this))
    , m_thumbnails(new QVThumbnailLoader(m_services.thumbnailUrl, this))
{
    m_thumbnails->setTimings(m_services.thumbnailTimings);
    m_thumbnails->setLimits(m_services.thumbnailLimits);
    m_folder->setSortType(m_sortAndLayout.sortType());
    m_protectedRoot = new QVProtectedRoot(*this);
    m_listingReader.setMaxThreadCount(1);
}

QVRemoteBrowser::~QVRemoteBrowser()
{
    // A listing still being read posts to this object: it ends first.
    m_listingReader.clear();
    m_listingReader.waitForDone();
    for (const std::weak_ptr<QVHttpBaseRequest> &weak : m_requests) {
        if (const std::shared_ptr<QVHttpBaseRequest> request = weak.lock())
            request->cancel();
    }
}

QString QVRemoteBrowser::fileShareIp() const
{
    return m_services.fileShareIp ? m_services.fileShareIp() : QString();
}

bool QVRemoteBrowser::networkReachable() const
{
    return !m_services.networkReachable || m_services.networkReachable();
}

void QVRemoteBrowser::track(const std::shared_ptr<QVHttpBaseRequest> &request)
{
    std::erase_if(m_requests, [](const std::weak_ptr<QVHttpBaseRequest> &weak) { return weak.expired(); });
    m_requests.push_back(request);
}

void QVRemoteBrowser::setPanelShown(Panel panel, bool shown)
{
    if (m_panels.at(panel) == shown)
        return;
    m_panels.at(panel) = shown;
    emit panelsChanged();
}

void QVRemoteBrowser::showOnlyPanel(std::optional<Panel> panel)
{
    std::array<bool, PanelCount> panels{};
    if (panel)
        panels.at(*panel) = true;
    if (panels == m_panels)
        return;
    m_panels = panels;
    emit panelsChanged();
}

void QVRemoteBrowser::setLoading(bool loading)
{
    if (m_loading == loading)
        return;
    m_loading = loading;
    emit loadingChanged(loading);
}

// ---------------------------------------------------------------------------
// Roots

void QVRemoteBrowser::getRootMenuList()
{
    setLoading(true);
    auto request = std::make_shared<QVGetRootMenuListApi>(fileShareIp());
    track(request);
    QPointer<QVRemoteBrowser> self(this);
    request->startGlimraHubRequestWithSuccess(
        [self](const QVHttpTask &task, const QVHttpBaseResponse &response) {
            if (self)
                self->rootListAnswer(task, response);
        },
        [self](const QVHttpTask &, const TavlinError &error) {
            if (!self || QVHttpError::isCancel(error))
                return;
            self->setLoading(false);
            // No root to show.
            self->showOnlyPanel(NoData);
        });
}

void QVRemoteBrowser::rootListAnswer(const QVHttpTask &task, const QVHttpBaseResponse &response)
{
    m_isGlimraVersion = QVGetRootMenuListApi::glimraApiVersion(task);
    m_folder->setThumbnails(m_thumbnails, m_isGlimraVersion == 1);
    QVRootMenuGroups groups;
    if (m_isGlimraVersion == 1) {
        groups = QVRemoteFiles::rootGroupsWithContent(response.content);
        const QString address = fileShareIp();
        for (QList<QVRootMenuListModel> &group : groups) {
            for (QVRootMenuListModel &entry : group)
                entry.encryptPwd = m_protectedRoot->lockout().getPassWord(address, entry.rootKey);
        }
    } else {
        groups = QVRemoteFiles::fixedRootGroups();
    }
    m_rootMenu->setGroups(groups);
    setLoading(false);
    if (groups.isEmpty()) {
        // A device without a root shows an empty browser.
        showOnlyPanel(NoData);
        return;
    }
    m_currentRootMenuModel = groups.first().first();
    // A protected first root is entered as if the user had chosen it.
    enterCurrentRoot();
}

void QVRemoteBrowser::chooseRoot(int section, int item)
{
    const std::optional<QVRootMenuListModel> root = m_rootMenu->root(section, item);
    if (!root || m_rootMenu->selectMenuIndex() == qMakePair(section, item))
        return;
    m_rootMenu->setSelectMenuIndex({section, item});
    m_currentRootMenuModel = *root;
    newGeneration();
    enterCurrentRoot();
}

void QVRemoteBrowser::enterCurrentRoot()
{
    if (m_currentRootMenuModel.needPwd)
        m_protectedRoot->enter();
    else
        listRoot();
}

QVRemoteFileEntryPtr QVRemoteBrowser::rootFolderModel() const
{
    return QVRemoteFiles::rootFolder(m_currentRootMenuModel.rootKey, QVRootMenuModel::titleOf(m_currentRootMenuModel));
}

void QVRemoteBrowser::setCurrentRootPassword(const QString &password)
{
    m_currentRootMenuModel.encryptPwd = password;
    m_rootMenu->setPassword(m_currentRootMenuModel.rootKey, password);
}

// ---------------------------------------------------------------------------
// Listing

void QVRemoteBrowser::listRoot()
{
    setPanelShown(Encrypt, false);
    const QVRemoteFileEntryPtr root = rootFolderModel();
    m_topDirArray = {root};
    emit pathChanged();
    getFileListArrayWithFileModel(root);
}

void QVRemoteBrowser::clearListing()
{
    m_folder->clear();
    m_topDirArray.clear();
    emit pathChanged();
}

void QVRemoteBrowser::getFileListArrayWithFileModel(const QVRemoteFileEntryPtr &folder)
{
    if (!folder)
        return;
    m_folder->clear();
    setLoading(true);
    const quint64 generation = newGeneration();
    if (!networkReachable()) {
        setPanelShown(NetworkError, true);
        setLoading(false);
        return;
    }
    setPanelShown(NetworkError, false);
    auto request = std::make_shared<QVGetDownLoadFileListApi>(fileShareIp(), folder->absPath,
                                                              m_currentRootMenuModel.encryptPwd);
    track(request);
    QPointer<QVRemoteBrowser> self(this);
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

void QVRemoteBrowser::fileListAnswer(const QVRemoteFileEntryPtr &folder, const QVHttpBaseResponse &response)
{
    setLoading(false);
    switch (response.code) {
    case QVFileShare::Success: {
        setPanelShown(Lock, false);
        setPanelShown(AllowTransfer, false);
        updateTopDirArrayWithModel(folder);
        m_thumbnails->forgetFailures();
        // Thousands of entries are read and put in order on a worker; the
        // loading overlay stays until they are shown.
        setLoading(true);
        const quint64 generation = m_generation;
        const qint64 sortType = m_folder->sortType();
        m_listingReader.start([this, content = response.content, generation, sortType] {
            QVRemoteFiles::Listing listing = QVRemoteFiles::entriesWithListing(content, QVRemoteFolderModel::MaxEntries);
            QVSortAndLayout::sortEntries(listing.entries, sortType);
            QMetaObject::invokeMethod(
                this,
                [this, listing = std::move(listing), generation, sortType] {
                    if (generation == m_generation)
                        listingRead(listing, sortType);
                },
                Qt::QueuedConnection);
        });
        break;
    }
    case QVFileShare::Locked:
        setPanelShown(Lock, true);
        setPanelShown(NoData, false);
        break;
    case QVFileShare::NotFound: {
        // The folder is gone: back to its root, unless the root itself is
        // gone, which leaves nothing to show (and nothing to ask again).
        const bool isRoot = m_topDirArray.isEmpty() || folder == m_topDirArray.first()
                            || folder->absPath == m_currentRootMenuModel.rootKey;
        if (isRoot) {
            setPanelShown(Lock, false);
            setPanelShown(AllowTransfer, false);
            setPanelShown(NoData, true);
            break;
        }
        const QVRemoteFileEntryPtr root = m_topDirArray.first();
        updateTopDirArrayWithModel(root);
        getFileListArrayWithFileModel(root);
        break;
    }
    case QVFileShare::Refused:
        setPanelShown(AllowTransfer, true);
        break;
    default:
        break;
    }
}

void QVRemoteBrowser::listingRead(const QVRemoteFiles::Listing &listing, qint64 sortedBy)
{
    m_folder->setListing(listing, sortedBy);
    setLoading(false);
    setPanelShown(NoData, m_folder->rowCount() == 0);
}

void QVRemoteBrowser::fileListFailed(const TavlinError &error)
{
    setLoading(false);
    if (QVHttpError::isTimeout(error))
        setPanelShown(NetworkError, true);
}

void QVRemoteBrowser::updateTopDirArrayWithModel(const QVRemoteFileEntryPtr &folder)
{
    const qsizetype index = m_topDirArray.indexOf(folder);
    if (index >= 0) {
        if (m_topDirArray.size() > 1)
            m_topDirArray = m_topDirArray.mid(0, index + 1);
    } else {
        m_topDirArray.append(folder);
    }
    emit pathChanged();
}

void QVRemoteBrowser::openFolder(const QVRemoteFileEntryPtr &folder)
{
    if (folder && folder->isFolder())
        getFileListArrayWithFileModel(folder);
}

void QVRemoteBrowser::backBtnClick()
{
    if (m_topDirArray.size() < 2)
        return;
    getFileListArrayWithFileModel(m_topDirArray.at(m_topDirArray.size() - 2));
}

// ---------------------------------------------------------------------------
// Sort and layout

void QVRemoteBrowser::switchLayout()
{
    m_sortAndLayout.switchLayout();
    emit layoutTypeChanged(m_sortAndLayout.layoutType());
}

void QVRemoteBrowser::chooseSortType(qint64 sortType)
{
    m_sortAndLayout.chooseSortType(sortType);
    m_folder->setSortType(sortType);
}

#pragma once

#include "Main/Browse/QVRemoteFileModels.h"
#include "Main/Browse/QVSortAndLayout.h"
#include "Main/Browse/QVThumbnailLoader.h"

#include "Platform/KeyValueStore.h"

#include <QList>
#include <QObject>
#include <QThreadPool>
#include <QUrl>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QVHttpBaseRequest;
class QVProtectedRoot;
class QVRemoteFolderModel;
class QVRootMenuModel;
struct QVHttpBaseResponse;
struct QVHttpTask;
struct TavlinError;

// What the browser reads from outside. linuxDefaults() gives the share
// manager's file-share address, the program's settings, the reachability
// flag, the system's clock and the shared tools' thumbnail addresses; tests
// and the benchmark hand in their own.
struct QVRemoteBrowserServices {
    std::function<QString()> fileShareIp;
    std::shared_ptr<Platform::KeyValueStore> store;
    std::function<bool()> networkReachable;
    // Seconds since 1970, for the lock-out record.
    std::function<qint64()> wallSeconds;
    // The thumbnail address of a device path.
    std::function<QUrl(const QString &)> thumbnailUrl;
    // The lock countdown's period.
    int countdownMs = 21000;
    QVThumbnailTimings thumbnailTimings;
    QVThumbnailLimits thumbnailLimits;

    static QVRemoteBrowserServices linuxDefaults();
};

// The remote file browser without widgets: the roots of the device's file
// share, the open folder with the path to it, the requests that fill them
// and the panel each answer asks for. Protected roots are the business of
// its QVProtectedRoot.
//
// Every request is tagged with the state it was sent for: an answer that
// comes after the user has moved on (another root, another folder) is
// dropped, so it can neither show the wrong folder nor store a password for
// the wrong root. Lives on the main thread.
class QVRemoteBrowser : public QObject
{
    Q_OBJECT
public:
    // The panels over the listing; at most one is meant to show.
    enum Panel { NoData, Lock, NetworkError, AllowTransfer, Encrypt };
    static constexpr int PanelCount = 5;

    explicit QVRemoteBrowser(QVRemoteBrowserServices services, QObject *parent = nullptr);
    ~QVRemoteBrowser() override;

    const QVRemoteBrowserServices &services() const { return m_services; }
    QString fileShareIp() const;
    bool networkReachable() const;

    QVRootMenuModel *rootMenu() const { return m_rootMenu; }
    QVRemoteFolderModel *folder() const { return m_folder; }
    QVProtectedRoot *protectedRoot() const { return m_protectedRoot; }
    QVThumbnailLoader *thumbnails() const { return m_thumbnails; }

    // The root whose content is shown, and the way from its folder to the
    // open one (root first).
    QVRootMenuListModel currentRootMenuModel() const { return m_currentRootMenuModel; }
    QList<QVRemoteFileEntryPtr> topDirArray() const { return m_topDirArray; }
    // The root list's "glimra-api-version"; 1 is the new interface.
    qint64 isGlimraVersion() const { return m_isGlimraVersion; }
    bool isPanelShown(Panel panel) const { return m_panels.at(panel); }
    bool isLoading() const { return m_loading; }

    // Roots.
    void getRootMenuList();
    // Nothing happens for the chosen root or a place without a root.
    void chooseRoot(int section, int item);

    // Listing.
    void getFileListArrayWithFileModel(const QVRemoteFileEntryPtr &folder);
    // Folders only.
    void openFolder(const QVRemoteFileEntryPtr &folder);
    // The folder before the open one; nothing at the root.
    void backBtnClick();
    // The current root's folder, listed as the whole path.
    void listRoot();
    QVRemoteFileEntryPtr rootFolderModel() const;

    // Sort and layout, remembered.
    qint64 layoutType() const { return m_sortAndLayout.layoutType(); }
    qint64 sortType() const { return m_sortAndLayout.sortType(); }
    void switchLayout();
    void chooseSortType(qint64 sortType);

    // What the protected root does with the page.
    void setPanelShown(Panel panel, bool shown);
    // That panel alone; none hides every panel.
    void showOnlyPanel(std::optional<Panel> panel);
    void setLoading(bool loading);
    // The current root and every menu entry of its key take this password.
    void setCurrentRootPassword(const QString &password);
    // No listing and no path (a protected root before its password).
    void clearListing();
    // Every answer of a request sent before is dropped from now on.
    quint64 newGeneration() { return ++m_generation; }
    quint64 generation() const { return m_generation; }
    // Cancelled when the browser goes.
    void track(const std::shared_ptr<QVHttpBaseRequest> &request);

signals:
    void panelsChanged();
    void loadingChanged(bool loading);
    // The path to the open folder changed.
    void pathChanged();
    void layoutTypeChanged(qint64 layoutType);

private:
    void rootListAnswer(const QVHttpTask &task, const QVHttpBaseResponse &response);
    void enterCurrentRoot();
    void fileListAnswer(const QVRemoteFileEntryPtr &folder, const QVHttpBaseResponse &response);
    void listingRead(const QVRemoteFiles::Listing &listing, qint64 sortedBy);
    void fileListFailed(const TavlinError &error);
    void updateTopDirArrayWithModel(const QVRemoteFileEntryPtr &folder);

    QVRemoteBrowserServices m_services;
    QVSortAndLayout m_sortAndLayout;
    QVRootMenuModel *m_rootMenu = nullptr;
    QVRemoteFolderModel *m_folder = nullptr;
    QVThumbnailLoader *m_thumbnails = nullptr;
    QVProtectedRoot *m_protectedRoot = nullptr;

    QVRootMenuListModel m_currentRootMenuModel;
    QList<QVRemoteFileEntryPtr> m_topDirArray;
    qint64 m_isGlimraVersion = 0;
    std::array<bool, PanelCount> m_panels{};
    bool m_loading = false;
    // Bumped by every choice that makes earlier answers stale.
    quint64 m_generation = 0;
    std::vector<std::weak_ptr<QVHttpBaseRequest>> m_requests;
    // Reads the entries of a listing, one listing at a time.
    QThreadPool m_listingReader;
};

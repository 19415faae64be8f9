#pragma once

#include "Main/Browse/QVRemoteFileModels.h"

#include <QAbstractListModel>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QSet>

#include <optional>

class QVThumbnailLoader;

// The open folder as the browser shows it, without widgets: its entries in
// the chosen order (at most `MaxEntries`, the rest only counted) and the
// files picked among them, in picking order. Folders are never picked. Every
// change tells the views exactly which rows it touched.
class QVRemoteFolderModel : public QAbstractListModel
{
    Q_OBJECT
public:
    // More than anyone scrolls through; a listing beyond it shows its first
    // entries and says how many it leaves out.
    static constexpr qsizetype MaxEntries = 50000;

    enum Role {
        EntryRole = Qt::UserRole + 1,
        IsFolderRole,
        PickedRole,
        FileTypeRole,
        // The decoded thumbnail of a picture (a null image while there is
        // none); asking for one that is not loaded starts its load.
        ThumbnailRole,
    };

    explicit QVRemoteFolderModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    const QList<QVRemoteFileEntryPtr> &entries() const { return m_entries; }
    QVRemoteFileEntryPtr entry(int row) const;
    int rowOf(const QVRemoteFileEntryPtr &entry) const;
    qsizetype notShownCount() const { return m_notShown; }
    // How many entries of the listing are files.
    qint64 canSelectFileCount() const { return m_canSelectFileCount; }

    // No entries, nothing picked.
    void clear();
    // A new listing, put in the current order (unless it is in it
    // already, `sortedBy` that order); nothing picked.
    void setListing(QVRemoteFiles::Listing listing, std::optional<qint64> sortedBy = std::nullopt);
    qint64 sortType() const { return m_sortType; }
    // Puts the listing in this order (types other than 0 to 3 keep it).
    void setSortType(qint64 sortType);

    const QList<QVRemoteFileEntryPtr> &picked() const { return m_picked; }
    bool isPicked(const QVRemoteFileEntryPtr &entry) const { return entry && m_pickedSet.contains(entry.get()); }
    // Picks a file that is not picked, unpicks one that is; false for a
    // folder or an entry of another listing.
    bool togglePick(const QVRemoteFileEntryPtr &entry);
    // Every file of the listing, in listing order.
    void pickAllFiles();
    void clearPicks();
    // Only folders, or nothing.
    bool checkAllFolderTypes() const;
    // Every file picked (and there is one).
    bool checkIsAllSelect() const;

    // Pictures of a device with the new interface show their thumbnails,
    // loaded through `loader`; the others show their type's icon.
    void setThumbnails(QVThumbnailLoader *loader, bool showThumbnails);
    bool wantsThumbnail(const QVRemoteFileEntryPtr &entry) const;

signals:
    void pickedChanged();

private:
    void indexRows();
    void thumbnailReady(const QString &key);

    QList<QVRemoteFileEntryPtr> m_entries;
    QHash<const QVRemoteFileEntry *, int> m_rows;
    QMultiHash<QString, int> m_rowsByPath;
    qsizetype m_notShown = 0;
    qint64 m_canSelectFileCount = 0;
    qint64 m_sortType = 1;
    QList<QVRemoteFileEntryPtr> m_picked;
    QSet<const QVRemoteFileEntry *> m_pickedSet;
    QPointer<QVThumbnailLoader> m_loader;
    bool m_showThumbnails = false;
};

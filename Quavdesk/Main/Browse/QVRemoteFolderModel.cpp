#include "Main/Browse/QVRemoteFolderModel.h"

#include "Main/Browse/QVSortAndLayout.h"
#include "Main/Browse/QVThumbnailLoader.h"

#include <algorithm>

QVRemoteFolderModel::QVRemoteFolderModel(QObject *parent) : QAbstractListModel(parent) {}

int QVRemoteFolderModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

QVariant QVRemoteFolderModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_entries.size())
        return QVariant();
    const QVRemoteFileEntryPtr &entry = m_entries.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return entry->name;
    case EntryRole:
        return QVariant::fromValue(entry);
    case IsFolderRole:
        return entry->isFolder();
    case PickedRole:
        return isPicked(entry);
    case FileTypeRole:
        return entry->fileType;
    case ThumbnailRole:
        if (!wantsThumbnail(entry))
            return QVariant();
        return m_loader->thumbnail(entry->absPath);
    default:
        return QVariant();
    }
}

QVRemoteFileEntryPtr QVRemoteFolderModel::entry(int row) const
{
    return row >= 0 && row < m_entries.size() ? m_entries.at(row) : nullptr;
}

int QVRemoteFolderModel::rowOf(const QVRemoteFileEntryPtr &entry) const
{
    return entry ? m_rows.value(entry.get(), -1) : -1;
}

void QVRemoteFolderModel::indexRows()
{
    m_rows.clear();
    m_rowsByPath.clear();
    m_rows.reserve(m_entries.size());
    for (int row = 0; row < m_entries.size(); ++row) {
        const QVRemoteFileEntryPtr &entry = m_entries.at(row);
        m_rows.insert(entry.get(), row);
        if (wantsThumbnail(entry))
            m_rowsByPath.insert(entry->absPath, row);
    }
}

void QVRemoteFolderModel::clear()
{
    setListing({}, m_sortType);
}

void QVRemoteFolderModel::setListing(QVRemoteFiles::Listing listing, std::optional<qint64> sortedBy)
{
    const bool hadPicks = !m_picked.isEmpty();
    if (sortedBy != m_sortType)
        QVSortAndLayout::sortEntries(listing.entries, m_sortType);
    beginResetModel();
    m_entries = std::move(listing.entries);
    m_notShown = listing.notShown;
    m_canSelectFileCount = std::count_if(m_entries.cbegin(), m_entries.cend(),
                                         [](const QVRemoteFileEntryPtr &entry) { return !entry->isFolder(); });
    m_picked.clear();
    m_pickedSet.clear();
    indexRows();
    endResetModel();
    if (hadPicks)
        emit pickedChanged();
}

void QVRemoteFolderModel::setSortType(qint64 sortType)
{
    m_sortType = sortType;
    beginResetModel();
    QVSortAndLayout::sortEntries(m_entries, m_sortType);
    indexRows();
    endResetModel();
}

bool QVRemoteFolderModel::togglePick(const QVRemoteFileEntryPtr &entry)
{
    const int row = rowOf(entry);
    if (row < 0 || entry->isFolder())
        return false;
    if (m_pickedSet.remove(entry.get()))
        m_picked.removeOne(entry);
    else {
        m_pickedSet.insert(entry.get());
        m_picked.append(entry);
    }
    emit dataChanged(index(row), index(row), {PickedRole});
    emit pickedChanged();
    return true;
}

void QVRemoteFolderModel::pickAllFiles()
{
    m_picked.clear();
    m_pickedSet.clear();
    for (const QVRemoteFileEntryPtr &entry : std::as_const(m_entries)) {
        if (!entry->isFolder()) {
            m_picked.append(entry);
            m_pickedSet.insert(entry.get());
        }
    }
    if (!m_entries.isEmpty())
        emit dataChanged(index(0), index(rowCount() - 1), {PickedRole});
    emit pickedChanged();
}

void QVRemoteFolderModel::clearPicks()
{
    if (m_picked.isEmpty())
        return;
    // Only the rows that were picked change.
    const QList<QVRemoteFileEntryPtr> was = std::exchange(m_picked, {});
    m_pickedSet.clear();
    if (was.size() > 64) {
        emit dataChanged(index(0), index(rowCount() - 1), {PickedRole});
    } else {
        for (const QVRemoteFileEntryPtr &entry : was) {
            const int row = rowOf(entry);
            if (row >= 0)
                emit dataChanged(index(row), index(row), {PickedRole});
        }
    }
    emit pickedChanged();
}

bool QVRemoteFolderModel::checkAllFolderTypes() const
{
    return m_canSelectFileCount == 0;
}

bool QVRemoteFolderModel::checkIsAllSelect() const
{
    return m_canSelectFileCount != 0 && m_picked.size() == m_canSelectFileCount;
}

void QVRemoteFolderModel::setThumbnails(QVThumbnailLoader *loader, bool showThumbnails)
{
    if (m_loader)
        disconnect(m_loader, nullptr, this, nullptr);
    m_loader = loader;
    m_showThumbnails = showThumbnails;
    if (m_loader)
        connect(m_loader, &QVThumbnailLoader::thumbnailReady, this, &QVRemoteFolderModel::thumbnailReady);
    indexRows();
    if (!m_entries.isEmpty())
        emit dataChanged(index(0), index(rowCount() - 1), {ThumbnailRole});
}

bool QVRemoteFolderModel::wantsThumbnail(const QVRemoteFileEntryPtr &entry) const
{
    return m_showThumbnails && m_loader && entry && entry->fileType == QLatin1String("IMAGE");
}

void QVRemoteFolderModel::thumbnailReady(const QString &key)
{
    for (auto it = m_rowsByPath.constFind(key); it != m_rowsByPath.cend() && it.key() == key; ++it)
        emit dataChanged(index(it.value()), index(it.value()), {ThumbnailRole});
}

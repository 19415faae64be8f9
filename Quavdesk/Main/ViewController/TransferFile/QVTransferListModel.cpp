#include "Main/ViewController/TransferFile/QVTransferListModel.h"

#include <QSet>

#include "Main/ViewController/TransferFile/QVTransferRowParts.h"

QVTransferListModel::QVTransferListModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

int QVTransferListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant QVTransferListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return nameOf(row.file.get());
    case Qt::ToolTipRole:
        // The name comes from outside (the device, the file system): it is
        // shown as it is, never as markup.
        return QVTransferRowParts::plainToolTip(nameOf(row.file.get()));
    case StatusRole:
        return row.status;
    case ProgressRole:
        return qBound(0.0f, progressOf(row.file.get(), row.reported), 1.0f);
    default:
        return {};
    }
}

QVTransferListModel::Row QVTransferListModel::rowFor(std::shared_ptr<void> file) const
{
    Row row;
    row.status = statusOf(file.get());
    row.file = std::move(file);
    return row;
}

std::shared_ptr<void> QVTransferListModel::rowFile(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).file : std::shared_ptr<void>();
}

int QVTransferListModel::rowOfKey(const void *file) const
{
    if (m_rowOfStale) {
        m_rowOf.clear();
        m_rowOf.reserve(m_rows.size());
        for (int i = 0; i < m_rows.size(); ++i)
            m_rowOf.insert(m_rows.at(i).file.get(), i);
        m_rowOfStale = false;
    }
    return m_rowOf.value(file, -1);
}

void QVTransferListModel::syncRows()
{
    const qsizetype count = listCount();
    // Files leave the list anywhere; rows that are gone go first, a run of
    // neighbours at a time, from the end so that the indexes in front stay.
    const bool prefixKept = [&] {
        if (count < m_rows.size())
            return false;
        for (qsizetype i = 0; i < m_rows.size(); ++i) {
            if (m_rows.at(i).file != listFile(i))
                return false;
        }
        return true;
    }();
    if (!prefixKept) {
        QSet<const void *> present;
        present.reserve(count);
        for (qsizetype i = 0; i < count; ++i)
            present.insert(listFile(i).get());
        for (qsizetype end = m_rows.size(); end > 0;) {
            if (present.contains(m_rows.at(end - 1).file.get())) {
                --end;
                continue;
            }
            qsizetype first = end - 1;
            while (first > 0 && !present.contains(m_rows.at(first - 1).file.get()))
                --first;
            beginRemoveRows({}, int(first), int(end - 1));
            m_rows.remove(first, end - first);
            m_rowOfStale = true;
            endRemoveRows();
            end = first;
        }
        // What is left must be the list's start; any other change of order
        // shows the list anew.
        bool inOrder = m_rows.size() <= count;
        for (qsizetype i = 0; inOrder && i < m_rows.size(); ++i)
            inOrder = m_rows.at(i).file == listFile(i);
        if (!inOrder) {
            beginResetModel();
            m_rows.clear();
            for (qsizetype i = 0; i < count; ++i)
                m_rows.append(rowFor(listFile(i)));
            m_rowOfStale = true;
            endResetModel();
            return;
        }
    }
    // New files arrive at the end.
    if (count > m_rows.size()) {
        beginInsertRows({}, int(m_rows.size()), int(count - 1));
        m_rows.reserve(count);
        for (qsizetype i = m_rows.size(); i < count; ++i)
            m_rows.append(rowFor(listFile(i)));
        m_rowOfStale = true;
        endInsertRows();
    }
}

void QVTransferListModel::refresh()
{
    syncRows();
    // One notice for each run of neighbouring rows that changed.
    int runStart = -1;
    for (int i = 0; i <= m_rows.size(); ++i) {
        bool changed = false;
        if (i < m_rows.size()) {
            Row &row = m_rows[i];
            const qint64 status = statusOf(row.file.get());
            if (status != row.status) {
                row.status = status;
                row.reported = -1;
                changed = true;
            }
        }
        if (changed && runStart < 0)
            runStart = i;
        if (!changed && runStart >= 0) {
            emit dataChanged(index(runStart), index(i - 1));
            runStart = -1;
        }
    }
}

void QVTransferListModel::refreshRow(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    Row &entry = m_rows[row];
    const qint64 status = statusOf(entry.file.get());
    if (status != entry.status) {
        entry.status = status;
        entry.reported = -1;
    }
    emit dataChanged(index(row), index(row));
}

void QVTransferListModel::setReportedProgress(int row, float progress)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows[row].reported = progress;
    emit dataChanged(index(row), index(row), {ProgressRole});
}

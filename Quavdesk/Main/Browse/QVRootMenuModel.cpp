#include "Main/Browse/QVRootMenuModel.h"

#include "PublicManager/QVPublicTools.h"

#include <QCoreApplication>

QVRootMenuModel::QVRootMenuModel(QObject *parent) : QAbstractListModel(parent) {}

int QVRootMenuModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant QVRootMenuModel::data(const QModelIndex &index, int role) const
{
    const std::optional<QPair<int, int>> position = positionOfRow(index.row());
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    if (role == IsSeparatorRole)
        return !position.has_value();
    if (!position)
        return QVariant();
    const QVRootMenuListModel &entry = m_groups.at(position->first).at(position->second);
    switch (role) {
    case Qt::DisplayRole:
        return titleOf(entry);
    case IconRole:
        return QVPublicTools::getRootMenuIconWithRootKey(entry.rootKey);
    case SelectedRole:
        return *position == m_selected;
    case RootKeyRole:
        return entry.rootKey;
    default:
        return QVariant();
    }
}

Qt::ItemFlags QVRootMenuModel::flags(const QModelIndex &index) const
{
    if (!index.isValid() || !positionOfRow(index.row()))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled;
}

void QVRootMenuModel::setGroups(const QVRootMenuGroups &groups)
{
    beginResetModel();
    m_groups = groups;
    m_rows.clear();
    for (int section = 0; section < m_groups.size(); ++section) {
        if (section > 0)
            m_rows.append({section, -1});
        for (int item = 0; item < m_groups.at(section).size(); ++item)
            m_rows.append({section, item});
    }
    m_selected = {0, 0};
    endResetModel();
}

std::optional<QVRootMenuListModel> QVRootMenuModel::root(int section, int item) const
{
    if (section < 0 || section >= m_groups.size() || item < 0 || item >= m_groups.at(section).size())
        return std::nullopt;
    return m_groups.at(section).at(item);
}

void QVRootMenuModel::setSelectMenuIndex(QPair<int, int> index)
{
    const int before = rowOf(m_selected.first, m_selected.second);
    m_selected = index;
    const int after = rowOf(index.first, index.second);
    for (const int row : {before, after}) {
        if (row >= 0)
            emit dataChanged(this->index(row), this->index(row), {SelectedRole});
    }
}

std::optional<QPair<int, int>> QVRootMenuModel::positionOfRow(int row) const
{
    if (row < 0 || row >= m_rows.size() || m_rows.at(row).second < 0)
        return std::nullopt;
    return m_rows.at(row);
}

int QVRootMenuModel::rowOf(int section, int item) const
{
    if (item < 0)
        return -1;
    return static_cast<int>(m_rows.indexOf(qMakePair(section, item)));
}

void QVRootMenuModel::setPassword(const QString &rootKey, const QString &password)
{
    for (QList<QVRootMenuListModel> &group : m_groups) {
        for (QVRootMenuListModel &entry : group) {
            if (entry.rootKey == rootKey)
                entry.encryptPwd = password;
        }
    }
}

QString QVRootMenuModel::titleOf(const QVRootMenuListModel &root)
{
    if (root.isGlimraVersion)
        return root.name;
    return QCoreApplication::translate("Localizable",
                                       QVPublicTools::getRootMenuNameWithRootKey(root.rootKey).toUtf8().constData());
}

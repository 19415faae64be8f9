#pragma once

#include "Main/Browse/QVRemoteFileModels.h"

#include <QAbstractListModel>
#include <QList>
#include <QPair>

#include <optional>

// The roots of the device's file share, as the menu shows them without
// widgets: the groups in the device's order, a separator row above every
// group but the first, and the mark on the chosen root.
class QVRootMenuModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        IsSeparatorRole = Qt::UserRole + 1,
        // The name of the root's icon image.
        IconRole,
        SelectedRole,
        RootKeyRole,
    };

    explicit QVRootMenuModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    const QVRootMenuGroups &groups() const { return m_groups; }
    // New groups; the first root is the chosen one.
    void setGroups(const QVRootMenuGroups &groups);
    // The root at (group, entry); none when there is no such root.
    std::optional<QVRootMenuListModel> root(int section, int item) const;

    QPair<int, int> selectMenuIndex() const { return m_selected; }
    void setSelectMenuIndex(QPair<int, int> index);

    // Where the root of a row is (none for a separator), and back.
    std::optional<QPair<int, int>> positionOfRow(int row) const;
    int rowOf(int section, int item) const;

    // Every root with this key gets this password.
    void setPassword(const QString &rootKey, const QString &password);

    // The title a root shows: the device's name for it (new interface), or
    // the text of its key (fixed menu).
    static QString titleOf(const QVRootMenuListModel &root);

private:
    QVRootMenuGroups m_groups;
    // (group, entry) of each row; (group, -1) for a separator.
    QList<QPair<int, int>> m_rows;
    QPair<int, int> m_selected{0, 0};
};

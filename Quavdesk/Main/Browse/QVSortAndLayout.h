#pragma once

#include "Main/Browse/QVRemoteFileModels.h"

#include "Platform/KeyValueStore.h"

#include <QList>
#include <QString>

#include <memory>

// The browser's two remembered choices: the order of a listing and whether
// it shows as a grid or a list. Both live in the settings and outlive the
// window; on first use the defaults are stored (as text, as the device-side
// program stores them).
class QVSortAndLayout
{
public:
    static inline const QString LayoutSettingKey = QStringLiteral("DownLoadFile_Layout_Setting");
    static inline const QString SortSettingKey = QStringLiteral("DownLoadFile_Sort_Setting");

    enum SortType : qint64 { TimeAscending = 0, TimeDescending = 1, NameAscending = 2, NameDescending = 3 };
    enum LayoutType : qint64 { Grid = 0, List = 1 };

    // Reads both settings, storing the defaults (grid, newest first) when
    // they are missing.
    explicit QVSortAndLayout(std::shared_ptr<Platform::KeyValueStore> store);

    qint64 layoutType() const { return m_layoutType; }
    qint64 sortType() const { return m_sortType; }
    // Grid to list and back; the new value is stored as text.
    void switchLayout();
    // The new order is stored as a number.
    void chooseSortType(qint64 sortType);

    // Orders `entries` by the sort type, stable; other types leave the
    // order. Times that are both whole numbers compare as numbers (a stamp
    // with fewer digits is older), any other pair as plain text; names as
    // plain, case-sensitive text.
    static void sortEntries(QList<QVRemoteFileEntryPtr> &entries, qint64 sortType);
    static bool timeLess(const QVRemoteFileEntry &a, const QVRemoteFileEntry &b);

private:
    std::shared_ptr<Platform::KeyValueStore> m_store;
    qint64 m_layoutType = Grid;
    qint64 m_sortType = TimeDescending;
};

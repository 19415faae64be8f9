#include "Main/Browse/QVSortAndLayout.h"

#include <algorithm>

namespace {

// The stored setting's integer value; on first use `first` is stored (as
// text) and used.
qint64 storedSetting(Platform::KeyValueStore *store, const QString &key, qint64 first)
{
    if (store && store->contains(key))
        return store->value(key).toLongLong();
    if (store)
        store->setValue(key, QString::number(first));
    return first;
}

} // namespace

QVSortAndLayout::QVSortAndLayout(std::shared_ptr<Platform::KeyValueStore> store) : m_store(std::move(store))
{
    m_layoutType = storedSetting(m_store.get(), LayoutSettingKey, Grid);
    m_sortType = storedSetting(m_store.get(), SortSettingKey, TimeDescending);
}

void QVSortAndLayout::switchLayout()
{
    m_layoutType = m_layoutType == Grid ? List : Grid;
    if (m_store)
        m_store->setValue(LayoutSettingKey, QString::number(m_layoutType));
}

void QVSortAndLayout::chooseSortType(qint64 sortType)
{
    m_sortType = sortType;
    if (m_store)
        m_store->setValue(SortSettingKey, sortType);
}

bool QVSortAndLayout::timeLess(const QVRemoteFileEntry &a, const QVRemoteFileEntry &b)
{
    if (a.timeIsNumber && b.timeIsNumber)
        return a.timeNumber < b.timeNumber;
    return QString::compare(a.lastModifyTime, b.lastModifyTime, Qt::CaseSensitive) < 0;
}

void QVSortAndLayout::sortEntries(QList<QVRemoteFileEntryPtr> &entries, qint64 sortType)
{
    const auto byName = [](const QVRemoteFileEntryPtr &a, const QVRemoteFileEntryPtr &b) {
        return QString::compare(a->pinyinName, b->pinyinName, Qt::CaseSensitive) < 0;
    };
    switch (sortType) {
    case TimeAscending:
        std::stable_sort(entries.begin(), entries.end(),
                         [](const auto &a, const auto &b) { return timeLess(*a, *b); });
        break;
    case TimeDescending:
        std::stable_sort(entries.begin(), entries.end(),
                         [](const auto &a, const auto &b) { return timeLess(*b, *a); });
        break;
    case NameAscending:
        std::stable_sort(entries.begin(), entries.end(), byName);
        break;
    case NameDescending:
        std::stable_sort(entries.begin(), entries.end(),
                         [&byName](const auto &a, const auto &b) { return byName(b, a); });
        break;
    default:
        break;
    }
}

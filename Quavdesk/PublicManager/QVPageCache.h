#pragma once

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

// The record of which pages are alive, by the page's class name: a page
// enters when it builds its interface and leaves when it must not outlive
// its visit. The cache owns the pages it holds while no window shows them
// (a page host takes a page out of its window without deleting it when the
// cache holds it). A page that leaves the cache while detached is deleted
// later, never at once: the removal may come from inside one of its own
// handlers. A page that leaves while a host shows it stays with that host,
// which lets it go when it switches away.
class QVPageCache
{
public:
    QVPageCache() = default;
    QVPageCache(const QVPageCache &) = delete;
    QVPageCache &operator=(const QVPageCache &) = delete;
    ~QVPageCache();

    // A live page is held under the name.
    bool contains(const QString &name) const;
    QObject *value(const QString &name) const;
    QStringList keys() const;
    bool isEmpty() const;
    qsizetype size() const;
    // The page is held under some name.
    bool holds(const QObject *page) const;

    // Holds `page` under `name`; a different page held under that name
    // before leaves the cache.
    void insert(const QString &name, QObject *page);
    // The page under `name` leaves the cache.
    void remove(const QString &name);
    // Empties the cache and deletes its detached pages at once. For the end
    // of the process, while the application object still exists, and for
    // tests.
    void clear();

private:
    void release(QObject *page);
    void dropDeadEntries() const;

    mutable QMap<QString, QPointer<QObject>> m_pages;
};

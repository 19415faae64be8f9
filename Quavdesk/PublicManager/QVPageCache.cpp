#include "QVPageCache.h"

#include <QCoreApplication>

QVPageCache::~QVPageCache()
{
    // Widgets may only be deleted while the application object exists; after
    // it has gone the process is ending anyway.
    if (QCoreApplication::instance())
        clear();
}

void QVPageCache::dropDeadEntries() const
{
    for (auto it = m_pages.begin(); it != m_pages.end();) {
        if (it.value().isNull())
            it = m_pages.erase(it);
        else
            ++it;
    }
}

bool QVPageCache::contains(const QString &name) const
{
    return !m_pages.value(name).isNull();
}

QObject *QVPageCache::value(const QString &name) const
{
    return m_pages.value(name).data();
}

QStringList QVPageCache::keys() const
{
    dropDeadEntries();
    return m_pages.keys();
}

bool QVPageCache::isEmpty() const
{
    dropDeadEntries();
    return m_pages.isEmpty();
}

qsizetype QVPageCache::size() const
{
    dropDeadEntries();
    return m_pages.size();
}

bool QVPageCache::holds(const QObject *page) const
{
    if (!page)
        return false;
    for (const QPointer<QObject> &held : std::as_const(m_pages)) {
        if (held.data() == page)
            return true;
    }
    return false;
}

void QVPageCache::insert(const QString &name, QObject *page)
{
    if (!page) {
        remove(name);
        return;
    }
    QObject *previous = m_pages.value(name).data();
    m_pages.insert(name, page);
    if (previous != page)
        release(previous);
}

void QVPageCache::remove(const QString &name)
{
    const auto it = m_pages.find(name);
    if (it == m_pages.end())
        return;
    QObject *page = it.value().data();
    m_pages.erase(it);
    release(page);
}

void QVPageCache::release(QObject *page)
{
    // A page shown by a host (it has a parent) stays with that host.
    if (page && !holds(page) && !page->parent())
        page->deleteLater();
}

void QVPageCache::clear()
{
    const QMap<QString, QPointer<QObject>> pages = std::exchange(m_pages, {});
    for (const QPointer<QObject> &page : pages) {
        if (page && !page->parent())
            delete page.data();
    }
}

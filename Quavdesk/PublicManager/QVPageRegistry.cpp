#include "QVPageRegistry.h"

#include <QMutexLocker>
#include <QWidget>

QVPageRegistry &QVPageRegistry::shared()
{
    static QVPageRegistry registry;
    return registry;
}

bool QVPageRegistry::registerPage(const QString &className, Factory factory)
{
    if (className.isEmpty() || !factory)
        return false;
    QMutexLocker lock(&m_mutex);
    if (m_factories.contains(className)) {
        // Two pages under one name is a mistake of the build; the first
        // stays so that the program still shows something.
        qWarning("Page %s is registered twice; the first maker is kept", qPrintable(className));
        return false;
    }
    m_factories.insert(className, std::move(factory));
    return true;
}

bool QVPageRegistry::contains(const QString &className) const
{
    QMutexLocker lock(&m_mutex);
    return m_factories.contains(className);
}

QStringList QVPageRegistry::classNames() const
{
    QMutexLocker lock(&m_mutex);
    QStringList names = m_factories.keys();
    names.sort();
    return names;
}

QWidget *QVPageRegistry::makePage(const QString &className) const
{
    Factory factory;
    {
        QMutexLocker lock(&m_mutex);
        factory = m_factories.value(className);
    }
    // Made without the lock: a page's constructor may look up others.
    return factory ? factory() : nullptr;
}

QVPageRegistry::Override::Override(QVPageRegistry &registry, const QString &className, Factory factory)
    : m_registry(registry), m_className(className)
{
    QMutexLocker lock(&m_registry.m_mutex);
    m_hadPrevious = m_registry.m_factories.contains(className);
    m_previous = m_registry.m_factories.value(className);
    m_registry.m_factories.insert(className, std::move(factory));
}

QVPageRegistry::Override::~Override()
{
    QMutexLocker lock(&m_registry.m_mutex);
    if (m_hadPrevious)
        m_registry.m_factories.insert(m_className, std::move(m_previous));
    else
        m_registry.m_factories.remove(m_className);
}

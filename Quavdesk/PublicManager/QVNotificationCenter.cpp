#include "QVNotificationCenter.h"

#include <QMutexLocker>

QVNotificationCenter *QVNotificationCenter::defaultCenter()
{
    static QVNotificationCenter center;
    return &center;
}

void QVNotificationCenter::addObserver(QObject *context, const QString &name, Observer observer)
{
    if (!observer)
        return;
    QMutexLocker lock(&m_mutex);
    m_entries.append({name, context, context != nullptr, std::move(observer), std::make_shared<bool>(true)});
}

void QVNotificationCenter::removeObserver(QObject *context, const QString &name)
{
    QMutexLocker lock(&m_mutex);
    for (qsizetype i = m_entries.size() - 1; i >= 0; --i) {
        Entry &entry = m_entries[i];
        if (entry.context.data() != context || (!name.isEmpty() && entry.name != name))
            continue;
        *entry.active = false;
        m_entries.removeAt(i);
    }
}

void QVNotificationCenter::postNotificationName(const QString &name, const QVariantMap &userInfo)
{
    QList<Entry> matching;
    {
        QMutexLocker lock(&m_mutex);
        for (qsizetype i = m_entries.size() - 1; i >= 0; --i) {
            // An observer whose context has gone is dropped for good.
            if (m_entries[i].hasContext && !m_entries[i].context) {
                *m_entries[i].active = false;
                m_entries.removeAt(i);
            }
        }
        for (const Entry &entry : std::as_const(m_entries)) {
            if (entry.name == name)
                matching.append(entry);
        }
    }
    // Called without the lock: an observer may add, remove or post.
    for (const Entry &entry : std::as_const(matching)) {
        if (!*entry.active || (entry.hasContext && !entry.context))
            continue;
        entry.observer(userInfo);
    }
}

bool QVNotificationCenter::boolValue(const QVariant &value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    const QString text = value.toString();
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        ++i;
    while (i < text.size() && text.at(i) == QLatin1Char('0'))
        ++i;
    if (i >= text.size())
        return false;
    const QChar c = text.at(i);
    return c == QLatin1Char('Y') || c == QLatin1Char('y') || c == QLatin1Char('T') || c == QLatin1Char('t')
        || (c >= QLatin1Char('1') && c <= QLatin1Char('9'));
}

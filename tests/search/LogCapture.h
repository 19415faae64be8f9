#pragma once

// Collects the Qt log lines written while it exists (from any thread) and
// still passes them on to the previous handler.

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QtGlobal>

class LogCapture {
public:
    LogCapture()
    {
        instance() = this;
        m_previous = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        instance() = nullptr;
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lines;
    }
    // Lines equal to `text`.
    int count(const QString &text) const
    {
        QMutexLocker lock(&m_mutex);
        return int(m_lines.count(text));
    }
    // Lines containing `part`.
    int countContaining(const QString &part) const
    {
        QMutexLocker lock(&m_mutex);
        int n = 0;
        for (const QString &line : m_lines)
            n += line.contains(part) ? 1 : 0;
        return n;
    }
    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_lines.clear();
    }

private:
    static LogCapture *&instance()
    {
        static LogCapture *current = nullptr;
        return current;
    }
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        LogCapture *self = instance();
        if (!self)
            return;
        {
            QMutexLocker lock(&self->m_mutex);
            self->m_lines.append(message);
        }
        if (self->m_previous)
            self->m_previous(type, context, message);
    }

    mutable QMutex m_mutex;
    QStringList m_lines;
    QtMessageHandler m_previous = nullptr;
};

#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariant>

// Stands for the library's notification centre: posts named notifications
// with an object, as the control session posts the encoder-size requests.
class NotificationPoster : public QObject {
    Q_OBJECT
public:
    void post(const QString &name, const QVariant &object) { emit notificationPosted(name, object); }

signals:
    void notificationPosted(const QString &name, const QVariant &object);
};

// An X server (Xvfb, 1920x1080, MIT-SHM) of the test's own, so that what
// other tests draw on the shared display, or where they move the pointer,
// does not reach this one.
class PrivateXServer {
public:
    PrivateXServer();
    ~PrivateXServer();
    bool isRunning() const { return !m_name.isEmpty(); }
    // ":N"
    QByteArray name() const { return m_name; }

private:
    qint64 m_pid = 0;
    QByteArray m_name;
};

// Collects log lines while alive.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    QStringList lines() const;
    int count(const QString &line) const;
};

#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One running program per user: the first start listens under the instance
// name; a later start finds it there, asks it to bring its main window
// forward and ends. The name is the user's own (in the user's runtime
// folder) unless one is given, which keeps test runs apart.
class QVSingleInstance : public QObject
{
    Q_OBJECT
public:
    enum class Role {
        // This is the program's running instance.
        Primary,
        // Another instance runs and has been asked to come forward.
        Secondary,
        // Neither could be settled; the program runs on its own.
        Alone,
    };

    explicit QVSingleInstance(const QString &name, QObject *parent = nullptr);
    ~QVSingleInstance() override;

    static QString defaultName();
    QString name() const { return m_name; }

    Role start();

signals:
    // A later start asked this one to come forward.
    void raiseRequested();

private:
    bool listen();
    bool askRunningInstance();

    QString m_name;
    QLocalServer *m_server = nullptr;
};

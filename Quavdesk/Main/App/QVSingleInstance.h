#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

// One running program per user: the first start listens under the instance
// name; a later start finds it there, asks it to bring its main window
// forward and ends. The name is the user's own (in the user's runtime
// folder) unless one is given, which keeps test runs apart.
//
// A lock file beside the name guards the step from asking to listening, and
// the running instance keeps holding it: of two starts at the same moment
// only one can become the first; the other leaves, whether or not the first
// already listens. A lock whose holder died is taken over.
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
    // The lock file that guards `name`.
    static QString lockFilePath(const QString &name);

    Role start();

signals:
    // A later start asked this one to come forward.
    void raiseRequested();

private:
    bool listen();
    bool askRunningInstance();

    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <sys/types.h>

#include "QVDownloadFile.h"

// The temporary files the downloader makes, recorded in the program's
// settings while they exist, so that a run after one that was killed can
// remove what that run left in a download folder.
//
// A sweep of a folder removes only files recorded by earlier runs, and only
// while each is still the very file recorded (same device, inode and, where
// the file system keeps it, birth time; a regular file), owned by the user
// and in use by nobody: a download holds a lock on its temporary file while
// it keeps it (a failed row waiting for its continue too), and a file that
// another process of the user has open is left alone. A record whose file is
// gone or is no longer that file is forgotten without touching anything.
//
// The records live on the thread that owns them (the settings store is that
// thread's); only sweepFiles(), which looks at the files, may run elsewhere.
class QVDownloadTempRecords
{
public:
    // Where the records live: the text of one settings value.
    struct Store {
        std::function<QByteArray()> read;
        std::function<void(const QByteArray &)> write;
    };
    // A file an earlier run recorded.
    struct Candidate {
        QString name;
        quint64 device = 0;
        quint64 inode = 0;
        // Nanoseconds since 1970; 0 when the file system does not say.
        qint64 birthNs = 0;
    };
    struct SweepResult {
        // Removed by the sweep.
        QStringList removed;
        // Removed, gone already, or no longer the recorded file: their
        // records go.
        QStringList forget;
    };

    // The settings key of the records (a JSON array).
    static const QString kSettingsKey;
    // The program's settings store under kSettingsKey.
    static Store settingsStore();
    // This process's records: one run, the program's settings.
    static std::shared_ptr<QVDownloadTempRecords> processRecords();

    // `run` tells this run's records from those of earlier runs; `user` owns
    // the files a sweep may remove.
    QVDownloadTempRecords(Store store, QString run, uid_t user);

    QString run() const { return m_run; }
    uid_t user() const { return m_user; }
    void add(const QString &folder, const QString &name, const QVDownloadFile::Identity &identity);
    void remove(const QString &folder, const QString &name);
    // The recorded names in `folder`, of every run.
    QStringList names(const QString &folder) const;

    // What earlier runs recorded in `folder`.
    QList<Candidate> earlierFiles(const QString &folder) const;
    // Removes the candidates in `folder` that may go (see above). Any thread.
    static SweepResult sweepFiles(const QString &folder, const QList<Candidate> &candidates, uid_t user);
    void forget(const QString &folder, const QStringList &names);
    // All three in one: answers the names removed.
    QStringList sweep(const QString &folder);

private:
    struct Record;
    QList<Record> load() const;
    void save(const QList<Record> &records);

    Store m_store;
    QString m_run;
    uid_t m_user;
};

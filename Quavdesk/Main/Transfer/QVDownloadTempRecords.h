#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <sys/types.h>

#include "QVDownloadFile.h"

// The temporary files the downloader makes, recorded in the program's
// settings while they exist, so that a run after one that was killed can
// remove what that run left in a download folder.
//
// A sweep of a folder removes only files recorded by earlier runs, and only
// while each is still the very file recorded (same device and inode, a
// regular file), owned by the user and in use by nobody: a download holds a
// lock on its temporary file while it keeps it (a failed row waiting for its
// continue too), and a file that any process of the user has open is left
// alone. A record whose file is gone or is no longer that file is forgotten
// without touching anything.
//
// Safe to use from any thread; the downloader uses it from its worker.
class QVDownloadTempRecords
{
public:
    // Where the records live: the text of one settings value.
    struct Store {
        std::function<QByteArray()> read;
        std::function<void(const QByteArray &)> write;
    };

    // The settings key of the records (a JSON array).
    static const QString kSettingsKey;
    // The program's settings under kSettingsKey.
    static Store settingsStore();
    // This process's records: one run, the program's settings.
    static std::shared_ptr<QVDownloadTempRecords> processRecords();

    // `run` tells this run's records from those of earlier runs; `user` owns
    // the files a sweep may remove.
    QVDownloadTempRecords(Store store, QString run, uid_t user);

    QString run() const { return m_run; }
    void add(const QString &folder, const QString &name, const QVDownloadFile::Identity &identity);
    void remove(const QString &folder, const QString &name);
    // Removes the left-over temporary files of earlier runs in `folder` (see
    // above); answers the names removed.
    QStringList sweep(const QString &folder);
    // The recorded names in `folder`, of every run.
    QStringList names(const QString &folder) const;

private:
    struct Record;
    QList<Record> load() const;
    void save(const QList<Record> &records);

    mutable std::mutex m_mutex;
    Store m_store;
    QString m_run;
    uid_t m_user;
};

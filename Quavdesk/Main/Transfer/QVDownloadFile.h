#pragma once

#include <QMutex>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <sys/types.h>

// The system calls behind the move to the final name, each answering 0 or an
// errno value. Tests replace them to play a file system that cannot rename
// or link, or to see the order of sync and rename.
struct QVDownloadFileCalls {
    // fsync(2).
    std::function<int(int fd)> sync;
    // renameat2(2) within one folder with RENAME_NOREPLACE.
    std::function<int(int folderFd, const char *from, const char *to)> renameNoReplace;
    // linkat(2) within one folder.
    std::function<int(int folderFd, const char *from, const char *to)> link;

    static QVDownloadFileCalls system();
};

// The temporary file of one download inside its download folder, and the
// move to its final name. The folder is held open from the file's start, so
// the temporary file and the final file are always entries of that very
// folder, whatever happens to the path meanwhile.
//
// Writes and truncations may run on a worker thread; the error state is
// shared under a lock. Everything else runs on the owner's thread.
class QVDownloadFile
{
public:
    // Makes `<folder>/<stamp>` afresh, never opening what is already there:
    // while the name is taken (or a link sits there) the number goes up by
    // one. Null with `error` set when no file could be made.
    static std::unique_ptr<QVDownloadFile> createExclusive(const QString &folder, qint64 stamp, QString *error,
                                                           QVDownloadFileCalls calls = QVDownloadFileCalls::system());

    ~QVDownloadFile();
    QVDownloadFile(const QVDownloadFile &) = delete;
    QVDownloadFile &operator=(const QVDownloadFile &) = delete;

    QString folder() const { return m_folder; }
    // The file's name: the temporary one (the stamp actually used) until
    // the move, the final one after it.
    QString name() const { return m_name; }
    // The temporary name, whatever has happened since (any thread).
    const QString &temporaryName() const { return m_temporaryName; }
    QString path() const { return m_folder + QLatin1Char('/') + m_name; }

    // Writes all of `data` at `offset`. After a failure later writes are
    // skipped until truncate() succeeds; the first error is kept.
    void writeAt(qint64 offset, const char *data, qint64 size);
    // Cuts the file to `size` and, when that works, forgets earlier errors:
    // the bytes they concern are gone.
    void truncate(qint64 size);
    // The first error since the last successful truncate(); empty when none.
    QString error() const;

    // The file's size, or -1 when it cannot be read.
    qint64 size() const;
    // The temporary name in the folder is still this file (nobody removed or
    // replaced it).
    bool isStillInPlace() const;
    // Removes the temporary name (when it is still this file, and until it
    // has been moved to its final name).
    void removeTemporary();
    // The file has its final name.
    bool isMoved() const { return m_moved.load(); }

    // Moves the file to the first free name among `safeName` (when
    // `tryPlainName`) and numberedName(safeName, n) for n = `firstNumber`,
    // `firstNumber` + 1, ... within the folder, at most `maxTries` names;
    // never replaces an entry. Answers the name taken, or none with `error`
    // set. The last candidate tried is left in `lastCandidate`.
    //
    // The bytes are synced first, so that the name never stands for a file
    // whose bytes a crash could still lose. Where the folder's file system
    // can neither rename without replacing nor link, the file is copied to
    // the name instead, synced, read back and compared, and only then does
    // the temporary name go; a copy that does not match is removed and the
    // temporary file stays. May take long: runs on a worker thread, while
    // the owner's thread leaves the file alone.
    std::optional<QString> moveToFinalName(const QString &safeName, bool tryPlainName, qint64 firstNumber,
                                           int maxTries, QString *lastCandidate, QString *error);

    // What the finished file looked like when it was made; a file that no
    // longer matches has been replaced or changed by someone else.
    struct Identity {
        dev_t device = 0;
        ino_t inode = 0;
        qint64 size = -1;
        qint64 modifiedNs = 0;
    };
    std::optional<Identity> identity() const;

private:
    QVDownloadFile(int folderFd, int fd, QString folder, QString name, QVDownloadFileCalls calls);
    void setError(const QString &error);
    // Copies the file to `to` (made afresh), checked; 0 or an errno value.
    int copyToName(const QByteArray &to, QString *error);

    int m_folderFd = -1;
    int m_fd = -1;
    QString m_folder;
    QString m_name;
    const QString m_temporaryName;
    QVDownloadFileCalls m_calls;
    std::atomic_bool m_moved{false};
    mutable QMutex m_mutex;
    QString m_error;
};

namespace QVDownloadFiles {

// Removes `path` only when it is still the regular file `identity`
// describes. True when it was removed.
bool removeIfUnchanged(const QString &path, const QVDownloadFile::Identity &identity);

// Whether an entry (of any kind, a dangling link too) exists at `path`.
bool entryExists(const QString &path);

} // namespace QVDownloadFiles

#include "QVDownloadTempRecords.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "PublicManager/QVPublicTools.h"

const QString QVDownloadTempRecords::kSettingsKey = QStringLiteral("DownLoadFile_TemporaryFiles");

struct QVDownloadTempRecords::Record {
    QString folder;
    QString name;
    QString run;
    quint64 device = 0;
    quint64 inode = 0;
    // Nanoseconds since 1970 of the file's birth, where the file system
    // tells it; 0 otherwise. An inode number alone may come back for a new
    // file once the old one is gone.
    qint64 birthNs = 0;
};

namespace {

// The file's birth, or 0 when the file system does not keep it.
qint64 birthOf(int folderFd, const char *name, int flags)
{
    struct statx info {};
    if (::statx(folderFd, name, flags | AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_INO, &info) != 0
        || !(info.stx_mask & STATX_BTIME))
        return 0;
    return qint64(info.stx_btime.tv_sec) * 1000000000 + info.stx_btime.tv_nsec;
}

QString normalFolder(const QString &folder)
{
    return QDir::cleanPath(QDir(folder).absolutePath());
}

// Whether a process of this user other than this one has the file open.
// Processes of other users cannot be looked into, and are not asked about:
// the file is the user's own.
bool openElsewhere(dev_t device, ino_t inode)
{
    const QString self = QString::number(::getpid());
    QDirIterator processes(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (processes.hasNext()) {
        processes.next();
        const QString pid = processes.fileName();
        bool number = false;
        pid.toLongLong(&number);
        if (!number || pid == self)
            continue;
        QDirIterator descriptors(processes.filePath() + QStringLiteral("/fd"), QDir::System | QDir::NoDotAndDotDot);
        while (descriptors.hasNext()) {
            descriptors.next();
            struct stat info {};
            if (::stat(QFile::encodeName(descriptors.filePath()).constData(), &info) == 0 && info.st_dev == device
                && info.st_ino == inode)
                return true;
        }
    }
    return false;
}

enum class Verdict {
    // Removed here: the record goes.
    Removed,
    // Gone already, or no longer ours: the record goes, the file stays.
    Gone,
    // In use: the record stays.
    InUse,
};

Verdict sweepOne(int folderFd, const QString &name, dev_t device, ino_t inode, qint64 birthNs, uid_t user)
{
    const QByteArray encoded = QFile::encodeName(name);
    const int fd = ::openat(folderFd, encoded.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Verdict::Gone;
    struct stat info {};
    const qint64 birth = birthOf(fd, "", AT_EMPTY_PATH);
    const bool ours = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_dev == device
        && info.st_ino == inode && info.st_uid == user && (birthNs == 0 || birth == 0 || birth == birthNs);
    if (!ours) {
        ::close(fd);
        return Verdict::Gone;
    }
    // A download that keeps the file holds its lock; a process that merely
    // has it open is found among the open files.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || openElsewhere(device, inode)) {
        ::close(fd);
        return Verdict::InUse;
    }
    struct stat there {};
    const bool removed = ::fstatat(folderFd, encoded.constData(), &there, AT_SYMLINK_NOFOLLOW) == 0
        && there.st_dev == device && there.st_ino == inode && ::unlinkat(folderFd, encoded.constData(), 0) == 0;
    ::close(fd);
    return removed ? Verdict::Removed : Verdict::Gone;
}

} // namespace

QVDownloadTempRecords::Store QVDownloadTempRecords::settingsStore()
{
    // The program's one store, taken on the thread that makes the records.
    const std::shared_ptr<Platform::KeyValueStore> settings = QVPublicTools::sharedPublicTools()->userDefaults();
    Store store;
    store.read = [settings] { return settings->value(kSettingsKey).toString().toUtf8(); };
    // Written at once: a run killed a moment later must have left its record.
    store.write = [settings](const QByteArray &text) {
        if (text.isEmpty() || text == "[]")
            settings->remove(kSettingsKey);
        else
            settings->setValue(kSettingsKey, QString::fromUtf8(text));
    };
    return store;
}

std::shared_ptr<QVDownloadTempRecords> QVDownloadTempRecords::processRecords()
{
    static const std::shared_ptr<QVDownloadTempRecords> records = std::make_shared<QVDownloadTempRecords>(
        settingsStore(), QUuid::createUuid().toString(QUuid::WithoutBraces), ::geteuid());
    return records;
}

QVDownloadTempRecords::QVDownloadTempRecords(Store store, QString run, uid_t user)
    : m_store(std::move(store)), m_run(std::move(run)), m_user(user)
{
}

QList<QVDownloadTempRecords::Record> QVDownloadTempRecords::load() const
{
    QList<Record> records;
    const QJsonDocument document = QJsonDocument::fromJson(m_store.read ? m_store.read() : QByteArray());
    for (const QJsonValue &value : document.array()) {
        const QJsonObject object = value.toObject();
        Record record;
        record.folder = object.value(QStringLiteral("folder")).toString();
        record.name = object.value(QStringLiteral("name")).toString();
        record.run = object.value(QStringLiteral("run")).toString();
        bool deviceOk = false;
        bool inodeOk = false;
        record.device = object.value(QStringLiteral("device")).toString().toULongLong(&deviceOk);
        record.inode = object.value(QStringLiteral("inode")).toString().toULongLong(&inodeOk);
        record.birthNs = object.value(QStringLiteral("birth")).toString().toLongLong();
        // A record that cannot name one file exactly is no record.
        if (record.folder.isEmpty() || record.name.isEmpty() || record.name.contains(QLatin1Char('/'))
            || record.name == QLatin1String(".") || record.name == QLatin1String("..") || !deviceOk || !inodeOk)
            continue;
        records.append(record);
    }
    return records;
}

void QVDownloadTempRecords::save(const QList<Record> &records)
{
    QJsonArray array;
    for (const Record &record : records) {
        array.append(QJsonObject{
            {QStringLiteral("folder"), record.folder},
            {QStringLiteral("name"), record.name},
            {QStringLiteral("run"), record.run},
            {QStringLiteral("device"), QString::number(record.device)},
            {QStringLiteral("inode"), QString::number(record.inode)},
            {QStringLiteral("birth"), QString::number(record.birthNs)},
        });
    }
    if (m_store.write)
        m_store.write(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

void QVDownloadTempRecords::add(const QString &folder, const QString &name, const QVDownloadFile::Identity &identity)
{
    QList<Record> records = load();
    const QString where = normalFolder(folder);
    records.removeIf([&](const Record &r) { return r.folder == where && r.name == name; });
    Record record{where, name, m_run, quint64(identity.device), quint64(identity.inode), 0};
    struct stat info {};
    const QByteArray path = QFile::encodeName(where + QLatin1Char('/') + name);
    if (::lstat(path.constData(), &info) == 0 && info.st_dev == identity.device && info.st_ino == identity.inode)
        record.birthNs = birthOf(AT_FDCWD, path.constData(), 0);
    records.append(record);
    save(records);
}

void QVDownloadTempRecords::remove(const QString &folder, const QString &name)
{
    forget(folder, {name});
}

void QVDownloadTempRecords::forget(const QString &folder, const QStringList &names)
{
    if (names.isEmpty())
        return;
    QList<Record> records = load();
    const QString where = normalFolder(folder);
    if (records.removeIf([&](const Record &r) { return r.folder == where && names.contains(r.name); }) > 0)
        save(records);
}

QStringList QVDownloadTempRecords::names(const QString &folder) const
{
    const QString where = normalFolder(folder);
    QStringList names;
    for (const Record &record : load()) {
        if (record.folder == where)
            names.append(record.name);
    }
    return names;
}

QList<QVDownloadTempRecords::Candidate> QVDownloadTempRecords::earlierFiles(const QString &folder) const
{
    const QString where = normalFolder(folder);
    QList<Candidate> candidates;
    for (const Record &record : load()) {
        if (record.folder == where && record.run != m_run)
            candidates.append(Candidate{record.name, record.device, record.inode, record.birthNs});
    }
    return candidates;
}

QVDownloadTempRecords::SweepResult QVDownloadTempRecords::sweepFiles(const QString &folder,
                                                                     const QList<Candidate> &candidates, uid_t user)
{
    SweepResult result;
    if (candidates.isEmpty())
        return result;
    const int folderFd = ::open(QFile::encodeName(normalFolder(folder)).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return result;
    for (const Candidate &candidate : candidates) {
        const Verdict verdict = sweepOne(folderFd, candidate.name, dev_t(candidate.device), ino_t(candidate.inode),
                                         candidate.birthNs, user);
        if (verdict == Verdict::InUse)
            continue;
        if (verdict == Verdict::Removed)
            result.removed.append(candidate.name);
        result.forget.append(candidate.name);
    }
    ::close(folderFd);
    return result;
}

QStringList QVDownloadTempRecords::sweep(const QString &folder)
{
    const SweepResult result = sweepFiles(folder, earlierFiles(folder), m_user);
    forget(folder, result.forget);
    return result.removed;
}

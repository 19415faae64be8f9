#include "QVDownloadFile.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "QVDownloadNaming.h"

namespace {

// Names tried before giving up; far more than a folder holds by chance.
constexpr qint64 kMaxStampTries = 1000;

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray encoded(const QString &name)
{
    return QFile::encodeName(name);
}

// Errors by which a file system says it cannot rename without replacing,
// or cannot link at all.
bool renameUnsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP;
}

bool linkUnsupported(int error)
{
    return error == EPERM || error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP || error == EMLINK;
}

// Bytes copied and compared at a time.
constexpr qint64 kCopyBlock = 1024 * 1024;

// Runs a positional read or write until `size` bytes are done; false at an
// error or at the end of the file.
template <typename Call, typename Data>
bool whole(Call call, int fd, Data data, qint64 size, qint64 offset)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = call(fd, data + done, size_t(size - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool readWhole(int fd, char *data, qint64 size, qint64 offset)
{
    return whole(::pread, fd, data, size, offset);
}

bool writeWhole(int fd, const char *data, qint64 size, qint64 offset)
{
    return whole(::pwrite, fd, data, size, offset);
}

} // namespace

QVDownloadFileCalls QVDownloadFileCalls::system()
{
    QVDownloadFileCalls calls;
    calls.sync = [](int fd) {
        int result;
        do {
            result = ::fsync(fd);
        } while (result != 0 && errno == EINTR);
        return result == 0 ? 0 : errno;
    };
    calls.renameNoReplace = [](int folderFd, const char *from, const char *to) {
        return ::renameat2(folderFd, from, folderFd, to, RENAME_NOREPLACE) == 0 ? 0 : errno;
    };
    calls.link = [](int folderFd, const char *from, const char *to) {
        return ::linkat(folderFd, from, folderFd, to, 0) == 0 ? 0 : errno;
    };
    return calls;
}

std::unique_ptr<QVDownloadFile> QVDownloadFile::createExclusive(const QString &folder, qint64 stamp, QString *error,
                                                                QVDownloadFileCalls calls)
{
    const int folderFd = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        *error = QStringLiteral("cannot open the folder %1: %2").arg(folder, errnoText(errno));
        return nullptr;
    }
    for (qint64 i = 0; i < kMaxStampTries; ++i) {
        const QString name = QString::number(stamp + i);
        const int fd = ::openat(folderFd, encoded(name).constData(),
                                O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            // Held while the file is open: it tells a later sweep of left-over
            // temporary files that this one is in use.
            ::flock(fd, LOCK_EX | LOCK_NB);
            return std::unique_ptr<QVDownloadFile>(new QVDownloadFile(folderFd, fd, folder, name, std::move(calls)));
        }
        if (errno != EEXIST) {
            *error = QStringLiteral("cannot create %1/%2: %3").arg(folder, name, errnoText(errno));
            ::close(folderFd);
            return nullptr;
        }
    }
    *error = QStringLiteral("no free temporary name in %1").arg(folder);
    ::close(folderFd);
    return nullptr;
}

QVDownloadFile::QVDownloadFile(int folderFd, int fd, QString folder, QString name, QVDownloadFileCalls calls)
    : m_folderFd(folderFd), m_fd(fd), m_folder(std::move(folder)), m_name(name), m_temporaryName(std::move(name)),
      m_calls(std::move(calls))
{
}

QVDownloadFile::~QVDownloadFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_folderFd >= 0)
        ::close(m_folderFd);
}

void QVDownloadFile::setError(const QString &error)
{
    QMutexLocker locker(&m_mutex);
    if (m_error.isEmpty())
        m_error = error;
}

QString QVDownloadFile::error() const
{
    QMutexLocker locker(&m_mutex);
    return m_error;
}

void QVDownloadFile::writeAt(qint64 offset, const char *data, qint64 size)
{
    if (!error().isEmpty())
        return;
    qint64 written = 0;
    while (written < size) {
        const ssize_t n = ::pwrite(m_fd, data + written, size_t(size - written), off_t(offset + written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            setError(QStringLiteral("cannot write %1: %2").arg(path(), n < 0 ? errnoText(errno) : QStringLiteral("nothing written")));
            return;
        }
        written += n;
    }
}

void QVDownloadFile::truncate(qint64 size)
{
    int result;
    do {
        result = ::ftruncate(m_fd, off_t(size));
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        setError(QStringLiteral("cannot truncate %1: %2").arg(path(), errnoText(errno)));
        return;
    }
    QMutexLocker locker(&m_mutex);
    m_error.clear();
}

qint64 QVDownloadFile::size() const
{
    struct stat info {};
    if (::fstat(m_fd, &info) != 0)
        return -1;
    return qint64(info.st_size);
}

bool QVDownloadFile::isStillInPlace() const
{
    struct stat mine {};
    struct stat there {};
    if (::fstat(m_fd, &mine) != 0
        || ::fstatat(m_folderFd, encoded(m_name).constData(), &there, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    return mine.st_dev == there.st_dev && mine.st_ino == there.st_ino;
}

void QVDownloadFile::removeTemporary()
{
    if (!m_moved && isStillInPlace())
        ::unlinkat(m_folderFd, encoded(m_name).constData(), 0);
}

std::optional<QString> QVDownloadFile::moveToFinalName(const QString &safeName, bool tryPlainName, qint64 firstNumber,
                                                       int maxTries, QString *lastCandidate, QString *error)
{
    if (m_moved) {
        *error = QStringLiteral("%1 has its final name already").arg(path());
        return std::nullopt;
    }
    // The name must never stand for bytes a crash could still take away.
    if (const int synced = m_calls.sync(m_fd); synced != 0) {
        *error = QStringLiteral("cannot sync %1: %2").arg(path(), errnoText(synced));
        return std::nullopt;
    }
    enum class Road { Rename, Link, Copy };
    Road road = Road::Rename;
    const QByteArray from = encoded(m_name);
    for (qint64 i = 0; i < maxTries; ++i) {
        QString candidate;
        if (tryPlainName && i == 0)
            candidate = safeName;
        else
            candidate = QVDownloadNaming::numberedName(safeName, firstNumber + i - (tryPlainName ? 1 : 0));
        *lastCandidate = candidate;
        const QByteArray to = encoded(candidate);
        int result = 0;
        QString copyError;
        // A file system that cannot do one road says so once; the next
        // names go the road that works.
        if (road == Road::Rename) {
            result = m_calls.renameNoReplace(m_folderFd, from.constData(), to.constData());
            if (renameUnsupported(result))
                road = Road::Link;
        }
        if (road == Road::Link) {
            result = m_calls.link(m_folderFd, from.constData(), to.constData());
            if (result == 0)
                ::unlinkat(m_folderFd, from.constData(), 0);
            else if (linkUnsupported(result))
                road = Road::Copy;
        }
        if (road == Road::Copy)
            result = copyToName(to, &copyError);
        if (result == 0) {
            m_name = candidate;
            m_moved = true;
            // The new name itself is kept as surely as the bytes.
            m_calls.sync(m_folderFd);
            return candidate;
        }
        if (result != EEXIST) {
            *error = !copyError.isEmpty()
                ? copyError
                : QStringLiteral("cannot move %1 to %2: %3").arg(path(), candidate, errnoText(result));
            return std::nullopt;
        }
    }
    *error = QStringLiteral("no free name for %1 in %2").arg(safeName, m_folder);
    return std::nullopt;
}

int QVDownloadFile::copyToName(const QByteArray &to, QString *error)
{
    const int out = ::openat(m_folderFd, to.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (out < 0)
        return errno;
    const QString target = m_folder + QLatin1Char('/') + QFile::decodeName(to);
    // A copy that cannot be made whole, or does not match, goes again; the
    // temporary file stays for a later try.
    auto abandon = [&](int code, const QString &why) {
        struct stat mine {};
        struct stat there {};
        if (::fstat(out, &mine) == 0 && ::fstatat(m_folderFd, to.constData(), &there, AT_SYMLINK_NOFOLLOW) == 0
            && mine.st_dev == there.st_dev && mine.st_ino == there.st_ino)
            ::unlinkat(m_folderFd, to.constData(), 0);
        ::close(out);
        *error = QStringLiteral("cannot copy %1 to %2: %3").arg(path(), target, why);
        return code == 0 || code == EEXIST ? EIO : code;
    };
    const qint64 total = size();
    if (total < 0)
        return abandon(EIO, QStringLiteral("its size cannot be read"));
    QByteArray block(kCopyBlock, Qt::Uninitialized);
    for (qint64 offset = 0; offset < total; offset += kCopyBlock) {
        const qint64 n = qMin(kCopyBlock, total - offset);
        if (!readWhole(m_fd, block.data(), n, offset)) {
            const int failed = errno;
            return abandon(failed, QStringLiteral("reading failed: %1").arg(errnoText(failed)));
        }
        if (!writeWhole(out, block.constData(), n, offset)) {
            const int failed = errno;
            return abandon(failed, QStringLiteral("writing failed: %1").arg(errnoText(failed)));
        }
    }
    if (const int synced = m_calls.sync(out); synced != 0)
        return abandon(synced, QStringLiteral("cannot sync the copy: %1").arg(errnoText(synced)));
    // Read back: the copy must be the temporary file, byte for byte.
    struct stat copied {};
    if (::fstat(out, &copied) != 0 || qint64(copied.st_size) != total)
        return abandon(EIO, QStringLiteral("the copy has another size"));
    QByteArray other(kCopyBlock, Qt::Uninitialized);
    for (qint64 offset = 0; offset < total; offset += kCopyBlock) {
        const qint64 n = qMin(kCopyBlock, total - offset);
        if (!readWhole(m_fd, block.data(), n, offset) || !readWhole(out, other.data(), n, offset))
            return abandon(EIO, QStringLiteral("reading back failed"));
        if (std::memcmp(block.constData(), other.constData(), size_t(n)) != 0)
            return abandon(EIO, QStringLiteral("the copy differs at byte %1").arg(offset));
    }
    // The copy is the file now; the temporary name goes.
    if (isStillInPlace())
        ::unlinkat(m_folderFd, encoded(m_name).constData(), 0);
    ::close(m_fd);
    m_fd = out;
    return 0;
}

std::optional<QVDownloadFile::Identity> QVDownloadFile::identity() const
{
    struct stat info {};
    if (::fstat(m_fd, &info) != 0)
        return std::nullopt;
    return Identity{info.st_dev, info.st_ino, qint64(info.st_size),
                    qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

namespace QVDownloadFiles {

bool removeIfUnchanged(const QString &path, const QVDownloadFile::Identity &identity)
{
    struct stat info {};
    const QByteArray name = encoded(path);
    if (::lstat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    const qint64 modified = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    if (info.st_dev != identity.device || info.st_ino != identity.inode || qint64(info.st_size) != identity.size
        || modified != identity.modifiedNs)
        return false;
    return ::unlink(name.constData()) == 0;
}

bool entryExists(const QString &path)
{
    struct stat info {};
    return ::lstat(encoded(path).constData(), &info) == 0;
}

} // namespace QVDownloadFiles

#include "QVDownloadFile.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
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

// Renames within one folder without replacing anything. Where the file
// system lacks the no-replace rename, a hard link followed by removing the
// old name does the same; both fail with EEXIST when the target is taken.
int renameNoReplace(int folderFd, const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(folderFd, from.constData(), folderFd, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    if (::linkat(folderFd, from.constData(), folderFd, to.constData(), 0) != 0)
        return errno;
    ::unlinkat(folderFd, from.constData(), 0);
    return 0;
}

} // namespace

std::unique_ptr<QVDownloadFile> QVDownloadFile::createExclusive(const QString &folder, qint64 stamp, QString *error)
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
        if (fd >= 0)
            return std::unique_ptr<QVDownloadFile>(new QVDownloadFile(folderFd, fd, folder, name));
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

QVDownloadFile::QVDownloadFile(int folderFd, int fd, QString folder, QString name)
    : m_folderFd(folderFd), m_fd(fd), m_folder(std::move(folder)), m_name(std::move(name))
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
    if (isStillInPlace())
        ::unlinkat(m_folderFd, encoded(m_name).constData(), 0);
}

std::optional<QString> QVDownloadFile::moveToFinalName(const QString &safeName, bool tryPlainName, qint64 firstNumber,
                                                       int maxTries, QString *lastCandidate, QString *error)
{
    const QByteArray from = encoded(m_name);
    for (qint64 i = 0; i < maxTries; ++i) {
        QString candidate;
        if (tryPlainName && i == 0)
            candidate = safeName;
        else
            candidate = QVDownloadNaming::numberedName(safeName, firstNumber + i - (tryPlainName ? 1 : 0));
        *lastCandidate = candidate;
        const int result = renameNoReplace(m_folderFd, from, encoded(candidate));
        if (result == 0) {
            m_name = candidate;
            return candidate;
        }
        if (result != EEXIST) {
            *error = QStringLiteral("cannot move %1 to %2: %3").arg(path(), candidate, errnoText(result));
            return std::nullopt;
        }
    }
    *error = QStringLiteral("no free name for %1 in %2").arg(safeName, m_folder);
    return std::nullopt;
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

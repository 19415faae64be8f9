#include "QVUploadPiece.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

QVUploadPiece::Source::Source(int fd, QString path, qint64 offset, qint64 length)
    : m_fd(fd), m_path(std::move(path)), m_offset(offset), m_length(length)
{
}

QVUploadPiece::Source::~Source()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

qint64 QVUploadPiece::Source::read(qint64 position, char *data, qint64 maxSize) const
{
    const qint64 wanted = qMin(maxSize, m_length - position);
    if (position < 0 || wanted < 0)
        return -1;
    qint64 done = 0;
    while (done < wanted) {
        const ssize_t n = ::pread(m_fd, data + done, size_t(wanted - done), off_t(m_offset + position + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // The file ends (or fails) inside the window.
            m_shortRead.store(true);
            return -1;
        }
        done += n;
    }
    return done;
}

QString QVUploadPiece::Source::shortReadText() const
{
    return QStringLiteral("%1 ends before byte %2").arg(m_path).arg(m_offset + m_length);
}

QVUploadPiece::QVUploadPiece(const QString &path, qint64 offset, qint64 length, QObject *parent)
    : QIODevice(parent), m_file(path), m_offset(offset), m_length(qMax<qint64>(0, length))
{
}

QVUploadPiece::~QVUploadPiece() = default;

bool QVUploadPiece::openPiece()
{
    if (m_offset < 0 || !m_file.open(QIODevice::ReadOnly) || m_file.size() < m_offset + m_length
        || !m_file.seek(m_offset))
        return false;
    const int fd = ::fcntl(m_file.handle(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return false;
    m_source.reset(new Source(fd, m_file.fileName(), m_offset, m_length));
    m_position = 0;
    return QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

bool QVUploadPiece::seek(qint64 pos)
{
    if (pos < 0 || pos > m_length || !m_file.seek(m_offset + pos))
        return false;
    m_position = pos;
    return QIODevice::seek(pos);
}

void QVUploadPiece::close()
{
    m_file.close();
    QIODevice::close();
}

qint64 QVUploadPiece::readData(char *data, qint64 maxSize)
{
    const qint64 wanted = qMin(maxSize, m_length - m_position);
    if (wanted <= 0)
        return m_length == m_position ? 0 : -1;
    qint64 done = 0;
    while (done < wanted) {
        const qint64 read = m_file.read(data + done, wanted - done);
        if (read <= 0) {
            // The file ends (or fails) inside the window.
            m_shortRead = true;
            setErrorString(m_source ? m_source->shortReadText()
                                    : QStringLiteral("%1 ends before byte %2").arg(m_file.fileName()).arg(m_offset + m_length));
            return -1;
        }
        done += read;
    }
    m_position += done;
    return done;
}

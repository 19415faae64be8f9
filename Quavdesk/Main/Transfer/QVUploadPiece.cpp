#include "QVUploadPiece.h"

QVUploadPiece::QVUploadPiece(const QString &path, qint64 offset, qint64 length, QObject *parent)
    : QIODevice(parent), m_file(path), m_offset(offset), m_length(qMax<qint64>(0, length))
{
}

bool QVUploadPiece::openPiece()
{
    if (m_offset < 0 || !m_file.open(QIODevice::ReadOnly) || m_file.size() < m_offset + m_length
        || !m_file.seek(m_offset))
        return false;
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
            setErrorString(QStringLiteral("%1 ends before byte %2").arg(m_file.fileName()).arg(m_offset + m_length));
            return -1;
        }
        done += read;
    }
    m_position += done;
    return done;
}

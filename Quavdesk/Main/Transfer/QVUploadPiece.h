#pragma once

#include <QFile>
#include <QIODevice>

#include <atomic>
#include <memory>

// The body of one upload piece: a window [offset, offset + length) of a
// local file, read as the network takes it, so that a piece of 100 MiB never
// sits in memory whole. A file that ends inside the window (it shrank after
// its MD5 was taken) is a read error, so that no short piece is ever posted
// as if it were whole.
class QVUploadPiece : public QIODevice
{
    Q_OBJECT
public:
    // Reads the window from any thread, one read at a time, with positional
    // reads of its own descriptor; whoever holds it keeps the file open.
    class Source
    {
    public:
        ~Source();
        Source(const Source &) = delete;
        Source &operator=(const Source &) = delete;

        qint64 size() const { return m_length; }
        // Up to `maxSize` bytes of the window from `position`; -1 (and the
        // short read recorded) when the file ends or fails before them.
        qint64 read(qint64 position, char *data, qint64 maxSize) const;
        bool shortRead() const { return m_shortRead.load(); }
        // What a short read means, for the log.
        QString shortReadText() const;

    private:
        friend class QVUploadPiece;
        Source(int fd, QString path, qint64 offset, qint64 length);

        int m_fd;
        QString m_path;
        qint64 m_offset;
        qint64 m_length;
        mutable std::atomic_bool m_shortRead{false};
    };

    QVUploadPiece(const QString &path, qint64 offset, qint64 length, QObject *parent = nullptr);
    ~QVUploadPiece() override;

    // Opens the file read-only; false when it cannot be opened or does not
    // reach the window's end.
    bool openPiece();
    // The file gave fewer bytes than the window holds (read here or through
    // the source).
    bool shortRead() const { return m_shortRead || (m_source && m_source->shortRead()); }
    // The window for reading on another thread; null before openPiece().
    std::shared_ptr<const Source> source() const { return m_source; }

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_length; }
    bool seek(qint64 pos) override;
    bool atEnd() const override { return m_position >= m_length; }
    qint64 bytesAvailable() const override { return m_length - m_position + QIODevice::bytesAvailable(); }
    void close() override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QFile m_file;
    qint64 m_offset;
    qint64 m_length;
    qint64 m_position = 0;
    bool m_shortRead = false;
    std::shared_ptr<Source> m_source;
};

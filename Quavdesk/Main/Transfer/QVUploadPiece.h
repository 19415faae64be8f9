#pragma once

#include <QFile>
#include <QIODevice>

// The body of one upload piece: a window [offset, offset + length) of a
// local file, read as the network takes it, so that a piece of 100 MiB never
// sits in memory whole. A file that ends inside the window (it shrank after
// its MD5 was taken) is a read error, so that no short piece is ever posted
// as if it were whole.
class QVUploadPiece : public QIODevice
{
    Q_OBJECT
public:
    QVUploadPiece(const QString &path, qint64 offset, qint64 length, QObject *parent = nullptr);

    // Opens the file read-only; false when it cannot be opened or does not
    // reach the window's end.
    bool openPiece();
    // The file gave fewer bytes than the window holds.
    bool shortRead() const { return m_shortRead; }

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
};

// The browser's thumbnails against a server of the test's own that answers
// as told: pictures decoded at the size shown, one request per picture,
// a cache bounded by bytes, and answers that never end, announce too much
// or never come, each ended with the memory they took bounded.

#include "Main/Browse/QVThumbnailLoader.h"

#include "TestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QHash>
#include <QImageWriter>
#include <QPainter>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

namespace {

constexpr qint64 MiB = 1024 * 1024;

// Answers GET /<name> by what the test set for the name.
class PictureServer : public QObject
{
public:
    enum class Answer { Picture, Endless, EndlessChunked, AnnouncesTooMuch, Silent };

    PictureServer()
    {
        EXPECT_TRUE(m_server.listen(TestSupport::uniqueLoopbackAddress()));
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                ++m_open;
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onRequest(socket); });
                connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                    --m_open;
                    socket->deleteLater();
                });
            }
        });
    }

    QUrl url(const QString &name) const
    {
        return QUrl(QStringLiteral("http://%1:%2/%3").arg(m_server.serverAddress().toString()).arg(m_server.serverPort()).arg(name));
    }
    void set(const QString &name, Answer answer, const QByteArray &picture = {})
    {
        m_answers.insert(name, {answer, picture});
    }
    int requests(const QString &name) const { return m_requests.value(name); }
    // Body bytes handed to the system for all answers.
    qint64 bodyBytesSent() const { return m_bodyBytes; }
    int openConnections() const { return m_open; }

private:
    void onRequest(QTcpSocket *socket)
    {
        QByteArray &head = m_heads[socket];
        head += socket->readAll();
        if (!head.contains("\r\n\r\n"))
            return;
        const QString name = QString::fromLatin1(head.split(' ').value(1).mid(1));
        m_heads.remove(socket);
        ++m_requests[name];
        const auto [answer, picture] = m_answers.value(name, {Answer::Silent, {}});
        switch (answer) {
        case Answer::Picture:
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: "
                          + QByteArray::number(picture.size()) + "\r\n\r\n" + picture);
            m_bodyBytes += picture.size();
            break;
        case Answer::Endless:
        case Answer::EndlessChunked: {
            const bool chunked = answer == Answer::EndlessChunked;
            socket->write(chunked ? "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nTransfer-Encoding: chunked\r\n\r\n"
                                  : "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nConnection: close\r\n\r\n");
            // More whenever the system has taken what was written.
            const auto more = [this, socket, chunked] {
                static const QByteArray block(64 * 1024, '\x5A');
                while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < MiB) {
                    if (chunked)
                        socket->write(QByteArray::number(block.size(), 16) + "\r\n" + block + "\r\n");
                    else
                        socket->write(block);
                    m_bodyBytes += block.size();
                }
            };
            connect(socket, &QTcpSocket::bytesWritten, this, more);
            more();
            break;
        }
        case Answer::AnnouncesTooMuch:
            // The headers alone; the body would be larger than any thumbnail.
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: 16777217\r\n\r\n");
            break;
        case Answer::Silent:
            break;
        }
    }

    QTcpServer m_server;
    QHash<QString, std::pair<Answer, QByteArray>> m_answers;
    QHash<QTcpSocket *, QByteArray> m_heads;
    QHash<QString, int> m_requests;
    qint64 m_bodyBytes = 0;
    int m_open = 0;
};

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

// A picture split in a left red and a right blue half.
QImage halves(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter(&image).fillRect(QRect(w / 2, 0, w - w / 2, h), Qt::blue);
    return image;
}

// A PNG that says it is `w` x `h` and holds no pixels.
QByteArray pngHeaderOnly(quint32 w, quint32 h)
{
    const auto crc32 = [](const QByteArray &data) {
        quint32 crc = 0xFFFFFFFFu;
        for (const char c : data) {
            crc ^= quint8(c);
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        return ~crc;
    };
    const auto be32 = [](quint32 v) {
        const char bytes[] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
        return QByteArray(bytes, 4);
    };
    const QByteArray ihdr = "IHDR" + be32(w) + be32(h) + QByteArray("\x08\x06\x00\x00\x00", 5);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + be32(13) + ihdr + be32(crc32(ihdr));
}

qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

class ThumbnailTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        loader = std::make_unique<QVThumbnailLoader>([this](const QString &key) { return server.url(key); });
        loader->setTargetSize(QSize(64, 64));
    }

    // Asks for `key` until it is decoded or has failed.
    QImage load(const QString &key)
    {
        loader->thumbnail(key);
        TestSupport::waitFor([&] { return loader->isCached(key) || loader->hasFailed(key); });
        return loader->thumbnail(key);
    }

    PictureServer server;
    std::unique_ptr<QVThumbnailLoader> loader;
};

} // namespace

TEST_F(ThumbnailTest, PicturesAreDecodedAtTheirShownSizeOncePerPicture)
{
    server.set(QStringLiteral("wide.jpg"), PictureServer::Answer::Picture, encoded(halves(4000, 2000), "jpeg"));
    QSignalSpy ready(loader.get(), &QVThumbnailLoader::thumbnailReady);
    // Painted again and again while it loads: still one request.
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(loader->thumbnail(QStringLiteral("wide.jpg")).isNull());
    const QImage thumbnail = load(QStringLiteral("wide.jpg"));
    ASSERT_EQ(thumbnail.size(), QSize(64, 64));
    EXPECT_EQ(server.requests(QStringLiteral("wide.jpg")), 1);
    EXPECT_EQ(ready.size(), 1);
    // Cut to the middle of the wide picture: red on the left, blue on the
    // right.
    EXPECT_GT(QColor(thumbnail.pixel(2, 32)).red(), 200);
    EXPECT_GT(QColor(thumbnail.pixel(61, 32)).blue(), 200);
    // What the cache holds is the thumbnail, not the picture.
    EXPECT_EQ(loader->cachedBytes(), thumbnail.sizeInBytes());
    EXPECT_EQ(loader->thumbnail(QStringLiteral("wide.jpg")), thumbnail);
    EXPECT_EQ(server.requests(QStringLiteral("wide.jpg")), 1);
}

TEST_F(ThumbnailTest, TheCacheKeepsToItsBytes)
{
    QVThumbnailLimits limits;
    limits.cacheBytes = 3 * 64 * 64 * 4;
    loader->setLimits(limits);
    const QByteArray png = encoded(halves(300, 200), "png");
    for (int i = 0; i < 8; ++i) {
        const QString key = QStringLiteral("p%1.png").arg(i);
        server.set(key, PictureServer::Answer::Picture, png);
        ASSERT_FALSE(load(key).isNull()) << i;
        EXPECT_LE(loader->cachedBytes(), limits.cacheBytes);
    }
    EXPECT_TRUE(loader->isCached(QStringLiteral("p7.png")));
    EXPECT_FALSE(loader->isCached(QStringLiteral("p0.png")));
}

TEST_F(ThumbnailTest, AnEndlessAnswerEndsAtTheCapWithMemoryBounded)
{
    for (const auto answer : {PictureServer::Answer::Endless, PictureServer::Answer::EndlessChunked}) {
        const QString key = answer == PictureServer::Answer::Endless ? QStringLiteral("endless.png")
                                                                     : QStringLiteral("chunked.png");
        server.set(key, answer);
        const qint64 residentBefore = residentKiB();
        const qint64 sentBefore = server.bodyBytesSent();
        qint64 heldMost = 0;
        QSignalSpy failed(loader.get(), &QVThumbnailLoader::thumbnailFailed);
        loader->thumbnail(key);
        ASSERT_TRUE(TestSupport::waitFor([&] {
            heldMost = std::max(heldMost, loader->bufferedBytes());
            return !failed.isEmpty();
        }, 30000)) << qPrintable(key);
        EXPECT_EQ(failed.at(0).at(0).toString(), key);
        EXPECT_LE(heldMost, loader->limits().maxAnswerBytes);
        EXPECT_EQ(loader->bufferedBytes(), 0);
        EXPECT_EQ(loader->runningCount(), 0);
        // The server stopped sending soon after the cap: the client hung up.
        EXPECT_TRUE(TestSupport::waitFor([&] { return server.openConnections() == 0; }));
        EXPECT_LT(server.bodyBytesSent() - sentBefore, 64 * MiB);
        EXPECT_LT(residentKiB() - residentBefore, 256 * 1024);
        // A failed picture is not asked for again while it is shown.
        loader->thumbnail(key);
        EXPECT_EQ(server.requests(key), 1);
    }
}

TEST_F(ThumbnailTest, AnAnswerAnnouncingTooMuchIsRefusedBeforeItsBody)
{
    QVThumbnailTimings timings;
    timings.timeout = std::chrono::milliseconds(60000);
    loader->setTimings(timings);
    server.set(QStringLiteral("huge.png"), PictureServer::Answer::AnnouncesTooMuch);
    QSignalSpy failed(loader.get(), &QVThumbnailLoader::thumbnailFailed);
    loader->thumbnail(QStringLiteral("huge.png"));
    // Refused on its headers, long before the time-out.
    ASSERT_TRUE(TestSupport::waitFor([&] { return !failed.isEmpty(); }, 10000));
    EXPECT_EQ(loader->bufferedBytes(), 0);
    EXPECT_TRUE(TestSupport::waitFor([&] { return server.openConnections() == 0; }));
}

TEST_F(ThumbnailTest, APictureThatNeverComesTimesOut)
{
    QVThumbnailTimings timings;
    timings.timeout = std::chrono::milliseconds(200);
    loader->setTimings(timings);
    server.set(QStringLiteral("silent.png"), PictureServer::Answer::Silent);
    EXPECT_TRUE(load(QStringLiteral("silent.png")).isNull());
    EXPECT_TRUE(loader->hasFailed(QStringLiteral("silent.png")));
    EXPECT_TRUE(TestSupport::waitFor([&] { return server.openConnections() == 0; }));

    // Forgotten failures are asked for again.
    loader->forgetFailures();
    server.set(QStringLiteral("silent.png"), PictureServer::Answer::Picture, encoded(halves(80, 80), "png"));
    EXPECT_FALSE(load(QStringLiteral("silent.png")).isNull());
}

TEST_F(ThumbnailTest, OnlyPicturesThatFitTheDecodersBoundDecode)
{
    const QSize target(64, 64);
    const qint64 bound = 16 * MiB;
    // Too many pixels to decode whole, whatever the file's size.
    EXPECT_TRUE(QVThumbnailLoader::decode(pngHeaderOnly(5000, 4000), target, bound).isNull());
    EXPECT_TRUE(QVThumbnailLoader::decode(pngHeaderOnly(1, 100000000), target, bound).isNull());
    EXPECT_TRUE(QVThumbnailLoader::decode(QByteArray("not a picture"), target, bound).isNull());
    EXPECT_TRUE(QVThumbnailLoader::decode({}, target, bound).isNull());
    // A JPEG decodes scaled down from the start, so a large one is fine.
    const QImage big = QVThumbnailLoader::decode(encoded(halves(5000, 4000), "jpeg"), target, bound);
    EXPECT_EQ(big.size(), target);
    // A small picture is fitted up.
    EXPECT_EQ(QVThumbnailLoader::decode(encoded(halves(20, 10), "png"), target, bound).size(), target);
}

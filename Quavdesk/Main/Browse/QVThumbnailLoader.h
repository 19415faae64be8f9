#pragma once

#include <QCache>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <unordered_map>

class QNetworkAccessManager;

// Fits a picture into a thumbnail of `size`: it keeps its proportions,
// fills the whole size, centred, cut at the overflowing sides. A picture
// without width or height gives a null image.
QImage QVFitThumbnail(const QImage &source, const QSize &size);

struct QVThumbnailTimings {
    // From the request to the last byte of the answer.
    std::chrono::milliseconds timeout{15000};
};

// What thumbnails may cost. Pictures come from the network: every bound is
// enforced while the answer arrives or before a picture is decoded.
struct QVThumbnailLimits {
    // Most bytes of one answer; a larger announced length is refused before
    // any of the body is read.
    qint64 maxAnswerBytes = 16 * 1024 * 1024;
    // Most bytes the decoded thumbnails keep.
    qint64 cacheBytes = 64 * 1024 * 1024;
    // Most pixels a decoder may make of one picture (64 MiB of 32-bit
    // pixels); a larger picture is no picture.
    qint64 maxDecodedPixels = 16 * 1024 * 1024;
    // Pictures fetched at once; further ones wait, the latest asked first,
    // and the oldest waiting are dropped beyond `waiting` (a picture the
    // view still shows is asked for again when it is painted).
    int running = 4;
    int waiting = 64;
    int decoders = 2;
};

// Loads the thumbnails of the browser's pictures from the device, decodes
// them off the GUI thread at the size the view shows them, and keeps the
// decoded ones in a cache bounded by bytes. One request per picture at a
// time; a picture that failed is not asked for again until the failures
// are forgotten (a new listing). Lives on the main thread.
class QVThumbnailLoader : public QObject
{
    Q_OBJECT
public:
    // The address of a picture's thumbnail, by its key (the device path).
    using UrlFor = std::function<QUrl(const QString &key)>;

    explicit QVThumbnailLoader(UrlFor urlFor, QObject *parent = nullptr);
    ~QVThumbnailLoader() override;

    void setTimings(const QVThumbnailTimings &timings) { m_timings = timings; }
    void setLimits(const QVThumbnailLimits &limits);
    const QVThumbnailLimits &limits() const { return m_limits; }
    // The size of the thumbnails in device pixels; a new size empties the
    // cache.
    void setTargetSize(const QSize &pixels);
    QSize targetSize() const { return m_target; }

    // The thumbnail when it is decoded; otherwise a null image, and the
    // picture is asked for unless it is on its way or failed.
    QImage thumbnail(const QString &key);
    bool isCached(const QString &key) const { return m_cache.contains(key); }
    bool isPending(const QString &key) const;
    bool hasFailed(const QString &key) const { return m_failed.contains(key); }
    void forgetFailures() { m_failed.clear(); }

    qint64 cachedBytes() const { return m_cache.totalCost(); }
    int runningCount() const { return static_cast<int>(m_loads.size()); }
    // Answer bytes held now, every request together.
    qint64 bufferedBytes() const;

    // The thumbnail of an encoded picture, or a null image when it does not
    // decode or would take more than `maxDecodedPixels`. Decodes at the
    // smallest size that still covers `target` when the format can.
    static QImage decode(const QByteArray &bytes, const QSize &target, qint64 maxDecodedPixels);

signals:
    void thumbnailReady(const QString &key);
    void thumbnailFailed(const QString &key);

private:
    struct Load;

    void startWaiting();
    void start(const QString &key);
    void onHeaders(Load *load);
    void onData(Load *load);
    void onFinished(Load *load);
    // Stops a load that broke a bound; its end reports the failure.
    void refuse(Load *load);
    void decoded(const QString &key, const QImage &image);
    void failed(const QString &key);

    UrlFor m_urlFor;
    QVThumbnailTimings m_timings;
    QVThumbnailLimits m_limits;
    QSize m_target{64, 64};
    QNetworkAccessManager *m_manager = nullptr;
    std::unordered_map<QString, std::unique_ptr<Load>> m_loads;
    QList<QString> m_waiting;
    QSet<QString> m_decoding;
    QSet<QString> m_failed;
    QCache<QString, QImage> m_cache;
    // Bumped by a new target size: decodes of the old size are dropped.
    quint64 m_generation = 0;
    QThreadPool m_decoders;
};

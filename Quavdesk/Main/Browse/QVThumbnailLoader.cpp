#include "Main/Browse/QVThumbnailLoader.h"

#include <QBuffer>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPainter>
#include <QTimer>

#include <cmath>

namespace {

// How far the network layer reads ahead of us: the answer's bytes are taken
// as they come, so this is all it ever holds.
constexpr qint64 ReadAheadBytes = 256 * 1024;

// A Content-Length that is no plain decimal number, or larger than `max`.
bool announcesTooMuch(const QByteArray &value, qint64 max)
{
    const QByteArray text = value.trimmed();
    if (text.isEmpty() || text.size() > 18)
        return !text.isEmpty();
    for (const char c : text) {
        if (c < '0' || c > '9')
            return true;
    }
    return text.toLongLong() > max;
}

} // namespace

QImage QVFitThumbnail(const QImage &source, const QSize &size)
{
    if (source.isNull() || source.width() <= 0 || source.height() <= 0 || size.isEmpty())
        return QImage();
    const float w = static_cast<float>(source.width());
    const float h = static_cast<float>(source.height());
    const float W = static_cast<float>(size.width());
    const float H = static_cast<float>(size.height());
    const float a = w / h;
    const float b = W / H;
    QRectF target;
    if (a > b)
        target = QRectF((W - a * H) / 2.0f, 0.0, a * H, H);
    else
        target = QRectF(0.0, (H - W / a) / 2.0f, W, W / a);
    QImage result(size, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(target, source);
    return result;
}

struct QVThumbnailLoader::Load {
    QObject *owner = nullptr;
    QString key;
    QNetworkReply *reply = nullptr;
    QTimer timer;
    QByteArray bytes;
    bool refused = false;
    bool ended = false;

    // Only the loader's destructor ends a load that still runs.
    ~Load()
    {
        if (reply) {
            QObject::disconnect(reply, nullptr, owner, nullptr);
            delete reply;
        }
    }
};

QVThumbnailLoader::QVThumbnailLoader(UrlFor urlFor, QObject *parent)
    : QObject(parent), m_urlFor(std::move(urlFor)), m_manager(new QNetworkAccessManager(this))
{
    setLimits(m_limits);
}

QVThumbnailLoader::~QVThumbnailLoader()
{
    // Decodes still running post to this object: they end before it goes.
    m_decoders.clear();
    m_decoders.waitForDone();
    m_loads.clear();
}

void QVThumbnailLoader::setLimits(const QVThumbnailLimits &limits)
{
    m_limits = limits;
    m_cache.setMaxCost(limits.cacheBytes);
    m_decoders.setMaxThreadCount(std::max(1, limits.decoders));
}

void QVThumbnailLoader::setTargetSize(const QSize &pixels)
{
    if (pixels == m_target || pixels.isEmpty())
        return;
    m_target = pixels;
    m_cache.clear();
    ++m_generation;
    m_decoding.clear();
}

bool QVThumbnailLoader::isPending(const QString &key) const
{
    return m_loads.count(key) != 0 || m_decoding.contains(key) || m_waiting.contains(key);
}

qint64 QVThumbnailLoader::bufferedBytes() const
{
    qint64 total = 0;
    for (const auto &[key, load] : m_loads)
        total += load->bytes.size();
    return total;
}

QImage QVThumbnailLoader::thumbnail(const QString &key)
{
    if (const QImage *cached = m_cache.object(key))
        return *cached;
    if (key.isEmpty() || m_failed.contains(key) || isPending(key))
        return QImage();
    m_waiting.append(key);
    while (m_waiting.size() > std::max(1, m_limits.waiting))
        m_waiting.removeFirst();
    startWaiting();
    return QImage();
}

void QVThumbnailLoader::startWaiting()
{
    while (!m_waiting.isEmpty() && static_cast<int>(m_loads.size()) < std::max(1, m_limits.running))
        start(m_waiting.takeLast());
}

void QVThumbnailLoader::start(const QString &key)
{
    const QUrl url = m_urlFor ? m_urlFor(key) : QUrl();
    if (!url.isValid()) {
        failed(key);
        return;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    auto load = std::make_unique<Load>();
    Load *raw = load.get();
    raw->owner = this;
    raw->key = key;
    raw->reply = m_manager->get(request);
    raw->reply->setReadBufferSize(ReadAheadBytes);
    connect(raw->reply, &QNetworkReply::metaDataChanged, this, [this, raw] { onHeaders(raw); });
    connect(raw->reply, &QNetworkReply::readyRead, this, [this, raw] { onData(raw); });
    connect(raw->reply, &QNetworkReply::finished, this, [this, raw] { onFinished(raw); });
    raw->timer.setSingleShot(true);
    connect(&raw->timer, &QTimer::timeout, this, [this, raw] { refuse(raw); });
    raw->timer.start(m_timings.timeout);
    m_loads.emplace(key, std::move(load));
}

void QVThumbnailLoader::onHeaders(Load *load)
{
    const QVariant status = load->reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299)) {
        refuse(load);
        return;
    }
    if (load->reply->hasRawHeader("Content-Length")
        && announcesTooMuch(load->reply->rawHeader("Content-Length"), m_limits.maxAnswerBytes))
        refuse(load);
}

void QVThumbnailLoader::onData(Load *load)
{
    if (load->refused)
        return;
    const qint64 available = load->reply->bytesAvailable();
    if (load->bytes.size() + available > m_limits.maxAnswerBytes) {
        refuse(load);
        return;
    }
    load->bytes.append(load->reply->read(available));
}

void QVThumbnailLoader::refuse(Load *load)
{
    if (load->refused || load->ended)
        return;
    load->refused = true;
    load->bytes.clear();
    // Nothing more is read, so the network layer holds at most its read
    // buffer until the reply ends; its end reports the failure. Ended from
    // the event loop, not from inside the signal that found the fault.
    QMetaObject::invokeMethod(load->reply, &QNetworkReply::abort, Qt::QueuedConnection);
}

void QVThumbnailLoader::onFinished(Load *load)
{
    if (load->ended)
        return;
    load->ended = true;
    if (!load->refused)
        onData(load);
    const bool ok = !load->refused && load->reply->error() == QNetworkReply::NoError && !load->bytes.isEmpty();
    const QString key = load->key;
    QByteArray bytes = std::move(load->bytes);
    QNetworkReply *reply = load->reply;
    load->reply = nullptr;
    QObject::disconnect(reply, nullptr, this, nullptr);
    reply->deleteLater();
    m_loads.erase(key);

    if (!ok) {
        failed(key);
    } else {
        m_decoding.insert(key);
        const QSize target = m_target;
        const qint64 maxPixels = m_limits.maxDecodedPixels;
        const quint64 generation = m_generation;
        m_decoders.start([this, key, bytes = std::move(bytes), target, maxPixels, generation] {
            const QImage image = decode(bytes, target, maxPixels);
            QMetaObject::invokeMethod(
                this,
                [this, key, image, generation] {
                    if (generation != m_generation)
                        return;
                    decoded(key, image);
                },
                Qt::QueuedConnection);
        });
    }
    startWaiting();
}

void QVThumbnailLoader::decoded(const QString &key, const QImage &image)
{
    m_decoding.remove(key);
    if (image.isNull()) {
        failed(key);
        return;
    }
    m_cache.insert(key, new QImage(image), image.sizeInBytes());
    emit thumbnailReady(key);
}

void QVThumbnailLoader::failed(const QString &key)
{
    // Bounded by the listings shown; a folder of new pictures starts afresh.
    if (m_failed.size() >= 100000)
        m_failed.clear();
    m_failed.insert(key);
    emit thumbnailFailed(key);
}

QImage QVThumbnailLoader::decode(const QByteArray &bytes, const QSize &target, qint64 maxDecodedPixels)
{
    if (bytes.isEmpty() || target.isEmpty())
        return QImage();
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return QImage();
    QImageReader reader(&buffer);
    const QSize source = reader.size();
    if (!source.isValid() || source.isEmpty())
        return QImage();
    // Decoded at the smallest size that still covers the thumbnail. JPEG
    // decodes scaled down from the start; the other formats decode the
    // whole picture first, so that is what their bound counts.
    const double scale = std::max(double(target.width()) / source.width(), double(target.height()) / source.height());
    QSize decodedSize = source;
    QSize allocated = source;
    if (scale < 1.0) {
        decodedSize = QSize(std::max(1, int(std::ceil(source.width() * scale))),
                            std::max(1, int(std::ceil(source.height() * scale))));
        reader.setScaledSize(decodedSize);
        if (reader.format() == "jpeg")
            allocated = decodedSize;
    }
    if (qint64(allocated.width()) * allocated.height() > maxDecodedPixels
        || qint64(decodedSize.width()) * decodedSize.height() > maxDecodedPixels)
        return QImage();
    const QImage image = reader.read();
    return QVFitThumbnail(image, target);
}

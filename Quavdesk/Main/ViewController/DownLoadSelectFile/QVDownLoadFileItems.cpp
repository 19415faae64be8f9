#include "Main/ViewController/DownLoadSelectFile/QVDownLoadFileItems.h"

#include "BaseViewController/View/QVBaseImageView.h"
#include "BaseViewController/View/QVNamedImage.h"
#include "Categories/RVColor.h"
#include "PublicManager/QVPublicTools.h"

#include <QCoreApplication>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPainter>

namespace {

constexpr int GridImageSide = 64;
constexpr int ListImageSide = 40;
// Most bytes of one thumbnail answer.
constexpr qint64 MaxThumbnailBytes = 16 * 1024 * 1024;

QString localizable(const QString &key)
{
    return QCoreApplication::translate("Localizable", key.toUtf8().constData());
}

void setTextColor(QLabel *label, const QColor &color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

QPixmap typeIcon(const QVRemoteFileEntryPtr &entry)
{
    QString name = QVPublicTools::getFileIconWithFileType(entry ? entry->fileType : QString());
    if (name.isEmpty())
        name = QStringLiteral("list_fileType_other");
    return QVNamedImage(name);
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

// ---------------------------------------------------------------------------

QVThumbnailLoader::QVThumbnailLoader(QObject *parent) : QObject(parent), m_manager(new QNetworkAccessManager(this))
{
    m_cache.setMaxCost(CacheImages);
    QImageReader::setAllocationLimit(AllocationLimitMB);
}

void QVThumbnailLoader::load(const QUrl &url, QObject *context, std::function<void(const QImage &)> done)
{
    if (const QImage *cached = m_cache.object(url)) {
        done(*cached);
        return;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply *reply = m_manager->get(request);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > MaxThumbnailBytes)
            reply->abort();
    });
    QPointer<QObject> guard(context);
    connect(reply, &QNetworkReply::finished, this, [this, reply, url, guard, done = std::move(done)] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError || status < 200 || status > 299)
            return;
        QImageReader reader(reply);
        const QImage image = reader.read();
        if (image.isNull() || image.width() <= 0 || image.height() <= 0)
            return;
        m_cache.insert(url, new QImage(image));
        if (guard)
            done(image);
    });
}

// ---------------------------------------------------------------------------

QVDownLoadFileMenuHeaderView::QVDownLoadFileMenuHeaderView(QWidget *parent)
    : QVBackgrounView(parent), m_splitLineView(new QVBackgrounView(this))
{
    m_splitLineView->setBackgroundColor(Qt::white);
    setFixedHeight(Height);
}

void QVDownLoadFileMenuHeaderView::resizeEvent(QResizeEvent *event)
{
    QVBackgrounView::resizeEvent(event);
    // Half a point on the original; one pixel is the thinnest line here.
    m_splitLineView->setGeometry(28, height() / 2, std::max(0, width() - 28), 1);
}

// ---------------------------------------------------------------------------

QVDownLoadFileMenuListItem::QVDownLoadFileMenuListItem(QWidget *parent)
    : QWidget(parent)
    , m_selectImageView(new QVBackgrounView(this))
    , m_headIconImageView(new QLabel(this))
    , m_titleLabel(new QLabel(this))
{
    setFixedHeight(Height);
    m_selectImageView->setBackgroundColor(QColor(255, 255, 255, 60));
    m_selectImageView->setIsRadius(true);
    m_selectImageView->setCornerRadius(4.0);
    m_selectImageView->hide();
    m_selectImageView->lower();
    m_headIconImageView->setScaledContents(true);
    QFont font = m_titleLabel->font();
    font.setPixelSize(13);
    m_titleLabel->setFont(font);
    setTextColor(m_titleLabel, Qt::white);
}

void QVDownLoadFileMenuListItem::setMenuModel(const QVRootMenuListModel &model)
{
    m_menuModel = model;
    m_headIconImageView->setPixmap(QVNamedImage(QVPublicTools::getRootMenuIconWithRootKey(model.rootKey)));
    const QString title = model.isGlimraVersion ? model.name
                                                : localizable(QVPublicTools::getRootMenuNameWithRootKey(model.rootKey));
    // A device's name for its folder is plain text, never markup.
    m_titleLabel->setTextFormat(Qt::PlainText);
    m_title = title;
    resizeEvent(nullptr);
    const bool fits = QVPublicTools::hasEnoughSpaceShow(title, 13.0, m_titleLabel->width());
    setToolTip(fits ? QString() : title);
}

void QVDownLoadFileMenuListItem::setSelected(bool selected)
{
    m_selectImageView->setVisible(selected);
}

bool QVDownLoadFileMenuListItem::isSelected() const
{
    return m_selectImageView->isVisibleTo(this);
}

void QVDownLoadFileMenuListItem::mousePressEvent(QMouseEvent *event)
{
    QWidget::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && clicked)
        clicked();
}

void QVDownLoadFileMenuListItem::resizeEvent(QResizeEvent *)
{
    m_selectImageView->setGeometry(8, 1, std::max(0, width() - 16), Height - 2);
    m_headIconImageView->setGeometry(18, (Height - 16) / 2, 16, 16);
    m_titleLabel->setGeometry(42, 0, std::max(0, width() - 50), Height);
    // A title too long for the row ends in an ellipsis rather than being
    // cut mid-letter at the label's edge; the tip shows it whole.
    m_titleLabel->setText(m_titleLabel->fontMetrics().elidedText(m_title, Qt::ElideRight, m_titleLabel->width()));
}

// ---------------------------------------------------------------------------

QVDownLoadFileListItem::QVDownLoadFileListItem(QWidget *parent) : QWidget(parent) {}

void QVDownLoadFileListItem::setFileModel(const QVRemoteFileEntryPtr &model)
{
    m_fileModel = model;
    m_showsThumbnail = false;
    const QPixmap icon = typeIcon(model);
    showImage(icon);
    if (!model || m_isGlimraVersion != 1 || model->fileType != QLatin1String("IMAGE") || !m_loader)
        return;
    const QUrl url = QVPublicTools::sharedPublicTools()->getDownLoadThumbUrl(model->absPath);
    const QVRemoteFileEntryPtr wanted = model;
    m_loader->load(url, this, [this, wanted](const QImage &image) {
        // The item may show another entry by now.
        if (m_fileModel != wanted)
            return;
        const QImage fitted = QVFitThumbnail(image, imageView()->size() * devicePixelRatioF());
        if (fitted.isNull())
            return;
        QPixmap pixmap = QPixmap::fromImage(fitted);
        pixmap.setDevicePixelRatio(devicePixelRatioF());
        m_showsThumbnail = true;
        showImage(pixmap);
    });
}

QPixmap QVDownLoadFileListItem::shownImage() const
{
    return imageView()->pixmap();
}

void QVDownLoadFileListItem::showImage(const QPixmap &image)
{
    imageView()->setPixmap(image);
}

void QVDownLoadFileListItem::mousePressEvent(QMouseEvent *event)
{
    QWidget::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && singleClick)
        singleClick(m_fileModel);
}

void QVDownLoadFileListItem::mouseDoubleClickEvent(QMouseEvent *event)
{
    QWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && doubleClick)
        doubleClick(m_fileModel);
}

// ---------------------------------------------------------------------------

QVDownLoadFileListHorItem::QVDownLoadFileListHorItem(QWidget *parent)
    : QVDownLoadFileListItem(parent)
    , m_borderImageView(new QVBackgrounView(this))
    , m_fileTypeImageView(new QLabel(this))
    , m_titleLabel(new QLabel(this))
{
    setFixedSize(Size);
    m_borderImageView->setGeometry(rect().adjusted(2, 2, -2, -2));
    m_borderImageView->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0x5879FC18")));
    m_borderImageView->setIsBorder(true);
    m_borderImageView->setBorderColor(rv_colorWithHexString(QStringLiteral("0x5879FC")));
    m_borderImageView->setBorderWidth(2.0);
    m_borderImageView->setIsRadius(true);
    m_borderImageView->setCornerRadius(6.0);
    m_borderImageView->hide();
    m_fileTypeImageView->setGeometry((Size.width() - GridImageSide) / 2, 12, GridImageSide, GridImageSide);
    m_fileTypeImageView->setScaledContents(true);
    // Corners of the picture rounded by 5, as the thumbnails are.
    m_fileTypeImageView->setStyleSheet(QStringLiteral("border-radius: 5px;"));
    m_titleLabel->setGeometry(6, 80, Size.width() - 12, 34);
    m_titleLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_titleLabel->setWordWrap(true);
    m_titleLabel->setTextFormat(Qt::PlainText);
    QFont font = m_titleLabel->font();
    font.setPixelSize(12);
    m_titleLabel->setFont(font);
    setTextColor(m_titleLabel, rv_colorWithHexString(QStringLiteral("0x333333")));
}

void QVDownLoadFileListHorItem::setFileModel(const QVRemoteFileEntryPtr &model)
{
    QVDownLoadFileListItem::setFileModel(model);
    const QString name = model ? model->name : QString();
    m_titleLabel->setText(name);
    if (getTitleLabelMaxLines() >= 3) {
        // Two lines shown, the rest cut; the whole name as a tip.
        const QFontMetrics metrics(m_titleLabel->font());
        m_titleLabel->setText(metrics.elidedText(name, Qt::ElideRight, m_titleLabel->width() * 2 - 8));
        setToolTip(name);
    } else {
        setToolTip(QString());
    }
}

qint64 QVDownLoadFileListHorItem::getTitleLabelMaxLines() const
{
    const QFontMetricsF metrics(m_titleLabel->font());
    const QString text = fileModel() ? fileModel()->name : QString();
    const QRectF bounds = metrics.boundingRect(QRectF(0, 0, m_titleLabel->width(), 1.0e6),
                                               Qt::TextWordWrap | Qt::TextWrapAnywhere, text);
    const double lineHeight = metrics.height();
    return lineHeight > 0 ? static_cast<qint64>(bounds.height() / lineHeight) : 0;
}

void QVDownLoadFileListHorItem::setPicked(bool picked)
{
    m_borderImageView->setVisible(picked);
}

bool QVDownLoadFileListHorItem::isPicked() const
{
    return m_borderImageView->isVisibleTo(this);
}

// ---------------------------------------------------------------------------

QVDownLoadFileListVerItem::QVDownLoadFileListVerItem(QWidget *parent)
    : QVDownLoadFileListItem(parent)
    , m_selectImageView(new QVBaseImageView(this))
    , m_headImageView(new QLabel(this))
    , m_titleLabel(new QLabel(this))
    , m_line(new QVBackgrounView(this))
{
    resize(Size);
    m_headImageView->setScaledContents(true);
    m_titleLabel->setTextFormat(Qt::PlainText);
    QFont font = m_titleLabel->font();
    font.setPixelSize(13);
    m_titleLabel->setFont(font);
    setTextColor(m_titleLabel, rv_colorWithHexString(QStringLiteral("0x333333")));
    m_line->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0xEEEEEE")));
    setPicked(false);
}

void QVDownLoadFileListVerItem::resizeEvent(QResizeEvent *event)
{
    QVDownLoadFileListItem::resizeEvent(event);
    const int h = height();
    m_selectImageView->setGeometry(16, (h - 18) / 2, 18, 18);
    m_headImageView->setGeometry(50, (h - ListImageSide) / 2, ListImageSide, ListImageSide);
    m_titleLabel->setGeometry(104, 0, std::max(0, width() - 120), h);
    m_line->setGeometry(50, h - 1, std::max(0, width() - 60), 1);
}

void QVDownLoadFileListVerItem::setFileModel(const QVRemoteFileEntryPtr &model)
{
    QVDownLoadFileListItem::setFileModel(model);
    const QString name = model ? model->name : QString();
    m_titleLabel->setText(QFontMetrics(m_titleLabel->font()).elidedText(name, Qt::ElideMiddle, std::max(100, width() - 120)));
    // Folders are never picked: they carry no mark.
    m_selectImageView->setVisible(model && !model->isFolder());
}

void QVDownLoadFileListVerItem::setPicked(bool picked)
{
    m_picked = picked;
    m_selectImageView->setImage(QVNamedImage(picked ? QStringLiteral("list_fileList_cell_select_1")
                                                    : QStringLiteral("list_fileList_cell_select_0")));
}

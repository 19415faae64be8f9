#include "Main/ViewController/DownLoadSelectFile/QVDownLoadFileListView.h"

#include "Categories/RVColor.h"
#include "Main/Browse/QVRemoteFolderModel.h"
#include "PublicManager/QVPublicTools.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTextLayout>

namespace {

// Between the grid's items.
constexpr int GridSpacing = 5;
constexpr int TitleTop = 80;
constexpr int ListTitleLeft = 104;

QVRemoteFileEntryPtr entryOf(const QModelIndex &index)
{
    return index.data(QVRemoteFolderModel::EntryRole).value<QVRemoteFileEntryPtr>();
}

} // namespace

QFont QVDownLoadFileItemDelegate::gridTitleFont()
{
    return QVBrowseLook::pixelFont(12);
}

QFont QVDownLoadFileItemDelegate::listTitleFont()
{
    return QVBrowseLook::pixelFont(13);
}

QStringList QVDownLoadFileItemDelegate::gridTitleLines(const QString &name, qint64 *lineCount)
{
    const QFont font = gridTitleFont();
    const int width = gridTitleWidth();
    QTextLayout layout(name, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QList<QPair<int, int>> lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.append({line.textStart(), line.textLength()});
    }
    layout.endLayout();
    if (lineCount)
        *lineCount = lines.size();
    QStringList shown;
    for (int i = 0; i < std::min<qsizetype>(2, lines.size()); ++i)
        shown.append(name.mid(lines.at(i).first, lines.at(i).second).trimmed());
    if (lines.size() > 2)
        shown[1] = QFontMetrics(font).elidedText(name.mid(lines.at(1).first), Qt::ElideRight, width);
    return shown;
}

QString QVDownLoadFileItemDelegate::toolTipFor(const QModelIndex &index) const
{
    // The list shows no tip; the grid shows the whole name when its title
    // is cut.
    const QVRemoteFileEntryPtr entry = entryOf(index);
    if (m_layoutType != 0 || !entry)
        return QString();
    return gridTitle(entry->name).lineCount >= 3 ? entry->name : QString();
}

const QVDownLoadFileItemDelegate::Title &QVDownLoadFileItemDelegate::gridTitle(const QString &name) const
{
    if (const Title *cached = m_titles.object(name))
        return *cached;
    auto *title = new Title;
    title->lines = gridTitleLines(name, &title->lineCount);
    m_titles.insert(name, title);
    return *title;
}

QSize QVDownLoadFileItemDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    if (m_layoutType == 0)
        return GridSize;
    return QSize(std::max(1, m_listWidth), ListHeight);
}

void QVDownLoadFileItemDelegate::paintPicture(QPainter *painter, const QRect &rect, const QModelIndex &index,
                                              bool rounded) const
{
    const QImage thumbnail = index.data(QVRemoteFolderModel::ThumbnailRole).value<QImage>();
    if (thumbnail.isNull()) {
        QString name = QVPublicTools::getFileIconWithFileType(index.data(QVRemoteFolderModel::FileTypeRole).toString());
        if (name.isEmpty())
            name = QStringLiteral("list_fileType_other");
        drawIcon(painter, rect, name);
        return;
    }
    if (!rounded) {
        painter->drawImage(rect, thumbnail);
        return;
    }
    // The corners are cut once per picture, not at each paint.
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QString key = QStringLiteral("%1@%2").arg(thumbnail.cacheKey()).arg(rect.width() * ratio);
    QPixmap *shown = m_roundedThumbnails.object(key);
    if (!shown) {
        QImage cut(rect.size() * ratio, QImage::Format_ARGB32_Premultiplied);
        cut.fill(Qt::transparent);
        QPainter corners(&cut);
        corners.setRenderHint(QPainter::Antialiasing);
        corners.setRenderHint(QPainter::SmoothPixmapTransform);
        QPainterPath clip;
        clip.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(cut.size())), 5.0 * ratio, 5.0 * ratio);
        corners.setClipPath(clip);
        corners.drawImage(QRect(QPoint(0, 0), cut.size()), thumbnail);
        corners.end();
        shown = new QPixmap(QPixmap::fromImage(cut));
        shown->setDevicePixelRatio(ratio);
        m_roundedThumbnails.insert(key, shown);
    }
    painter->drawPixmap(rect.topLeft(), *shown);
}

void QVDownLoadFileItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                       const QModelIndex &index) const
{
    const QVRemoteFileEntryPtr entry = entryOf(index);
    if (!entry)
        return;
    const bool picked = index.data(QVRemoteFolderModel::PickedRole).toBool();
    const QRect r = option.rect;
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    static const QColor titleColor = rv_colorWithHexString(QStringLiteral("0x333333"));
    if (m_layoutType == 0) {
        const QRect cell(r.topLeft(), GridSize);
        if (picked) {
            static const QColor frame = rv_colorWithHexString(QStringLiteral("0x5879FC"));
            static const QColor fill = rv_colorWithHexString(QStringLiteral("0x5879FC18"));
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setPen(QPen(frame, 2.0));
            painter->setBrush(fill);
            painter->drawRoundedRect(QRectF(cell).adjusted(3, 3, -3, -3), 6.0, 6.0);
            painter->setRenderHint(QPainter::Antialiasing, false);
        }
        paintPicture(painter, QRect(cell.x() + (GridSize.width() - GridImageSide) / 2, cell.y() + 12, GridImageSide,
                                    GridImageSide),
                     index, true);
        painter->setPen(titleColor);
        painter->setFont(gridTitleFont());
        const QStringList &lines = gridTitle(entry->name).lines;
        const int lineHeight = QFontMetrics(gridTitleFont()).height();
        for (int i = 0; i < lines.size(); ++i) {
            painter->drawText(QRect(cell.x() + 6, cell.y() + TitleTop + i * lineHeight, gridTitleWidth(), lineHeight),
                              Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, lines.at(i));
        }
    } else {
        const int w = std::min(ListMaxWidth, r.width());
        const int h = r.height();
        // Folders are never picked: they carry no mark.
        if (!entry->isFolder()) {
            drawIcon(painter, QRect(r.x() + 16, r.y() + (h - 18) / 2, 18, 18),
                     picked ? QStringLiteral("list_fileList_cell_select_1")
                            : QStringLiteral("list_fileList_cell_select_0"));
        }
        paintPicture(painter, QRect(r.x() + 50, r.y() + (h - ListImageSide) / 2, ListImageSide, ListImageSide), index,
                     false);
        painter->setPen(titleColor);
        painter->setFont(listTitleFont());
        const QRect title(r.x() + ListTitleLeft, r.y(), std::max(0, w - ListTitleLeft - 16), h);
        painter->drawText(title, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          QFontMetrics(listTitleFont()).elidedText(entry->name, Qt::ElideMiddle, title.width()));
        static const QColor line = rv_colorWithHexString(QStringLiteral("0xEEEEEE"));
        painter->fillRect(QRect(r.x() + 50, r.y() + h - 1, std::max(0, w - 60), 1), line);
    }
    painter->restore();
}

// ---------------------------------------------------------------------------

QVDownLoadFileListView::QVDownLoadFileListView(QWidget *parent)
    : QListView(parent), m_delegate(new QVDownLoadFileItemDelegate(this))
{
    setObjectName(QStringLiteral("fileListCollectionView"));
    setItemDelegate(m_delegate);
    setFrameShape(QFrame::NoFrame);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setMouseTracking(false);
    setStyleSheet(QStringLiteral("QListView { background: white; }"));
    setLayoutType(0);
}

void QVDownLoadFileListView::setLayoutType(qint64 layoutType)
{
    const bool grid = layoutType == 0;
    m_delegate->setLayoutType(layoutType);
    updateListWidth();
    // The grid's items are all alike; the list's follow the view's width.
    setUniformItemSizes(grid);
    setViewMode(grid ? QListView::IconMode : QListView::ListMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setSpacing(grid ? GridSpacing : 0);
    setWrapping(grid);
    verticalScrollBar()->setSingleStep(grid ? 24 : 20);
    scheduleDelayedItemsLayout();
    viewport()->update();
}

void QVDownLoadFileListView::updateListWidth()
{
    m_delegate->setListWidth(std::min(QVDownLoadFileItemDelegate::ListMaxWidth, viewport()->width()));
}

void QVDownLoadFileListView::resizeEvent(QResizeEvent *event)
{
    updateListWidth();
    QListView::resizeEvent(event);
}

QRect QVDownLoadFileListView::itemRect(int row) const
{
    return model() ? visualRect(model()->index(row, 0)) : QRect();
}

QVRemoteFileEntryPtr QVDownLoadFileListView::entryAt(const QPoint &position) const
{
    const QModelIndex index = indexAt(position);
    return index.isValid() ? entryOf(index) : nullptr;
}

void QVDownLoadFileListView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QListView::mousePressEvent(event);
        return;
    }
    event->accept();
    if (const QVRemoteFileEntryPtr entry = entryAt(event->position().toPoint()))
        emit entryClicked(entry);
}

void QVDownLoadFileListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QListView::mouseDoubleClickEvent(event);
        return;
    }
    event->accept();
    if (const QVRemoteFileEntryPtr entry = entryAt(event->position().toPoint()))
        emit entryDoubleClicked(entry);
}

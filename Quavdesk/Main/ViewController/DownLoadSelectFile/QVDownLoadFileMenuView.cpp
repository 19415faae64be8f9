#include "Main/ViewController/DownLoadSelectFile/QVDownLoadFileMenuView.h"

#include "Main/Browse/QVRootMenuModel.h"
#include "PublicManager/QVPublicTools.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

int titleWidth(int rowWidth)
{
    return std::max(0, rowWidth - QVDownLoadFileMenuDelegate::TitleLeft - 8);
}

} // namespace

QFont QVDownLoadFileMenuDelegate::titleFont()
{
    return QVBrowseLook::pixelFont(13);
}

QString QVDownLoadFileMenuDelegate::shownTitle(const QString &title, int rowWidth)
{
    // A title too long for the row ends in an ellipsis rather than being
    // cut mid-letter at its edge; the tip shows it whole.
    return QFontMetrics(titleFont()).elidedText(title, Qt::ElideRight, titleWidth(rowWidth));
}

QString QVDownLoadFileMenuDelegate::toolTipFor(const QString &title, int rowWidth)
{
    return QVPublicTools::hasEnoughSpaceShow(title, 13.0, titleWidth(rowWidth)) ? QString() : title;
}

QSize QVDownLoadFileMenuDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const bool separator = index.data(QVRootMenuModel::IsSeparatorRole).toBool();
    // A row spans the menu.
    const auto *view = qobject_cast<const QAbstractItemView *>(option.widget);
    const int width = view ? view->viewport()->width() : option.rect.width();
    return QSize(width, separator ? SeparatorHeight : RowHeight);
}

void QVDownLoadFileMenuDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                       const QModelIndex &index) const
{
    const QRect r = option.rect;
    painter->save();
    if (index.data(QVRootMenuModel::IsSeparatorRole).toBool()) {
        // Half a point on the original; one pixel is the thinnest line here.
        painter->fillRect(QRect(r.x() + 28, r.y() + r.height() / 2, std::max(0, r.width() - 28), 1), Qt::white);
        painter->restore();
        return;
    }
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    if (index.data(QVRootMenuModel::SelectedRole).toBool()) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(255, 255, 255, 60));
        painter->drawRoundedRect(QRectF(r.x() + 8, r.y() + 1, std::max(0, r.width() - 16), RowHeight - 2), 4.0, 4.0);
    }
    drawIcon(painter, QRect(r.x() + 18, r.y() + (RowHeight - 16) / 2, 16, 16),
             index.data(QVRootMenuModel::IconRole).toString());
    painter->setPen(Qt::white);
    painter->setFont(titleFont());
    painter->drawText(QRect(r.x() + TitleLeft, r.y(), titleWidth(r.width()), RowHeight),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      shownTitle(index.data(Qt::DisplayRole).toString(), r.width()));
    painter->restore();
}

QString QVDownLoadFileMenuDelegate::toolTipText(const QModelIndex &index, const QStyleOptionViewItem &option) const
{
    if (index.data(QVRootMenuModel::IsSeparatorRole).toBool())
        return QString();
    return toolTipFor(index.data(Qt::DisplayRole).toString(), option.rect.width());
}

// ---------------------------------------------------------------------------

QVDownLoadFileMenuView::QVDownLoadFileMenuView(QWidget *parent) : QListView(parent)
{
    setObjectName(QStringLiteral("menuListCollectionView"));
    setItemDelegate(new QVDownLoadFileMenuDelegate(this));
    setFrameShape(QFrame::NoFrame);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setResizeMode(QListView::Adjust);
    setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
}

QRect QVDownLoadFileMenuView::rootRect(int section, int item) const
{
    const auto *menu = qobject_cast<const QVRootMenuModel *>(model());
    const int row = menu ? menu->rowOf(section, item) : -1;
    return row >= 0 ? visualRect(menu->index(row)) : QRect();
}

void QVDownLoadFileMenuView::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    const auto *menu = qobject_cast<const QVRootMenuModel *>(model());
    if (event->button() != Qt::LeftButton || !menu)
        return;
    if (const auto position = menu->positionOfRow(indexAt(event->position().toPoint()).row()))
        emit rootClicked(position->first, position->second);
}

void QVDownLoadFileMenuView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A second press on a root chooses nothing new.
    event->accept();
}

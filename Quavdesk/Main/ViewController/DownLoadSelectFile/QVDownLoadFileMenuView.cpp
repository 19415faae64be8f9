#include "Main/ViewController/DownLoadSelectFile/QVDownLoadFileMenuView.h"

#include "BaseViewController/View/QVNamedImage.h"
#include "Main/Browse/QVRootMenuModel.h"
#include "Main/ViewController/DownLoadSelectFile/QVDownLoadFileListView.h"
#include "PublicManager/QVPublicTools.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace {

int titleWidth(int rowWidth)
{
    return std::max(0, rowWidth - QVDownLoadFileMenuDelegate::TitleLeft - 8);
}

} // namespace

QVDownLoadFileMenuDelegate::QVDownLoadFileMenuDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

QFont QVDownLoadFileMenuDelegate::titleFont()
{
    QFont font;
    font.setPixelSize(13);
    return font;
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

QPixmap QVDownLoadFileMenuDelegate::icon(const QString &name) const
{
    auto it = m_icons.constFind(name);
    if (it == m_icons.cend())
        it = m_icons.insert(name, QVNamedImage(name));
    return *it;
}

QSize QVDownLoadFileMenuDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const bool separator = index.data(QVRootMenuModel::IsSeparatorRole).toBool();
    return QSize(option.rect.width(), separator ? SeparatorHeight : RowHeight);
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
    painter->drawPixmap(QRect(r.x() + 18, r.y() + (RowHeight - 16) / 2, 16, 16),
                        icon(index.data(QVRootMenuModel::IconRole).toString()));
    painter->setPen(Qt::white);
    painter->setFont(titleFont());
    painter->drawText(QRect(r.x() + TitleLeft, r.y(), titleWidth(r.width()), RowHeight),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      shownTitle(index.data(Qt::DisplayRole).toString(), r.width()));
    painter->restore();
}

bool QVDownLoadFileMenuDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view,
                                           const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString tip = index.data(QVRootMenuModel::IsSeparatorRole).toBool()
                            ? QString()
                            : toolTipFor(index.data(Qt::DisplayRole).toString(), option.rect.width());
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return false;
    }
    QToolTip::showText(event->globalPos(), QVPlainToolTip(tip), view, option.rect);
    return true;
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

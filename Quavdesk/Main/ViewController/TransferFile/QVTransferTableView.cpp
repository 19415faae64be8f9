#include "Main/ViewController/TransferFile/QVTransferTableView.h"

#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>

#include "BaseViewController/View/QVPopoverViewController.h"
#include "Main/ViewController/TransferFile/QVTransferListModel.h"

using Part = QVTransferRowDelegate::Part;

QVTransferTableView::QVTransferTableView(QWidget *parent)
    : QListView(parent)
{
    // The rows lie on the page's own panel.
    setObjectName(QStringLiteral("transferTable"));
    setFrameShape(QFrame::NoFrame);
    setStyleSheet(QStringLiteral("#transferTable { background: transparent; }"));
    viewport()->setAutoFillBackground(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalScrollBar()->setSingleStep(RowHeight / 2);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The table takes the keyboard focus as a scrolled list does (the keys
    // scroll it); nothing in it shows the focus.
    // Every row has the same height: the view places thousands of rows
    // without asking each one.
    setUniformItemSizes(true);
    // Drops go to the page's drop zone underneath.
    setAcceptDrops(false);
    viewport()->setAcceptDrops(false);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setMouseTracking(true);
}

void QVTransferTableView::setRowDelegate(QVTransferRowDelegate *delegate)
{
    delegate->setParent(this);
    setItemDelegate(delegate);
    if (m_delegate && m_delegate != delegate)
        m_delegate->deleteLater();
    m_delegate = delegate;
}

int QVTransferTableView::numberOfRows() const
{
    return model() ? model()->rowCount() : 0;
}

QVTransferRowDelegate::RowLayout QVTransferTableView::rowLayout(int row) const
{
    if (!m_delegate || !model() || row < 0 || row >= model()->rowCount())
        return {};
    const QModelIndex index = model()->index(row, 0);
    return m_delegate->layoutOf(visualRect(index), index, font());
}

Part QVTransferTableView::hoveredPart(int row) const
{
    return m_hoverIndex.isValid() && m_hoverIndex.row() == row ? m_hoverPart : QVTransferRowDelegate::NoPart;
}

QVPopover *QVTransferTableView::openTip() const
{
    return m_tip && m_tip->isShown() ? m_tip.data() : nullptr;
}

Part QVTransferTableView::buttonAt(const QPoint &pos, QModelIndex *index) const
{
    const QModelIndex at = indexAt(pos);
    if (index)
        *index = at;
    if (!at.isValid() || !m_delegate)
        return QVTransferRowDelegate::NoPart;
    return m_delegate->layoutOf(visualRect(at), at, font()).buttonAt(pos);
}

void QVTransferTableView::setHovered(const QModelIndex &index, Part part)
{
    if (part == QVTransferRowDelegate::NoPart ? !m_hoverIndex.isValid()
                                              : (m_hoverIndex == index && m_hoverPart == part))
        return;
    const QModelIndex old = m_hoverIndex;
    m_hoverIndex = part == QVTransferRowDelegate::NoPart ? QPersistentModelIndex() : QPersistentModelIndex(index);
    m_hoverPart = part;
    closeTip();
    if (old.isValid())
        viewport()->update(visualRect(old));
    if (!m_hoverIndex.isValid())
        return;
    viewport()->update(visualRect(index));
    if (part != QVTransferRowDelegate::Warning)
        return;
    const QVTransferRowDelegate::RowLayout layout = rowLayout(index.row());
    if (layout.warningTip.isEmpty())
        return;
    // One tip at a time, built for the warning the pointer is on.
    if (!m_tip)
        m_tip = new QVPopover(this);
    auto *content = new QVPopoverViewController(layout.warningTip);
    content->resize(content->textLabel()->width(), QVPopoverViewController::kHeight);
    m_tip->setContentViewController(content);
    m_tip->showRelativeToRect(layout.warning, viewport(), Qt::BottomEdge);
}

void QVTransferTableView::closeTip()
{
    if (m_tip)
        m_tip->performClose();
}

void QVTransferTableView::mouseMoveEvent(QMouseEvent *event)
{
    // The pointer is followed in the active window only, as the program's
    // buttons do.
    if (!isActiveWindow()) {
        setHovered({}, QVTransferRowDelegate::NoPart);
        return;
    }
    QModelIndex index;
    const Part part = buttonAt(event->position().toPoint(), &index);
    setHovered(index, part);
}

void QVTransferTableView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    QModelIndex index;
    m_pressPart = buttonAt(event->position().toPoint(), &index);
    m_pressIndex = m_pressPart == QVTransferRowDelegate::NoPart ? QPersistentModelIndex() : QPersistentModelIndex(index);
    event->accept();
}

void QVTransferTableView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const QPersistentModelIndex pressed = m_pressIndex;
    const Part pressedPart = m_pressPart;
    m_pressIndex = QPersistentModelIndex();
    m_pressPart = QVTransferRowDelegate::NoPart;
    event->accept();
    if (!pressed.isValid())
        return;
    QModelIndex index;
    const Part part = buttonAt(event->position().toPoint(), &index);
    // A click is a press and a release on the same button of the same file.
    if (part == pressedPart && index == pressed)
        emit partClicked(index.row(), part);
}

void QVTransferTableView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A second click in a row is a click of its own, as on a button.
    mousePressEvent(event);
}

void QVTransferTableView::leaveEvent(QEvent *event)
{
    QListView::leaveEvent(event);
    setHovered({}, QVTransferRowDelegate::NoPart);
}

void QVTransferTableView::hideEvent(QHideEvent *event)
{
    QListView::hideEvent(event);
    setHovered({}, QVTransferRowDelegate::NoPart);
}

void QVTransferTableView::scrollContentsBy(int dx, int dy)
{
    QListView::scrollContentsBy(dx, dy);
    // The rows moved under the pointer.
    setHovered({}, QVTransferRowDelegate::NoPart);
}

void QVTransferTableView::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end)
{
    if (m_hoverIndex.isValid() && m_hoverIndex.row() >= start && m_hoverIndex.row() <= end)
        setHovered({}, QVTransferRowDelegate::NoPart);
    QListView::rowsAboutToBeRemoved(parent, start, end);
}

void QVTransferTableView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                      const QList<int> &roles)
{
    QListView::dataChanged(topLeft, bottomRight, roles);
    // A row that shows other parts now loses its pointer state and its tip;
    // progress alone changes neither.
    const bool progressOnly = roles.size() == 1 && roles.first() == QVTransferListModel::ProgressRole;
    if (!progressOnly && m_hoverIndex.isValid() && m_hoverIndex.row() >= topLeft.row()
        && m_hoverIndex.row() <= bottomRight.row())
        setHovered({}, QVTransferRowDelegate::NoPart);
}

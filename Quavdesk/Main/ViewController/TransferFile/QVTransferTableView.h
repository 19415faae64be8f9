#pragma once

#include <QListView>
#include <QPersistentModelIndex>
#include <QPointer>

#include "Main/ViewController/TransferFile/QVTransferRowDelegate.h"

class QVPopover;

// The table of a transfer page: one row of 35 points per file, in the order
// of the page's list, never selected, painted by the page's row delegate over
// the page's row model; only the rows in sight are painted, and a change of
// one row repaints that row alone. The view plays the rows' buttons: the one
// under the pointer dims, the warning shows its tip next to itself while the
// pointer is over it, and a click (press and release on the same button of
// the same row) is told with partClicked.
class QVTransferTableView : public QListView
{
    Q_OBJECT
public:
    static constexpr int RowHeight = QVTransferRowDelegate::RowHeight;

    explicit QVTransferTableView(QWidget *parent = nullptr);

    // Takes the delegate (the view owns it).
    void setRowDelegate(QVTransferRowDelegate *delegate);
    QVTransferRowDelegate *rowDelegate() const { return m_delegate; }

    int numberOfRows() const;
    // The parts of `row` where the view shows them (viewport coordinates);
    // an empty layout past the end.
    QVTransferRowDelegate::RowLayout rowLayout(int row) const;
    // The button under the pointer in `row`, if any.
    QVTransferRowDelegate::Part hoveredPart(int row) const;
    // The open warning tip, when one is open.
    QVPopover *openTip() const;

signals:
    void partClicked(int row, QVTransferRowDelegate::Part part);

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles = QList<int>()) override;

private:
    // The row and button under `pos` of the viewport.
    QVTransferRowDelegate::Part buttonAt(const QPoint &pos, QModelIndex *index) const;
    void setHovered(const QModelIndex &index, QVTransferRowDelegate::Part part);
    void closeTip();

    QVTransferRowDelegate *m_delegate = nullptr;
    QPersistentModelIndex m_hoverIndex;
    QVTransferRowDelegate::Part m_hoverPart = QVTransferRowDelegate::NoPart;
    QPersistentModelIndex m_pressIndex;
    QVTransferRowDelegate::Part m_pressPart = QVTransferRowDelegate::NoPart;
    QPointer<QVPopover> m_tip;
};

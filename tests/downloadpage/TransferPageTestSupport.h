#pragma once

// What the download and upload page tests share: the rows as the user sees
// them (which parts a row shows, and where) and the user's clicks on them.

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QTest>

#include "Main/ViewController/TransferFile/QVTransferListModel.h"
#include "Main/ViewController/TransferFile/QVTransferTableView.h"

namespace TransferPageTest {

using Part = QVTransferRowDelegate::Part;

// The row's part where the table shows it, the row scrolled into sight
// first; empty when the row does not show that part.
inline QRect partRect(QVTransferTableView *table, int row, Part part)
{
    if (!table->model() || row < 0 || row >= table->model()->rowCount())
        return {};
    table->scrollTo(table->model()->index(row, 0));
    return table->rowLayout(row).rectOf(part);
}

inline bool shows(QVTransferTableView *table, int row, Part part)
{
    return !partRect(table, row, part).isEmpty();
}

// Clicks the part as the user does, with a press and a release on it; false
// when the row does not show it.
inline bool clickPart(QVTransferTableView *table, int row, Part part)
{
    const QRect rect = partRect(table, row, part);
    if (rect.isEmpty())
        return false;
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rect.center());
    return true;
}

// The pointer moves to `pos` of the table's viewport (the event the window
// system brings, straight to the viewport, so that no earlier pointer
// position of the test display comes in between).
inline void movePointer(QVTransferTableView *table, QPoint pos)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), QPointF(table->viewport()->mapToGlobal(pos)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(table->viewport(), &move);
}

// What the row's file is, as the table was last told.
inline qint64 shownStatus(QVTransferTableView *table, int row)
{
    return table->model()->index(row, 0).data(QVTransferListModel::StatusRole).toLongLong();
}

inline float shownProgress(QVTransferTableView *table, int row)
{
    return table->model()->index(row, 0).data(QVTransferListModel::ProgressRole).toFloat();
}

// Records the rows the model said changed, and any reset of the whole list.
struct RowChanges {
    // Ends the recording when the record goes.
    QObject context;
    QList<int> changedRows;
    int resets = 0;
    QList<QPair<int, int>> inserted;

    explicit RowChanges(QAbstractItemModel *model)
    {
        QObject::connect(model, &QAbstractItemModel::dataChanged, &context,
                         [this](const QModelIndex &from, const QModelIndex &to) {
                             for (int row = from.row(); row <= to.row(); ++row)
                                 changedRows.append(row);
                         });
        QObject::connect(model, &QAbstractItemModel::modelReset, &context, [this] { ++resets; });
        QObject::connect(model, &QAbstractItemModel::rowsInserted, &context,
                         [this](const QModelIndex &, int first, int last) { inserted.append({first, last}); });
    }
};

} // namespace TransferPageTest

#pragma once

#include <QList>
#include <QPointer>
#include <QScrollArea>

#include <functional>

class QVBoxLayout;

// The table of a transfer page: one row of 35 points per file, in the
// order of the page's list, never selected. The page makes each row's view;
// a row's view can be reached by its index to update it in place (progress),
// without a reload.
class QVTransferTableView : public QScrollArea
{
    Q_OBJECT
public:
    static constexpr int RowHeight = 35;

    using RowCount = std::function<int()>;
    using RowMaker = std::function<QWidget *(int row)>;

    explicit QVTransferTableView(QWidget *parent = nullptr);

    void setDataSource(RowCount count, RowMaker maker);
    // Makes every row again from the data source.
    void reloadData();
    int numberOfRows() const { return int(m_rows.size()); }
    // Null when the row has no view (past the end).
    QWidget *viewAtRow(int row) const;

private:
    QWidget *m_body = nullptr;
    QVBoxLayout *m_layout = nullptr;
    RowCount m_count;
    RowMaker m_maker;
    QList<QPointer<QWidget>> m_rows;
};

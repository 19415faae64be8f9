#include "Main/ViewController/TransferFile/QVTransferTableView.h"

#include <QVBoxLayout>

QVTransferTableView::QVTransferTableView(QWidget *parent)
    : QScrollArea(parent)
{
    // The rows lie on the page's own panel.
    setObjectName(QStringLiteral("transferTable"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_body = new QWidget;
    m_body->setObjectName(QStringLiteral("transferTableBody"));
    setStyleSheet(QStringLiteral("#transferTable, #transferTableBody { background: transparent; }"));
    m_layout = new QVBoxLayout(m_body);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addStretch(1);
    setWidget(m_body);
}

void QVTransferTableView::setDataSource(RowCount count, RowMaker maker)
{
    m_count = std::move(count);
    m_maker = std::move(maker);
}

void QVTransferTableView::reloadData()
{
    // A reload may come from a click inside a row: the old rows go later.
    for (const QPointer<QWidget> &row : std::as_const(m_rows)) {
        if (!row)
            continue;
        m_layout->removeWidget(row);
        row->hide();
        row->deleteLater();
    }
    m_rows.clear();
    const int count = m_count ? m_count() : 0;
    for (int i = 0; i < count; ++i) {
        QWidget *row = m_maker ? m_maker(i) : nullptr;
        if (!row)
            row = new QWidget;
        row->setFixedHeight(RowHeight);
        m_layout->insertWidget(i, row);
        m_rows.append(row);
    }
}

QWidget *QVTransferTableView::viewAtRow(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).data() : nullptr;
}

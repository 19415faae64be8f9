#include "Main/ViewController/DownLoadSelectFile/QVDownLoadSortMenuView.h"

#include "BaseViewController/View/QVNamedImage.h"
#include "Categories/RVColor.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QLabel>
#include <QMouseEvent>
#include <QtMath>

namespace {

constexpr int DefaultPanelWidth = 120;
constexpr int PanelPadding = 4;

// A row of the menu: it reports its click to the menu.
class SortRow : public QVBackgrounView
{
public:
    SortRow(int row, QVDownLoadSortMenuView *menu, QWidget *parent) : QVBackgrounView(parent), m_row(row), m_menu(menu)
    {
    }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        event->accept();
        if (event->button() == Qt::LeftButton)
            m_menu->tableViewCellClick(m_row);
    }

private:
    int m_row;
    QVDownLoadSortMenuView *m_menu;
};

} // namespace

const QList<QVDownLoadSortMenuView::Item> &QVDownLoadSortMenuView::itemArray()
{
    static const QList<Item> items = {
        {QT_TRANSLATE_NOOP("Localizable", "downLoad_sort_time_ASC"), 0},
        {QT_TRANSLATE_NOOP("Localizable", "downLoad_sort_time_DESC"), 1},
        {QT_TRANSLATE_NOOP("Localizable", "downLoad_sort_name_ASC"), 2},
        {QT_TRANSLATE_NOOP("Localizable", "downLoad_sort_name_DESC"), 3},
    };
    return items;
}

QVDownLoadSortMenuView::QVDownLoadSortMenuView(QWidget *parent)
    : QVBackgrounView(parent), m_bgView(new QVBackgrounView(this))
{
    setObjectName(QStringLiteral("sortMenuView"));
    setIsBlockingEvents(true);
    m_bgView->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0xF1F3FE")));
    m_bgView->setIsRadius(true);
    m_bgView->setCornerRadius(5.0);
    const int width = getMaxWidthForSuperView();
    m_bgView->resize(width, RowHeight * static_cast<int>(itemArray().size()) + 2 * PanelPadding);
    for (int row = 0; row < itemArray().size(); ++row) {
        auto *cell = new SortRow(row, this, m_bgView);
        cell->setGeometry(0, PanelPadding + row * RowHeight, width, RowHeight);
        auto *title = new QLabel(QCoreApplication::translate("Localizable", itemArray().at(row).itemName), cell);
        QFont font = title->font();
        font.setPixelSize(12);
        title->setFont(font);
        title->setGeometry(12, 0, width - 40, RowHeight);
        auto *check = new QLabel(cell);
        check->setPixmap(QVNamedImage(QStringLiteral("list_sort_check")));
        check->setScaledContents(true);
        check->setGeometry(width - 24, (RowHeight - 12) / 2, 12, 12);
        m_rows.append(cell);
        m_titles.append(title);
        m_checks.append(check);
    }
    reload();
}

int QVDownLoadSortMenuView::getMaxWidthForSuperView() const
{
    QFont font;
    font.setPixelSize(12);
    const QFontMetricsF metrics(font);
    double widest = 0.0;
    for (const Item &item : itemArray())
        widest = std::max(widest, metrics.horizontalAdvance(QCoreApplication::translate("Localizable", item.itemName)));
    return widest > 50.0 ? qCeil(widest + 50.0) : DefaultPanelWidth;
}

void QVDownLoadSortMenuView::setPanelTopRight(const QPoint &topRight)
{
    m_bgView->move(topRight.x() - m_bgView->width(), topRight.y());
}

void QVDownLoadSortMenuView::setSortType(qint64 sortType)
{
    m_sortType = sortType;
    reload();
}

void QVDownLoadSortMenuView::reload()
{
    for (int row = 0; row < m_rows.size(); ++row) {
        const bool current = itemArray().at(row).sortType == m_sortType;
        if (current)
            m_selectIndex = row;
        m_rows.at(row)->setBackgroundColor(rv_colorWithHexString(current ? QStringLiteral("0x5879FC")
                                                                         : QStringLiteral("0xF1F3FE")));
        m_checks.at(row)->setVisible(current);
        QPalette palette = m_titles.at(row)->palette();
        palette.setColor(QPalette::WindowText, current ? Qt::white : Qt::black);
        m_titles.at(row)->setPalette(palette);
    }
}

void QVDownLoadSortMenuView::tableViewCellClick(int row)
{
    if (row < 0 || row >= m_rows.size() || row == m_selectIndex)
        return;
    m_selectIndex = row;
    if (sortCellClickBlock)
        sortCellClickBlock(itemArray().at(row).sortType);
    reload();
}

void QVDownLoadSortMenuView::mousePressEvent(QMouseEvent *event)
{
    QVBackgrounView::mousePressEvent(event);
    if (!m_bgView->geometry().contains(event->position().toPoint()))
        hide();
}

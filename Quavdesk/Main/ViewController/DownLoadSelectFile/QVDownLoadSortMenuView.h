#pragma once

#include "BaseViewController/View/QVBackgrounView.h"

#include <QList>
#include <QString>

#include <functional>

class QLabel;

// The sort menu that drops over the browser: four orders, the current one
// highlighted with a check. It covers the page with a clear area that takes
// every click; a click outside the panel closes the menu.
class QVDownLoadSortMenuView : public QVBackgrounView
{
    Q_OBJECT
public:
    static constexpr int RowHeight = 30;

    struct Item {
        const char *itemName;
        qint64 sortType;
    };
    static const QList<Item> &itemArray();

    explicit QVDownLoadSortMenuView(QWidget *parent = nullptr);

    std::function<void(qint64)> sortCellClickBlock;

    qint64 sortType() const { return m_sortType; }
    void setSortType(qint64 sortType);
    qint64 selectIndex() const { return m_selectIndex; }
    // The panel's place on the page: its top right corner.
    void setPanelTopRight(const QPoint &topRight);

    QVBackgrounView *bgView() const { return m_bgView; }
    QList<QVBackgrounView *> rows() const { return m_rows; }
    void tableViewCellClick(int row);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    void reload();
    int getMaxWidthForSuperView() const;

    QVBackgrounView *m_bgView = nullptr;
    QList<QVBackgrounView *> m_rows;
    QList<QLabel *> m_titles;
    QList<QLabel *> m_checks;
    qint64 m_selectIndex = 1;
    qint64 m_sortType = 1;
};

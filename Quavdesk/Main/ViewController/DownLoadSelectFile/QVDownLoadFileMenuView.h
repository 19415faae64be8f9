#pragma once

#include "Main/ViewController/DownLoadSelectFile/QVBrowseLook.h"

#include <QListView>

// Paints the root menu: a root is a 30-high row with its icon and its title
// (cut with an ellipsis when too long, then shown whole as a tip), and the
// mark of the chosen root; a separator is a 15-high row with a white line,
// above every group but the first.
class QVDownLoadFileMenuDelegate : public QVBrowseDelegate
{
    Q_OBJECT
public:
    static constexpr int RowHeight = 30;
    static constexpr int SeparatorHeight = 15;
    static constexpr int TitleLeft = 42;

    using QVBrowseDelegate::QVBrowseDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    static QFont titleFont();
    // The title as drawn in a row `rowWidth` wide.
    static QString shownTitle(const QString &title, int rowWidth);
    // The tip of a root's row: its whole title when the row cuts it.
    static QString toolTipFor(const QString &title, int rowWidth);

protected:
    QString toolTipText(const QModelIndex &index, const QStyleOptionViewItem &option) const override;
};

// The menu of the device's roots over the root menu model; a press on a
// root reports its place (group, entry).
class QVDownLoadFileMenuView : public QListView
{
    Q_OBJECT
public:
    explicit QVDownLoadFileMenuView(QWidget *parent = nullptr);

    // Where the root (group, entry) is drawn, in the viewport's coordinates.
    QRect rootRect(int section, int item) const;

signals:
    void rootClicked(int section, int item);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};

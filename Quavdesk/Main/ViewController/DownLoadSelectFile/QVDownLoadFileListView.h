#pragma once

#include "Main/Browse/QVRemoteFileModels.h"
#include "Main/ViewController/DownLoadSelectFile/QVBrowseLook.h"

#include <QCache>
#include <QListView>
#include <QStringList>

// Paints the entries of the open folder: in the grid a 120 x 120 item, the
// picture over a title of at most two lines (the whole name as a tip when
// it needs three or more), framed when picked; in the list a row of at most
// 738 x 65, the pick mark, the picture and the title on one line. The
// picture is the thumbnail of a picture when there is one, else the icon
// of the entry's type.
class QVDownLoadFileItemDelegate : public QVBrowseDelegate
{
    Q_OBJECT
public:
    static constexpr QSize GridSize{120, 120};
    static constexpr int ListHeight = 65;
    static constexpr int ListMaxWidth = 738;
    static constexpr int GridImageSide = 64;
    static constexpr int ListImageSide = 40;

    using QVBrowseDelegate::QVBrowseDelegate;

    void setLayoutType(qint64 layoutType) { m_layoutType = layoutType; }
    qint64 layoutType() const { return m_layoutType; }
    // The width of the list's rows (the view's, at most 738).
    void setListWidth(int width) { m_listWidth = width; }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The grid's title as drawn: at most two lines, the second ending in an
    // ellipsis when the name needs more; `lineCount` is how many lines the
    // whole name takes.
    static QStringList gridTitleLines(const QString &name, qint64 *lineCount = nullptr);
    static QFont gridTitleFont();
    static QFont listTitleFont();
    static int gridTitleWidth() { return GridSize.width() - 12; }
    // The hover tip of an entry; empty for none.
    QString toolTipFor(const QModelIndex &index) const;

protected:
    QString toolTipText(const QModelIndex &index, const QStyleOptionViewItem &) const override
    {
        return toolTipFor(index);
    }

private:
    struct Title {
        QStringList lines;
        qint64 lineCount = 0;
    };
    const Title &gridTitle(const QString &name) const;
    void paintPicture(QPainter *painter, const QRect &rect, const QModelIndex &index, bool rounded) const;

    qint64 m_layoutType = 0;
    int m_listWidth = ListMaxWidth;
    // Laid out once per name, and the pictures rounded once: a repaint of
    // the grid draws what it drew before.
    mutable QCache<QString, Title> m_titles{4096};
    mutable QCache<QString, QPixmap> m_roundedThumbnails{256};
};

// The open folder's collection: a grid or a list over the folder model, no
// widget per entry. A press on an entry reports it (the first press of a
// double click too), a double click reports it once more as opened.
class QVDownLoadFileListView : public QListView
{
    Q_OBJECT
public:
    explicit QVDownLoadFileListView(QWidget *parent = nullptr);

    // 0 grid, 1 list.
    void setLayoutType(qint64 layoutType);
    qint64 layoutType() const { return m_delegate->layoutType(); }
    QVDownLoadFileItemDelegate *fileDelegate() const { return m_delegate; }
    // Where the entry at `row` is drawn, in the viewport's coordinates.
    QRect itemRect(int row) const;

signals:
    void entryClicked(const QVRemoteFileEntryPtr &entry);
    void entryDoubleClicked(const QVRemoteFileEntryPtr &entry);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QVRemoteFileEntryPtr entryAt(const QPoint &position) const;
    void updateListWidth();

    QVDownLoadFileItemDelegate *m_delegate = nullptr;
};

#pragma once

#include <QColor>
#include <QMargins>
#include <QPixmap>
#include <QRect>
#include <QStyledItemDelegate>

// Paints the rows of a transfer page, one file a row of 35 points, laid out
// from the right as a row of controls: the delete button, the warning, the
// done mark or the folder button, the continue button, the progress bar and
// the fail text, ten points apart; the name takes what is left and a name
// too long for it is cut in its middle with an ellipsis, so that its start
// and its extension stay in sight. Which of them a row shows follows its
// file's status; each page says how (lookFor). The buttons dim while the
// pointer is over them, as the program's buttons do; the view tells the
// delegate which one that is.
class QVTransferRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // The parts of a row that the user can act on or that a status shows.
    enum Part {
        NoPart = 0,
        Progress = 1 << 0,
        Continue = 1 << 1,
        Folder = 1 << 2,
        Done = 1 << 3,
        Warning = 1 << 4,
        Delete = 1 << 5,
    };
    Q_DECLARE_FLAGS(Parts, Part)

    // What a row shows for a status.
    struct Look {
        Parts parts;
        QString failText;
        // The warning's tip; none for the others.
        QString warningTip;
    };

    // Where each part of a row lies, in the coordinates the row was laid
    // out in; a part the row does not show has an empty rect.
    struct RowLayout {
        QRect name;
        // The name as it fits its place.
        QString shownName;
        QRect fail;
        QString failText;
        QRect progress;
        QRect continueButton;
        QRect folder;
        QRect done;
        QRect warning;
        QRect deleteButton;
        QString warningTip;

        QRect rectOf(Part part) const;
        // The button under `pos`; NoPart over the name, the text, the bar
        // or the done mark.
        Part buttonAt(const QPoint &pos) const;
    };

    // How a page's rows differ. The bar is a rounded track of its colour
    // over its whole width and, from the left, a white bar as wide as the
    // share done.
    struct Style {
        QMargins margins;
        QString continueTitle;
        int continueMinimumWidth = 0;
        QColor progressTrack;
        double progressRadius = 0;
    };

    static constexpr int RowHeight = 35;
    static constexpr int Spacing = 10;
    static constexpr int ButtonSide = 24;
    static constexpr int ContinueHeight = 22;
    static constexpr int ProgressWidth = 100;
    static constexpr int ProgressHeight = 6;

    explicit QVTransferRowDelegate(Style style, QObject *parent = nullptr);

    // What a row shows for `status`.
    virtual Look lookFor(qint64 status) const = 0;

    // The row of `index` laid out in `rect` with the fonts of `base`.
    RowLayout layoutOf(const QRect &rect, const QModelIndex &index, const QFont &base) const;

    // The fonts the row's texts are drawn with.
    static QFont nameFont(const QFont &base);
    static QFont failFont(const QFont &base);
    static QFont doneFont(const QFont &base);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    // The name's tip shows over the name only.
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

private:
    int continueWidth(const QFont &base) const;
    void paintProgress(QPainter *painter, const QRectF &rect, double share) const;

    Style m_style;
    mutable int m_continueWidth = -1;
    mutable QFont m_continueFont;
    QPixmap m_folderImage;
    QPixmap m_warningImage;
    QPixmap m_deleteImage;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(QVTransferRowDelegate::Parts)

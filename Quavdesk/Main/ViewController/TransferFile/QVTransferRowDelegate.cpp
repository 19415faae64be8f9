#include "Main/ViewController/TransferFile/QVTransferRowDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVImageDrawing.h"
#include "BaseViewController/View/QVNamedImage.h"
#include "Main/ViewController/TransferFile/QVTransferListModel.h"
#include "Main/ViewController/TransferFile/QVTransferTableView.h"

namespace {

// A button under the pointer stands at this opacity.
constexpr double kHoverOpacity = 0.7;
constexpr double kContinueRadius = 10.0;

QFont withPixelSize(QFont font, int pixelSize)
{
    font.setPixelSize(pixelSize);
    return font;
}

// A part of fixed size, centred on the row's height.
QRect centred(int x, const QRect &row, QSize size)
{
    return QRect(x, row.top() + (row.height() - size.height()) / 2, size.width(), size.height());
}

} // namespace

QRect QVTransferRowDelegate::RowLayout::rectOf(Part part) const
{
    switch (part) {
    case Progress:
        return progress;
    case Continue:
        return continueButton;
    case Folder:
        return folder;
    case Done:
        return done;
    case Warning:
        return warning;
    case Delete:
        return deleteButton;
    case NoPart:
        break;
    }
    return {};
}

QVTransferRowDelegate::Part QVTransferRowDelegate::RowLayout::buttonAt(const QPoint &pos) const
{
    for (Part part : {Continue, Folder, Warning, Delete}) {
        const QRect rect = rectOf(part);
        if (!rect.isEmpty() && rect.contains(pos))
            return part;
    }
    return NoPart;
}

QVTransferRowDelegate::QVTransferRowDelegate(Style style, QObject *parent)
    : QStyledItemDelegate(parent), m_style(std::move(style)),
      m_folderImage(QVNamedImage(QStringLiteral("downLoadFile_row_folder"))),
      m_warningImage(QVNamedImage(QStringLiteral("downLoadFile_row_warning"))),
      m_deleteImage(QVNamedImage(QStringLiteral("downLoadFile_row_delete")))
{
}

QFont QVTransferRowDelegate::nameFont(const QFont &base)
{
    return withPixelSize(base, 13);
}

QFont QVTransferRowDelegate::failFont(const QFont &base)
{
    return withPixelSize(base, 12);
}

QFont QVTransferRowDelegate::doneFont(const QFont &base)
{
    return withPixelSize(base, 16);
}

QVTransferRowDelegate::RowLayout QVTransferRowDelegate::layoutOf(const QRect &rect, const QModelIndex &index,
                                                                  const QFont &base) const
{
    const Look look = lookFor(index.data(QVTransferListModel::StatusRole).toLongLong());
    RowLayout layout;
    layout.failText = look.failText;
    layout.warningTip = look.warningTip;
    const QRect row = rect.marginsRemoved(m_style.margins);
    // From the right, each shown part and the gap before it.
    int right = row.right() + 1;
    const auto place = [&](QSize size) {
        const QRect placed = centred(right - size.width(), row, size);
        right = placed.left() - Spacing;
        return placed;
    };
    const QSize button(ButtonSide, ButtonSide);
    if (look.parts & Delete)
        layout.deleteButton = place(button);
    if (look.parts & Warning)
        layout.warning = place(button);
    if (look.parts & Done)
        layout.done = place(button);
    if (look.parts & Folder)
        layout.folder = place(button);
    if (look.parts & Continue)
        layout.continueButton = place(QSize(qMax(continueWidth(base), m_style.continueMinimumWidth), ContinueHeight));
    if (look.parts & Progress)
        layout.progress = place(QSize(ProgressWidth, ProgressHeight));
    // The fail text always holds its place, empty or not.
    const int failWidth = QFontMetrics(failFont(base)).horizontalAdvance(look.failText);
    layout.fail = QRect(right - failWidth, row.top(), failWidth, row.height());
    right = layout.fail.left() - Spacing;
    layout.name = QRect(row.left(), row.top(), qMax(0, right - row.left()), row.height());
    layout.shownName = QFontMetrics(nameFont(base))
                           .elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideMiddle, layout.name.width(),
                                       Qt::TextSingleLine);
    return layout;
}

int QVTransferRowDelegate::continueWidth(const QFont &base) const
{
    // As wide as the program's own button with that title would be.
    if (m_continueWidth < 0 || m_continueFont != base) {
        QVBaseButton button(m_style.continueTitle);
        button.setFont(base);
        m_continueWidth = button.sizeHint().width();
        m_continueFont = base;
    }
    return m_continueWidth;
}

void QVTransferRowDelegate::paintProgress(QPainter *painter, const QRectF &rect, double share) const
{
    const double radius = m_style.progressRadius;
    QPainterPath track;
    track.addRoundedRect(rect, radius, radius);
    painter->fillPath(track, m_style.progressTrack);
    const double width = rect.width() * qBound(0.0, share, 1.0);
    if (width <= 0.0)
        return;
    QPainterPath bar;
    bar.addRoundedRect(QRectF(rect.left(), rect.top(), width, rect.height()), radius, radius);
    painter->fillPath(bar, Qt::white);
}

QSize QVTransferRowDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    // The list makes each row as wide as itself.
    return QSize(0, RowHeight);
}

void QVTransferRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const RowLayout layout = layoutOf(option.rect, index, option.font);
    const auto *view = qobject_cast<const QVTransferTableView *>(option.widget);
    const Part hovered = view ? view->hoveredPart(index.row()) : NoPart;

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->setPen(Qt::white);
    painter->setFont(nameFont(option.font));
    painter->drawText(layout.name, int(Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine), layout.shownName);
    if (!layout.failText.isEmpty()) {
        painter->setFont(failFont(option.font));
        painter->drawText(layout.fail, int(Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine), layout.failText);
    }
    if (!layout.progress.isEmpty())
        paintProgress(painter, QRectF(layout.progress), index.data(QVTransferListModel::ProgressRole).toDouble());

    const auto opacityOf = [hovered](Part part) { return hovered == part ? kHoverOpacity : 1.0; };
    if (!layout.continueButton.isEmpty()) {
        painter->setOpacity(opacityOf(Continue));
        QPainterPath shape;
        shape.addRoundedRect(QRectF(layout.continueButton), kContinueRadius, kContinueRadius);
        painter->fillPath(shape, Qt::white);
        // The title centred as the program's buttons centre theirs.
        const QRectF button(layout.continueButton);
        const qreal titleWidth = QFontMetricsF(option.font).horizontalAdvance(m_style.continueTitle);
        painter->save();
        painter->setClipPath(shape);
        painter->setFont(option.font);
        painter->setPen(option.palette.color(QPalette::ButtonText));
        painter->drawText(QRectF(button.center().x() - titleWidth / 2, button.top(), titleWidth, button.height()),
                          int(Qt::AlignVCenter | Qt::AlignLeft | Qt::TextDontClip), m_style.continueTitle);
        painter->restore();
        painter->setOpacity(1.0);
    }
    if (!layout.done.isEmpty()) {
        painter->setFont(doneFont(option.font));
        painter->setPen(Qt::white);
        painter->drawText(layout.done, int(Qt::AlignCenter), QStringLiteral("\u2714"));
    }
    const auto image = [&](const QRect &rect, const QPixmap &pixmap, Part part) {
        if (rect.isEmpty() || pixmap.isNull())
            return;
        painter->setOpacity(opacityOf(part));
        painter->drawPixmap(QVImageDrawing::proportionallyDown(QRectF(rect), QVImageDrawing::logicalSize(pixmap)),
                            pixmap, QRectF(pixmap.rect()));
        painter->setOpacity(1.0);
    };
    image(layout.folder, m_folderImage, Folder);
    image(layout.warning, m_warningImage, Warning);
    image(layout.deleteButton, m_deleteImage, Delete);
    painter->restore();
}

bool QVTransferRowDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                      const QModelIndex &index)
{
    if (!event || !view || event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const RowLayout layout = layoutOf(option.rect, index, option.font);
    const QString tip = index.data(Qt::ToolTipRole).toString();
    if (!layout.name.contains(event->pos()) || tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    QToolTip::showText(event->globalPos(), tip, view->viewport(), layout.name);
    return true;
}

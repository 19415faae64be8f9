#include "Main/ViewController/DownLoadSelectFile/QVBrowseLook.h"

#include "BaseViewController/View/QVNamedImage.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

QString QVBrowseLook::plainToolTip(const QString &text)
{
    if (text.isEmpty())
        return QString();
    return QStringLiteral("<qt>") + text.toHtmlEscaped() + QStringLiteral("</qt>");
}

void QVBrowseDelegate::drawIcon(QPainter *painter, const QRect &rect, const QString &name) const
{
    // Drawn scaled each time, the images would cost most of a large grid's
    // paint.
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QSize pixels = rect.size() * ratio;
    const QString key = QStringLiteral("%1@%2x%3").arg(name).arg(pixels.width()).arg(pixels.height());
    auto it = m_icons.constFind(key);
    if (it == m_icons.cend()) {
        QPixmap scaled = QVNamedImage(name).scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        scaled.setDevicePixelRatio(ratio);
        it = m_icons.insert(key, scaled);
    }
    painter->drawPixmap(rect.topLeft(), *it);
}

bool QVBrowseDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                 const QModelIndex &index)
{
    if (event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString tip = toolTipText(index, option);
    if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return false;
    }
    QToolTip::showText(event->globalPos(), QVBrowseLook::plainToolTip(tip), view, option.rect);
    return true;
}

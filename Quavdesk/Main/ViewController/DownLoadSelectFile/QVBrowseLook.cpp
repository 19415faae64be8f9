#include "Main/ViewController/DownLoadSelectFile/QVBrowseLook.h"

#include "BaseViewController/View/QVNamedImage.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

QString QVBrowseLook::plainToolTip(const QString &text)
{
    if (text.isEmpty())
        return QString();
    return QStringLiteral("<qt>") + text.toHtmlEscaped() + QStringLiteral("</qt>");
}

QPixmap QVBrowseDelegate::icon(const QString &name) const
{
    auto it = m_icons.constFind(name);
    if (it == m_icons.cend())
        it = m_icons.insert(name, QVNamedImage(name));
    return *it;
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

#pragma once

#include <QColor>
#include <QCoreApplication>
#include <QFont>
#include <QHash>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QWidget>

// What the remote file browser's views share: their texts by key, the look
// of their texts, and the delegates' named images and hover tips.
namespace QVBrowseLook {

inline QString localizable(const char *key)
{
    return QCoreApplication::translate("Localizable", key);
}

// The widget's text at this pixel size, colour and weight.
inline void setLook(QWidget *widget, int pixelSize, const QColor &color, bool bold = false)
{
    QFont font = widget->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    widget->setFont(font);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::ButtonText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

inline QFont pixelFont(int pixelSize)
{
    QFont font;
    font.setPixelSize(pixelSize);
    return font;
}

// A tip text shown as plain text: a device's names are never markup.
QString plainToolTip(const QString &text);

} // namespace QVBrowseLook

// The base of the browser's delegates: named images kept once drawn, and
// hover tips that show the text a subclass gives, as plain text.
class QVBrowseDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

protected:
    // The whole text behind what the item shows cut; empty for no tip.
    virtual QString toolTipText(const QModelIndex &index, const QStyleOptionViewItem &option) const = 0;
    // The named image drawn at `rect` on `painter`, scaled once per size.
    void drawIcon(QPainter *painter, const QRect &rect, const QString &name) const;

private:
    mutable QHash<QString, QPixmap> m_icons;
};

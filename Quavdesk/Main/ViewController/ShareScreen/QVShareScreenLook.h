#pragma once

#include <QColor>
#include <QCoreApplication>
#include <QLabel>
#include <QString>

// What the casting screen's views share: their texts by key, and plain-text
// labels (receivers name themselves; their names are never markup).
namespace QVShareScreenLook {

inline QString localizable(const char *key)
{
    return QCoreApplication::translate("Localizable", key);
}

inline QLabel *makeLabel(QWidget *parent, const QString &name, int pixelSize, bool bold, const QColor &color)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

} // namespace QVShareScreenLook

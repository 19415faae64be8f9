#include "Main/ViewController/TransferFile/QVTransferRowParts.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QResizeEvent>

#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVNamedImage.h"

namespace QVTransferRowParts {

QString localizable(const char *key)
{
    return QCoreApplication::translate("Localizable", key);
}

QVBaseButton *imageButton(const QString &image, QWidget *parent)
{
    auto *button = new QVBaseButton(parent);
    button->setImage(QVNamedImage(image));
    button->setIsInteraction(true);
    button->setClickStyle(false);
    button->setFixedSize(24, 24);
    return button;
}

void whiteText(QLabel *label, int pixelSize)
{
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
}

void ElidedLabel::setFullText(const QString &text)
{
    m_fullText = text;
    setToolTip(text);
    refresh();
}

void ElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    refresh();
}

void ElidedLabel::refresh()
{
    const int room = contentsRect().width();
    setText(room > 0 ? fontMetrics().elidedText(m_fullText, Qt::ElideRight, room) : m_fullText);
}

} // namespace QVTransferRowParts

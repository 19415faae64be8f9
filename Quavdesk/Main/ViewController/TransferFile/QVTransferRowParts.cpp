#include "Main/ViewController/TransferFile/QVTransferRowParts.h"

#include <QCoreApplication>
#include <QPainter>

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

QVBaseButton *continueButton(const QString &text, QWidget *parent)
{
    auto *button = new QVBaseButton(text, parent);
    button->setBackgroundColor(Qt::white);
    button->setIsRadius(true);
    button->setCornerRadius(10.0);
    button->setIsInteraction(true);
    button->setClickStyle(false);
    button->setFixedHeight(22);
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

QString plainToolTip(const QString &text)
{
    if (text.isEmpty())
        return QString();
    return QStringLiteral("<qt>") + text.toHtmlEscaped() + QStringLiteral("</qt>");
}

NameLabel::NameLabel(QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    // The row gives the name what the other parts leave; the name never
    // pushes them aside.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

QString NameLabel::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width(), Qt::TextSingleLine);
}

void NameLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(contentsRect(), int(Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine), shownText());
}

} // namespace QVTransferRowParts

#include "BaseViewController/View/QVAlertParts.h"

#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVBuleCursorTextField.h"
#include "Categories/RVColor.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QLabel>

namespace QVAlertParts {

namespace {

constexpr int kBoxWidth = 400;
constexpr int kBoxSideRoom = 20;
constexpr int kBoxPadding = 24;
constexpr int kBoxSpacing = 12;
constexpr int kButtonWidth = 120;
constexpr int kButtonHeight = 36;
constexpr int kCodePanelHeight = 44;

QLabel *makeLabel(QWidget *parent, int pixelSize, const char *hexColor, bool bold)
{
    auto *label = new QLabel(parent);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, rv_colorWithHexString(QString::fromLatin1(hexColor)));
    label->setPalette(palette);
    return label;
}

QVBaseButton *makeButton(const QString &title, QWidget *parent, const char *fill, const QColor &titleColor)
{
    auto *button = new QVBaseButton(title, parent);
    button->setIsRadius(true);
    button->setCornerRadius(4.0);
    button->setBackgroundColor(rv_colorWithHexString(QString::fromLatin1(fill)));
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, titleColor);
    button->setPalette(palette);
    QFont font = button->font();
    font.setPixelSize(14);
    button->setFont(font);
    // At least the usual width; a longer title widens the button.
    button->setFixedHeight(kButtonHeight);
    button->setMinimumWidth(kButtonWidth);
    button->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    return button;
}

} // namespace

QVBackgrounView *makeDimmingLayer(QWidget *alert)
{
    auto *dimming = new QVBackgrounView(alert);
    dimming->setIsBlockingEvents(true);
    dimming->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0x00000070")));
    auto *fill = new QVBoxLayout(alert);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(dimming);
    return dimming;
}

QVBackgrounView *makeBox(QVBackgrounView *dimmingLayer)
{
    auto *box = new QVBackgrounView(dimmingLayer);
    box->setIsBlockingEvents(false);
    box->setBackgroundColor(Qt::white);
    box->setIsRadius(true);
    box->setCornerRadius(10.0);
    box->setFixedWidth(kBoxWidth);
    auto *content = new QVBoxLayout(box);
    content->setContentsMargins(kBoxPadding, kBoxPadding, kBoxPadding, kBoxPadding);
    content->setSpacing(kBoxSpacing);

    auto *centre = new QGridLayout(dimmingLayer);
    centre->setContentsMargins(0, 0, 0, 0);
    centre->setRowStretch(0, 1);
    centre->setRowStretch(2, 1);
    centre->setColumnStretch(0, 1);
    centre->setColumnStretch(2, 1);
    centre->addWidget(box, 1, 1);
    return box;
}

QBoxLayout *boxLayout(QVBackgrounView *box)
{
    return static_cast<QBoxLayout *>(box->layout());
}

void fitBox(QVBackgrounView *box, const QWidget *alert)
{
    box->setFixedWidth(qBound(0, alert->width() - 2 * kBoxSideRoom, kBoxWidth));
}

QLabel *makeTitleLabel(QWidget *parent)
{
    return makeLabel(parent, 16, "0x333333", true);
}

QLabel *makeDescribeLabel(QWidget *parent)
{
    return makeLabel(parent, 12, "0x999999", false);
}

QLabel *makeContentLabel(QWidget *parent)
{
    return makeLabel(parent, 14, "0x666666", false);
}

QVBaseButton *makeCancelButton(const QString &title, QWidget *parent)
{
    return makeButton(title, parent, "0xEDEDED", rv_colorWithHexString(QStringLiteral("0x333333")));
}

QVBaseButton *makeConfirmButton(const QString &title, QWidget *parent)
{
    return makeButton(title, parent, "0x5879FC", Qt::white);
}

QVBackgrounView *makeCodePanel(QWidget *parent, QVBuleCursorTextField *&field)
{
    auto *panel = new QVBackgrounView(parent);
    panel->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0xF5F5F5")));
    panel->setIsRadius(true);
    panel->setCornerRadius(5.0);
    panel->setFixedHeight(kCodePanelHeight);
    field = new QVBuleCursorTextField(panel);
    field->setFrame(false);
    field->setAlignment(Qt::AlignCenter);
    QPalette fieldPalette = field->palette();
    fieldPalette.setColor(QPalette::Base, Qt::transparent);
    fieldPalette.setColor(QPalette::Text, rv_colorWithHexString(QStringLiteral("0x333333")));
    field->setPalette(fieldPalette);
    QFont fieldFont = field->font();
    fieldFont.setPixelSize(18);
    field->setFont(fieldFont);
    auto *fieldRow = new QHBoxLayout(panel);
    fieldRow->setContentsMargins(12, 0, 12, 0);
    fieldRow->addWidget(field);
    return panel;
}

QBoxLayout *makeButtonRow(QVBaseButton *first, QVBaseButton *second, QVBaseButton *third)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(16);
    row->addStretch(1);
    for (QVBaseButton *button : {first, second, third}) {
        if (button)
            row->addWidget(button);
    }
    row->addStretch(1);
    return row;
}

} // namespace QVAlertParts

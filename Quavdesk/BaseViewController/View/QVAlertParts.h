#pragma once

#include <QString>

class QBoxLayout;
class QLabel;
class QVBackgrounView;
class QVBaseButton;
class QVBuleCursorTextField;
class QWidget;

// The pieces the three in-window alerts share: the click-swallowing dimming
// layer, the white box centred on it, the labels and the two button looks.
namespace QVAlertParts {

// The dimming layer ("0x00000070", blocking clicks) laid over all of `alert`.
QVBackgrounView *makeDimmingLayer(QWidget *alert);
// The white box with 10-point corners, centred on the dimming layer, with a
// vertical layout for its content.
QVBackgrounView *makeBox(QVBackgrounView *dimmingLayer);
QBoxLayout *boxLayout(QVBackgrounView *box);
// Keeps the box no wider than the alert leaves room for.
void fitBox(QVBackgrounView *box, const QWidget *alert);

QLabel *makeTitleLabel(QWidget *parent);
QLabel *makeDescribeLabel(QWidget *parent);
QLabel *makeContentLabel(QWidget *parent);

// Grey "0xEDEDED" and blue "0x5879FC" buttons with 4-point corners.
QVBaseButton *makeCancelButton(const QString &title, QWidget *parent);
QVBaseButton *makeConfirmButton(const QString &title, QWidget *parent);

// The grey "0xF5F5F5" panel with 5-point corners that holds a code field:
// frameless, centred, dark 18-pixel text on the panel's grey. `field` is
// set to the field.
QVBackgrounView *makeCodePanel(QWidget *parent, QVBuleCursorTextField *&field);

// A row with the buttons side by side, centred.
QBoxLayout *makeButtonRow(QVBaseButton *first, QVBaseButton *second, QVBaseButton *third);

} // namespace QVAlertParts

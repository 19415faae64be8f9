#pragma once

#include <QObject>
#include <QString>

class QEvent;
class QKeyEvent;
class QLineEdit;
class QWidget;

// The text-field category. The program has no Edit menu, so its text fields
// take the editing shortcuts themselves.
namespace QVAdd {

// When the key is exactly Ctrl (the platform's Command key) with X, C, V or A,
// sends cut, copy, paste or select-all to the focus widget of `field`'s window
// and answers whether that widget took it. Any other key answers false and is
// left to the field's own handling.
bool performKeyEquivalent(QWidget *field, const QKeyEvent *event);

// For a text widget's event(): claims the shortcut keys of the rule above
// before application shortcuts see them and applies the rule on the key
// press. Answers true when the event was handled.
bool handleKeyEquivalentEvent(QWidget *field, QEvent *event);

// The field's text, or its placeholder when the text is empty (white space
// alone counts as empty) and the placeholder is not.
QString placeholderOrStringValue(const QLineEdit *field);

} // namespace QVAdd

// Gives the rule to text fields that are not the kit's own: install it on a
// field, or on the application to cover every QLineEdit.
class QVTextFieldKeyEquivalentFilter : public QObject
{
    Q_OBJECT
public:
    explicit QVTextFieldKeyEquivalentFilter(QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

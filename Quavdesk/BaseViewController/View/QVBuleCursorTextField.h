#pragma once

#include <QColor>
#include <QLineEdit>

class QTimer;

// A text field whose insertion point is the program's cyan (0x00BBE3) once
// it has the focus. It takes the editing shortcuts itself.
class QVBuleCursorTextField : public QLineEdit
{
    Q_OBJECT
public:
    explicit QVBuleCursorTextField(QWidget *parent = nullptr);

    // The colour the insertion point is drawn in; set when the field first
    // takes the focus.
    QColor insertionPointColor() const { return m_insertionPointColor; }

protected:
    bool event(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void restartBlink();

    QColor m_insertionPointColor;
    QTimer *m_blink = nullptr;
    bool m_caretOn = false;
};

#pragma once

#include <QObject>
#include <QRectF>

class QLineEdit;

// The look of a text field that centres its text vertically and, while the
// field is being edited, moves the text `oringeY` points down (up when
// negative), so that the editor can line up with text drawn elsewhere. The
// cell owns the field's top and bottom text margins.
class QVCustomTextFieldCell : public QObject
{
    Q_OBJECT
public:
    // Becomes the cell of `field` and goes with it.
    explicit QVCustomTextFieldCell(QLineEdit *field);

    double oringeY() const { return m_oringeY; }
    void setOringeY(double offset);

    // `titleRect` moved so that a text `cellHeight` high sits in its middle.
    static QRectF titleRectForBounds(const QRectF &titleRect, double cellHeight);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyEditingOffset(bool editing);

    QLineEdit *m_field;
    double m_oringeY = 0;
    bool m_editing = false;
};

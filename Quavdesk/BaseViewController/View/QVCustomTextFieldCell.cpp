#include "BaseViewController/View/QVCustomTextFieldCell.h"

#include <QEvent>
#include <QLineEdit>
#include <cmath>

QVCustomTextFieldCell::QVCustomTextFieldCell(QLineEdit *field)
    : QObject(field)
    , m_field(field)
{
    field->setAlignment((field->alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
    field->installEventFilter(this);
}

void QVCustomTextFieldCell::setOringeY(double offset)
{
    m_oringeY = offset;
    applyEditingOffset(m_editing);
}

QRectF QVCustomTextFieldCell::titleRectForBounds(const QRectF &titleRect, double cellHeight)
{
    QRectF centred = titleRect;
    centred.moveTop(titleRect.y() + (titleRect.height() - cellHeight) / 2);
    centred.setHeight(cellHeight);
    return centred;
}

bool QVCustomTextFieldCell::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_field) {
        if (event->type() == QEvent::FocusIn)
            applyEditingOffset(true);
        else if (event->type() == QEvent::FocusOut)
            applyEditingOffset(false);
    }
    return QObject::eventFilter(watched, event);
}

void QVCustomTextFieldCell::applyEditingOffset(bool editing)
{
    m_editing = editing;
    // The field centres its text between the margins: a margin of twice the
    // offset on one side moves the text by the offset.
    const int shift = editing ? static_cast<int>(std::lround(2 * m_oringeY)) : 0;
    QMargins margins = m_field->textMargins();
    margins.setTop(qMax(0, shift));
    margins.setBottom(qMax(0, -shift));
    m_field->setTextMargins(margins);
}

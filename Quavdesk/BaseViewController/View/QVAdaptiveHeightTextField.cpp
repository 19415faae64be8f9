#include "BaseViewController/View/QVAdaptiveHeightTextField.h"

QVAdaptiveHeightTextField::QVAdaptiveHeightTextField(QWidget *parent)
    : QLabel(parent)
{
}

QSize QVAdaptiveHeightTextField::sizeHint() const
{
    return text().isEmpty() ? QSize(0, 0) : QLabel::sizeHint();
}

QSize QVAdaptiveHeightTextField::minimumSizeHint() const
{
    return text().isEmpty() ? QSize(0, 0) : QLabel::minimumSizeHint();
}

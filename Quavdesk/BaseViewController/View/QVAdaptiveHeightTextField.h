#pragma once

#include <QLabel>

// A text that takes no space while it is empty: its size hint is zero then,
// so a layout collapses it.
class QVAdaptiveHeightTextField : public QLabel
{
    Q_OBJECT
public:
    explicit QVAdaptiveHeightTextField(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
};

#pragma once

#include <QProgressBar>

// The upload row's progress bar: a blue rounded track over its whole bounds
// and, from the left, a white rounded bar as wide as the value's share.
class QVTransferProgressView : public QProgressBar
{
    Q_OBJECT
public:
    explicit QVTransferProgressView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

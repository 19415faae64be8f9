#pragma once

#include <QPlainTextEdit>

// The feedback page's message text. It takes the editing shortcuts itself.
class QVFeedbackContentTextView : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit QVFeedbackContentTextView(QWidget *parent = nullptr);

protected:
    bool event(QEvent *event) override;
};

#include "BaseViewController/View/QVFeedbackContentTextView.h"

#include "Categories/QVTextFieldAdd.h"

QVFeedbackContentTextView::QVFeedbackContentTextView(QWidget *parent)
    : QPlainTextEdit(parent)
{
}

bool QVFeedbackContentTextView::event(QEvent *event)
{
    if (QVAdd::handleKeyEquivalentEvent(this, event))
        return true;
    return QPlainTextEdit::event(event);
}

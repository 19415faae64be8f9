#include "Categories/QVTextFieldAdd.h"

#include "Categories/RVString.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaMethod>
#include <QWidget>

namespace QVAdd {

namespace {

const char *actionForKey(const QKeyEvent *event)
{
    if (event->modifiers() != Qt::ControlModifier)
        return nullptr;
    switch (event->key()) {
    case Qt::Key_X:
        return "cut";
    case Qt::Key_C:
        return "copy";
    case Qt::Key_V:
        return "paste";
    case Qt::Key_A:
        return "selectAll";
    default:
        return nullptr;
    }
}

} // namespace

bool performKeyEquivalent(QWidget *field, const QKeyEvent *event)
{
    const char *action = actionForKey(event);
    if (!field || !action)
        return false;
    QWidget *target = field->window()->focusWidget();
    if (!target)
        return false;
    const QByteArray signature = QByteArray(action) + "()";
    if (target->metaObject()->indexOfMethod(signature.constData()) < 0)
        return false;
    return QMetaObject::invokeMethod(target, action, Qt::DirectConnection);
}

bool handleKeyEquivalentEvent(QWidget *field, QEvent *event)
{
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (!actionForKey(key))
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Keep the key from becoming an application shortcut; it comes back
        // as a key press.
        event->accept();
        return true;
    }
    if (!performKeyEquivalent(field, key))
        return false;
    event->accept();
    return true;
}

QString placeholderOrStringValue(const QLineEdit *field)
{
    const QString text = field->text();
    if (rv_isEmpty(text) && !rv_isEmpty(field->placeholderText()))
        return field->placeholderText();
    return text;
}

} // namespace QVAdd

QVTextFieldKeyEquivalentFilter::QVTextFieldKeyEquivalentFilter(QObject *parent)
    : QObject(parent)
{
}

bool QVTextFieldKeyEquivalentFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (auto *field = qobject_cast<QLineEdit *>(watched))
        return QVAdd::handleKeyEquivalentEvent(field, event);
    return QObject::eventFilter(watched, event);
}

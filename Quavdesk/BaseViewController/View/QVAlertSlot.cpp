#include "BaseViewController/View/QVAlertSlot.h"

#include <QEvent>

QVAlertSlot::QVAlertSlot(QWidget *panel)
    : QObject(panel)
    , m_panel(panel)
{
    panel->installEventFilter(this);
}

void QVAlertSlot::place(QWidget *alert)
{
    m_alert = alert;
    alert->setGeometry(m_panel->rect());
    alert->raise();
    alert->show();
}

void QVAlertSlot::dismiss()
{
    if (!m_alert)
        return;
    QWidget *alert = m_alert.data();
    m_alert.clear();
    alert->hide();
    alert->deleteLater();
}

bool QVAlertSlot::eventFilter(QObject *watched, QEvent *event)
{
    // The alert keeps covering the panel when the panel changes size.
    if (watched == m_panel && event->type() == QEvent::Resize && m_alert)
        m_alert->setGeometry(m_panel->rect());
    return QObject::eventFilter(watched, event);
}

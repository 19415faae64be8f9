#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

// The place for a page's in-window alert: at most one alert at a time,
// laid over the whole of the page's background panel and above everything
// on it. The alert's blocks end by calling dismiss().
class QVAlertSlot : public QObject
{
    Q_OBJECT
public:
    // `panel` is the page's background panel; the slot belongs to it.
    explicit QVAlertSlot(QWidget *panel);

    bool isShowing() const { return !m_alert.isNull(); }
    QWidget *alert() const { return m_alert.data(); }

    // Makes and shows a new alert of type `Alert` over the panel, or answers
    // nullptr while another alert is showing.
    template <typename Alert>
    Alert *present()
    {
        if (isShowing())
            return nullptr;
        auto *alert = new Alert(m_panel);
        place(alert);
        return alert;
    }

    // Removes the alert; safe from inside the alert's own blocks.
    void dismiss();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void place(QWidget *alert);

    QWidget *m_panel;
    QPointer<QWidget> m_alert;
};

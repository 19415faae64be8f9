#pragma once

#include "Main/Browse/QVEncryptLockout.h"

#include <QObject>
#include <QString>
#include <QTimer>

class QVRemoteBrowser;

// A root that needs a password, without widgets: the device's status check,
// the password check, the remembered password tried first, and the
// client's lock-out with its countdown. The password page shows what this
// says (entry and confirm enabled, the lock message) and hands it what the
// user types.
//
// The countdown is no clock of its own: each tick reads the stored record
// and the wall clock again, so it keeps to the record whatever happened
// meanwhile (the machine slept, another window locked again or cleared the
// lock, the clock was set back).
class QVProtectedRoot : public QObject
{
    Q_OBJECT
public:
    // Lives as long as the browser, its parent.
    explicit QVProtectedRoot(QVRemoteBrowser &browser);

    QVEncryptLockout &lockout() { return m_lockout; }

    bool isEntryEnabled() const { return m_entryEnabled; }
    bool isConfirmEnabled() const { return m_confirmEnabled; }
    // The lock message; empty while there is none to show.
    QString errorText() const { return m_errorText; }
    bool isLockTimerRunning() const { return m_timer.isActive(); }

    // The browser chose the current root, which needs a password.
    void enter();
    // What the field keeps of a typed text; confirm is enabled with six
    // digits.
    QString passwordEdited(const QString &text);
    // The device checks the password for the current root.
    void checkEncryptPwd(const QString &pwd);
    // Whether the device shares files at all, before the panel is offered.
    void checkGlimraStatus();
    // Counts a failure when `failed`; true when the entry is locked now.
    bool checkPwdFaildTimesWithStatus(bool failed);
    // The countdown's tick: the lock message from the record as it is now,
    // or, once the lock is over, the entry back.
    void refreshErrorLabel();
    // The page went away (the countdown stops) or came back (it goes on).
    void stopCountdown() { m_timer.stop(); }
    void resumeCountdown();

signals:
    // Entry, confirm or the lock message changed.
    void stateChanged();
    // Both password fields are to be emptied.
    void fieldsCleared();
    // A wrong password that did not lock: the message for the banner.
    void wrongPassword(const QString &text);

private:
    void setEntryEnabled(bool enabled);
    void setConfirmEnabled(bool enabled);
    void setErrorText(const QString &text);
    void startLockTimer();
    qint64 now() const;

    QVRemoteBrowser &m_browser;
    QVEncryptLockout m_lockout;
    QTimer m_timer;
    bool m_entryEnabled = false;
    bool m_confirmEnabled = false;
    QString m_errorText;
};

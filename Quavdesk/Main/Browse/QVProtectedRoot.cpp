#include "Main/Browse/QVProtectedRoot.h"

#include "AFNetwork/QVFileShareApi.h"
#include "AFNetwork/QVHttpError.h"
#include "Main/Browse/QVRemoteBrowser.h"

#include <QCoreApplication>
#include <QPointer>

namespace {

QString lockText(qint64 remainingSeconds)
{
    return QCoreApplication::translate("Localizable", "downLoadFile_encrypt_lock_time")
        .arg(QVEncryptLockout::getTimeString(remainingSeconds));
}

} // namespace

QVProtectedRoot::QVProtectedRoot(QVRemoteBrowser &browser)
    : QObject(&browser), m_browser(browser), m_lockout(browser.services().store)
{
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &QVProtectedRoot::refreshErrorLabel);
}

qint64 QVProtectedRoot::now() const
{
    const auto &clock = m_browser.services().wallSeconds;
    return clock ? clock() : 0;
}

void QVProtectedRoot::setEntryEnabled(bool enabled)
{
    if (m_entryEnabled == enabled)
        return;
    m_entryEnabled = enabled;
    emit stateChanged();
}

void QVProtectedRoot::setConfirmEnabled(bool enabled)
{
    if (m_confirmEnabled == enabled)
        return;
    m_confirmEnabled = enabled;
    emit stateChanged();
}

void QVProtectedRoot::setErrorText(const QString &text)
{
    if (m_errorText == text)
        return;
    m_errorText = text;
    emit stateChanged();
}

void QVProtectedRoot::enter()
{
    emit fieldsCleared();
    setConfirmEnabled(false);
    m_browser.clearListing();
    m_browser.newGeneration();
    const QString remembered = m_browser.currentRootMenuModel().encryptPwd;
    if (!remembered.isEmpty()) {
        checkEncryptPwd(remembered);
        return;
    }
    const bool locked = checkPwdFaildTimesWithStatus(false);
    setEntryEnabled(!locked);
    checkGlimraStatus();
}

QString QVProtectedRoot::passwordEdited(const QString &text)
{
    const QString digits = QVEncryptLockout::passwordDigits(text);
    setConfirmEnabled(digits.size() == QVEncryptLockout::PasswordDigits);
    return digits;
}

void QVProtectedRoot::checkGlimraStatus()
{
    using Panel = QVRemoteBrowser::Panel;
    if (!m_browser.networkReachable()) {
        m_browser.showOnlyPanel(Panel::NetworkError);
        return;
    }
    m_browser.setPanelShown(Panel::NetworkError, false);
    m_browser.setLoading(true);
    const quint64 generation = m_browser.generation();
    auto request = std::make_shared<QVGetCheckStatusApi>(m_browser.fileShareIp());
    m_browser.track(request);
    QPointer<QVRemoteBrowser> browser(&m_browser);
    request->startGlimraHubRequestWithSuccess(
        [browser, generation](const QVHttpTask &, const QVHttpBaseResponse &response) {
            if (!browser || generation != browser->generation())
                return;
            browser->setLoading(false);
            browser->setPanelShown(Panel::Lock, false);
            browser->setPanelShown(Panel::NoData, false);
            if (response.code == QVFileShare::Success) {
                const bool enabled =
                    QVJsonValue::boolValue(QVJsonValue::member(response.content, QStringLiteral("enableShareFile")));
                browser->setPanelShown(Panel::Encrypt, enabled);
                browser->setPanelShown(Panel::AllowTransfer, !enabled);
            } else {
                browser->setPanelShown(Panel::Encrypt, true);
                browser->setPanelShown(Panel::AllowTransfer, false);
            }
        },
        [browser, generation](const QVHttpTask &, const TavlinError &error) {
            if (!browser || generation != browser->generation())
                return;
            browser->setLoading(false);
            if (QVHttpError::isTimeout(error))
                browser->showOnlyPanel(Panel::NetworkError);
        });
}

void QVProtectedRoot::checkEncryptPwd(const QString &pwd)
{
    using Panel = QVRemoteBrowser::Panel;
    if (!m_browser.networkReachable()) {
        m_browser.showOnlyPanel(Panel::NetworkError);
        return;
    }
    m_browser.setLoading(true);
    const quint64 generation = m_browser.newGeneration();
    const QString rootKey = m_browser.currentRootMenuModel().rootKey;
    auto request = std::make_shared<QVGetCheckEncryptPwdApi>(m_browser.fileShareIp(), pwd, rootKey);
    m_browser.track(request);
    QPointer<QVProtectedRoot> self(this);
    request->startGlimraHubRequestWithSuccess(
        [self, generation, pwd, rootKey](const QVHttpTask &, const QVHttpBaseResponse &response) {
            if (!self || generation != self->m_browser.generation()
                || rootKey != self->m_browser.currentRootMenuModel().rootKey)
                return;
            QVRemoteBrowser &browser = self->m_browser;
            emit self->fieldsCleared();
            self->setConfirmEnabled(false);
            browser.setLoading(false);
            const QString address = browser.fileShareIp();
            switch (response.code) {
            case QVFileShare::Success:
                browser.setPanelShown(Panel::Lock, false);
                browser.setPanelShown(Panel::AllowTransfer, false);
                if (QVJsonValue::boolValue(QVJsonValue::member(response.content, QStringLiteral("checkRes")))) {
                    browser.setPanelShown(Panel::Encrypt, false);
                    browser.setCurrentRootPassword(pwd);
                    self->m_lockout.savePassWord(address, rootKey, pwd);
                    browser.listRoot();
                    return;
                }
                browser.setPanelShown(Panel::Encrypt, true);
                if (!browser.currentRootMenuModel().encryptPwd.isEmpty()) {
                    // A remembered password the device no longer takes is
                    // forgotten; it was never typed, so it counts nothing.
                    self->setEntryEnabled(true);
                    self->m_lockout.savePassWord(address, rootKey, QStringLiteral(""));
                    browser.setCurrentRootPassword(QStringLiteral(""));
                } else {
                    self->checkPwdFaildTimesWithStatus(true);
                }
                return;
            case QVFileShare::Locked:
                browser.setPanelShown(Panel::Encrypt, false);
                browser.setPanelShown(Panel::Lock, true);
                browser.setPanelShown(Panel::AllowTransfer, false);
                return;
            case QVFileShare::Refused:
                browser.setPanelShown(Panel::Encrypt, false);
                browser.setPanelShown(Panel::Lock, false);
                browser.setPanelShown(Panel::AllowTransfer, true);
                return;
            default:
                self->checkPwdFaildTimesWithStatus(true);
                browser.setPanelShown(Panel::Encrypt, true);
                browser.setPanelShown(Panel::Lock, false);
                browser.setPanelShown(Panel::AllowTransfer, false);
                return;
            }
        },
        [self, generation](const QVHttpTask &, const TavlinError &error) {
            if (!self || generation != self->m_browser.generation())
                return;
            self->m_browser.setLoading(false);
            if (QVHttpError::isTimeout(error))
                self->m_browser.showOnlyPanel(Panel::NetworkError);
        });
}

bool QVProtectedRoot::checkPwdFaildTimesWithStatus(bool failed)
{
    const QVEncryptLockout::Verdict verdict = m_lockout.checkPwdFaildTimes(
        m_browser.fileShareIp(), m_browser.currentRootMenuModel().rootKey, failed, now());
    if (verdict.triesLeft) {
        emit wrongPassword(QCoreApplication::translate("Localizable", "downLoadFile_encrypt_password_faild_times")
                               .arg(*verdict.triesLeft));
    }
    if (!verdict.locked) {
        setErrorText(QString());
        return false;
    }
    setErrorText(lockText(verdict.remainingSeconds));
    startLockTimer();
    setEntryEnabled(false);
    return true;
}

void QVProtectedRoot::startLockTimer()
{
    if (!m_timer.isActive())
        m_timer.start(m_browser.services().countdownMs);
}

void QVProtectedRoot::refreshErrorLabel()
{
    const QString address = m_browser.fileShareIp();
    const QVEncryptLockout::LockState state = m_lockout.lockState(address, now());
    if (state.locked) {
        setErrorText(lockText(state.remainingSeconds));
        return;
    }
    // Only the lock that ran out is cleared: a record another window has
    // changed since (no lock any more, a password remembered) stays.
    if (state.expired)
        m_lockout.endLock(address, m_browser.currentRootMenuModel().rootKey);
    setErrorText(QString());
    setEntryEnabled(true);
    m_timer.stop();
}

void QVProtectedRoot::resumeCountdown()
{
    if (m_errorText.isEmpty() || m_timer.isActive())
        return;
    m_timer.start(m_browser.services().countdownMs);
    refreshErrorLabel();
}

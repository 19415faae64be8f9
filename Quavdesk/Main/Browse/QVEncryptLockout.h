#pragma once

#include <QJsonObject>
#include <QString>

#include <memory>
#include <optional>

#include "Platform/KeyValueStore.h"

// The client's own lock-out of a device's protected folders: wrong
// passwords are counted per file-share address, three inside 12 hours lock
// every protected folder of that address for 12 hours from the third, and
// the last password the device accepted is remembered for the folder it
// opened. One record per address under one settings key, kept as JSON text.
//
// Times are whole seconds since 1970. A time in the future (the wall clock
// was set back) counts as now and is written back as now, so no lock lasts
// longer than its 12 hours of the client's time.
class QVEncryptLockout
{
public:
    static inline const QString StoreKey = QStringLiteral("DownLoadFile_Encrypt_PwdTimes");
    static constexpr int MaxFailures = 3;
    static constexpr qint64 WindowSeconds = 43200;
    static constexpr qsizetype PasswordDigits = 6;

    // What a check decided, for the panel.
    struct Verdict {
        // The panel is locked now.
        bool locked = false;
        // A wrong password that did not lock: the tries left for the banner.
        std::optional<int> triesLeft;
        // While locked: the seconds the lock still holds, for the label.
        qint64 remainingSeconds = 0;
    };

    // The lock of an address as its record holds it now.
    struct LockState {
        bool hasRecord = false;
        bool locked = false;
        // The record holds a lock that is over.
        bool expired = false;
        // While locked: the seconds the lock still holds.
        qint64 remainingSeconds = 0;
    };

    explicit QVEncryptLockout(std::shared_ptr<Platform::KeyValueStore> store);

    // The lock at `now`, read from the stored record (a lock time in the
    // future is written back as now).
    LockState lockState(const QString &address, qint64 now);

    // Records a failure when `failed`, and tells whether the address is
    // locked. Nothing is stored for an address without a record when
    // nothing failed; nothing is counted while a lock holds.
    Verdict checkPwdFaildTimes(const QString &address, const QString &rootKey, bool failed, qint64 now);
    // The lock is over: the address's record starts afresh (rootKey
    // current). False, storing nothing, when the address has no record.
    bool endLock(const QString &address, const QString &rootKey);
    // Remembers an accepted password (empty forgets it) for the root and
    // clears the failures.
    void savePassWord(const QString &address, const QString &rootKey, const QString &password);
    // The remembered password when it was accepted for this root; "" else.
    QString getPassWord(const QString &address, const QString &rootKey) const;

    // The record of an address, as stored; empty when none.
    QJsonObject record(const QString &address) const;

    // The remaining lock time as the label shows it: whole hours from one
    // hour on (rounded up past 59 s), else whole minutes rounded up.
    static QString getTimeString(qint64 seconds);
    // What a password field keeps of a typed text: its ASCII digits, at
    // most six.
    static QString passwordDigits(const QString &text);

private:
    // The record of an address with a lock time in the future moved to now
    // (and stored so); empty when the address has none.
    QJsonObject recordAt(const QString &address, qint64 now);
    static LockState lockStateOf(const QJsonObject &record, qint64 now);
    QJsonObject allRecords() const;
    void writeRecord(const QString &address, const QJsonObject &record);

    std::shared_ptr<Platform::KeyValueStore> m_store;
};

#include "Main/Browse/QVEncryptLockout.h"

#include "AFNetwork/QVHttpBaseResponse.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

const QString IsLock = QStringLiteral("isLock");
const QString LockTimestamp = QStringLiteral("lockTimestamp");
const QString PassWord = QStringLiteral("passWord");
const QString FaildPwdTimes = QStringLiteral("faildPwdTimes");
const QString RootKey = QStringLiteral("rootKey");

QJsonObject freshRecord(const QString &rootKey)
{
    return QJsonObject{{IsLock, false},
                       {LockTimestamp, 0},
                       {PassWord, QStringLiteral("")},
                       {FaildPwdTimes, QJsonArray()},
                       {RootKey, rootKey}};
}

qint64 integerMember(const QJsonObject &record, const QString &key)
{
    return QVJsonValue::integerValue(record.value(key)).value_or(0);
}

QString textMember(const QJsonObject &record, const QString &key)
{
    const QJsonValue value = record.value(key);
    return value.isString() ? value.toString() : QString();
}

} // namespace

QVEncryptLockout::QVEncryptLockout(std::shared_ptr<Platform::KeyValueStore> store) : m_store(std::move(store)) {}

QJsonObject QVEncryptLockout::allRecords() const
{
    if (!m_store)
        return {};
    const QVariant stored = m_store->value(StoreKey);
    if (stored.typeId() != QMetaType::QString && stored.typeId() != QMetaType::QByteArray)
        return {};
    const QJsonDocument document = QJsonDocument::fromJson(stored.toString().toUtf8());
    return document.isObject() ? document.object() : QJsonObject();
}

QJsonObject QVEncryptLockout::record(const QString &address) const
{
    const QJsonValue value = allRecords().value(address);
    return value.isObject() ? value.toObject() : QJsonObject();
}

void QVEncryptLockout::writeRecord(const QString &address, const QJsonObject &record)
{
    if (!m_store)
        return;
    QJsonObject all = allRecords();
    all.insert(address, record);
    m_store->setValue(StoreKey, QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Compact)));
}

QJsonObject QVEncryptLockout::recordAt(const QString &address, qint64 now)
{
    QJsonObject stored = record(address);
    if (!stored.isEmpty() && integerMember(stored, LockTimestamp) > now) {
        stored.insert(LockTimestamp, now);
        writeRecord(address, stored);
    }
    return stored;
}

QVEncryptLockout::LockState QVEncryptLockout::lockStateOf(const QJsonObject &record, qint64 now)
{
    LockState state;
    state.hasRecord = !record.isEmpty();
    if (!QVJsonValue::boolValue(record.value(IsLock)))
        return state;
    const qint64 age = now - integerMember(record, LockTimestamp);
    state.locked = age <= WindowSeconds;
    state.expired = !state.locked;
    state.remainingSeconds = state.locked ? WindowSeconds - age : 0;
    return state;
}

QVEncryptLockout::LockState QVEncryptLockout::lockState(const QString &address, qint64 now)
{
    return lockStateOf(recordAt(address, now), now);
}

QVEncryptLockout::Verdict QVEncryptLockout::checkPwdFaildTimes(const QString &address, const QString &rootKey,
                                                               bool failed, qint64 now)
{
    Verdict verdict;
    QJsonObject record = recordAt(address, now);
    if (record.isEmpty()) {
        if (!failed)
            return verdict;
        record = freshRecord(rootKey);
        record.insert(FaildPwdTimes, QJsonArray{QString::number(now)});
        writeRecord(address, record);
        verdict.triesLeft = MaxFailures - 1;
        return verdict;
    }

    const LockState lock = lockStateOf(record, now);
    if (lock.locked) {
        verdict.locked = true;
        verdict.remainingSeconds = lock.remainingSeconds;
        return verdict;
    }

    QJsonArray kept;
    for (const QJsonValue &value : record.value(FaildPwdTimes).toArray()) {
        const std::optional<qint64> time = QVJsonValue::integerValue(value);
        if (!time)
            continue;
        const qint64 at = std::min(*time, now);
        if (now - at <= WindowSeconds)
            kept.append(QString::number(at));
    }
    if (failed)
        kept.append(QString::number(now));

    if (kept.size() < MaxFailures || !failed) {
        record.insert(IsLock, false);
        record.insert(LockTimestamp, 0);
        if (failed)
            verdict.triesLeft = static_cast<int>(MaxFailures - kept.size());
    } else {
        record.insert(IsLock, true);
        record.insert(LockTimestamp, now);
        verdict.locked = true;
        verdict.remainingSeconds = WindowSeconds - 1;
    }
    record.insert(FaildPwdTimes, kept);
    // A failure on one root must not hand another root's remembered
    // password over to it.
    const QString storedRoot = textMember(record, RootKey);
    if (textMember(record, PassWord).isEmpty() || storedRoot == rootKey)
        record.insert(RootKey, rootKey);
    writeRecord(address, record);
    return verdict;
}

bool QVEncryptLockout::endLock(const QString &address, const QString &rootKey)
{
    if (!allRecords().value(address).isObject())
        return false;
    writeRecord(address, freshRecord(rootKey));
    return true;
}

void QVEncryptLockout::savePassWord(const QString &address, const QString &rootKey, const QString &password)
{
    QJsonObject record = freshRecord(rootKey);
    record.insert(PassWord, password);
    writeRecord(address, record);
}

QString QVEncryptLockout::getPassWord(const QString &address, const QString &rootKey) const
{
    const QJsonObject stored = record(address);
    if (stored.isEmpty() || textMember(stored, RootKey) != rootKey)
        return QStringLiteral("");
    return textMember(stored, PassWord);
}

QString QVEncryptLockout::getTimeString(qint64 s)
{
    const QString hour = QCoreApplication::translate("Localizable", "base_string_time_hour");
    if (s >= 3600 || s <= -3600) {
        const qint64 h = s / 3600;
        const qint64 r = s - 3600 * h;
        return QString::number(r < 60 ? h : h + 1) + hour;
    }
    qint64 m = s / 60;
    if (s - 60 * m > 0)
        ++m;
    if (m == 60)
        return QStringLiteral("1") + hour;
    return QString::number(m) + QCoreApplication::translate("Localizable", "base_string_time_minute");
}

QString QVEncryptLockout::passwordDigits(const QString &text)
{
    QString digits;
    for (const QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            digits.append(c);
            if (digits.size() == PasswordDigits)
                break;
        }
    }
    return digits;
}

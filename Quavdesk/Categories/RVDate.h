#pragma once

#include <QDateTime>
#include <QString>

// `date` formatted with the TR35 pattern `format` ("yyyy-MM-dd HH:mm:ss SSS"
// for the log line), in the current locale (its digits and calendar) and the
// default time zone. Fractional-second fields truncate. An invalid date or an
// unusable pattern gives a null text.
//
// The current locale and zone are the process's ICU defaults, which follow the
// user's environment (LANG, LC_ALL, TZ) unless the program sets them.
QString rv_stringWithFormat(const QDateTime &date, const QString &format);

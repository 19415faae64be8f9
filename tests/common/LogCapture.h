#pragma once

#include <QString>
#include <QStringList>

namespace TestSupport {

// Collects the log lines of every thread while alive (one at a time).
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines() const;
    // Lines equal to `line`.
    int count(const QString &line) const;
    // Lines that contain `text`.
    int countContaining(const QString &text) const;
};

} // namespace TestSupport

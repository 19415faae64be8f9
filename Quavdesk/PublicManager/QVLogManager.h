#pragma once

#include <QDateTime>
#include <QString>

#include <chrono>
#include <functional>

// One logged event as the file formatter sees it.
struct QVLogMessage {
    QDateTime timestamp;
    int flag = 0;
    int context = 0;
    QString message;
};

// The log file's line: "<time stamp> | <level word> | <message>".
class QVCustomerLogFormat
{
public:
    static constexpr const char *TimestampFormat = "yyyy-MM-dd HH:mm:ss SSS";

    QString formatLogMessage(const QVLogMessage &logMessage) const;

    // "ERROR", "WARN", "INFO", "DEBUG" for the four level flags, "VIEW" for
    // any other.
    static QString levelWord(int flag);
};

// How the log is set up. The production values are the defaults.
struct QVLogOptions {
    // Folder of the log file; empty means "Logs" in the user's data folder
    // of the program (XDG data home).
    QString folder;
    // The file is replaced by a new one when it is this old...
    std::chrono::seconds rollingFrequency{604800};
    // ...or this large (0: no size limit).
    qint64 maximumFileSize = 1024 * 1024;
    // Files kept, the current one included.
    int maximumNumberOfLogFiles = 1;
    // Wall clock for the time stamps and the file's age.
    std::function<QDateTime()> clock;
    bool console = true;
    // Lines are written by a background thread, so logging never waits for
    // the disk.
    bool asynchronous = true;
};

class QVLogManager
{
public:
    // Console and file logging for the whole process. A second call replaces
    // the first set-up.
    void creatLogFile();
    void creatLogFile(const QVLogOptions &options);

    static QString defaultLogFolder();
};

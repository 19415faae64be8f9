#pragma once

// Shared pieces of the HTTP tests: a private settings store, a log capture,
// and a recorder of how a request ended.

#include <QMutex>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

#include "QVHttpBaseRequest.h"
#include "TestSupport.h"

namespace HttpTest {

// Points the settings at a folder of the test's own, empty for each test.
class SettingsScope {
public:
    SettingsScope()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
        QSettings().clear();
    }
    ~SettingsScope() { QSettings().clear(); }

private:
    QTemporaryDir m_dir;
};

// Collects the Qt log lines written while it exists.
class LogCapture {
public:
    struct Line {
        QtMsgType type;
        QString category;
        QString text;
    };

    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QList<Line> lines() const;
    int countContaining(const QString &part, std::optional<QtMsgType> type = std::nullopt) const;
    QString all() const;

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message);
    QtMessageHandler m_previous = nullptr;
    mutable QMutex m_mutex;
    QList<Line> m_lines;
};

// Collects what the program writes to its log file while it exists (the
// log is set up in a folder of its own, without console, written at once).
class ProgramLogCapture {
public:
    struct Entry {
        // "ERROR", "WARN", "INFO", "DEBUG" or "VIEW".
        QString level;
        QString message;
    };

    ProgramLogCapture();
    ~ProgramLogCapture();
    ProgramLogCapture(const ProgramLogCapture &) = delete;
    ProgramLogCapture &operator=(const ProgramLogCapture &) = delete;

    QList<Entry> entries() const;
    int countContaining(const QString &part, const QString &level = {}) const;
    // Every file's text as written.
    QString all() const;

private:
    QTemporaryDir m_dir;
};

// How one start of a request ended.
struct Outcome {
    int successes = 0;
    int failures = 0;
    QVHttpTask task;
    QVHttpBaseResponse response;
    TavlinError error;

    int ends() const { return successes + failures; }
};

enum class Road { WebService, FileShare };

// Starts `request` on `road`; the outcome fills in as blocks run.
std::shared_ptr<Outcome> start(const std::shared_ptr<QVHttpBaseRequest> &request, Road road);

// Waits until the request ended (and a little more, to catch a second block).
bool waitForEnd(const std::shared_ptr<Outcome> &outcome, int timeoutMs = 10000);

// A loopback web-service or API address of no server: connections to it are
// refused.
QString refusedBaseUrl();

} // namespace HttpTest

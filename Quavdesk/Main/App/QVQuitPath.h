#pragma once

#include <QObject>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class QSocketNotifier;

// How long quitting may take, in milliseconds.
struct QVQuitTimings {
    // From the request to the end of the process. Ending a cast gives the
    // sound back to the user's output first; should that hang, the process
    // still ends, with status 0.
    int boundMs = 2000;
};

// The program's one way out, taken by the menu's Quit, a forced exit and
// SIGTERM (or SIGINT): it ends what must not outlive the program (a running
// cast, whose end restores the sound output, and the session with the
// receiver), flushes the log and leaves the event loop with status 0.
class QVQuitPath : public QObject
{
    Q_OBJECT
public:
    using Step = std::function<void()>;

    explicit QVQuitPath(QObject *parent = nullptr);
    // Waits for nothing more once the process is ending; the bound no
    // longer runs.
    ~QVQuitPath() override;

    // The program's quit path while it exists; pages that end the program
    // ask it.
    static QVQuitPath *current();
    // current()'s request, or a plain exit with status 0 without one.
    static void quitApplication();

    // What is ended before the exit.
    void setStopWork(Step stopWork) { m_stopWork = std::move(stopWork); }
    // Leaves the event loop (production: QCoreApplication::exit).
    void setExit(std::function<void(int)> exit) { m_exit = std::move(exit); }
    // Runs on a thread of its own when the bound passes before the process
    // ended (production: the process ends at once with status 0).
    void setBoundPassed(Step boundPassed) { m_boundPassed = std::move(boundPassed); }
    void setTimings(const QVQuitTimings &timings) { m_timings = timings; }

    // SIGTERM and SIGINT take the quit path from the event loop. False when
    // the handlers cannot be set (another quit path has them).
    bool installSignalHandlers();
    void removeSignalHandlers();

    // Idempotent; the work runs at once, on the caller's (the main) thread.
    void requestQuit();
    bool isQuitting() const { return m_quitting; }

signals:
    void quitRequested();

private:
    void startBound();
    void signalReceived();

    Step m_stopWork;
    std::function<void(int)> m_exit;
    Step m_boundPassed;
    QVQuitTimings m_timings;
    bool m_quitting = false;

    QSocketNotifier *m_signalNotifier = nullptr;

    std::mutex m_boundMutex;
    std::condition_variable m_boundWake;
    bool m_ended = false;
    std::thread m_bound;
};

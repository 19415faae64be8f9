#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

// The network check of a transfer page after a request got no answer: a
// short while later it asks the connection probe whether the file-share
// server still takes connections. YES means the server, not the network,
// failed the request; NO means the network is gone.
//
// One check at a time; a new check or cancel() drops the verdict of the one
// before, so a page that moved on is never told about an old question.
class QVTransferNetworkCheck : public QObject
{
    Q_OBJECT
public:
    using Verdict = std::function<void(bool reachable)>;
    // Starts a probe of the given type; calls back once with its answer.
    using Probe = std::function<void(qint64 type, Verdict verdict)>;

    QVTransferNetworkCheck(qint64 probeType, Probe probe, std::chrono::milliseconds delay, QObject *parent = nullptr);

    // After the delay, probes and hands the answer to `verdict`.
    void check(Verdict verdict);
    // Probes at once (the reconnect button).
    void probeNow(Verdict verdict);
    void cancel();
    bool isPending() const { return m_pending; }

private:
    void runProbe(quint64 generation);

    qint64 m_probeType;
    Probe m_probe;
    QTimer m_delay;
    Verdict m_verdict;
    quint64 m_generation = 0;
    bool m_pending = false;
};

#include "QVTransferNetworkCheck.h"

#include <QPointer>

QVTransferNetworkCheck::QVTransferNetworkCheck(qint64 probeType, Probe probe, std::chrono::milliseconds delay,
                                               QObject *parent)
    : QObject(parent), m_probeType(probeType), m_probe(std::move(probe))
{
    m_delay.setSingleShot(true);
    m_delay.setInterval(delay);
    connect(&m_delay, &QTimer::timeout, this, [this] { runProbe(m_generation); });
}

void QVTransferNetworkCheck::check(Verdict verdict)
{
    cancel();
    m_verdict = std::move(verdict);
    m_pending = true;
    m_delay.start();
}

void QVTransferNetworkCheck::probeNow(Verdict verdict)
{
    cancel();
    m_verdict = std::move(verdict);
    m_pending = true;
    runProbe(m_generation);
}

void QVTransferNetworkCheck::cancel()
{
    ++m_generation;
    m_delay.stop();
    m_verdict = nullptr;
    m_pending = false;
}

void QVTransferNetworkCheck::runProbe(quint64 generation)
{
    if (!m_probe) {
        cancel();
        return;
    }
    QPointer<QVTransferNetworkCheck> self(this);
    m_probe(m_probeType, [self, generation](bool reachable) {
        if (!self || self->m_generation != generation || !self->m_pending)
            return;
        Verdict verdict = std::move(self->m_verdict);
        self->m_verdict = nullptr;
        self->m_pending = false;
        if (verdict)
            verdict(reachable);
    });
}

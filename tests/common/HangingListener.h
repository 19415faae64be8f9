#pragma once

#include <QHostAddress>
#include <QList>

namespace TestSupport {

// A listening socket that never accepts. Connections complete in its backlog
// and their bytes pile up in the kernel until its buffers are full. Once
// fill() ran its backlog is full, so a further connect hangs (its SYN is
// dropped): a connect that never completes, on loop-back.
class HangingListener {
public:
    explicit HangingListener(const QHostAddress &address);
    ~HangingListener();
    HangingListener(const HangingListener &) = delete;
    HangingListener &operator=(const HangingListener &) = delete;

    // 0 when the socket could not listen.
    quint16 port() const { return m_port; }
    // Connects until a connect no longer completes; true once one hangs.
    bool fill();
    // Takes every waiting connection off the backlog, so a retried connect
    // gets in.
    void drain();

private:
    QHostAddress m_address;
    int m_fd = -1;
    quint16 m_port = 0;
    QList<int> m_fillers;
};

} // namespace TestSupport

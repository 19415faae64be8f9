#pragma once

// The receiver's side of search: answers every probe (50 bytes, 12 leading
// zero bytes) with its profile as "X:<name>:<port>:0:<unregistered>:<feature
// bits hex>:<fps hex>", sent from the emulator's own address to the probe's
// source. Anything else on the port is counted and ignored.

#include <QByteArray>
#include <QHostAddress>
#include <QMutex>
#include <atomic>

#include "ReceiverEmulator.h"

class QUdpSocket;

class SearchResponder : public ReceiverComponent {
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 48689;

    // Listens on `port` of `listenAddress` (the emulator's own address when
    // null; e.g. 255.255.255.255 to hear real broadcasts inside a private
    // network namespace). Port 0 picks a free port: see port().
    explicit SearchResponder(ReceiverEmulator &emulator, quint16 port = kDefaultPort,
                             const QHostAddress &listenAddress = QHostAddress());
    ~SearchResponder() override;

    QString componentName() const override { return QStringLiteral("search"); }
    bool start(QString *error) override;
    void stop() override;

    // The port it listens on, once started.
    quint16 port() const { return m_boundPort.load(); }

    // A silent receiver still counts probes but answers none.
    void setSilent(bool silent) { m_silent.store(silent); }
    bool isSilent() const { return m_silent.load(); }

    int probeCount() const { return m_probes.load(); }
    int replyCount() const { return m_replies.load(); }
    int ignoredCount() const { return m_ignored.load(); }
    QByteArray lastProbe() const;
    QHostAddress lastProbeSource() const;
    quint16 lastProbeSourcePort() const;

    static bool isProbe(const QByteArray &datagram);
    static QByteArray replyText(const ReceiverProfile &profile);

signals:
    void probeReceived(const QHostAddress &source, quint16 sourcePort);

private:
    void readDatagrams();

    quint16 m_port;
    QHostAddress m_listenAddress;
    QUdpSocket *m_listen = nullptr;
    QUdpSocket *m_reply = nullptr;   // only when not listening on the own address
    std::atomic<quint16> m_boundPort{0};
    std::atomic<bool> m_silent{false};
    std::atomic<int> m_probes{0};
    std::atomic<int> m_replies{0};
    std::atomic<int> m_ignored{0};
    mutable QMutex m_mutex;
    QByteArray m_lastProbe;
    QHostAddress m_lastProbeSource;
    quint16 m_lastProbeSourcePort = 0;
};

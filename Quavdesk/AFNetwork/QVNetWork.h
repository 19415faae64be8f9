#pragma once

#include <QObject>

#include <atomic>
#include <memory>

#include "Platform/NetworkInterfaceWatch.h"

// The program's reachability flag, fed by the platform's own watch of the
// network interfaces. The web-service requests are not sent while it says
// there is no network; the file-exchange pages read it before they list a
// folder.
//
// Receivers live on the local network, often one without a gateway (a
// meeting room's LAN): an IPv4 address on an interface that is up, the
// loop-back aside, counts as a network. The flag is YES from creation until
// the watch says otherwise, follows every change the watch reports as it
// happens, and stays YES without a watch.
class QVNetWork : public QObject {
    Q_OBJECT
public:
    // The process's instance over the program's platform services, made on
    // first use; it starts monitoring.
    static QVNetWork *shareNetWork();

    explicit QVNetWork(std::shared_ptr<Platform::NetworkInterfaceWatch> watch, QObject *parent = nullptr);

    bool isConnect() const { return m_isConnect.load(); }
    // Sets the verdict; observers hear of every change.
    void setIsConnect(bool connected);

    // Sets the flag to YES, starts the watch (when there is one), follows
    // its reports and takes its present reading. Called by the constructor.
    void openNetMonitoring();

    // Whether a watch feeds the flag.
    bool hasBackend() const { return m_watch != nullptr; }

    // The verdict for the interfaces as they stand.
    static bool verdictFor(const QList<Platform::NetworkInterface> &interfaces);

signals:
    void isConnectChanged(bool connected);

private:
    void takeReading();

    std::shared_ptr<Platform::NetworkInterfaceWatch> m_watch;
    bool m_following = false;
    std::atomic<bool> m_isConnect{true};
};

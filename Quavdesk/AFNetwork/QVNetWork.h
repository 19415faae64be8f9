#pragma once

#include <QNetworkInformation>
#include <QObject>
#include <atomic>
#include <optional>

// The program's reachability flag, fed by the system's network information.
// The web-service requests are not sent while it says there is no network;
// the file-exchange pages read it before they list a folder.
//
// The flag is YES from creation until a report says otherwise, and stays YES
// when the system offers no network-information backend. A local network
// without internet counts as reachable: receivers live on such networks.
class QVNetWork : public QObject {
    Q_OBJECT
public:
    // Which backend to watch: any that reports reachability, or none.
    enum class Backend { Any, None };

    // The process's instance, made on first use; it starts monitoring.
    static QVNetWork *shareNetWork();

    explicit QVNetWork(Backend backend = Backend::Any, QObject *parent = nullptr);

    bool isConnect() const { return m_isConnect.load(); }
    // Sets the verdict; observers hear of every change.
    void setIsConnect(bool connected);

    // Loads the backend (when there is one to load), follows its reports and
    // sets the flag to YES. Called by the constructor.
    void openNetMonitoring();

    // Whether monitoring runs on a backend.
    bool hasBackend() const { return m_hasBackend; }

    // The verdict for one report of the system: YES for a local, site or
    // internet connection, NO for none, no change for an unknown state.
    static std::optional<bool> verdictFor(QNetworkInformation::Reachability reachability);

signals:
    void isConnectChanged(bool connected);

private:
    void apply(QNetworkInformation::Reachability reachability);

    Backend m_backend;
    bool m_hasBackend = false;
    std::atomic<bool> m_isConnect{true};
};

#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <functional>

#include "Device/Device.h"
#include "TavlinServices.h"

class QUdpSocket;

// Receiver search: sends the probe every few seconds and hands every reply,
// as a Device, to the search block. Lives on the thread that creates it.
class DevicesManager : public QObject {
    Q_OBJECT
public:
    using SearchBlock = std::function<void(const Device &)>;

    // The process's search, on the production port and broadcast address,
    // created on first use by the calling thread and kept for the process.
    static DevicesManager &defaultManager();

    // A search of its own over the given endpoints and probe interval.
    explicit DevicesManager(const SearchEndpoints &endpoints,
                            int probeIntervalMs = TavlinTimings{}.searchProbeIntervalMs,
                            QObject *parent = nullptr);
    ~DevicesManager() override;

    // Keeps `block` for every later reply and sends a probe at once, then one
    // per interval.
    void StartSearch(SearchBlock block);
    // No more probes; replies that still arrive are handed on.
    void StopSearch();
    // No probes, and replies are ignored, until ResumeSearch().
    void PauseSearch();
    void ResumeSearch();

    static QByteArray buildSearchDevicesMessage();

    // The local port the socket is bound to (0 when the bind failed and no
    // probe has gone out yet).
    quint16 localPort() const;
    bool isSearching() const { return probeTimer.isActive(); }

private:
    void searchStep();
    void sendProbe();
    void readPendingDatagrams();

    SearchEndpoints endpoints;
    SearchBlock mblock;
    QUdpSocket *udpSocket = nullptr;
    QTimer probeTimer;
    bool req_stop = false;
    bool req_pause = false;
};

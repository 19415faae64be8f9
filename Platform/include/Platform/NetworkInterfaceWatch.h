#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "PlatformExport.h"

namespace Platform {

// One network interface of this machine as it stands.
struct NetworkInterface {
    QString name;
    // Administratively up, with a carrier.
    bool up = false;
    bool loopback = false;
    // Its IPv4 addresses, dotted.
    QStringList ipv4Addresses;

    friend bool operator==(const NetworkInterface &, const NetworkInterface &) = default;
};

// The machine's network interfaces, and a notice whenever a link or an IPv4
// address may have changed (a default route does not matter here).
class PLATFORM_EXPORT NetworkInterfaceWatch : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~NetworkInterfaceWatch() override = default;
    // A fresh reading each call.
    virtual QList<NetworkInterface> interfaces() = 0;
    // Begin watching; changed() may then fire, possibly without a real change.
    virtual void start() = 0;

signals:
    void changed();
};

} // namespace Platform

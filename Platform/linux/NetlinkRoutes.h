#pragma once

#include <QByteArray>
#include <QString>

#include "Platform/NetworkInterfaceWatch.h"

// Reads of the kernel's IPv4 routing and address tables for the current
// network namespace. Internal to the Linux platform implementations.
namespace Platform::Linux::Net {

// Name of the interface the IPv4 default route of the main table leaves by
// (the lowest metric wins; routes over a link without carrier are skipped),
// or empty when there is none or the table cannot be read.
QString defaultRouteInterface();

// The first IPv4 address of an interface that is up, or empty.
QString ipv4AddressOf(const QString &interfaceName);

// The first IPv4 address of an interface that is up and not the loop-back,
// outside 127.0.0.0/8, or empty.
QString firstNonLoopbackIPv4();

// Six bytes of an interface's hardware address, or empty for none or zero.
QByteArray hardwareAddressOf(const QString &interfaceName);

// The hardware address of the first interface that is up, not the loop-back
// and has a non-zero six-byte address, or empty.
QByteArray firstNonLoopbackHardwareAddress();

// Every interface with its state and IPv4 addresses, in the kernel's order.
QList<NetworkInterface> interfaces();

} // namespace Platform::Linux::Net

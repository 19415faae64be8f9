#pragma once

#include <QByteArray>

// MD2 (RFC 1319) of all bytes: 16 bytes. OpenSSL no longer ships it.
QByteArray rvMD2Digest(const QByteArray &data);

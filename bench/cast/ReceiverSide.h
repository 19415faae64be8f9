#pragma once

#include <QHostAddress>
#include <QString>

// The receiver emulator's side of the cast, in a process of its own so that
// its decoding counts neither in the cast's processor time nor in its
// memory: search, handshake with `castingCode`, master control, the control
// session, the video port (which decodes every picture) and remote input on
// `address`.
//
// It talks with the bench over its standard input and output, a line each:
//   out "ready <search port> <handshake port>" once it listens;
//   in  "encoder <width> <height> <fps>": the next keep-alive reply asks for
//       that encoder size and rate; out "asked" once that reply has gone;
//   in  "stats": out "stats <pictures> <decoded> <decode errors> <header
//       errors> <width>x<height>" for the video port so far.
// It ends when its input closes.
int runReceiverSide(const QHostAddress &address, const QString &castingCode);

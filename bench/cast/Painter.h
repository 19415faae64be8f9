#pragma once

#include <QByteArray>
#include <QSize>

// The moving picture the cast captures: a full-screen window on `display`
// showing ffmpeg's testsrc2 at `fps`, plus a small block that moves every few
// milliseconds, so that every capture finds the screen changed however the
// two clocks drift. Runs in a process of its own (its painting is not the
// cast's work) until it is ended or its parent dies. Answers the exit code.
int runPainter(const QByteArray &display, QSize size, int fps);

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include "TavlinExport.h"

// Text that a receiver chose (its name, its extra information, a line it
// sent), made fit for one log line: line breaks, tabs and every other
// control character, the characters that reorder or break lines in a
// viewer, and the backslash itself are shown as escapes ("\n", "\x1b",
// "\u202e", "\\"), so a receiver can neither start a line of its own in our
// log nor hide what it sent. Longer text is cut at `maxCharacters` and ends
// in "...". The library and the program log receiver text only through it.
TAVLIN_EXPORT QString escapedForLog(QStringView text, qsizetype maxCharacters = 256);
// Bytes as received: UTF-8 where they are, each other byte as "\xNN".
TAVLIN_EXPORT QString escapedForLog(const QByteArray &bytes, qsizetype maxCharacters = 256);

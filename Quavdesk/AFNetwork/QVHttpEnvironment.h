#pragma once

#include <QString>
#include <QUrl>
#include <optional>

// What the requests need to know about this installation and its files: the
// values that fill the file-share headers and the feedback body. Kept in one
// place so that the requests ask the program's shared tools through it.
namespace QVHttpEnvironment {

// The per-installation identifier kept under "device_udid", created (an
// upper-case UUID) when absent.
QString deviceUDID();

QString appVersion();
QString appBuild();
// The operating system as a text, e.g. "Debian GNU/Linux 12 (bookworm) 6.1.0".
QString operatingSystemVersion();
// "aa:bb:cc:dd:ee:ff" of the first wired or wireless interface with a
// hardware address, "error" when there is none.
QString macAddress();
// The first of the user's preferred languages, none when there is none.
std::optional<QString> systemLanguage();

// Base64 (no line breaks) of the UTF-8 bytes of a text: remote paths.
QString base64OfText(const QString &text);
// Base64 of the UTF-8 bytes of a local file's last path component.
QString base64OfLocalFileName(const QUrl &fileUrl);

} // namespace QVHttpEnvironment

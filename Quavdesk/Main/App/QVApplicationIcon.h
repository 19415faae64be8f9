#pragma once

#include <QIcon>
#include <QString>

// The program's identity on a Linux desktop: the application id names its
// desktop entry (share/applications/<id>.desktop) and its icon in the hicolor
// theme; Qt hands it to the desktop as the desktop file name.
QString QVApplicationId();

// The program's icon from the icon theme, or the bundled image
// `fallbackImage` (a QVNamedImage name) where no theme has it, as when the
// program runs from its build folder. An installed program finds the theme's
// files beside itself under share/icons, whatever its prefix.
QIcon QVThemedApplicationIcon(const QString &fallbackImage);

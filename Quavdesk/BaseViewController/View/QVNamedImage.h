#pragma once

#include <QPixmap>
#include <QString>

// The program's image called `name`, from its resources: the double-density
// drawing when there is one, else the plain one. A null pixmap when neither
// exists.
QPixmap QVNamedImage(const QString &name);

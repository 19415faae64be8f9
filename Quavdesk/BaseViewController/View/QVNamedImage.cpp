#include "BaseViewController/View/QVNamedImage.h"

#include <QFile>

QPixmap QVNamedImage(const QString &name)
{
    const QString base = QStringLiteral(":/images/") + name;
    const QString doubleDensity = base + QStringLiteral("@2x.png");
    if (QFile::exists(doubleDensity)) {
        QPixmap image(doubleDensity);
        image.setDevicePixelRatio(2.0);
        return image;
    }
    return QPixmap(base + QStringLiteral(".png"));
}

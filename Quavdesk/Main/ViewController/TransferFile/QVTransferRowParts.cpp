#include "Main/ViewController/TransferFile/QVTransferRowParts.h"

#include <QCoreApplication>

namespace QVTransferRowParts {

QString localizable(const char *key)
{
    return QCoreApplication::translate("Localizable", key);
}

QString plainToolTip(const QString &text)
{
    if (text.isEmpty())
        return QString();
    return QStringLiteral("<qt>") + text.toHtmlEscaped() + QStringLiteral("</qt>");
}

} // namespace QVTransferRowParts

#pragma once

#include <QString>

// What the download and upload rows share besides their delegate.
namespace QVTransferRowParts {

QString localizable(const char *key);
// A tip that shows `text` as it is: a name that looks like markup is not
// rendered as markup.
QString plainToolTip(const QString &text);

} // namespace QVTransferRowParts

#include "Categories/RVString.h"

QString rv_stringByTrim(const QString &string)
{
    // QChar::isSpace is exactly the white-space-and-line-break set.
    return string.trimmed();
}

bool rv_isEmpty(const QString &string)
{
    for (const QChar c : string) {
        if (!c.isSpace())
            return false;
    }
    return true;
}

bool rv_isEmpty(const QVariant &object)
{
    if (object.metaType().id() != QMetaType::QString)
        return true;
    return rv_isEmpty(object.toString());
}

bool rv_isEmpty(const char *string)
{
    return string == nullptr || rv_isEmpty(QString::fromUtf8(string));
}

#include "Categories/RVJson_p.h"

#include "Categories/RVNumberValue_p.h"

#include <QJsonDocument>
#include <QVariantList>
#include <QVariantMap>

#include <cmath>

namespace {

constexpr int kMaxDepth = 512;

bool isJsonGraph(const QVariant &value, int depth)
{
    if (depth > kMaxDepth)
        return false;
    switch (value.typeId()) {
    case QMetaType::QString:
    case QMetaType::Nullptr:
        return true;
    case QMetaType::Float:
    case QMetaType::Double:
        return std::isfinite(value.toDouble());
    case QMetaType::QStringList:
        return true;
    case QMetaType::QVariantList: {
        const QVariantList list = value.toList();
        for (const QVariant &item : list) {
            if (!isJsonGraph(item, depth + 1))
                return false;
        }
        return true;
    }
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
            if (!isJsonGraph(it.value(), depth + 1))
                return false;
        }
        return true;
    }
    case QMetaType::QVariantHash: {
        const QVariantHash hash = value.toHash();
        for (auto it = hash.constBegin(); it != hash.constEnd(); ++it) {
            if (!isJsonGraph(it.value(), depth + 1))
                return false;
        }
        return true;
    }
    default:
        return rvIsNumber(value);
    }
}

} // namespace

std::optional<QString> rvJsonText(const QVariant &root, bool pretty)
{
    const int type = root.typeId();
    const bool container = type == QMetaType::QVariantList || type == QMetaType::QStringList
        || type == QMetaType::QVariantMap || type == QMetaType::QVariantHash;
    if (!container || !isJsonGraph(root, 0))
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromVariant(root);
    return QString::fromUtf8(document.toJson(pretty ? QJsonDocument::Indented : QJsonDocument::Compact));
}

#include "Categories/RVPlist_p.h"

#include <QDateTime>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <utility>
#include <plist/plist.h>

#include "Support/BoundedPlist.h"

namespace {

// Property-list dates count seconds from this moment.
const qint64 kReferenceDateMSecs = QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();

// Far beyond any real document, and well inside the stack; the reader
// refuses deeper lists, and writing refuses deeper values.
constexpr int kMaxDepth = Support::kPlistMaxDepth;

using Support::PlistPtr;

// A dictionary key's text; nothing when the node is not a key or a text.
std::optional<QVariant> keyText(plist_t node)
{
    if (!node)
        return std::nullopt;
    const plist_type type = plist_get_node_type(node);
    if (type == PLIST_STRING) {
        uint64_t length = 0;
        const char *text = plist_get_string_ptr(node, &length);
        return QVariant(text ? QString::fromUtf8(text, static_cast<qsizetype>(length)) : QString(QLatin1String("")));
    }
    if (type != PLIST_KEY)
        return std::nullopt;
    char *text = nullptr;
    plist_get_key_val(node, &text);
    if (!text)
        return std::nullopt;
    QVariant key(QString::fromUtf8(text));
    std::free(text);
    return key;
}

std::optional<QVariant> toVariant(plist_t node, int depth)
{
    if (!node || depth > kMaxDepth)
        return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return QVariant(value != 0);
    }
    case PLIST_UINT: {
        // The library keeps every integer as 64 unsigned bits; a negative
        // one comes back as its two's complement. The reader refuses lists
        // with integers from 2^63 up, which would read back negative.
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return QVariant(static_cast<qint64>(value));
    }
    case PLIST_UID: {
        uint64_t value = 0;
        plist_get_uid_val(node, &value);
        return QVariant(static_cast<qint64>(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return QVariant(value);
    }
    case PLIST_STRING: {
        uint64_t length = 0;
        const char *text = plist_get_string_ptr(node, &length);
        return QVariant(text ? QString::fromUtf8(text, static_cast<qsizetype>(length)) : QString(QLatin1String("")));
    }
    case PLIST_KEY:
        return keyText(node);
    case PLIST_DATA: {
        uint64_t length = 0;
        const char *bytes = plist_get_data_ptr(node, &length);
        return QVariant(QByteArray(bytes ? bytes : "", bytes ? static_cast<qsizetype>(length) : 0));
    }
    case PLIST_DATE: {
        int32_t seconds = 0;
        int32_t microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        // The library keeps dates as a real number of seconds, so the
        // microseconds it hands back may fall just short of a whole
        // millisecond; rounding keeps a written date the same when read.
        // Dates whose seconds it cannot hand back in 32 bits, or with a
        // fraction before 2001 (its microseconds carry no sign), are
        // refused by the reader.
        const qint64 msecs = kReferenceDateMSecs + qint64(seconds) * 1000 + std::llround(microseconds / 1000.0);
        return QVariant(QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC));
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t count = plist_array_get_size(node);
        list.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            std::optional<QVariant> item = toVariant(plist_array_get_item(node, i), depth + 1);
            if (!item)
                return std::nullopt;
            list.append(std::move(*item));
        }
        return QVariant(list);
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter iterator = nullptr;
        plist_dict_new_iter(node, &iterator);
        if (!iterator)
            return std::nullopt;
        std::optional<QVariant> result;
        for (;;) {
            // The library asserts when a damaged binary list names a key that
            // is no text, so keys are fetched and checked here instead.
            plist_t value = nullptr;
            plist_dict_next_item(node, iterator, nullptr, &value);
            if (!value) {
                result = QVariant(map);
                break;
            }
            const std::optional<QVariant> key = keyText(plist_dict_item_get_key(value));
            std::optional<QVariant> item = toVariant(value, depth + 1);
            if (!key || !item)
                break;
            map.insert(key->toString(), std::move(*item));
        }
        std::free(iterator);
        return result;
    }
    default:
        return std::nullopt;
    }
}

plist_t fromVariant(const QVariant &value, int depth)
{
    if (depth > kMaxDepth)
        return nullptr;
    switch (value.typeId()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool() ? 1 : 0);
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return plist_new_uint(static_cast<uint64_t>(value.toLongLong()));
    case QMetaType::UChar:
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        // Above the signed range the integer would be read back negative.
        const qulonglong number = value.toULongLong();
        if (number > static_cast<qulonglong>(std::numeric_limits<qint64>::max()))
            return nullptr;
        return plist_new_uint(number);
    }
    case QMetaType::Float:
    case QMetaType::Double:
        return plist_new_real(value.toDouble());
    case QMetaType::QString: {
        // The library's texts end at NUL; cutting one short would change it.
        const QByteArray text = value.toString().toUtf8();
        if (text.contains('\0'))
            return nullptr;
        return plist_new_string(text.constData());
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), static_cast<uint64_t>(bytes.size()));
    }
    case QMetaType::QDateTime: {
        const QDateTime date = value.toDateTime();
        if (!date.isValid())
            return nullptr;
        const qint64 msecs = date.toMSecsSinceEpoch() - kReferenceDateMSecs;
        // The library hands a date before 2001 back without the sign of its
        // fraction of a second, so only whole seconds are written there.
        if (msecs < 0 && msecs % 1000 != 0)
            return nullptr;
        const qint64 seconds = msecs / 1000;
        if (seconds < std::numeric_limits<int32_t>::min() || seconds > std::numeric_limits<int32_t>::max())
            return nullptr;
        return plist_new_date(static_cast<int32_t>(seconds), static_cast<int32_t>((msecs - seconds * 1000) * 1000));
    }
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        PlistPtr array(plist_new_array());
        const QVariantList list = value.toList();
        for (const QVariant &item : list) {
            plist_t node = fromVariant(item, depth + 1);
            if (!node)
                return nullptr;
            plist_array_append_item(array.get(), node);
        }
        return array.release();
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        PlistPtr dict(plist_new_dict());
        const QVariantMap map = value.typeId() == QMetaType::QVariantMap ? value.toMap() : [&value] {
            QVariantMap sorted;
            const QVariantHash hash = value.toHash();
            for (auto it = hash.constBegin(); it != hash.constEnd(); ++it)
                sorted.insert(it.key(), it.value());
            return sorted;
        }();
        for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
            const QByteArray key = it.key().toUtf8();
            if (key.contains('\0'))
                return nullptr;
            plist_t node = fromVariant(it.value(), depth + 1);
            if (!node)
                return nullptr;
            plist_dict_set_item(dict.get(), key.constData(), node);
        }
        return dict.release();
    }
    default:
        return nullptr;
    }
}

} // namespace

std::optional<QVariant> rvPropertyListValue(const QByteArray &bytes)
{
    const PlistPtr root = Support::readBoundedPlist(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    if (!root)
        return std::nullopt;
    return toVariant(root.get(), 0);
}

std::optional<QByteArray> rvBinaryPropertyList(const QVariant &value)
{
    PlistPtr root(fromVariant(value, 0));
    if (!root)
        return std::nullopt;
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root.get(), &bytes, &length);
    if (!bytes)
        return std::nullopt;
    QByteArray out(bytes, static_cast<qsizetype>(length));
    plist_to_bin_free(bytes);
    return out;
}

std::optional<QByteArray> rvXmlPropertyList(const QVariant &value)
{
    PlistPtr root(fromVariant(value, 0));
    if (!root)
        return std::nullopt;
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &bytes, &length);
    if (!bytes)
        return std::nullopt;
    QByteArray out(bytes, static_cast<qsizetype>(length));
    plist_to_xml_free(bytes);
    return out;
}

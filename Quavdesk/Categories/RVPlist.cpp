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

namespace {

// Property-list dates count seconds from this moment.
const qint64 kReferenceDateMSecs = QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();

// Far beyond any real document, and well inside the stack.
constexpr int kMaxDepth = 512;

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

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
        // one comes back as its two's complement.
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
        const qint64 seconds = msecs >= 0 ? msecs / 1000 : -((-msecs + 999) / 1000);
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

namespace {

// Big-endian unsigned integer of `width` bytes at `at`, bounds-checked.
std::optional<quint64> bigEndian(const QByteArray &bytes, quint64 at, quint64 width)
{
    if (width == 0 || width > 8 || at > quint64(bytes.size()) || width > quint64(bytes.size()) - at)
        return std::nullopt;
    quint64 value = 0;
    for (quint64 i = 0; i < width; ++i)
        value = (value << 8) | static_cast<quint8>(bytes.at(static_cast<qsizetype>(at + i)));
    return value;
}

// The count of the object whose marker is at `at`, and where its content
// starts; counts of 15 and more follow the marker as an integer object.
std::optional<std::pair<quint64, quint64>> objectCount(const QByteArray &bytes, quint64 at)
{
    const std::optional<quint64> marker = bigEndian(bytes, at, 1);
    if (!marker)
        return std::nullopt;
    if ((*marker & 0x0F) != 0x0F)
        return std::make_pair(*marker & 0x0F, at + 1);
    const std::optional<quint64> intMarker = bigEndian(bytes, at + 1, 1);
    if (!intMarker || (*intMarker & 0xF0) != 0x10 || (*intMarker & 0x0F) > 3)
        return std::nullopt;
    const quint64 width = quint64(1) << (*intMarker & 0x0F);
    const std::optional<quint64> count = bigEndian(bytes, at + 2, width);
    if (!count)
        return std::nullopt;
    return std::make_pair(*count, at + 2 + width);
}

// Whether every dictionary key of a binary property list is a text without
// NUL. The library accepts such keys but aborts when asked for them, so they
// are refused before it parses; anything this scan cannot follow is refused
// too, as the library would have to follow the same references.
bool binaryKeysAreReadable(const QByteArray &bytes)
{
    constexpr quint64 kTrailer = 32;
    const auto size = quint64(bytes.size());
    if (size < 8 + kTrailer)
        return false;
    const quint64 trailer = size - kTrailer;
    const quint64 offsetWidth = *bigEndian(bytes, trailer + 6, 1);
    const quint64 referenceWidth = *bigEndian(bytes, trailer + 7, 1);
    const quint64 objects = *bigEndian(bytes, trailer + 8, 8);
    const quint64 table = *bigEndian(bytes, trailer + 24, 8);
    if (offsetWidth < 1 || offsetWidth > 8 || referenceWidth < 1 || referenceWidth > 8 || table > trailer
        || objects > (trailer - table) / offsetWidth)
        return false;
    const auto offsetOf = [&](quint64 object) { return bigEndian(bytes, table + object * offsetWidth, offsetWidth); };

    for (quint64 object = 0; object < objects; ++object) {
        const std::optional<quint64> at = offsetOf(object);
        const std::optional<quint64> marker = at ? bigEndian(bytes, *at, 1) : std::nullopt;
        if (!marker)
            return false;
        if ((*marker & 0xF0) != 0xD0)
            continue;
        const auto counted = objectCount(bytes, *at);
        if (!counted || counted->first > size / referenceWidth)
            return false;
        for (quint64 k = 0; k < counted->first; ++k) {
            const std::optional<quint64> key = bigEndian(bytes, counted->second + k * referenceWidth, referenceWidth);
            if (!key || *key >= objects)
                return false;
            const std::optional<quint64> keyAt = offsetOf(*key);
            const std::optional<quint64> keyMarker = keyAt ? bigEndian(bytes, *keyAt, 1) : std::nullopt;
            if (!keyMarker)
                return false;
            const quint64 type = *keyMarker & 0xF0;
            if (type != 0x50 && type != 0x60)
                continue;  // not a text: the library refuses the list itself
            const auto text = objectCount(bytes, *keyAt);
            const quint64 unit = type == 0x60 ? 2 : 1;
            if (!text || text->first > size / unit || text->second > size || text->first * unit > size - text->second)
                return false;
            for (quint64 i = 0; i < text->first; ++i) {
                if (*bigEndian(bytes, text->second + i * unit, unit) == 0)
                    return false;
            }
        }
    }
    return true;
}

} // namespace

std::optional<QVariant> rvPropertyListValue(const QByteArray &bytes)
{
    if (bytes.isEmpty() || bytes.size() > std::numeric_limits<uint32_t>::max())
        return std::nullopt;
    const auto length = static_cast<uint32_t>(bytes.size());
    plist_t parsed = nullptr;
    if (plist_is_binary(bytes.constData(), length)) {
        if (!binaryKeysAreReadable(bytes))
            return std::nullopt;
        plist_from_bin(bytes.constData(), length, &parsed);
    }
    else
        plist_from_xml(bytes.constData(), length, &parsed);
    PlistPtr root(parsed);
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

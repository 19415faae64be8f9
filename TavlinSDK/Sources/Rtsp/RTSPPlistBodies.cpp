#include "Rtsp/RTSPPlistBodies.h"

#include <QString>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <plist/plist.h>

#include "Support/BoundedPlist.h"

namespace RTSPPlistBodies {

namespace {

// {"streams": [stream]} in binary form; takes ownership of `stream`.
QByteArray streamsBody(plist_t stream)
{
    Support::PlistPtr root(plist_new_dict());
    plist_t streams = plist_new_array();
    plist_array_append_item(streams, stream);
    plist_dict_set_item(root.get(), "streams", streams);

    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root.get(), &bytes, &length);
    if (!bytes)
        return {};
    QByteArray body(bytes, static_cast<qsizetype>(length));
    plist_to_bin_free(bytes);
    return body;
}

// The whole number a value stands for: an integer, a real without a
// fraction, or a text that is such a number. Property lists keep negative
// integers as large unsigned ones, so a range check refuses them too.
std::optional<double> integerValue(plist_t node)
{
    if (!node)
        return std::nullopt;
    double value = 0;
    switch (plist_get_node_type(node)) {
    case PLIST_UINT: {
        uint64_t whole = 0;
        plist_get_uint_val(node, &whole);
        // Beyond any port; kept out of the double's exact range.
        return whole > 0xFFFFFFFFu ? -1.0 : double(whole);
    }
    case PLIST_REAL:
        plist_get_real_val(node, &value);
        break;
    case PLIST_STRING: {
        char *text = nullptr;
        plist_get_string_val(node, &text);
        bool ok = false;
        value = text ? QString::fromUtf8(text).trimmed().toDouble(&ok) : 0;
        free(text);
        if (!ok)
            return std::nullopt;
        break;
    }
    default:
        return std::nullopt;
    }
    if (!std::isfinite(value) || std::trunc(value) != value)
        return std::nullopt;
    return value;
}

} // namespace

QByteArray videoSetupBody(const QByteArray &machineName)
{
    plist_t stream = plist_new_dict();
    plist_dict_set_item(stream, "type", plist_new_uint(kVideoStreamType));
    plist_dict_set_item(stream, "MacOSXStream", plist_new_bool(1));
    plist_dict_set_item(stream, "machine_name",
                        plist_new_data(machineName.constData(), static_cast<uint64_t>(machineName.size())));
    plist_dict_set_item(stream, "showKeyboardMenu", plist_new_bool(1));
    return streamsBody(stream);
}

QByteArray audioSetupBody()
{
    plist_t stream = plist_new_dict();
    plist_dict_set_item(stream, "type", plist_new_uint(kAudioStreamType));
    plist_dict_set_item(stream, "audioFormat", plist_new_uint(kAudioFormat));
    return streamsBody(stream);
}

QByteArray teardownBody()
{
    plist_t stream = plist_new_dict();
    plist_dict_set_item(stream, "type", plist_new_uint(kVideoStreamType));
    return streamsBody(stream);
}

std::optional<quint16> audioDataPort(const QByteArray &replyBody)
{
    // Either form of property list, binary or XML text, from any receiver:
    // bounded before libplist expands it.
    const Support::PlistPtr root =
        Support::readBoundedPlist(std::string_view(replyBody.constData(), std::size_t(replyBody.size())));
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return std::nullopt;

    plist_t streams = plist_dict_get_item(root.get(), "streams");
    if (!streams || plist_get_node_type(streams) != PLIST_ARRAY || plist_array_get_size(streams) == 0)
        return std::nullopt;
    plist_t first = plist_array_get_item(streams, 0);
    if (!first || plist_get_node_type(first) != PLIST_DICT)
        return std::nullopt;
    const std::optional<double> port = integerValue(plist_dict_get_item(first, "dataPort"));
    if (!port || *port < 1 || *port > 65535)
        return std::nullopt;
    return static_cast<quint16>(*port);
}

} // namespace RTSPPlistBodies

// window-probe CLASS BOUND_MS
// Waits at most BOUND_MS for a viewable top-level window of the X display
// whose WM_CLASS class is CLASS, then prints what the desktop sees of it, one
// "key=value" line each: instance, class, title (_NET_WM_NAME), geometry
// ("x y w h") and one "icon=WxH" per picture of _NET_WM_ICON. Exit status 0
// when found, 1 when not within the bound, 2 for a usage or display error.

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    Reply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr),
                                     &std::free);
    return r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The property's bytes; at most `maxWords` 32-bit units are read.
std::vector<char> property(xcb_connection_t *c, xcb_window_t w, xcb_atom_t name, uint32_t maxWords = 1u << 20)
{
    Reply<xcb_get_property_reply_t> r(
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, name, XCB_GET_PROPERTY_TYPE_ANY, 0, maxWords), nullptr),
        &std::free);
    if (!r)
        return {};
    const auto *data = static_cast<const char *>(xcb_get_property_value(r.get()));
    return {data, data + xcb_get_property_value_length(r.get())};
}

struct Found {
    xcb_window_t window;
    std::string instance, wmClass;
};

std::optional<Found> findWindow(xcb_connection_t *c, xcb_window_t root, const std::string &wanted)
{
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr), &std::free);
    if (!tree)
        return std::nullopt;
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr), &std::free);
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        // WM_CLASS: the instance and the class, each ended by a zero byte.
        const std::vector<char> wmClass = property(c, children[i], XCB_ATOM_WM_CLASS, 256);
        const std::string both(wmClass.begin(), wmClass.end());
        const size_t split = both.find('\0');
        if (split == std::string::npos)
            continue;
        const std::string instance = both.substr(0, split);
        std::string className = both.substr(split + 1);
        if (const size_t end = className.find('\0'); end != std::string::npos)
            className.resize(end);
        if (className == wanted)
            return Found{children[i], instance, className};
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: window-probe CLASS BOUND_MS\n");
        return 2;
    }
    const std::string wanted = argv[1];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::atol(argv[2]));
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "window-probe: cannot open the display\n");
        xcb_disconnect(c);
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    std::optional<Found> found;
    while (!(found = findWindow(c, root, wanted)) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!found) {
        std::fprintf(stderr, "window-probe: no window of class %s\n", wanted.c_str());
        xcb_disconnect(c);
        return 1;
    }
    std::printf("instance=%s\nclass=%s\n", found->instance.c_str(), found->wmClass.c_str());
    const std::vector<char> title = property(c, found->window, atom(c, "_NET_WM_NAME"), 1024);
    std::printf("title=%s\n", std::string(title.begin(), title.end()).c_str());

    Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, found->window), nullptr),
                                             &std::free);
    if (geometry)
        std::printf("geometry=%d %d %u %u\n", geometry->x, geometry->y, geometry->width, geometry->height);

    // _NET_WM_ICON: width, height, then width*height ARGB words, repeated.
    const std::vector<char> icons = property(c, found->window, atom(c, "_NET_WM_ICON"));
    std::vector<uint32_t> words(icons.size() / 4);
    std::memcpy(words.data(), icons.data(), words.size() * 4);
    for (size_t at = 0; at + 2 <= words.size();) {
        const uint64_t width = words[at], height = words[at + 1];
        if (width == 0 || height == 0 || width * height > words.size() - at - 2)
            break;
        std::printf("icon=%llux%llu\n", static_cast<unsigned long long>(width), static_cast<unsigned long long>(height));
        at += 2 + width * height;
    }
    xcb_disconnect(c);
    return 0;
}

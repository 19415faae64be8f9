#include "X11ScreenSource.h"
#include "XcbConnection.h"

#include <QDebug>
#include <QRect>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <pthread.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <time.h>
#include <vector>

#include <xcb/randr.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include "Platform/LinuxPlatform.h"

namespace Platform::Linux {

namespace {

template <typename T>
struct ReplyPtr {
    T *p = nullptr;
    explicit ReplyPtr(T *reply) : p(reply) {}
    ~ReplyPtr() { free(p); }
    ReplyPtr(const ReplyPtr &) = delete;
    ReplyPtr &operator=(const ReplyPtr &) = delete;
    T *operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

qint64 monotonicMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

QRect crtcRect(xcb_connection_t *c, xcb_randr_crtc_t crtc)
{
    ReplyPtr<xcb_randr_get_crtc_info_reply_t> info(
        xcb_randr_get_crtc_info_reply(c, xcb_randr_get_crtc_info(c, crtc, XCB_CURRENT_TIME), nullptr));
    if (!info || info->mode == XCB_NONE || info->width == 0 || info->height == 0)
        return {};
    return QRect(info->x, info->y, info->width, info->height);
}

// The primary output's rectangle; without one, the active output at the
// origin, then any active output, then the whole root window.
QRect mainRect(xcb_connection_t *c, xcb_screen_t *screen)
{
    const QRect whole(0, 0, screen->width_in_pixels, screen->height_in_pixels);
    const xcb_query_extension_reply_t *randr = xcb_get_extension_data(c, &xcb_randr_id);
    if (!randr || !randr->present)
        return whole;
    ReplyPtr<xcb_randr_query_version_reply_t> version(
        xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 3), nullptr));
    if (!version || (version->major_version == 1 && version->minor_version < 3))
        return whole;

    ReplyPtr<xcb_randr_get_output_primary_reply_t> primary(
        xcb_randr_get_output_primary_reply(c, xcb_randr_get_output_primary(c, screen->root), nullptr));
    if (primary && primary->output != XCB_NONE) {
        ReplyPtr<xcb_randr_get_output_info_reply_t> output(xcb_randr_get_output_info_reply(
            c, xcb_randr_get_output_info(c, primary->output, XCB_CURRENT_TIME), nullptr));
        if (output && output->crtc != XCB_NONE) {
            const QRect r = crtcRect(c, output->crtc);
            if (!r.isEmpty())
                return r.intersected(whole);
        }
    }
    ReplyPtr<xcb_randr_get_screen_resources_current_reply_t> resources(
        xcb_randr_get_screen_resources_current_reply(
            c, xcb_randr_get_screen_resources_current(c, screen->root), nullptr));
    if (!resources)
        return whole;
    const xcb_randr_crtc_t *crtcs = xcb_randr_get_screen_resources_current_crtcs(resources.p);
    const int count = xcb_randr_get_screen_resources_current_crtcs_length(resources.p);
    QRect first;
    for (int i = 0; i < count; ++i) {
        const QRect r = crtcRect(c, crtcs[i]).intersected(whole);
        if (r.isEmpty())
            continue;
        if (r.topLeft() == QPoint(0, 0))
            return r;
        if (first.isEmpty())
            first = r;
    }
    return first.isEmpty() ? whole : first;
}

// 32 bits per pixel in the low-byte-first order is the BGRA layout frames carry.
bool hasBgraLayout(xcb_connection_t *c, xcb_screen_t *screen)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return false;
    if (screen->root_depth != 24 && screen->root_depth != 32)
        return false;
    xcb_format_iterator_t it = xcb_setup_pixmap_formats_iterator(setup);
    for (; it.rem; xcb_format_next(&it)) {
        if (it.data->depth == screen->root_depth)
            return it.data->bits_per_pixel == 32;
    }
    return false;
}

// Shared-memory segments attached to the X server, reused frame after frame.
// A frame keeps its segment until the last holder lets go; segments released
// after the capture ended are only detached locally (the server dropped its
// side with the connection).
class ShmPool : public std::enable_shared_from_this<ShmPool> {
public:
    struct Segment {
        xcb_shm_seg_t seg = 0;
        int shmid = -1;
        uchar *addr = nullptr;
        size_t size = 0;
    };

    ShmPool(xcb_connection_t *c, int maxSegments) : m_connection(c), m_maxSegments(maxSegments) {}
    ~ShmPool()
    {
        for (Segment *s : m_free)
            destroyLocally(s);
    }

    // A segment of `size` bytes, or null when none can be had.
    std::shared_ptr<Segment> acquire(size_t size)
    {
        Segment *segment = nullptr;
        {
            std::lock_guard lock(m_mutex);
            if (size != m_size) {
                for (Segment *s : m_free)
                    destroy(s, !m_closed);
                m_free.clear();
                m_size = size;
            }
            if (!m_free.empty()) {
                segment = m_free.back();
                m_free.pop_back();
            } else if (m_count < m_maxSegments) {
                segment = create(size);
                if (segment)
                    ++m_count;
            }
        }
        if (!segment)
            return {};
        std::weak_ptr<ShmPool> pool = weak_from_this();
        return std::shared_ptr<Segment>(segment, [pool](Segment *s) {
            if (auto p = pool.lock())
                p->release(s);
            else
                destroyLocally(s);
        });
    }

    // The connection is about to go: nothing more is attached on the server.
    void close()
    {
        std::lock_guard lock(m_mutex);
        for (Segment *s : m_free)
            destroy(s, true);
        m_free.clear();
        m_closed = true;
    }

private:
    Segment *create(size_t size)
    {
        auto *s = new Segment;
        s->size = size;
        s->shmid = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
        if (s->shmid < 0) {
            delete s;
            return nullptr;
        }
        void *addr = shmat(s->shmid, nullptr, 0);
        if (addr == reinterpret_cast<void *>(-1)) {
            shmctl(s->shmid, IPC_RMID, nullptr);
            delete s;
            return nullptr;
        }
        s->addr = static_cast<uchar *>(addr);
        s->seg = xcb_generate_id(m_connection);
        xcb_generic_error_t *error =
            xcb_request_check(m_connection, xcb_shm_attach_checked(m_connection, s->seg, s->shmid, 0));
        // Marked for removal at once: the memory goes with the last detach,
        // also when the process dies.
        shmctl(s->shmid, IPC_RMID, nullptr);
        if (error) {
            free(error);
            shmdt(s->addr);
            delete s;
            return nullptr;
        }
        return s;
    }

    void release(Segment *s)
    {
        std::lock_guard lock(m_mutex);
        if (!m_closed && s->size == m_size) {
            m_free.push_back(s);
            return;
        }
        --m_count;
        destroy(s, !m_closed);
    }

    void destroy(Segment *s, bool detachOnServer)
    {
        if (detachOnServer)
            xcb_shm_detach(m_connection, s->seg);
        destroyLocally(s);
    }

    static void destroyLocally(Segment *s)
    {
        shmdt(s->addr);
        delete s;
    }

    xcb_connection_t *m_connection;
    const int m_maxSegments;
    std::mutex m_mutex;
    std::vector<Segment *> m_free;
    size_t m_size = 0;
    int m_count = 0;
    bool m_closed = false;
};

// Draws the pointer into the frame: the XFixes image is premultiplied ARGB.
void drawCursor(xcb_connection_t *c, const QRect &area, uchar *pixels, int stride)
{
    ReplyPtr<xcb_xfixes_get_cursor_image_reply_t> cursor(
        xcb_xfixes_get_cursor_image_reply(c, xcb_xfixes_get_cursor_image(c), nullptr));
    if (!cursor)
        return;
    const uint32_t *image = xcb_xfixes_get_cursor_image_cursor_image(cursor.p);
    const int left = cursor->x - cursor->xhot - area.x();
    const int top = cursor->y - cursor->yhot - area.y();
    for (int row = 0; row < cursor->height; ++row) {
        const int y = top + row;
        if (y < 0 || y >= area.height())
            continue;
        for (int col = 0; col < cursor->width; ++col) {
            const int x = left + col;
            if (x < 0 || x >= area.width())
                continue;
            const uint32_t argb = image[row * cursor->width + col];
            const uint32_t alpha = argb >> 24;
            if (alpha == 0)
                continue;
            uchar *px = pixels + y * stride + x * 4;
            const uint32_t keep = 255 - alpha;
            px[0] = uchar(std::min<uint32_t>(255, (argb & 0xff) + px[0] * keep / 255));
            px[1] = uchar(std::min<uint32_t>(255, ((argb >> 8) & 0xff) + px[1] * keep / 255));
            px[2] = uchar(std::min<uint32_t>(255, ((argb >> 16) & 0xff) + px[2] * keep / 255));
        }
    }
}

bool samePicture(const VideoFrame &a, const VideoFrame &b)
{
    if (a.width != b.width || a.height != b.height || a.stride != b.stride)
        return false;
    return std::memcmp(a.data, b.data, size_t(a.stride) * size_t(a.height)) == 0;
}

} // namespace

X11ScreenSource::X11ScreenSource(QByteArray displayName) : m_displayName(std::move(displayName)) {}

X11ScreenSource::~X11ScreenSource()
{
    stop();
}

QRect X11ScreenSource::mainDisplayBounds()
{
    int screenNumber = 0;
    xcb_connection_t *c = openXcbConnection(m_displayName, &screenNumber);
    if (!c)
        return {};
    QRect r;
    if (xcb_screen_t *screen = xcbScreenOf(c, screenNumber))
        r = mainRect(c, screen);
    xcb_disconnect(c);
    return r;
}

bool X11ScreenSource::start(const ScreenCaptureOptions &options, FrameHandler handler, FailureHandler onFailure)
{
    stop();
    int screenNumber = 0;
    xcb_connection_t *c = openXcbConnection(m_displayName, &screenNumber);
    if (!c) {
        qWarning().noquote() << "screen capture: no X display";
        return false;
    }
    xcb_screen_t *screen = xcbScreenOf(c, screenNumber);
    if (!screen || !hasBgraLayout(c, screen)) {
        qWarning().noquote() << "screen capture: the display's pixel format is not 32-bit";
        xcb_disconnect(c);
        return false;
    }
    if (mainRect(c, screen).isEmpty()) {
        qWarning().noquote() << "screen capture: the main display has no area";
        xcb_disconnect(c);
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = false;
    }
    m_running = true;
    m_thread = std::thread(
        [this, c, screenNumber, options, handler = std::move(handler), onFailure = std::move(onFailure)]() mutable {
            // The name a profiler or `top -H` shows for the cast's capture.
            pthread_setname_np(pthread_self(), "tavlin-capture");
            run(c, screenNumber, options, std::move(handler), std::move(onFailure));
        });
    return true;
}

void X11ScreenSource::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    m_running = false;
}

bool X11ScreenSource::isRunning() const
{
    return m_running;
}

void X11ScreenSource::run(void *connection, int screenNumber, ScreenCaptureOptions options, FrameHandler handler,
                          FailureHandler onFailure)
{
    auto *c = static_cast<xcb_connection_t *>(connection);
    xcb_screen_t *screen = xcbScreenOf(c, screenNumber);

    const xcb_query_extension_reply_t *shmExt = xcb_get_extension_data(c, &xcb_shm_id);
    bool useShm = shmExt && shmExt->present;
    if (useShm) {
        ReplyPtr<xcb_shm_query_version_reply_t> v(xcb_shm_query_version_reply(c, xcb_shm_query_version(c), nullptr));
        useShm = bool(v);
    }
    bool haveCursor = false;
    if (options.showCursor) {
        const xcb_query_extension_reply_t *fixes = xcb_get_extension_data(c, &xcb_xfixes_id);
        if (fixes && fixes->present) {
            ReplyPtr<xcb_xfixes_query_version_reply_t> v(
                xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 4, 0), nullptr));
            haveCursor = bool(v);
        }
    }

    // Frames travel downstream in their segments. With a bound on the frames
    // held there are as many segments; without one, should every segment be
    // held, the grab goes through a segment of its own and the frame gets a
    // copy.
    const int maxHeld = std::max(0, options.maxFramesHeld);
    auto pool = std::make_shared<ShmPool>(c, maxHeld > 0 ? maxHeld : 8);
    auto scratch = std::make_shared<ShmPool>(c, 1);
    auto held = std::make_shared<std::atomic<int>>(0);
    QRect area = mainRect(c, screen);
    qint64 lastGeometryCheck = monotonicMs();
    VideoFramePtr previous;

    const int fps = options.fps > 0 ? options.fps : 20;
    const auto period = std::chrono::microseconds(1000000 / fps);
    auto next = std::chrono::steady_clock::now();

    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            if (m_wake.wait_until(lock, next, [this] { return m_stopRequested; }))
                break;
        }
        const auto now = std::chrono::steady_clock::now();
        next += period;
        if (next < now)
            next = now; // late: no burst to catch up

        // The server went away (or dropped us): every later request would
        // fail the same way, so capture ends here and says so.
        if (xcb_connection_has_error(c)) {
            if (onFailure)
                onFailure(QStringLiteral("the X display went away"));
            break;
        }

        // A display reconfigured while we capture shows up as a failed grab
        // or, at the latest, at the once-a-second check.
        if (monotonicMs() - lastGeometryCheck >= 1000) {
            area = mainRect(c, screen);
            lastGeometryCheck = monotonicMs();
        }
        if (area.isEmpty())
            continue;
        if (maxHeld > 0 && held->load() >= maxHeld)
            continue;

        auto frame = std::make_shared<VideoFrame>();
        frame->width = area.width();
        frame->height = area.height();
        frame->stride = area.width() * 4;
        frame->timestampMs = monotonicMs();
        const size_t bytes = size_t(frame->stride) * size_t(frame->height);
        uchar *pixels = nullptr;

        if (useShm) {
            std::shared_ptr<ShmPool::Segment> segment = pool->acquire(bytes);
            const bool copyOut = !segment;
            if (copyOut)
                segment = scratch->acquire(bytes);
            if (!segment)
                continue;
            xcb_generic_error_t *error = nullptr;
            ReplyPtr<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
                c,
                xcb_shm_get_image(c, screen->root, int16_t(area.x()), int16_t(area.y()), uint16_t(area.width()),
                                  uint16_t(area.height()), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment->seg, 0),
                &error));
            if (error || !reply) {
                free(error);
                area = mainRect(c, screen);
                lastGeometryCheck = monotonicMs();
                continue;
            }
            if (copyOut) {
                std::shared_ptr<uchar[]> copy(new uchar[bytes]);
                std::memcpy(copy.get(), segment->addr, bytes);
                pixels = copy.get();
                frame->storage = copy;
            } else {
                pixels = segment->addr;
                frame->storage = segment;
            }
        } else {
            xcb_generic_error_t *error = nullptr;
            auto *reply = xcb_get_image_reply(
                c,
                xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, int16_t(area.x()), int16_t(area.y()),
                              uint16_t(area.width()), uint16_t(area.height()), ~0u),
                &error);
            if (error || !reply || size_t(xcb_get_image_data_length(reply)) < bytes) {
                free(error);
                free(reply);
                area = mainRect(c, screen);
                lastGeometryCheck = monotonicMs();
                continue;
            }
            // The reply holds the pixels; it becomes the frame's storage.
            pixels = xcb_get_image_data(reply);
            frame->storage = std::shared_ptr<void>(reply, free);
        }
        if (haveCursor)
            drawCursor(c, area, pixels, frame->stride);
        frame->data = pixels;
        if (maxHeld > 0) {
            // Counted while any holder keeps the pixels.
            ++*held;
            frame->storage = std::shared_ptr<void>(pixels, [storage = std::move(frame->storage), held](void *) mutable {
                storage.reset();
                --*held;
            });
        }

        if (options.dropDuplicates && previous && samePicture(*previous, *frame))
            continue;
        previous = frame;
        handler(frame);
    }

    previous.reset();
    pool->close();
    scratch->close();
    xcb_disconnect(c);
    m_running = false;
}

std::unique_ptr<ScreenSource> makeScreenSource(const QByteArray &displayName)
{
    return std::make_unique<X11ScreenSource>(displayName);
}

std::shared_ptr<DisplayInfo> makeDisplayInfo()
{
    return std::make_shared<X11ScreenSource>();
}

} // namespace Platform::Linux

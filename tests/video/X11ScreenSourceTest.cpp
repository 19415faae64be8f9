// The X11 screen source on an X server of each test's own (Xvfb): geometry,
// pixels, the pointer, duplicate frames and the end of capture.

#include <QThread>
#include <gtest/gtest.h>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include "Platform/LinuxPlatform.h"
#include "TestSupport.h"
#include "VideoTestTools.h"

namespace {

// Xvfb now and then drops a connection it has just accepted: try again.
xcb_connection_t *connect(const QByteArray &display, int *screenNumber)
{
    for (int attempt = 0;; ++attempt) {
        xcb_connection_t *c = xcb_connect(display.constData(), screenNumber);
        if (!xcb_connection_has_error(c) || attempt == 5)
            return c;
        xcb_disconnect(c);
        QThread::msleep(20);
    }
}

// A window of one colour on the test display, drawn without a window manager.
class ColourWindow {
public:
    ColourWindow(const QByteArray &display, QRect rect, uint32_t rgb)
    {
        m_connection = connect(display, &m_screenNumber);
        if (xcb_connection_has_error(m_connection))
            return;
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
        for (int i = 0; i < m_screenNumber; ++i)
            xcb_screen_next(&it);
        m_screen = it.data;
        m_window = xcb_generate_id(m_connection);
        const uint32_t values[] = {rgb, 1};
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, m_screen->root, int16_t(rect.x()),
                          int16_t(rect.y()), uint16_t(rect.width()), uint16_t(rect.height()), 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, m_screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
        xcb_map_window(m_connection, m_window);
        sync();
    }
    ~ColourWindow()
    {
        if (m_window)
            xcb_destroy_window(m_connection, m_window);
        if (m_connection) {
            xcb_flush(m_connection);
            xcb_disconnect(m_connection);
        }
    }
    bool ok() const { return m_window != 0; }
    QSize rootSize() const { return QSize(m_screen->width_in_pixels, m_screen->height_in_pixels); }

    void setColour(uint32_t rgb)
    {
        xcb_change_window_attributes(m_connection, m_window, XCB_CW_BACK_PIXEL, &rgb);
        xcb_clear_area(m_connection, 0, m_window, 0, 0, 0, 0);
        sync();
    }
    void warpPointer(QPoint p)
    {
        xcb_warp_pointer(m_connection, XCB_NONE, m_screen->root, 0, 0, 0, 0, int16_t(p.x()), int16_t(p.y()));
        sync();
    }

private:
    // A round trip: the server handles one client's requests in order, so
    // everything drawn before it is on the screen once the reply is here.
    void sync() { free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr)); }

    xcb_connection_t *m_connection = nullptr;
    xcb_screen_t *m_screen = nullptr;
    xcb_window_t m_window = 0;
    int m_screenNumber = 0;
};

struct Frames {
    std::mutex mutex;
    QList<Platform::VideoFramePtr> list;
    void add(Platform::VideoFramePtr f)
    {
        std::lock_guard lock(mutex);
        list.append(std::move(f));
    }
    int size()
    {
        std::lock_guard lock(mutex);
        return int(list.size());
    }
    Platform::VideoFramePtr last()
    {
        std::lock_guard lock(mutex);
        return list.isEmpty() ? nullptr : list.last();
    }
};

uint32_t pixel(const Platform::VideoFrame &f, int x, int y)
{
    const uchar *p = f.data + y * f.stride + x * 4;
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

bool waitForFrames(Frames &frames, int count, int timeoutMs = 10000)
{
    for (int i = 0; i < timeoutMs / 10 && frames.size() < count; ++i)
        QThread::msleep(10);
    return frames.size() >= count;
}

} // namespace

TEST(X11ScreenSource, CapturesTheMainDisplay)
{
    PrivateXServer server;
    if (!TestSupport::requireFacility("Xvfb", server.start()))
        return;
    ColourWindow window(server.displayName(), QRect(100, 100, 200, 120), 0xff0000);
    ASSERT_TRUE(window.ok());
    window.warpPointer(QPoint(1000, 700));
    Frames frames;
    auto source = Platform::Linux::makeScreenSource(server.displayName());
    const QRect bounds = source->mainDisplayBounds();
    EXPECT_EQ(bounds, QRect(0, 0, 1920, 1080));
    EXPECT_EQ(bounds, QRect(QPoint(0, 0), window.rootSize()));
    // Without a name, the display of the environment.
    qputenv("DISPLAY", server.displayName());
    EXPECT_EQ(Platform::Linux::makeDisplayInfo()->mainDisplayBounds(), bounds);

    Platform::ScreenCaptureOptions options;
    options.fps = 30;
    options.showCursor = false;
    options.dropDuplicates = true;
    ASSERT_TRUE(source->start(options, [&](Platform::VideoFramePtr f) { frames.add(std::move(f)); }, {}));
    EXPECT_TRUE(source->isRunning());
    ASSERT_TRUE(waitForFrames(frames, 1));
    Platform::VideoFramePtr first = frames.last();
    EXPECT_EQ(QSize(first->width, first->height), bounds.size());
    EXPECT_EQ(first->stride, first->width * 4);
    EXPECT_EQ(pixel(*first, 150, 150), 0xff0000u);
    EXPECT_EQ(pixel(*first, 299, 219), 0xff0000u);

    // A still screen gives no further frames; a change gives one.
    QThread::msleep(300); // for a frame that must not come
    EXPECT_EQ(frames.size(), 1);
    window.setColour(0x00ff80);
    ASSERT_TRUE(waitForFrames(frames, 2));
    EXPECT_EQ(pixel(*frames.last(), 150, 150), 0x00ff80u);

    source->stop();
    EXPECT_FALSE(source->isRunning());
    const int atStop = frames.size();
    window.setColour(0x0000ff);
    QThread::msleep(150); // for a frame that must not come
    EXPECT_EQ(frames.size(), atStop);
    // Frames handed out stay readable after the capture ended.
    EXPECT_EQ(pixel(*first, 150, 150), 0xff0000u);
}

TEST(X11ScreenSource, EveryTickWithoutDuplicateRemovalAndABoundOnHeldFrames)
{
    PrivateXServer server;
    if (!TestSupport::requireFacility("Xvfb", server.start()))
        return;
    // Declared first: the capture thread, which fills them, ends before they go.
    Frames frames;
    auto source = Platform::Linux::makeScreenSource(server.displayName());
    Platform::ScreenCaptureOptions options;
    options.fps = 20;
    options.dropDuplicates = false;
    ASSERT_TRUE(source->start(options, [&](Platform::VideoFramePtr f) { frames.add(std::move(f)); }, {}));
    // Frames held downstream keep their memory while capture goes on, also
    // when more are held than the source keeps segments for.
    // Copies of whole screens under a busy machine: give them time.
    ASSERT_TRUE(waitForFrames(frames, 15, 20000));
    source->stop();
    {
        std::lock_guard lock(frames.mutex);
        const Platform::VideoFrame &a = *frames.list.first();
        const Platform::VideoFrame &b = *frames.list.last();
        ASSERT_EQ(a.stride * a.height, b.stride * b.height);
        EXPECT_EQ(memcmp(a.data, b.data, size_t(a.stride) * size_t(a.height)), 0);
        frames.list.clear();
    }

    // With a bound of two held frames (the source's own last one counts),
    // every tick that finds two held captures nothing.
    options.fps = 50;
    options.maxFramesHeld = 2;
    ASSERT_TRUE(source->start(options, [&](Platform::VideoFramePtr f) { frames.add(std::move(f)); }, {}));
    ASSERT_TRUE(waitForFrames(frames, 2, 20000));
    QThread::msleep(300);
    EXPECT_EQ(frames.size(), 2);
    // Letting go of one lets capture go on, one frame at a time.
    {
        std::lock_guard lock(frames.mutex);
        frames.list.removeFirst();
    }
    ASSERT_TRUE(waitForFrames(frames, 2, 20000));
    QThread::msleep(300);
    EXPECT_EQ(frames.size(), 2);
    source->stop();
    {
        std::lock_guard lock(frames.mutex);
        frames.list.clear();
    }
    // Nothing held downstream: capture runs at its pace.
    std::atomic<int> seen{0};
    ASSERT_TRUE(source->start(options, [&](Platform::VideoFramePtr) { ++seen; }, {}));
    for (int i = 0; i < 2000 && seen.load() < 10; ++i)
        QThread::msleep(10);
    EXPECT_GE(seen.load(), 10);
    source->stop();
}

TEST(X11ScreenSource, DrawsThePointer)
{
    PrivateXServer server;
    if (!TestSupport::requireFacility("Xvfb", server.start()))
        return;
    ColourWindow window(server.displayName(), QRect(400, 300, 200, 200), 0xff0000);
    ASSERT_TRUE(window.ok());
    window.warpPointer(QPoint(500, 400));

    auto capture = [&server](bool showCursor) {
        Frames frames;
        auto source = Platform::Linux::makeScreenSource(server.displayName());
        Platform::ScreenCaptureOptions options;
        options.showCursor = showCursor;
        source->start(options, [&](Platform::VideoFramePtr f) { frames.add(std::move(f)); }, {});
        waitForFrames(frames, 1);
        source->stop();
        return frames.last();
    };
    auto countOther = [](const Platform::VideoFrame &f) {
        int other = 0;
        for (int y = 370; y < 430; ++y) {
            for (int x = 470; x < 530; ++x)
                other += pixel(f, x, y) != 0xff0000u;
        }
        return other;
    };
    const Platform::VideoFramePtr without = capture(false);
    const Platform::VideoFramePtr with = capture(true);
    ASSERT_TRUE(without && with);
    EXPECT_EQ(countOther(*without), 0);
    EXPECT_GT(countOther(*with), 10);
    // Away from the pointer both agree.
    EXPECT_EQ(pixel(*with, 420, 310), 0xff0000u);
}

TEST(X11ScreenSource, TheDisplayGoingAwayEndsCaptureAndSaysSoOnce)
{
    PrivateXServer server;
    if (!TestSupport::requireFacility("Xvfb", server.start()))
        return;
    // Declared first: the capture thread, which fills them, ends before they go.
    Frames frames;
    std::atomic<int> failures{0};
    std::atomic<int> framesAtFailure{-1};
    auto source = Platform::Linux::makeScreenSource(server.displayName());
    Platform::ScreenCaptureOptions options;
    options.dropDuplicates = false;
    ASSERT_TRUE(source->start(
        options, [&](Platform::VideoFramePtr f) { frames.add(std::move(f)); },
        [&](const QString &reason) {
            EXPECT_FALSE(reason.isEmpty());
            framesAtFailure = frames.size();
            ++failures;
        }));
    ASSERT_TRUE(waitForFrames(frames, 3));

    server.kill();
    for (int i = 0; i < 1000 && failures == 0; ++i)
        QThread::msleep(10);
    ASSERT_EQ(failures.load(), 1);
    QThread::msleep(300); // for a second failure or a frame that must not come
    EXPECT_EQ(failures.load(), 1);
    EXPECT_EQ(frames.size(), framesAtFailure.load());
    EXPECT_FALSE(source->isRunning());
    source->stop();
    EXPECT_EQ(failures.load(), 1);
}

TEST(X11ScreenSource, ADisplayThatCannotBeCapturedRefusesTheStart)
{
    Platform::ScreenCaptureOptions options;
    {
        auto source = Platform::Linux::makeScreenSource(QByteArray(":9999"));
        EXPECT_TRUE(source->mainDisplayBounds().isEmpty());
        EXPECT_FALSE(source->start(options, [](Platform::VideoFramePtr) {}, {}));
        EXPECT_FALSE(source->isRunning());
    }
    {
        // A display whose socket takes connections and never answers them,
        // where the client looks first (the abstract name of display 7391):
        // asking it gives up instead of waiting for ever.
        const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(listener, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const char name[] = "/tmp/.X11-unix/X7391";
        std::memcpy(address.sun_path + 1, name, sizeof name - 1);
        const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + sizeof name - 1);
        ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&address), length), 0);
        ASSERT_EQ(::listen(listener, 8), 0);
        auto source = Platform::Linux::makeScreenSource(QByteArray(":7391"));
        EXPECT_TRUE(source->mainDisplayBounds().isEmpty());
        ::close(listener);
    }
    // 16 bits a pixel: frames would be read as BGRA and come out as noise.
    PrivateXServer server;
    if (!TestSupport::requireFacility("Xvfb", server.start(QSize(320, 200), 16)))
        return;
    auto source = Platform::Linux::makeScreenSource(server.displayName());
    EXPECT_EQ(source->mainDisplayBounds().size(), QSize(320, 200));
    std::atomic<int> frames{0};
    EXPECT_FALSE(source->start(options, [&](Platform::VideoFramePtr) { ++frames; }, {}));
    EXPECT_FALSE(source->isRunning());
    QThread::msleep(100); // for a frame that must not come
    EXPECT_EQ(frames.load(), 0);
}

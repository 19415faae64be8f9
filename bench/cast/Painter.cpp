#include "Painter.h"

#include <sys/ipc.h>
#include <sys/prctl.h>
#include <sys/shm.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <xcb/shm.h>
#include <xcb/xcb.h>

namespace {

// Rows per image request: a whole 1080p picture is larger than one request
// may be.
constexpr int kStripRows = 64;
constexpr auto kTick = std::chrono::milliseconds(4);
constexpr int kBlock = 48;

bool readFully(FILE *in, char *data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const size_t n = std::fread(data + done, 1, size - done, in);
        if (n == 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

int runPainter(const QByteArray &display, QSize size, int fps)
{
    // The painter must not outlive the bench that started it.
    prctl(PR_SET_PDEATHSIG, SIGTERM);

    xcb_connection_t *c = xcb_connect(display.constData(), nullptr);
    if (!c || xcb_connection_has_error(c)) {
        std::fprintf(stderr, "painter: cannot open display %s\n", display.constData());
        return 1;
    }
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t values[] = {screen->black_pixel, 1};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, uint16_t(size.width()),
                      uint16_t(size.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(c, window);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, window, 0, nullptr);
    xcb_flush(c);

    // testsrc2 has gradients, text and motion all over: closer to what a
    // screen shows than a flat test pattern. ffmpeg waits on the pipe, so it
    // makes pictures only as fast as they are painted.
    const QByteArray command = QByteArray("ffmpeg -nostdin -loglevel error -f lavfi -i testsrc2=size=")
                               + QByteArray::number(size.width()) + 'x' + QByteArray::number(size.height())
                               + ":rate=" + QByteArray::number(fps) + " -pix_fmt bgra -f rawvideo - 2>/dev/null";
    FILE *source = popen(command.constData(), "r");
    if (!source) {
        std::fprintf(stderr, "painter: cannot run ffmpeg\n");
        return 1;
    }
    const size_t frameBytes = size_t(size.width()) * size_t(size.height()) * 4;
    // Pictures go to the server through shared memory: sent down the socket,
    // one 1080p picture keeps the server busy for some 20 ms, and the screen
    // could not change 60 times a second.
    std::vector<char> ownFrame;
    char *frameData = nullptr;
    xcb_shm_seg_t segment = 0;
    const int shmId = shmget(IPC_PRIVATE, frameBytes, IPC_CREAT | 0600);
    if (shmId >= 0) {
        void *address = shmat(shmId, nullptr, 0);
        // Gone once both sides have let go.
        shmctl(shmId, IPC_RMID, nullptr);
        if (address != reinterpret_cast<void *>(-1)) {
            segment = xcb_generate_id(c);
            if (xcb_generic_error_t *error = xcb_request_check(c, xcb_shm_attach_checked(c, segment, uint32_t(shmId), 1))) {
                std::free(error);
                shmdt(address);
                segment = 0;
            } else {
                frameData = static_cast<char *>(address);
            }
        }
    }
    if (!frameData) {
        ownFrame.resize(frameBytes);
        frameData = ownFrame.data();
    }
    // Ready once ffmpeg delivers: a still screen would measure something
    // else.
    if (!readFully(source, frameData, frameBytes)) {
        std::fprintf(stderr, "painter: ffmpeg gives no pictures\n");
        pclose(source);
        return 1;
    }
    std::fprintf(stdout, "painting\n");
    std::fflush(stdout);

    // ffmpeg makes its next picture only once the last has left the pipe,
    // some 13 ms at 1080p: read there, the painter could not keep up with
    // 60 pictures a second. A thread of its own reads one picture ahead.
    struct Ahead {
        std::mutex mutex;
        std::condition_variable taken;
        std::vector<char> picture;
        bool ready = false;
        bool ended = false;
    };
    auto ahead = std::make_shared<Ahead>();
    ahead->picture.resize(frameBytes);
    std::thread reader([ahead, source, frameBytes] {
        std::vector<char> next(frameBytes);
        for (;;) {
            const bool read = readFully(source, next.data(), frameBytes);
            std::unique_lock lock(ahead->mutex);
            if (!read) {
                ahead->ended = true;
                return;
            }
            ahead->taken.wait(lock, [&] { return !ahead->ready; });
            std::swap(next, ahead->picture);
            ahead->ready = true;
        }
    });
    // The painter ends with its process (the bench stops it with a signal);
    // the reader, blocked on ffmpeg, goes with it.
    reader.detach();

    const auto period = std::chrono::microseconds(1000000 / std::max(1, fps));
    auto nextFrame = std::chrono::steady_clock::now();
    int blockStep = 0;
    const int band = std::max(1, size.width() - kBlock);
    // The block moves between the strips of a picture too: a whole picture
    // takes the server several milliseconds, and a screen that stands still
    // over a grab's interval is a picture the cast rightly does not send.
    const auto moveBlock = [&] {
        const uint32_t colour = 0xFF000000u | uint32_t(blockStep * 2654435761u);
        xcb_change_gc(c, gc, XCB_GC_FOREGROUND, &colour);
        const xcb_rectangle_t block{int16_t((blockStep * 7) % band), 0, kBlock, kBlock};
        xcb_poly_fill_rectangle(c, window, gc, 1, &block);
        ++blockStep;
    };
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= nextFrame) {
            nextFrame += period;
            if (nextFrame < now)
                nextFrame = now + period;
            {
                // Without a new picture yet, the last one is painted again
                // under the moving block.
                std::lock_guard lock(ahead->mutex);
                if (ahead->ready) {
                    std::memcpy(frameData, ahead->picture.data(), frameBytes);
                    ahead->ready = false;
                    ahead->taken.notify_one();
                } else if (ahead->ended) {
                    std::fprintf(stderr, "painter: ffmpeg stopped\n");
                    break;
                }
            }
            for (int row = 0; row < size.height(); row += kStripRows) {
                const int rows = std::min(kStripRows, size.height() - row);
                if (segment)
                    xcb_shm_put_image(c, window, gc, uint16_t(size.width()), uint16_t(size.height()), 0,
                                      uint16_t(row), uint16_t(size.width()), uint16_t(rows), 0, int16_t(row),
                                      screen->root_depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, segment, 0);
                else
                    xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window, gc, uint16_t(size.width()), uint16_t(rows), 0,
                                  int16_t(row), 0, screen->root_depth, uint32_t(size_t(rows) * size.width() * 4),
                                  reinterpret_cast<const uint8_t *>(frameData + size_t(row) * size.width() * 4));
                moveBlock();
            }
        }
        moveBlock();
        // A round trip: the server has done all of it before more is sent,
        // so the painter cannot pile up work ahead of the capture's grabs.
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        if (xcb_connection_has_error(c))
            break;
        std::this_thread::sleep_for(kTick);
    }
    if (segment) {
        xcb_shm_detach(c, segment);
        xcb_flush(c);
        shmdt(frameData);
    }
    xcb_disconnect(c);
    return 0;
}

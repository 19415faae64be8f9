// Encoder sizes of the two capture roads: start sizes and the receiver's
// re-size requests.

#include <QList>
#include <gtest/gtest.h>

#include "Mirror/VideoSizing.h"

namespace {
struct SizeCase {
    QSize screen;
    QSize apple; // multiples of 8
    QSize intel; // even
};
} // namespace

TEST(VideoSizing, StartSizes)
{
    const QList<SizeCase> cases = {
        {{1920, 1080}, {1920, 1080}, {1920, 1080}},
        {{1920, 1081}, {1920, 1080}, {1918, 1080}},
        {{2880, 1800}, {1728, 1080}, {1728, 1080}},
        {{3024, 1964}, {1664, 1080}, {1662, 1080}},
        {{1366, 768}, {1368, 768}, {1366, 768}},
        {{1080, 1920}, {1080, 1920}, {1080, 1920}},
        {{1440, 2560}, {1080, 1920}, {1080, 1920}},
        {{1920, 1200}, {1728, 1080}, {1728, 1080}},
        {{3456, 2234}, {1672, 1080}, {1670, 1080}},
        {{2560, 1600}, {1728, 1080}, {1728, 1080}},
        {{3840, 2160}, {1920, 1080}, {1920, 1080}},
        {{1023, 767}, {1024, 768}, {1024, 768}},
    };
    for (const SizeCase &c : cases) {
        EXPECT_EQ(VideoSizing::startSize(c.screen, 8), c.apple) << c.screen.width() << "x" << c.screen.height();
        EXPECT_EQ(VideoSizing::startSize(c.screen, 2), c.intel) << c.screen.width() << "x" << c.screen.height();
    }
}

TEST(VideoSizing, ResizeRequests)
{
    struct Case {
        QSize request;
        QSize screen;
        QSize expected;
    };
    const QList<Case> cases = {
        {{1280, 720}, {1920, 1080}, {1280, 720}},
        // Not smaller than the screen: the screen's own size, even.
        {{1920, 1080}, {1366, 768}, {1366, 768}},
        {{1920, 1080}, {1367, 769}, {1368, 770}},
        {{1920, 1080}, {1080, 1920}, {1080, 1920}},
        {{1920, 1080}, {2880, 1800}, {1728, 1080}},
        // A portrait screen fits the request turned round.
        {{1280, 720}, {1080, 1920}, {720, 1280}},
        {{1280, 720}, {1920, 1200}, {1152, 720}},
        {{640, 480}, {1920, 1080}, {640, 360}},
        // Degenerate requests give degenerate fits; the senders refuse them.
        {{1, 1}, {1920, 1080}, {2, 0}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(VideoSizing::fittedSize(c.request, c.screen), c.expected)
            << c.request.width() << "x" << c.request.height() << " on " << c.screen.width() << "x"
            << c.screen.height();
    }
}

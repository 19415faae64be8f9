// The file tiles on their own: the one-second click guard on a clock the
// test moves, clicks on a disabled tile, and hover dimming.

#include "ShareScreenTestSupport.h"

#include <QEnterEvent>
#include <QTest>

namespace {

using ShareScreenTest::ManualClock;

TEST(FileTileTest, ClickGuardSwallowsClicksWithinOneSecondOfTheLastAcceptedOne)
{
    ManualClock clock;
    QVTransferFileBgView tile;
    tile.setClock(clock.clock());
    tile.setHoverState(true);
    int calls = 0;
    tile.setTransferFileBtnClick([&] { ++calls; });

    tile.transferFileBtnClick(nullptr);
    EXPECT_EQ(calls, 1);
    const qint64 first = *tile.lastClick();
    clock.advance(500);
    tile.transferFileBtnClick(nullptr);
    EXPECT_EQ(calls, 1);
    // The swallowed click did not move the window.
    EXPECT_EQ(*tile.lastClick(), first);
    clock.advance(499);
    tile.transferFileBtnClick(nullptr);
    EXPECT_EQ(calls, 1);
    clock.advance(1);
    tile.transferFileBtnClick(nullptr);
    EXPECT_EQ(calls, 2);
    clock.advance(1200);
    tile.transferFileBtnClick(nullptr);
    EXPECT_EQ(calls, 3);
}

TEST(FileTileTest, ClickOnADisabledTileCallsNothingButStartsTheWindow)
{
    ManualClock clock;
    QVDownLoadFileView tile;
    tile.setClock(clock.clock());
    int calls = 0;
    tile.setDownLoadFileBtnClick([&] { ++calls; });
    EXPECT_FALSE(tile.hoverState());
    EXPECT_FALSE(tile.lastClick().has_value());

    tile.downLoadFileBtnClick(nullptr);
    EXPECT_EQ(calls, 0);
    ASSERT_TRUE(tile.lastClick().has_value());

    // Enabled within the second: still swallowed.
    tile.setHoverState(true);
    clock.advance(300);
    tile.downLoadFileBtnClick(nullptr);
    EXPECT_EQ(calls, 0);
    clock.advance(700);
    tile.downLoadFileBtnClick(nullptr);
    EXPECT_EQ(calls, 1);
}

TEST(FileTileTest, MouseClicksGoThroughTheGuardAndOnlyReleasesInsideCount)
{
    ManualClock clock;
    QVTransferFileBgView tile;
    tile.resize(335, 110);
    tile.setClock(clock.clock());
    tile.setHoverState(true);
    int calls = 0;
    tile.setTransferFileBtnClick([&] { ++calls; });

    QTest::mouseClick(&tile, Qt::LeftButton, {}, QPoint(100, 50));
    EXPECT_EQ(calls, 1);
    QTest::mouseClick(&tile, Qt::LeftButton, {}, QPoint(100, 50));
    EXPECT_EQ(calls, 1);
    clock.advance(1000);
    QTest::mouseClick(&tile, Qt::RightButton, {}, QPoint(100, 50));
    EXPECT_EQ(calls, 1);
    // Pressed inside, released outside: no click.
    QTest::mousePress(&tile, Qt::LeftButton, {}, QPoint(100, 50));
    QTest::mouseRelease(&tile, Qt::LeftButton, {}, QPoint(400, 50));
    EXPECT_EQ(calls, 1);
    QTest::mouseClick(&tile, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(calls, 2);
}

TEST(FileTileTest, HoverDimsOnlyAnEnabledTile)
{
    QVTransferFileBgView tile;
    tile.resize(335, 110);
    tile.setIsOpacity(true);
    tile.setOpacity(0.6);
    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
    QEvent leave(QEvent::Leave);

    QCoreApplication::sendEvent(&tile, &enter);
    EXPECT_DOUBLE_EQ(tile.opacity(), 0.6);
    QCoreApplication::sendEvent(&tile, &leave);
    EXPECT_DOUBLE_EQ(tile.opacity(), 0.6);

    tile.setHoverState(true);
    tile.setOpacity(1.0);
    QCoreApplication::sendEvent(&tile, &enter);
    EXPECT_DOUBLE_EQ(tile.opacity(), QVFileTileView::HoverOpacity);
    QCoreApplication::sendEvent(&tile, &leave);
    EXPECT_DOUBLE_EQ(tile.opacity(), 1.0);
}

} // namespace

#include "KitTestSupport.h"
#include "TestSupport.h"

#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVLoadingView.h"
#include "BaseViewController/View/QVNamedImage.h"
#include "BaseViewController/View/QVShowTipsView.h"
#include "Categories/QVViewAdd.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTest>

using namespace KitTest;

namespace {

struct Page {
    std::unique_ptr<QWidget> window;
    PressRecorder *panel = nullptr;
    QPushButton *button = nullptr;
    int clicks = 0;
};

// A panel with a button, as a page lays it out before it waits.
std::unique_ptr<Page> makePage()
{
    auto page = std::make_unique<Page>();
    page->window = shownWindow(QSize(300, 200));
    page->panel = new PressRecorder(page->window.get());
    page->panel->setGeometry(page->window->rect());
    page->button = new QPushButton(QStringLiteral("refresh"), page->panel);
    page->button->setGeometry(125, 85, 50, 30); // under the spinner
    QObject::connect(page->button, &QPushButton::clicked, [p = page.get()] { ++p->clicks; });
    page->panel->show();
    return page;
}

} // namespace

class LoadingViewTest : public WidgetTest
{
};

TEST_F(LoadingViewTest, StartsVisibleNotBlockingWithTheSpinnerStillAndCentred)
{
    QWidget panel;
    panel.resize(300, 200);
    auto *loading = new QVLoadingView(panel.rect(), &panel);
    EXPECT_FALSE(loading->isHidden());
    EXPECT_FALSE(loading->isBlockingEvents());
    QVCustomLoadingView *spinner = loading->customLoadingView();
    EXPECT_EQ(spinner->geometry(), QRect(125, 75, 50, 50));
    EXPECT_FALSE(spinner->isAnimating());
    EXPECT_FALSE(spinner->image().isNull());
    EXPECT_EQ(spinner->image().toImage(), QVNamedImage(QStringLiteral("main_loading")).toImage());
    EXPECT_EQ(loading->customLoadingView(), spinner); // made once

    // The spinner stays where it was placed when the overlay is resized.
    loading->setGeometry(0, 0, 600, 400);
    EXPECT_EQ(spinner->geometry(), QRect(125, 75, 50, 50));
}

TEST_F(LoadingViewTest, ShownOverlayTakesEveryClickHiddenOverlayLetsThemThrough)
{
    auto page = makePage();
    auto *loading = new QVLoadingView(page->panel->rect(), page->panel);
    loading->setBackgroundColor(Qt::gray);
    loading->setIsOpacity(true);
    loading->setOpacity(0.5);
    loading->hiddenLoadingView();

    click(page->window.get(), QPoint(150, 100));
    EXPECT_EQ(page->clicks, 1);

    loading->showLoadingView();
    EXPECT_TRUE(loading->isBlockingEvents());
    EXPECT_TRUE(loading->isVisible());
    EXPECT_TRUE(loading->customLoadingView()->isAnimating());
    click(page->window.get(), QPoint(150, 100)); // on the spinner, over the button
    click(page->window.get(), QPoint(10, 10));   // on the bare overlay
    QTest::mouseDClick(page->window->windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    EXPECT_EQ(page->clicks, 1);
    EXPECT_EQ(page->panel->presses, 0);

    // Repeating either state is harmless.
    loading->showLoadingView();
    EXPECT_TRUE(loading->customLoadingView()->isAnimating());
    loading->hiddenLoadingView();
    loading->hiddenLoadingView();
    EXPECT_FALSE(loading->isVisible());
    EXPECT_FALSE(loading->isBlockingEvents());
    EXPECT_FALSE(loading->customLoadingView()->isAnimating());
    click(page->window.get(), QPoint(150, 100));
    click(page->window.get(), QPoint(10, 10));
    EXPECT_EQ(page->clicks, 2);
    EXPECT_EQ(page->panel->presses, 1);
}

TEST_F(LoadingViewTest, OpacityIsKeptUntilItsFlagAndDimsTheOverlay)
{
    auto page = makePage();
    page->button->hide();
    auto *loading = new QVLoadingView(page->panel->rect(), page->panel);
    loading->setBackgroundColor(Qt::black);
    loading->setOpacity(0.5);
    EXPECT_DOUBLE_EQ(loading->opacity(), 0.5);
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(loading), 1.0);
    EXPECT_TRUE(pixelNear(renderWindow(page->window.get()), QPoint(10, 10), Qt::black));

    loading->setIsOpacity(true);
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(loading), 0.5);
    const QImage image = renderWindow(page->window.get());
    EXPECT_TRUE(pixelNear(image, QPoint(10, 10), blend(Qt::black, Qt::white, 0.5)));
}

TEST_F(LoadingViewTest, SpinnerTurnsWithoutEndAndStopsOnRequest)
{
    QVCustomLoadingView spinner(QRect(0, 0, 50, 50));
    spinner.stopAnimating(); // nothing running: nothing happens
    EXPECT_FALSE(spinner.isAnimating());

    QVKitTimings quick;
    quick.loadingSpinnerTurnMs = 60;
    spinner.setTimings(quick);
    spinner.startAnimating();
    double previous = 0;
    int wraps = 0;
    ASSERT_TRUE(TestSupport::waitFor(
        [&] {
            const double now = spinner.spinningRotation();
            if (now < previous)
                ++wraps;
            previous = now;
            return wraps >= 2;
        },
        5000));
    EXPECT_TRUE(spinner.isAnimating());

    // A repeated start replaces the running turn.
    spinner.startAnimating();
    EXPECT_TRUE(spinner.isAnimating());
    EXPECT_LT(spinner.spinningRotation(), 1.0);

    spinner.stopAnimating();
    EXPECT_FALSE(spinner.isAnimating());
    EXPECT_DOUBLE_EQ(spinner.spinningRotation(), 0.0);
}

TEST_F(LoadingViewTest, SpinnerDrawsItsImageTurned)
{
    QPixmap arrow(50, 50);
    arrow.fill(Qt::transparent);
    {
        QPainter painter(&arrow);
        painter.fillRect(0, 0, 50, 25, Qt::black); // the top half
    }
    QVCustomLoadingView spinner(QRect(0, 0, 50, 50));
    spinner.setImage(arrow);
    QImage drawn = render(&spinner);
    EXPECT_TRUE(pixelNear(drawn, QPoint(25, 10), Qt::black));
    EXPECT_TRUE(pixelNear(drawn, QPoint(25, 40), QColor(0, 0, 0, 0)));

    // The shipped image draws something.
    spinner.setImage(QVNamedImage(QStringLiteral("main_loading")));
    drawn = render(&spinner);
    int drawnPixels = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            drawnPixels += drawn.pixelColor(x, y).alpha() > 0 ? 1 : 0;
    EXPECT_GT(drawnPixels, 100);
}

TEST_F(LoadingViewTest, TipsViewsAreAPanelWithOneLabel)
{
    QVShowTipsView tips;
    tips.tipsLabel()->setText(QStringLiteral("Copied"));
    tips.resize(tips.sizeHint());
    EXPECT_EQ(tips.tipsLabel()->parentWidget(), tips.bgView());
    const QImage drawn = render(&tips);
    const QColor centreLeft = drawn.pixelColor(4, drawn.height() / 2);
    EXPECT_GT(centreLeft.alpha(), 100);
    EXPECT_LT(centreLeft.red(), 80);

    QVMsgTipsView message;
    message.titleLabel()->setText(QStringLiteral("Done"));
    message.resize(message.sizeHint());
    EXPECT_TRUE(message.bgView()->isRadius());
    EXPECT_GT(render(&message).pixelColor(4, message.height() / 2).alpha(), 100);
}

#include "KitTestSupport.h"

#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseViewController.h"
#include "Categories/QVButtonAdd.h"
#include "Categories/QVLayerEffect.h"
#include "Categories/QVViewAdd.h"

#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QCoreApplication>

using namespace KitTest;

namespace {

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);

} // namespace

class BackgroundViewTest : public WidgetTest
{
};

TEST_F(BackgroundViewTest, OpacitySetBeforeItsFlagIsKeptAndAppliedWithTheFlag)
{
    auto window = shownWindow(QSize(100, 100));
    auto *view = new QVBackgrounView(window.get());
    view->setGeometry(10, 10, 80, 80);
    view->setBackgroundColor(kRed);
    view->show();

    view->setOpacity(0.5);
    EXPECT_DOUBLE_EQ(view->opacity(), 0.5);
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(view), 1.0);
    EXPECT_TRUE(pixelNear(renderWindow(window.get()), QPoint(50, 50), kRed));

    view->setIsOpacity(true);
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(view), 0.5);
    EXPECT_TRUE(pixelNear(renderWindow(window.get()), QPoint(50, 50), blend(kRed, Qt::white, 0.5)));

    // With the flag set a new value shows at once.
    view->setOpacity(0.25);
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(view), 0.25);
    EXPECT_TRUE(pixelNear(renderWindow(window.get()), QPoint(50, 50), blend(kRed, Qt::white, 0.25)));

    // Without the flag the opacity is not in force, but it is still kept.
    view->setIsOpacity(false);
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(view), 1.0);
    EXPECT_DOUBLE_EQ(view->opacity(), 0.25);
    EXPECT_TRUE(pixelNear(renderWindow(window.get()), QPoint(50, 50), kRed));
}

TEST_F(BackgroundViewTest, NilFillLeavesTheFillThatWasShowing)
{
    auto window = shownWindow(QSize(60, 60));
    auto *view = new QVBackgrounView(window.get());
    view->setGeometry(0, 0, 60, 60);
    view->show();
    EXPECT_TRUE(pixelNear(renderWindow(window.get()), QPoint(30, 30), Qt::white)); // no fill at first

    view->setBackgroundColor(kBlue);
    view->setBackgroundColor(QColor());
    EXPECT_FALSE(view->backgroundColor().isValid());
    EXPECT_TRUE(pixelNear(renderWindow(window.get()), QPoint(30, 30), kBlue));

    view->setBackgroundColor(QColor(Qt::transparent));
    EXPECT_TRUE(pixelNear(renderWindow(window.get()), QPoint(30, 30), Qt::white));
}

TEST_F(BackgroundViewTest, RoundedCornersClipTheFillAndTheChildren)
{
    auto window = shownWindow(QSize(100, 100));
    auto *view = new QVBackgrounView(window.get());
    view->setGeometry(0, 0, 100, 100);
    view->setBackgroundColor(kRed);
    view->setIsRadius(true);
    view->setCornerRadius(20);
    view->show();
    QImage image = renderWindow(window.get());
    EXPECT_TRUE(pixelNear(image, QPoint(1, 1), Qt::white));
    EXPECT_TRUE(pixelNear(image, QPoint(50, 50), kRed));
    EXPECT_TRUE(pixelNear(image, QPoint(50, 1), kRed));

    // A child covering the whole view is cut to the same corners.
    auto *child = new QWidget(view);
    child->setGeometry(view->rect());
    child->setAutoFillBackground(true);
    QPalette palette = child->palette();
    palette.setColor(QPalette::Window, kBlue);
    child->setPalette(palette);
    child->show();
    image = renderWindow(window.get());
    EXPECT_TRUE(pixelNear(image, QPoint(1, 1), Qt::white));
    EXPECT_TRUE(pixelNear(image, QPoint(98, 98), Qt::white));
    EXPECT_TRUE(pixelNear(image, QPoint(50, 50), kBlue));
    EXPECT_TRUE(pixelNear(image, QPoint(1, 50), kBlue));

    // Without the flag nothing is rounded.
    view->setIsRadius(false);
    EXPECT_TRUE(pixelNear(renderWindow(window.get()), QPoint(1, 1), kBlue));
}

TEST_F(BackgroundViewTest, BorderIsDrawnInsideTheBoundsOnlyWithItsFlag)
{
    auto window = shownWindow(QSize(60, 60));
    auto *view = new QVBackgrounView(window.get());
    view->setGeometry(0, 0, 60, 60);
    view->setBackgroundColor(kRed);
    view->setBorderColor(kBlue);
    view->setBorderWidth(3);
    view->show();
    EXPECT_TRUE(pixelNear(renderWindow(window.get()), QPoint(1, 30), kRed));

    view->setIsBorder(true);
    const QImage image = renderWindow(window.get());
    EXPECT_TRUE(pixelNear(image, QPoint(0, 30), kBlue));
    EXPECT_TRUE(pixelNear(image, QPoint(2, 30), kBlue));
    EXPECT_TRUE(pixelNear(image, QPoint(59, 30), kBlue));
    EXPECT_TRUE(pixelNear(image, QPoint(4, 30), kRed));
    EXPECT_TRUE(pixelNear(image, QPoint(30, 30), kRed));
}

TEST_F(BackgroundViewTest, BlockingSwallowsClicksButChildrenStillGetTheirs)
{
    auto window = shownWindow(QSize(200, 200));
    auto *page = new PressRecorder(window.get());
    page->setGeometry(window->rect());
    auto *view = new QVBackgrounView(page);
    view->setGeometry(20, 20, 160, 160);
    auto *button = new QPushButton(QStringLiteral("go"), view);
    button->setGeometry(10, 10, 60, 30);
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
    page->show();

    click(window.get(), QPoint(150, 150)); // the view's empty area
    EXPECT_EQ(page->presses, 1);
    EXPECT_EQ(page->releases, 1);

    view->setIsBlockingEvents(true);
    click(window.get(), QPoint(150, 150));
    EXPECT_EQ(page->presses, 1);
    EXPECT_EQ(page->releases, 1);
    QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(150, 150));
    EXPECT_EQ(page->presses, 1);

    click(window.get(), QPoint(20 + 10 + 30, 20 + 10 + 15)); // on the button
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(page->presses, 1);
}

TEST_F(BackgroundViewTest, GeometryAccessorsReadAndWriteOneFieldOfTheFrame)
{
    QWidget parent;
    auto *view = new QWidget(&parent);
    view->setGeometry(10, 20, 30, 40);
    EXPECT_EQ(QVAdd::left(view), 10);
    EXPECT_EQ(QVAdd::top(view), 20);
    EXPECT_EQ(QVAdd::right(view), 40);
    EXPECT_EQ(QVAdd::bottom(view), 60);
    EXPECT_EQ(QVAdd::width(view), 30);
    EXPECT_EQ(QVAdd::height(view), 40);
    EXPECT_EQ(QVAdd::origin(view), QPoint(10, 20));
    EXPECT_EQ(QVAdd::size(view), QSize(30, 40));
    EXPECT_DOUBLE_EQ(QVAdd::centerX(view), 25.0);
    EXPECT_DOUBLE_EQ(QVAdd::centerY(view), 40.0);

    QVAdd::setRight(view, 100);
    EXPECT_EQ(view->geometry(), QRect(70, 20, 30, 40));
    QVAdd::setBottom(view, 100);
    EXPECT_EQ(view->geometry(), QRect(70, 60, 30, 40));
    QVAdd::setWidth(view, 50);
    EXPECT_EQ(view->geometry(), QRect(70, 60, 50, 40));
    QVAdd::setHeight(view, 10);
    EXPECT_EQ(view->geometry(), QRect(70, 60, 50, 10));
    QVAdd::setLeft(view, 1);
    QVAdd::setTop(view, 2);
    EXPECT_EQ(view->geometry(), QRect(1, 2, 50, 10));
    QVAdd::setOrigin(view, QPoint(5, 6));
    EXPECT_EQ(view->geometry(), QRect(5, 6, 50, 10));
    QVAdd::setSize(view, QSize(8, 9));
    EXPECT_EQ(view->geometry(), QRect(5, 6, 8, 9));

    QVAdd::setCenterX(view, 100);
    EXPECT_DOUBLE_EQ(QVAdd::centerX(view), 100.0);
    QVAdd::setCenterY(view, 50);
    EXPECT_NEAR(QVAdd::centerY(view), 50.0, 0.5); // odd height: half a point of rounding
    EXPECT_EQ(QVAdd::size(view), QSize(8, 9));
}

TEST_F(BackgroundViewTest, RemoveAllSubviewsRemovesChildWidgetsOnly)
{
    QWidget view;
    QVAdd::removeAllSubviews(&view); // nothing to do

    QPointer<QWidget> a = new QWidget(&view);
    QPointer<QWidget> b = new QVBackgrounView(&view);
    QPointer<QWidget> c = new QWidget(b);
    QPointer<QWidget> ownedWindow = new QWidget(&view, Qt::ToolTip);
    QPointer<QObject> helper = new QObject(&view);
    QVAdd::removeAllSubviews(&view);
    EXPECT_EQ(a->parent(), nullptr);
    EXPECT_EQ(b->parent(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(a.isNull());
    EXPECT_TRUE(b.isNull());
    EXPECT_TRUE(c.isNull());
    EXPECT_FALSE(ownedWindow.isNull());
    EXPECT_FALSE(helper.isNull());
}

TEST_F(BackgroundViewTest, LayerShadowDrawsOutsideTheViewAndKeepsTheOpacity)
{
    auto window = shownWindow(QSize(100, 100));
    auto *view = new QVBackgrounView(window.get());
    view->setGeometry(20, 20, 40, 40);
    view->setBackgroundColor(kRed);
    view->show();
    QVAdd::setLayerShadow(view, Qt::black, QSizeF(10, 10), 0);
    QImage image = renderWindow(window.get());
    EXPECT_TRUE(pixelNear(image, QPoint(40, 40), kRed));
    EXPECT_TRUE(pixelNear(image, QPoint(65, 65), Qt::black)); // under the view, moved by the offset
    EXPECT_TRUE(pixelNear(image, QPoint(75, 75), Qt::white));

    // Shadow and opacity live on one layer.
    view->setIsOpacity(true);
    view->setOpacity(0.5);
    image = renderWindow(window.get());
    EXPECT_TRUE(pixelNear(image, QPoint(65, 65), blend(Qt::black, Qt::white, 0.5)));
    EXPECT_TRUE(pixelNear(image, QPoint(25, 25), blend(kRed, Qt::white, 0.5)));

    // A blurred shadow fades out beyond the offset edge.
    QVAdd::setLayerShadow(view, Qt::black, QSizeF(0, 0), 6);
    image = renderWindow(window.get());
    const QColor edge = image.pixelColor(62, 40);
    EXPECT_LT(edge.red(), 255);
    EXPECT_GT(edge.red(), 0);
}

TEST_F(BackgroundViewTest, TitleTextColourChangesOnlyNonEmptyTitles)
{
    QPushButton button;
    QFont font = button.font();
    font.setPixelSize(23);
    button.setFont(font);
    const QColor before = button.palette().color(QPalette::ButtonText);

    QVAdd::setTitleTextColor(&button, kRed);
    EXPECT_EQ(button.palette().color(QPalette::ButtonText), before);
    button.setText(QStringLiteral(" \t "));
    QVAdd::setTitleTextColor(&button, kRed);
    EXPECT_EQ(button.palette().color(QPalette::ButtonText), before);
    button.setText(QStringLiteral("OK"));
    QVAdd::setTitleTextColor(&button, QColor());
    EXPECT_EQ(button.palette().color(QPalette::ButtonText), before);

    QVAdd::setTitleTextColor(&button, kRed);
    EXPECT_EQ(button.palette().color(QPalette::ButtonText), kRed);
    EXPECT_EQ(button.font().pixelSize(), 23);
    EXPECT_EQ(button.text(), QStringLiteral("OK"));
}

TEST_F(BackgroundViewTest, BaseViewControllerFixesAndMovesItsWindow)
{
    QWidget window;
    auto *page = new QVBaseViewController(&window);
    page->setCannotChangedSize(QSize(320, 240));
    EXPECT_EQ(window.minimumSize(), QSize(320, 240));
    EXPECT_EQ(window.maximumSize(), QSize(320, 240));
    EXPECT_EQ(page->minimumSize(), QSize(0, 0));

    window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window.setMinimumSize(0, 0);
    page->setViewWindowFrame(QRect(30, 40, 300, 200));
    EXPECT_EQ(window.geometry(), QRect(30, 40, 300, 200));
}

#include "KitTestSupport.h"
#include "TestSupport.h"

#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVBaseImageView.h"
#include "BaseViewController/View/QVCustomButton.h"
#include "BaseViewController/View/QVCustomButtonView.h"
#include "BaseViewController/View/QVImageHoverButton.h"
#include "BaseViewController/View/QVPopoverViewController.h"
#include "BaseViewController/View/QVRotatingButton.h"
#include "Categories/QVViewAdd.h"
#include "Categories/RVColor.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QTest>
#include <numbers>

using namespace KitTest;

namespace {

const QColor kButtonBlue(0x58, 0x79, 0xFC);

QVBaseButton *blueButton(QWidget *parent, const QRect &frame)
{
    auto *button = new QVBaseButton(parent);
    button->setGeometry(frame);
    button->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0x5879FC")));
    button->show();
    return button;
}

QPixmap squareImage(int side, const QColor &color)
{
    QPixmap image(side, side);
    image.fill(color);
    return image;
}

int countPixels(const QImage &image, const std::function<bool(const QColor &)> &matches)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += matches(image.pixelColor(x, y)) ? 1 : 0;
    return count;
}

} // namespace

class ButtonTest : public WidgetTest
{
};

TEST_F(ButtonTest, HoverDimsToPointSevenOnlyWithInteraction)
{
    auto window = shownWindow(QSize(200, 100));
    QVBaseButton *button = blueButton(window.get(), QRect(10, 10, 80, 40));
    QVBaseButton *plain = blueButton(window.get(), QRect(110, 10, 80, 40));
    button->setIsInteraction(true);

    moveMouse(window.get(), QPoint(50, 30));
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(button), 0.7);
    EXPECT_TRUE(pixelNear(renderWindow(window.get()), QPoint(50, 30), blend(kButtonBlue, Qt::white, 0.7)));

    moveMouse(window.get(), QPoint(150, 30)); // onto the button without interaction
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(button), 1.0);
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(plain), 1.0);
    const QImage image = renderWindow(window.get());
    EXPECT_TRUE(pixelNear(image, QPoint(50, 30), kButtonBlue));
    EXPECT_TRUE(pixelNear(image, QPoint(150, 30), kButtonBlue));
}

TEST_F(ButtonTest, HoverIsFollowedOnlyInTheActiveWindow)
{
    auto window = shownWindow(QSize(100, 60));
    QVBaseButton *button = blueButton(window.get(), QRect(0, 0, 100, 60));
    button->setIsInteraction(true);
    auto other = shownWindow(QSize(50, 50));
    ASSERT_FALSE(window->isActiveWindow());

    moveMouse(window.get(), QPoint(50, 30));
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(button), 1.0);
    moveMouse(window.get(), QPoint(-20, -20));
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(button), 1.0);
}

TEST_F(ButtonTest, PressShowsNoHighlightAndClicksStillWork)
{
    auto window = shownWindow(QSize(100, 60));
    QVBaseButton *button = blueButton(window.get(), QRect(0, 0, 100, 60));
    int clicks = 0;
    QObject::connect(button, &QAbstractButton::clicked, [&clicks] { ++clicks; });
    const QImage before = renderWindow(window.get());
    QTest::mousePress(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 30));
    EXPECT_TRUE(button->isDown());
    EXPECT_EQ(renderWindow(window.get()), before);
    QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 30));
    EXPECT_EQ(clicks, 1);

    // Keyboard focus by Tab only, and only with clickStyle.
    EXPECT_TRUE(button->canBecomeKeyView());
    EXPECT_EQ(button->focusPolicy(), Qt::TabFocus);
    button->setClickStyle(false);
    EXPECT_FALSE(button->canBecomeKeyView());
    EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
}

TEST_F(ButtonTest, RoundedFillAndSelectedFlag)
{
    auto window = shownWindow(QSize(100, 100));
    QVBaseButton *button = blueButton(window.get(), QRect(0, 0, 100, 100));
    button->setIsRadius(true);
    button->setCornerRadius(4.0);
    QImage image = renderWindow(window.get());
    EXPECT_TRUE(pixelNear(image, QPoint(0, 0), Qt::white));
    EXPECT_TRUE(pixelNear(image, QPoint(3, 50), kButtonBlue));
    button->setIsSelect(true);
    EXPECT_TRUE(button->isSelect());
    EXPECT_EQ(renderWindow(window.get()), image); // the selected state draws nothing different
}

TEST_F(ButtonTest, TipTextIsFixedWhenTheTipIsBuilt)
{
    allowTipWindows();
    auto window = shownWindow(QSize(200, 100));
    QVBaseButton *button = blueButton(window.get(), QRect(10, 10, 80, 40));
    button->setPopoverTitle(QStringLiteral("first"));
    button->setPopoverTitleColor(QColor(Qt::red));
    button->setIsShowPopover(true);
    button->setPopoverTitle(QStringLiteral("second"));
    ASSERT_NE(button->customPopover(), nullptr);
    auto *content = qobject_cast<QVPopoverViewController *>(button->customPopover()->contentViewController());
    ASSERT_NE(content, nullptr);
    EXPECT_EQ(content->textLabel()->text(), QStringLiteral("first"));
    EXPECT_EQ(content->textLabel()->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_EQ(content->height(), 25);
    EXPECT_EQ(content->width(), content->textLabel()->width());
    EXPECT_TRUE(content->bgView()->backgroundColor() == QColor(Qt::white));

    moveMouse(window.get(), QPoint(50, 30));
    EXPECT_TRUE(button->isShow());
    EXPECT_TRUE(button->customPopover()->isShown());
    // The tip opens under the button.
    EXPECT_GE(button->customPopover()->geometry().top(), button->mapToGlobal(QPoint(0, button->height())).y());

    moveMouse(window.get(), QPoint(150, 80));
    EXPECT_FALSE(button->isShow());
    EXPECT_FALSE(button->customPopover()->isShown());

    button->setIsShowPopover(true);
    content = qobject_cast<QVPopoverViewController *>(button->customPopover()->contentViewController());
    EXPECT_EQ(content->textLabel()->text(), QStringLiteral("second"));
}

TEST_F(ButtonTest, RebuildingAnOpenTipClosesTheOldOne)
{
    allowTipWindows();
    auto window = shownWindow(QSize(200, 100));
    QVBaseButton *button = blueButton(window.get(), QRect(10, 10, 80, 40));
    button->setPopoverTitle(QStringLiteral("tip"));
    button->setIsShowPopover(true);
    moveMouse(window.get(), QPoint(50, 30));
    QPointer<QVPopover> first = button->customPopover();
    ASSERT_TRUE(first && first->isShown());

    button->setIsShowPopover(true);
    EXPECT_FALSE(first->isShown());
    EXPECT_FALSE(button->isShow());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(button->customPopover(), nullptr);

    // Pointer back over the button: the new tip opens, the old one is gone.
    moveMouse(window.get(), QPoint(150, 80));
    moveMouse(window.get(), QPoint(50, 30));
    EXPECT_TRUE(button->customPopover()->isShown());

    // Switching the tip off closes it and keeps it from opening.
    button->setIsShowPopover(false);
    EXPECT_FALSE(button->customPopover()->isShown());
    moveMouse(window.get(), QPoint(150, 80));
    moveMouse(window.get(), QPoint(50, 30));
    EXPECT_FALSE(button->customPopover()->isShown());
    EXPECT_FALSE(button->isShow());
}

TEST_F(ButtonTest, AtMostOneTipAmongSiblings)
{
    allowTipWindows();
    auto window = shownWindow(QSize(300, 100));
    QVBaseButton *a = blueButton(window.get(), QRect(0, 0, 100, 40));
    QVBaseButton *b = blueButton(window.get(), QRect(100, 0, 100, 40)); // touching a
    QVBaseButton *c = blueButton(window.get(), QRect(200, 0, 100, 40));
    for (QVBaseButton *button : {a, b, c}) {
        button->setPopoverTitle(QStringLiteral("tip"));
        button->setIsShowPopover(true);
    }
    moveMouse(window.get(), QPoint(50, 20));
    ASSERT_TRUE(a->isShow());

    // Straight from a onto b: a's tip closes, b's opens and stays open.
    moveMouse(window.get(), QPoint(150, 20));
    QCoreApplication::processEvents();
    EXPECT_FALSE(a->customPopover()->isShown());
    EXPECT_TRUE(b->customPopover()->isShown());
    EXPECT_TRUE(b->isShow());

    // A tip left open on a sibling (its leave was never seen) is closed when
    // another button's tip closes.
    c->customPopover()->showRelativeToRect(c->rect(), c, Qt::BottomEdge);
    QTest::qWait(0);
    b->cancelPopTipsShow();
    QCoreApplication::processEvents();
    EXPECT_FALSE(b->customPopover()->isShown());
    EXPECT_FALSE(c->customPopover()->isShown());
    EXPECT_FALSE(b->isShow());
    // Closed from outside, the tip stays closed while the pointer stays.
    moveMouse(window.get(), QPoint(160, 25));
    EXPECT_FALSE(b->customPopover()->isShown());

    // Hiding a button closes its tip.
    moveMouse(window.get(), QPoint(50, 20));
    ASSERT_TRUE(a->customPopover()->isShown());
    a->hide();
    EXPECT_FALSE(a->customPopover()->isShown());
    EXPECT_FALSE(a->isShow());
}

TEST_F(ButtonTest, RotatingButtonTurnsOncePerClickAndRestartsOnAClick)
{
    auto window = shownWindow(QSize(100, 100));
    auto *button = new QVRotatingButton(squareImage(10, Qt::white), window.get());
    button->setGeometry(10, 10, 40, 40);
    button->show();
    EXPECT_TRUE(button->isRadius());
    EXPECT_DOUBLE_EQ(button->cornerRadius(), 6.0);
    EXPECT_EQ(button->backgroundColor(), QColor(116, 151, 244));
    // Later images do not change the turning image.
    button->setImage(squareImage(10, Qt::black));
    EXPECT_EQ(button->preloadedImage().toImage().pixelColor(0, 0), QColor(Qt::white));

    int clicks = 0;
    QObject::connect(button, &QAbstractButton::clicked, [&clicks] { ++clicks; });
    click(window.get(), QPoint(30, 30));
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(button->isRotating());
    ASSERT_TRUE(TestSupport::waitFor([button] { return button->imageRotation() > 2.0; }));

    click(window.get(), QPoint(30, 30));
    EXPECT_EQ(clicks, 2);
    EXPECT_TRUE(button->isRotating());
    EXPECT_LT(button->imageRotation(), 1.0); // started again from 0

    // One turn, then it stops where it started.
    QVKitTimings quick;
    quick.rotatingButtonTurnMs = 40;
    button->setTimings(quick);
    button->rotateBackgroundImage();
    EXPECT_TRUE(TestSupport::waitFor([button] { return !button->isRotating(); }));
    EXPECT_DOUBLE_EQ(button->imageRotation(), 0.0);
}

TEST_F(ButtonTest, RotatingImageFillsTheButtonAndTurns)
{
    QPixmap image(20, 20);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.fillRect(0, 0, 20, 10, Qt::black); // top half black
    }
    QWidget window;
    window.resize(40, 40);
    auto *button = new QVRotatingButton(image, &window);
    button->setGeometry(0, 0, 40, 40);
    const QColor fill(116, 151, 244);
    QImage drawn = render(button);
    EXPECT_TRUE(pixelNear(drawn, QPoint(20, 5), Qt::black));  // image scaled to fill the button
    EXPECT_TRUE(pixelNear(drawn, QPoint(20, 35), fill));
    EXPECT_TRUE(pixelNear(drawn, QPoint(0, 0), QColor(0, 0, 0, 0))); // rounded corner
    Q_UNUSED(drawn);
}

TEST(CustomButtonCell, LayoutOfTheThreeStyles)
{
    const QRectF frame(0, 0, 100, 80);
    const QSizeF image(20, 20);
    const QSizeF title(30, 14);
    auto placed = QVCustomButtonCell::layout(1, frame, image, title);
    EXPECT_EQ(placed.imageRect, QRectF(40, 18, 20, 20));
    EXPECT_EQ(placed.titleRect, QRectF(35, 48, 30, 14));
    // The pair spans 18 to 62, centred on 40.
    EXPECT_DOUBLE_EQ((placed.imageRect.top() + placed.titleRect.bottom()) / 2, 40.0);

    placed = QVCustomButtonCell::layout(0, frame, image, title);
    EXPECT_TRUE(placed.imageRect.isEmpty());
    EXPECT_EQ(placed.titleRect, QRectF(35, 33, 30, 14));

    placed = QVCustomButtonCell::layout(2, QRectF(5, 7, 100, 80), image, title);
    EXPECT_EQ(placed.imageRect, QRectF(45, 7, 20, 20));
    EXPECT_EQ(placed.titleRect, QRectF(40, 37, 30, 14));

    for (qint64 style : {qint64(3), qint64(-1), qint64(99)}) {
        placed = QVCustomButtonCell::layout(style, frame, image, title);
        EXPECT_TRUE(placed.imageRect.isEmpty());
        EXPECT_TRUE(placed.titleRect.isEmpty());
    }
}

TEST_F(ButtonTest, CustomButtonDrawsThroughItsCellWithoutChangingItsState)
{
    QWidget window;
    auto *button = new QVCustomButton(&window);
    button->setGeometry(0, 0, 100, 80);
    button->setText(QStringLiteral("Freeze"));
    button->setImage(squareImage(20, Qt::red));
    button->setShareStyle(3);
    EXPECT_EQ(button->shareStyle(), 3);
    EXPECT_TRUE(button->isInteraction());
    EXPECT_EQ(button->buttonCell()->textColor(), QColor(Qt::white));
    EXPECT_EQ(button->buttonCell()->textFont().pixelSize(), 12);

    const auto white = [](const QColor &c) { return c.alpha() > 0 && c.red() > 200 && c.green() > 200 && c.blue() > 200; };
    const auto red = [](const QColor &c) { return c.alpha() == 255 && c.red() == 255 && c.green() == 0; };

    button->buttonCell()->setBtnStyle(1);
    QImage drawn = render(button);
    EXPECT_TRUE(pixelNear(drawn, QPoint(50, 30), Qt::red)); // image above the centre
    EXPECT_GT(countPixels(drawn, white), 0);

    button->buttonCell()->setBtnStyle(0);
    drawn = render(button);
    EXPECT_EQ(countPixels(drawn, red), 0);
    EXPECT_GT(countPixels(drawn, white), 0);

    button->buttonCell()->setBtnStyle(3);
    drawn = render(button);
    EXPECT_EQ(countPixels(drawn, [](const QColor &c) { return c.alpha() > 0; }), 0);

    // Drawing leaves a disabled button disabled.
    button->buttonCell()->setBtnStyle(0);
    button->setEnabled(false);
    render(button);
    EXPECT_FALSE(button->isEnabled());
}

TEST_F(ButtonTest, CustomButtonDimsUnderThePointer)
{
    auto window = shownWindow(QSize(200, 100));
    auto *button = new QVCustomButton(window.get());
    button->setGeometry(0, 0, 100, 100);
    button->show();
    moveMouse(window.get(), QPoint(50, 50));
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(button), 0.7);
    moveMouse(window.get(), QPoint(150, 50));
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(button), 1.0);
    button->setIsInteraction(false);
    moveMouse(window.get(), QPoint(50, 50));
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(button), 1.0);
}

TEST_F(ButtonTest, ImageHoverButtonShowsAGreyDiscUnderThePointer)
{
    auto window = shownWindow(QSize(200, 100));
    auto *button = new QVImageHoverButton(window.get());
    button->setGeometry(10, 10, 40, 40);
    button->setImage(squareImage(10, Qt::black));
    button->show();
    const QPoint rim(10 + 20, 10 + 3); // inside the disc, outside the image
    EXPECT_TRUE(pixelNear(renderWindow(window.get()), rim, Qt::white));
    EXPECT_TRUE(pixelNear(renderWindow(window.get()), QPoint(30, 30), Qt::black));

    moveMouse(window.get(), QPoint(30, 30));
    EXPECT_TRUE(button->mouseInside());
    QImage image = renderWindow(window.get());
    EXPECT_TRUE(pixelNear(image, rim, QColor(0xE7, 0xE7, 0xE7)));
    EXPECT_TRUE(pixelNear(image, QPoint(11, 11), Qt::white)); // corner outside the disc
    EXPECT_TRUE(pixelNear(image, QPoint(30, 30), Qt::black)); // image on top

    moveMouse(window.get(), QPoint(150, 80));
    EXPECT_FALSE(button->mouseInside());
    EXPECT_TRUE(pixelNear(renderWindow(window.get()), rim, Qt::white));
}

TEST_F(ButtonTest, CustomButtonViewReportsItsStyleAndDimsUnderThePointer)
{
    auto window = shownWindow(QSize(200, 120));
    auto *view = new QVCustomButtonView(window.get());
    view->setGeometry(0, 0, 100, 100);
    view->imageView()->setImage(squareImage(30, Qt::red));
    view->titleLabel()->setText(QStringLiteral("Photos"));
    view->setStyle(7);
    view->show();

    click(window.get(), QPoint(50, 50)); // no block: nothing happens
    QList<qint64> reported;
    view->setBtnActionBlock([&reported](qint64 style) { reported.append(style); });
    click(window.get(), QPoint(50, 90)); // over the label: the button covers it all
    EXPECT_EQ(reported, QList<qint64>{7});

    moveMouse(window.get(), QPoint(50, 50));
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(view), 0.7);
    moveMouse(window.get(), QPoint(150, 110));
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(view), 1.0);
}

// The casting screen's buttons, the image buttons and the button views follow
// the pointer while the program is the one in front, whichever of its
// windows is; not while another program is.
TEST_F(ButtonTest, TheOtherButtonsFollowThePointerOnlyWhileTheProgramIsActive)
{
    auto window = shownWindow(QSize(300, 100));
    auto *custom = new QVCustomButton(window.get());
    custom->setGeometry(0, 0, 100, 100);
    auto *image = new QVImageHoverButton(window.get());
    image->setGeometry(100, 0, 100, 100);
    auto *view = new QVCustomButtonView(window.get());
    view->setGeometry(200, 0, 100, 100);
    for (QWidget *widget : {static_cast<QWidget *>(custom), static_cast<QWidget *>(image), static_cast<QWidget *>(view)})
        widget->show();
    const auto hovered = [&](int index) {
        switch (index) {
        case 0:
            return QVAdd::layerOpacity(custom) < 1.0;
        case 1:
            return image->mouseInside();
        default:
            return QVAdd::layerOpacity(view) < 1.0;
        }
    };

    // Another window of the program in front: still followed.
    auto other = shownWindow(QSize(50, 50));
    ASSERT_FALSE(window->isActiveWindow());
    for (int index = 0; index < 3; ++index) {
        moveMouse(window.get(), QPoint(50 + 100 * index, 50));
        EXPECT_TRUE(hovered(index)) << index;
        moveMouse(window.get(), QPoint(50 + 100 * index, 150));
        EXPECT_FALSE(hovered(index)) << index;
    }

    // Another program in front: the pointer passes unnoticed.
    QApplication::setActiveWindow(nullptr);
    ASSERT_EQ(QApplication::activeWindow(), nullptr);
    for (int index = 0; index < 3; ++index) {
        moveMouse(window.get(), QPoint(50 + 100 * index, 50));
        EXPECT_FALSE(hovered(index)) << index;
        moveMouse(window.get(), QPoint(50 + 100 * index, 150));
        EXPECT_FALSE(hovered(index)) << index;
    }
}

TEST_F(ButtonTest, BaseImageViewScalesDownAndKeepsTheSelectedFlag)
{
    QWidget window;
    auto *view = new QVBaseImageView(&window);
    view->setGeometry(0, 0, 40, 20);
    view->setImage(squareImage(100, Qt::red));
    const QImage drawn = render(view);
    EXPECT_TRUE(pixelNear(drawn, QPoint(20, 10), Qt::red));
    EXPECT_TRUE(pixelNear(drawn, QPoint(5, 10), QColor(0, 0, 0, 0))); // proportions kept
    view->setIsSelect(true);
    EXPECT_TRUE(view->isSelect());
}

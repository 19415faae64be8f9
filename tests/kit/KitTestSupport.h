#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QStringList>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace KitTest {

// Collects every warning, critical and fatal message Qt reports while it
// lives; the widget tests fail when any arrives.
class WarningRecorder
{
public:
    WarningRecorder();
    ~WarningRecorder();
    QStringList messages() const;
    // Ignores one exact message from now on.
    void allow(const QString &message);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Base of the widget tests: fails a test that made Qt warn.
class WidgetTest : public ::testing::Test
{
protected:
    void TearDown() override;

    // The offscreen test platform cannot raise windows and says so each time
    // a tip window opens; a real display does not warn.
    void allowTipWindows();

    WarningRecorder m_warnings;
};

// A widget that counts the presses and releases that reach it, and takes
// them, so that nothing behind it sees them.
class PressRecorder : public QWidget
{
public:
    using QWidget::QWidget;
    int presses = 0;
    int releases = 0;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
};

// A top-level window of `size` holding the test's widgets, shown and made
// the active window (the kit follows the pointer only there).
std::unique_ptr<QWidget> shownWindow(const QSize &size);

// Pointer moves and clicks delivered the way the window system delivers
// them: to the widget under the point, with enter and leave events.
void moveMouse(QWidget *window, const QPoint &windowPos);
void click(QWidget *window, const QPoint &windowPos);

// The widget as drawn, children and layer effects included.
QImage render(QWidget *widget);
// The widget drawn onto a white background inside its parent's area.
QImage renderWindow(QWidget *window);

// Colours within `tolerance` per channel.
bool near(const QColor &actual, const QColor &expected, int tolerance = 2);
// `top` drawn at `opacity` over `bottom`.
QColor blend(const QColor &top, const QColor &bottom, double opacity);

::testing::AssertionResult pixelNear(const QImage &image, const QPoint &at, const QColor &expected, int tolerance = 2);

} // namespace KitTest

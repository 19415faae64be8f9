#include "KitTestSupport.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QMutex>
#include <QPainter>
#include <QTest>
#include <QWindow>

namespace KitTest {

namespace {

QMutex recorderMutex;
QStringList *activeMessages = nullptr;
QStringList *allowedMessages = nullptr;
QtMessageHandler previousHandler = nullptr;

// Far from the test windows, which stand at the screen's top left.
const QPoint kParkedPointer(790, 590);

void recordingHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg) {
        QMutexLocker lock(&recorderMutex);
        if (activeMessages && !(allowedMessages && allowedMessages->contains(message)))
            activeMessages->append(message);
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

struct WarningRecorder::State {
    QStringList messages;
    QStringList allowed;
};

WarningRecorder::WarningRecorder()
    : m_state(std::make_unique<State>())
{
    QMutexLocker lock(&recorderMutex);
    activeMessages = &m_state->messages;
    allowedMessages = &m_state->allowed;
    previousHandler = qInstallMessageHandler(recordingHandler);
}

WarningRecorder::~WarningRecorder()
{
    QMutexLocker lock(&recorderMutex);
    qInstallMessageHandler(previousHandler);
    previousHandler = nullptr;
    activeMessages = nullptr;
    allowedMessages = nullptr;
}

void WarningRecorder::allow(const QString &message)
{
    QMutexLocker lock(&recorderMutex);
    m_state->allowed.append(message);
}

QStringList WarningRecorder::messages() const
{
    QMutexLocker lock(&recorderMutex);
    return m_state->messages;
}

void WidgetTest::TearDown()
{
    // Let deferred deletions and queued work run while the recorder listens.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    const QStringList messages = m_warnings.messages();
    EXPECT_TRUE(messages.isEmpty()) << "Qt warned: " << messages.join(QStringLiteral(" | ")).toStdString();
}

void WidgetTest::allowTipWindows()
{
    m_warnings.allow(QStringLiteral("This plugin does not support raise()"));
}

void PressRecorder::mousePressEvent(QMouseEvent *event)
{
    ++presses;
    event->accept();
}

void PressRecorder::mouseReleaseEvent(QMouseEvent *event)
{
    ++releases;
    event->accept();
}

std::unique_ptr<QWidget> shownWindow(const QSize &size)
{
    auto window = std::make_unique<QWidget>();
    window->resize(size);
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, Qt::white);
    window->setPalette(palette);
    window->setAutoFillBackground(true);
    window->show();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    // The pointer starts outside every test window, so that widgets shown
    // later do not find it over them.
    QCursor::setPos(kParkedPointer);
    QCoreApplication::processEvents();
    return window;
}

void moveMouse(QWidget *window, const QPoint &windowPos)
{
    // The test platform's pointer sends the enter, leave and move events a
    // real pointer would.
    QCursor::setPos(window->mapToGlobal(windowPos));
    QCoreApplication::processEvents();
}

void click(QWidget *window, const QPoint &windowPos)
{
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, windowPos);
    QCoreApplication::processEvents();
}

QImage render(QWidget *widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

QImage renderWindow(QWidget *window)
{
    QImage image(window->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    window->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    return image;
}

bool near(const QColor &actual, const QColor &expected, int tolerance)
{
    return qAbs(actual.red() - expected.red()) <= tolerance && qAbs(actual.green() - expected.green()) <= tolerance
           && qAbs(actual.blue() - expected.blue()) <= tolerance && qAbs(actual.alpha() - expected.alpha()) <= tolerance;
}

QColor blend(const QColor &top, const QColor &bottom, double opacity)
{
    const auto mix = [opacity](int a, int b) { return qRound(a * opacity + b * (1.0 - opacity)); };
    return QColor(mix(top.red(), bottom.red()), mix(top.green(), bottom.green()), mix(top.blue(), bottom.blue()));
}

::testing::AssertionResult pixelNear(const QImage &image, const QPoint &at, const QColor &expected, int tolerance)
{
    if (!image.rect().contains(at))
        return ::testing::AssertionFailure() << "point outside the image";
    const QColor actual = image.pixelColor(at);
    if (near(actual, expected, tolerance))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel at (" << at.x() << "," << at.y() << ") is "
                                         << actual.name(QColor::HexArgb).toStdString() << ", expected "
                                         << expected.name(QColor::HexArgb).toStdString();
}

} // namespace KitTest

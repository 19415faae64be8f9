#include "KitTestSupport.h"

#include "BaseViewController/View/QVAdaptiveHeightTextField.h"
#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBuleCursorTextField.h"
#include "BaseViewController/View/QVCustomScroller.h"
#include "BaseViewController/View/QVCustomTextFieldCell.h"
#include "BaseViewController/View/QVFeedbackContentTextView.h"
#include "BaseViewController/View/QVUnderlinedView.h"
#include "Categories/QVTextFieldAdd.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

using namespace KitTest;

namespace {

const QColor kCyan(0x00, 0xBB, 0xE3);

int firstInkRow(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 0 && c.red() < 128 && c.green() < 128 && c.blue() < 128)
                return y;
        }
    return -1;
}

class ShiftedScroller : public QVCustomScroller
{
    Q_OBJECT
public:
    using QVCustomScroller::QVCustomScroller;
};

} // namespace

class TextFieldTest : public WidgetTest
{
};

TEST_F(TextFieldTest, FieldsTakeCutCopyPasteAndSelectAllThemselves)
{
    auto window = shownWindow(QSize(300, 200));
    auto *field = new QVBuleCursorTextField(window.get());
    field->setGeometry(10, 10, 200, 30);
    auto *view = new QVFeedbackContentTextView(window.get());
    view->setGeometry(10, 50, 200, 100);
    // An application shortcut on the same keys must not take them from the field.
    int stolen = 0;
    auto *paste = new QAction(window.get());
    paste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    paste->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(paste, &QAction::triggered, [&stolen] { ++stolen; });
    window->addAction(paste);
    field->show();
    view->show();
    QApplication::clipboard()->clear();

    field->setFocus();
    QTest::keyClicks(field, QStringLiteral("hello"));
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(field->selectedText(), QStringLiteral("hello"));
    QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("hello"));
    QTest::keyClick(field, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(field->text(), QString());
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field->text(), QStringLiteral("hellohello"));
    EXPECT_EQ(stolen, 0);

    view->setFocus();
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(view->textCursor().selectedText(), QStringLiteral("hello"));
    QTest::keyClick(view, Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(view->toPlainText().isEmpty());
    EXPECT_EQ(stolen, 0);
}

TEST_F(TextFieldTest, KeyRuleIsExactlyCtrlWithXCVAAndActsOnTheFocusWidget)
{
    auto window = shownWindow(QSize(300, 120));
    auto *focused = new QVBuleCursorTextField(window.get());
    focused->setGeometry(10, 10, 200, 30);
    auto *other = new QVBuleCursorTextField(window.get());
    other->setGeometry(10, 50, 200, 30);
    auto *button = new QPushButton(QStringLiteral("b"), window.get());
    button->setGeometry(220, 10, 60, 30);
    focused->show();
    other->show();
    button->show();
    focused->setFocus();
    focused->setText(QStringLiteral("code"));
    focused->selectAll();
    other->setText(QStringLiteral("untouched"));
    QApplication::clipboard()->clear();

    const auto key = [](int k, Qt::KeyboardModifiers modifiers) {
        return QKeyEvent(QEvent::KeyPress, k, modifiers, QString());
    };
    // Shift, Alt or Meta with Ctrl, Ctrl alone with other letters, or no Ctrl: not the rule.
    for (const QKeyEvent &event :
         {key(Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier), key(Qt::Key_V, Qt::MetaModifier),
          key(Qt::Key_X, Qt::ControlModifier | Qt::AltModifier), key(Qt::Key_Z, Qt::ControlModifier),
          key(Qt::Key_C, Qt::NoModifier)}) {
        EXPECT_FALSE(QVAdd::performKeyEquivalent(other, &event));
    }
    EXPECT_EQ(focused->text(), QStringLiteral("code"));

    // Sent through another field, the cut still acts on the focus widget.
    const QKeyEvent cut = key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(QVAdd::performKeyEquivalent(other, &cut));
    EXPECT_EQ(focused->text(), QString());
    EXPECT_EQ(other->text(), QStringLiteral("untouched"));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("code"));

    // A focus widget without the action answers no.
    button->setFocus();
    const QKeyEvent paste = key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_FALSE(QVAdd::performKeyEquivalent(other, &paste));
}

TEST_F(TextFieldTest, FilterGivesTheRuleToOtherFields)
{
    auto window = shownWindow(QSize(300, 60));
    auto *field = new QLineEdit(window.get());
    field->setGeometry(10, 10, 200, 30);
    field->show();
    QVTextFieldKeyEquivalentFilter filter;
    field->installEventFilter(&filter);
    field->setFocus();
    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field->text(), QStringLiteral("pasted"));

    field->clear();
    EXPECT_EQ(QVAdd::placeholderOrStringValue(field), QString());
    field->setPlaceholderText(QStringLiteral("4-character code"));
    EXPECT_EQ(QVAdd::placeholderOrStringValue(field), QStringLiteral("4-character code"));
    field->setText(QStringLiteral("   "));
    EXPECT_EQ(QVAdd::placeholderOrStringValue(field), QStringLiteral("4-character code"));
    field->setText(QStringLiteral("AB"));
    EXPECT_EQ(QVAdd::placeholderOrStringValue(field), QStringLiteral("AB"));
    field->setText(QString());
    field->setPlaceholderText(QStringLiteral(" "));
    EXPECT_EQ(QVAdd::placeholderOrStringValue(field), QString());
}

TEST_F(TextFieldTest, InsertionPointIsCyanOnceFocused)
{
    auto window = shownWindow(QSize(220, 60));
    auto *field = new QVBuleCursorTextField(window.get());
    field->setGeometry(10, 10, 200, 30);
    field->show();
    EXPECT_FALSE(field->insertionPointColor().isValid());
    const auto cyanPixels = [](const QImage &image) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += near(image.pixelColor(x, y), kCyan, 3) ? 1 : 0;
        return count;
    };
    EXPECT_EQ(cyanPixels(render(field)), 0);

    field->setFocus();
    QTest::keyClicks(field, QStringLiteral("AB"));
    EXPECT_EQ(field->insertionPointColor(), kCyan);
    const QImage focused = render(field);
    EXPECT_GE(cyanPixels(focused), 8); // one column, most of a line high

    // The field's own caret, drawn in the text colour, is gone: the column
    // right of the text holds only cyan and the background.
    field->clearFocus();
    EXPECT_EQ(cyanPixels(render(field)), 0);
}

TEST_F(TextFieldTest, CellCentresTheTitleAndMovesTheEditorByOringeY)
{
    EXPECT_EQ(QVCustomTextFieldCell::titleRectForBounds(QRectF(0, 0, 100, 40), 16), QRectF(0, 12, 100, 16));
    EXPECT_EQ(QVCustomTextFieldCell::titleRectForBounds(QRectF(5, 10, 50, 10), 16), QRectF(5, 7, 50, 16));

    auto window = shownWindow(QSize(220, 60));
    auto *field = new QLineEdit(window.get());
    field->setGeometry(10, 10, 200, 40);
    field->setText(QStringLiteral("Xg"));
    field->setReadOnly(true); // no caret in the picture
    auto *cell = new QVCustomTextFieldCell(field);
    cell->setOringeY(2.0);
    field->show();
    const int drawn = firstInkRow(render(field));
    ASSERT_GE(drawn, 0);
    field->setFocus();
    EXPECT_EQ(firstInkRow(render(field)), drawn + 2);
    field->clearFocus();
    EXPECT_EQ(firstInkRow(render(field)), drawn);
    cell->setOringeY(-3.0);
    field->setFocus();
    EXPECT_EQ(firstInkRow(render(field)), drawn - 3);
}

TEST_F(TextFieldTest, AdaptiveFieldTakesNoSpaceWhileEmpty)
{
    QWidget box;
    auto *layout = new QVBoxLayout(&box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *adaptive = new QVAdaptiveHeightTextField;
    auto *below = new QLabel(QStringLiteral("below"));
    layout->addWidget(adaptive);
    layout->addWidget(below);
    layout->addStretch();
    box.resize(200, 200);
    layout->activate();
    EXPECT_EQ(adaptive->sizeHint(), QSize(0, 0));
    EXPECT_EQ(adaptive->minimumSizeHint(), QSize(0, 0));
    EXPECT_EQ(below->y(), 0);

    adaptive->setText(QStringLiteral("a"));
    EXPECT_GT(adaptive->sizeHint().height(), 0);
    EXPECT_GT(adaptive->sizeHint().width(), 0);
    layout->activate();
    EXPECT_GT(below->y(), 0);
}

TEST_F(TextFieldTest, ScrollerDrawsOnlyAWhiteInsetKnob)
{
    QVCustomScroller scroller(Qt::Vertical);
    EXPECT_TRUE(scroller.isCompatibleWithOverlayScrollers());
    ShiftedScroller subclass(Qt::Vertical);
    EXPECT_FALSE(subclass.isCompatibleWithOverlayScrollers());

    scroller.resize(15, 200);
    scroller.setRange(0, 100);
    scroller.setPageStep(100);
    scroller.setValue(100);
    EXPECT_EQ(scroller.rectForKnob(), QRect(0, 100, 15, 100));
    QImage drawn = render(&scroller);
    EXPECT_TRUE(pixelNear(drawn, QPoint(7, 150), Qt::white));
    EXPECT_TRUE(pixelNear(drawn, QPoint(1, 150), QColor(0, 0, 0, 0))); // inset 3 across
    EXPECT_TRUE(pixelNear(drawn, QPoint(7, 50), QColor(0, 0, 0, 0)));  // no track
    EXPECT_LT(drawn.pixelColor(3, 100).alpha(), 64); // rounded corner
    EXPECT_TRUE(pixelNear(drawn, QPoint(3, 150), Qt::white));

    scroller.setBackgroundColor(Qt::black);
    drawn = render(&scroller);
    EXPECT_TRUE(pixelNear(drawn, QPoint(7, 50), Qt::black));
    scroller.setBackgroundColor(QColor());
    EXPECT_TRUE(pixelNear(render(&scroller), QPoint(7, 50), QColor(0, 0, 0, 0)));

    // Nothing to scroll: no knob at all.
    scroller.setRange(0, 0);
    EXPECT_TRUE(pixelNear(render(&scroller), QPoint(7, 100), QColor(0, 0, 0, 0)));
}

TEST_F(TextFieldTest, ScrollerKnobDragsAndTheTrackPages)
{
    auto window = shownWindow(QSize(100, 220));
    auto *scroller = new QVCustomScroller(Qt::Vertical, window.get());
    scroller->setGeometry(10, 10, 15, 200);
    scroller->setRange(0, 100);
    scroller->setPageStep(100);
    scroller->setValue(0);
    scroller->show();

    QTest::mousePress(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(17, 60));
    QTest::mouseMove(window->windowHandle(), QPoint(17, 110));
    QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(17, 110));
    EXPECT_EQ(scroller->value(), 50);

    click(window.get(), QPoint(17, 12)); // the track above the knob
    EXPECT_EQ(scroller->value(), 0);
}

TEST_F(TextFieldTest, UnderlinedViewIsRedAndDrawingChangesNothing)
{
    QVUnderlinedView view;
    view.resize(275, 21);
    view.show();
    view.textLabel()->setText(QStringLiteral("www.example.invalid"));
    const QColor red(0xFF, 0x5B, 0x5C);
    EXPECT_EQ(view.textLabel()->palette().color(QPalette::WindowText), red);
    EXPECT_EQ(view.bottomLineView()->backgroundColor(), red);
    QCoreApplication::processEvents();
    const QRect line = view.bottomLineView()->geometry();
    EXPECT_EQ(line.height(), 1);
    EXPECT_EQ(line.width(), view.textLabel()->fontMetrics().horizontalAdvance(view.textLabel()->text()));

    // A page that recolours them keeps its colours through any number of draws.
    QPalette palette = view.textLabel()->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    view.textLabel()->setPalette(palette);
    render(&view);
    render(&view);
    EXPECT_EQ(view.textLabel()->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_TRUE(pixelNear(render(&view), QPoint(line.center().x(), line.y()), red));
}

#include "TextFieldTest.moc"

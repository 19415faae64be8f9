#include "KitTestSupport.h"

#include "BaseViewController/View/QVAlertSlot.h"
#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVBuleCursorTextField.h"
#include "BaseViewController/View/QVDefaultAlertController.h"
#include "BaseViewController/View/QVHaveInputAlertController.h"
#include "BaseViewController/View/QVNamedImage.h"
#include "BaseViewController/View/QVNoPromptAlertController.h"
#include "Categories/QVViewAdd.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace KitTest;

namespace {

const QColor kConfirmBlue(0x58, 0x79, 0xFC);
const QColor kCancelGrey(0xED, 0xED, 0xED);

// The page's background panel: records what reaches it.
class Panel : public QWidget
{
public:
    using QWidget::QWidget;
    int presses = 0;
    int keys = 0;

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        ++presses;
        event->accept();
    }
    void keyPressEvent(QKeyEvent *event) override
    {
        ++keys;
        event->accept();
    }
};

struct Page {
    std::unique_ptr<QWidget> window;
    Panel *panel = nullptr;
    QPushButton *button = nullptr;
    int buttonClicks = 0;
};

std::unique_ptr<Page> makePage()
{
    auto page = std::make_unique<Page>();
    page->window = shownWindow(QSize(600, 400));
    page->panel = new Panel(page->window.get());
    page->panel->setGeometry(page->window->rect());
    page->button = new QPushButton(QStringLiteral("page"), page->panel);
    page->button->setGeometry(5, 5, 60, 30);
    QObject::connect(page->button, &QPushButton::clicked, [p = page.get()] { ++p->buttonClicks; });
    page->panel->show();
    return page;
}

QPoint centreIn(QWidget *window, QWidget *widget)
{
    return widget->mapTo(window, widget->rect().center());
}

} // namespace

class AlertTest : public WidgetTest
{
};

TEST_F(AlertTest, DefaultAlertLookAndTexts)
{
    QVDefaultAlertController alert;
    EXPECT_TRUE(alert.bgView()->isBlockingEvents());
    EXPECT_EQ(alert.bgView()->backgroundColor(), QColor(0, 0, 0, 0x70));
    EXPECT_FALSE(alert.showBgView()->isBlockingEvents());
    EXPECT_EQ(alert.showBgView()->backgroundColor(), QColor(Qt::white));
    EXPECT_TRUE(alert.showBgView()->isRadius());
    EXPECT_DOUBLE_EQ(alert.showBgView()->cornerRadius(), 10.0);
    EXPECT_EQ(alert.titleLabel()->text(), QStringLiteral("permissionPrompt_tips_title"));
    EXPECT_EQ(alert.doubleLeftBtn()->text(), QStringLiteral("alert_shareCode_cancel"));
    EXPECT_EQ(alert.doubleRightBtn()->text(), QStringLiteral("alert_shareCode_sure"));
    EXPECT_EQ(alert.singleBtn()->text(), QStringLiteral("alert_shareCode_sure"));
    for (QVBaseButton *button : {alert.doubleLeftBtn(), alert.doubleRightBtn(), alert.singleBtn()}) {
        EXPECT_TRUE(button->isRadius());
        EXPECT_DOUBLE_EQ(button->cornerRadius(), 4.0);
    }
    EXPECT_EQ(alert.doubleLeftBtn()->backgroundColor(), kCancelGrey);
    EXPECT_EQ(alert.doubleRightBtn()->backgroundColor(), kConfirmBlue);
    EXPECT_EQ(alert.singleBtn()->backgroundColor(), kConfirmBlue);
}

TEST_F(AlertTest, AlertTypeZeroShowsOneButtonAnyOtherTwo)
{
    auto page = makePage();
    QVAlertSlot slot(page->panel);
    auto *alert = slot.present<QVDefaultAlertController>();
    for (qint64 type : {qint64(0), qint64(1), qint64(5), qint64(-1), qint64(0)}) {
        alert->setAlertType(type);
        EXPECT_EQ(alert->alertType(), type);
        EXPECT_EQ(alert->singleBtn()->isVisible(), type == 0);
        EXPECT_EQ(alert->doubleLeftBtn()->isVisible(), type != 0);
        EXPECT_EQ(alert->doubleRightBtn()->isVisible(), type != 0);
    }
}

TEST_F(AlertTest, AlertDimsThePageAndSwallowsItsClicks)
{
    auto page = makePage();
    QVAlertSlot slot(page->panel);
    auto *alert = slot.present<QVDefaultAlertController>();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->geometry(), page->panel->rect());
    QCoreApplication::processEvents();

    const QImage image = renderWindow(page->window.get());
    EXPECT_TRUE(pixelNear(image, QPoint(590, 390), blend(Qt::black, Qt::white, 0x70 / 255.0)));
    EXPECT_TRUE(pixelNear(image, alert->showBgView()->mapTo(page->window.get(), QPoint(5, alert->showBgView()->height() / 2)),
                          Qt::white));
    // The box's corner shows the dimmed page.
    EXPECT_TRUE(pixelNear(image, alert->showBgView()->mapTo(page->window.get(), QPoint(0, 0)),
                          blend(Qt::black, Qt::white, 0x70 / 255.0), 6));

    click(page->window.get(), QPoint(35, 20)); // over the page's button
    click(page->window.get(), QPoint(590, 390));
    click(page->window.get(), alert->showBgView()->mapTo(page->window.get(), QPoint(5, 5))); // the box's empty area
    EXPECT_EQ(page->buttonClicks, 0);
    EXPECT_EQ(page->panel->presses, 0);

    slot.dismiss();
    click(page->window.get(), QPoint(35, 20));
    EXPECT_EQ(page->buttonClicks, 1);
}

TEST_F(AlertTest, ButtonsCallTheirBlocksWhenSet)
{
    auto page = makePage();
    QVAlertSlot slot(page->panel);
    auto *alert = slot.present<QVDefaultAlertController>();
    alert->setAlertType(1);
    QCoreApplication::processEvents();
    click(page->window.get(), centreIn(page->window.get(), alert->doubleLeftBtn())); // no block: nothing

    QStringList calls;
    alert->setDoubleLeftBtnClickBlock([&calls] { calls << QStringLiteral("left"); });
    alert->setDoubleRightBtnClickBlock([&calls] { calls << QStringLiteral("right"); });
    alert->setSingleBtnClickBlock([&calls] { calls << QStringLiteral("single"); });
    click(page->window.get(), centreIn(page->window.get(), alert->doubleLeftBtn()));
    click(page->window.get(), centreIn(page->window.get(), alert->doubleRightBtn()));
    alert->setAlertType(0);
    QCoreApplication::processEvents();
    click(page->window.get(), centreIn(page->window.get(), alert->singleBtn()));
    EXPECT_EQ(calls, (QStringList{QStringLiteral("left"), QStringLiteral("right"), QStringLiteral("single")}));
    EXPECT_TRUE(slot.isShowing()); // the alert never closes itself
}

TEST_F(AlertTest, OneAlertAtATimePerPage)
{
    auto page = makePage();
    QVAlertSlot slot(page->panel);
    EXPECT_FALSE(slot.isShowing());
    QPointer<QVDefaultAlertController> first = slot.present<QVDefaultAlertController>();
    ASSERT_TRUE(first);
    EXPECT_TRUE(slot.isShowing());
    EXPECT_EQ(slot.alert(), first.data());
    EXPECT_EQ(slot.present<QVHaveInputAlertController>(), nullptr);
    EXPECT_EQ(slot.present<QVDefaultAlertController>(), nullptr);

    // The alert lies above everything that was on the panel.
    EXPECT_NE(qobject_cast<QPushButton *>(page->panel->childAt(QPoint(35, 20))), page->button);
    EXPECT_TRUE(first->isAncestorOf(page->panel->childAt(QPoint(35, 20))));

    // The alert follows the panel's size.
    page->panel->resize(500, 300);
    EXPECT_EQ(first->geometry(), QRect(0, 0, 500, 300));

    // The block removes the alert; the page can then show another.
    first->setSingleBtnClickBlock([&slot] { slot.dismiss(); });
    QCoreApplication::processEvents();
    click(page->window.get(), centreIn(page->window.get(), first->singleBtn()));
    EXPECT_FALSE(slot.isShowing());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    auto *second = slot.present<QVNoPromptAlertController>();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->isVisible());
}

TEST_F(AlertTest, NoPromptToggleGoesToTheRightAndSingleBlocks)
{
    QVNoPromptAlertController alert;
    EXPECT_EQ(alert.noPromptAgainBtn()->text(), QStringLiteral("alert_btn_noPromptAgain"));
    EXPECT_FALSE(alert.noPromptAgainBtn()->isSelect());
    EXPECT_EQ(alert.noPromptAgainBtn()->image().toImage(),
              QVNamedImage(QStringLiteral("alert_noPromptAgain_normal")).toImage());
    EXPECT_EQ(alert.titleLabel()->text(), QStringLiteral("permissionPrompt_tips_title"));

    QList<bool> right, single;
    int left = 0;
    alert.setDoubleLeftBtnClickBlock([&left] { ++left; });
    alert.setDoubleRightBtnClickBlock([&right](bool noPrompt) { right << noPrompt; });
    alert.setSingleBtnClickBlock([&single](bool noPrompt) { single << noPrompt; });

    alert.doubleRightBtnClick();
    alert.noPromptAgainBtn()->click(); // the toggle on
    EXPECT_TRUE(alert.noPromptAgainBtn()->isSelect());
    EXPECT_EQ(alert.noPromptAgainBtn()->image().toImage(),
              QVNamedImage(QStringLiteral("alert_noPromptAgain_select")).toImage());
    alert.doubleRightBtnClick();
    alert.singleBtnClick();
    alert.doubleLeftBtnClick();
    alert.noPromptAgainBtnClick(); // and off again
    alert.singleBtnClick();
    EXPECT_EQ(right, (QList<bool>{false, true}));
    EXPECT_EQ(single, (QList<bool>{true, false}));
    EXPECT_EQ(left, 1);

    alert.setAlertType(5);
    EXPECT_EQ(alert.alertType(), 5);
}

TEST_F(AlertTest, InputRuleUpperCasesCutsAndEnablesConfirmExactlyWithText)
{
    auto page = makePage();
    QVAlertSlot slot(page->panel);
    auto *alert = slot.present<QVHaveInputAlertController>();
    ASSERT_NE(alert, nullptr);
    QCoreApplication::processEvents();
    QVBuleCursorTextField *field = alert->codeTextField();
    EXPECT_TRUE(field->hasFocus());
    EXPECT_EQ(alert->maxInputLength(), 8u);
    EXPECT_FALSE(alert->sureBtn()->isEnabled());
    EXPECT_FALSE(alert->sureBtn()->isInteraction());
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(alert->sureBtn()), 0.5);
    EXPECT_EQ(alert->codeTextBgView()->backgroundColor(), QColor(0xF5, 0xF5, 0xF5));
    EXPECT_DOUBLE_EQ(alert->codeTextBgView()->cornerRadius(), 5.0);
    EXPECT_DOUBLE_EQ(alert->inputBgView()->cornerRadius(), 10.0);
    EXPECT_EQ(alert->cannelBtn()->text(), QStringLiteral("alert_shareCode_cancel"));
    EXPECT_EQ(alert->sureBtn()->text(), QStringLiteral("alert_shareCode_sure"));

    // A disabled confirm shows at half opacity over the white box.
    const QPoint sureCentre = centreIn(page->window.get(), alert->sureBtn());
    const QPoint sureEdge = alert->sureBtn()->mapTo(page->window.get(), QPoint(6, 4));
    EXPECT_TRUE(pixelNear(renderWindow(page->window.get()), sureEdge, blend(kConfirmBlue, Qt::white, 0.5)));

    QTest::keyClicks(field, QStringLiteral("abc"));
    EXPECT_EQ(field->text(), QStringLiteral("ABC"));
    EXPECT_TRUE(alert->sureBtn()->isEnabled());
    EXPECT_TRUE(alert->sureBtn()->isInteraction());
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(alert->sureBtn()), 1.0);
    EXPECT_TRUE(pixelNear(renderWindow(page->window.get()), sureEdge, kConfirmBlue));

    // The enabled confirm dims under the pointer.
    moveMouse(page->window.get(), sureCentre);
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(alert->sureBtn()), 0.7);
    moveMouse(page->window.get(), QPoint(590, 390));

    for (int i = 0; i < 3; ++i)
        QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_FALSE(alert->sureBtn()->isEnabled());
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(alert->sureBtn()), 0.5);
    moveMouse(page->window.get(), sureCentre); // a disabled confirm does not react
    EXPECT_DOUBLE_EQ(QVAdd::layerOpacity(alert->sureBtn()), 0.5);

    // Pasting ten letters keeps the first eight, upper-cased.
    QApplication::clipboard()->setText(QStringLiteral("abcdefghij"));
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field->text(), QStringLiteral("ABCDEFGH"));
    QTest::keyClicks(field, QStringLiteral("xyz"));
    EXPECT_EQ(field->text(), QStringLiteral("ABCDEFGH"));

    // With the casting screen's four.
    field->clear();
    alert->setMaxInputLength(4);
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field->text(), QStringLiteral("ABCD"));

    // Typing in the middle keeps the insertion point after the new letter.
    field->setCursorPosition(2);
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, QStringLiteral("q"));
    EXPECT_EQ(field->text(), QStringLiteral("AQCD"));
    EXPECT_EQ(field->cursorPosition(), 2);

    // Upper-casing that lengthens the text is cut too, and no surrogate pair is split.
    field->clear();
    QApplication::clipboard()->setText(QString::fromUtf16(u"\u00DF\u00DFx"));
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field->text(), QStringLiteral("SSSS"));
    field->clear();
    QApplication::clipboard()->setText(QString::fromUtf16(u"abc\U0001F600"));
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field->text(), QStringLiteral("ABC"));

    // A length of zero keeps the field empty and the confirm disabled.
    alert->setMaxInputLength(0);
    QTest::keyClicks(field, QStringLiteral("z"));
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_FALSE(alert->sureBtn()->isEnabled());
}

TEST_F(AlertTest, ReturnConfirmsNonEmptyTextAndIsAlwaysTaken)
{
    auto page = makePage();
    QVAlertSlot slot(page->panel);
    auto *alert = slot.present<QVHaveInputAlertController>();
    QCoreApplication::processEvents();
    QVBuleCursorTextField *field = alert->codeTextField();
    QStringList confirmed;
    alert->setSureBtnClickBlock([&confirmed](const QString &text) { confirmed << text; });
    alert->setExtendStr(QStringLiteral("1"));

    QTest::keyClick(field, Qt::Key_Return);
    QTest::keyClick(field, Qt::Key_Enter);
    EXPECT_TRUE(confirmed.isEmpty());
    EXPECT_TRUE(field->hasFocus());
    EXPECT_EQ(page->panel->keys, 0);

    QTest::keyClicks(field, QStringLiteral("ab12"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(confirmed, QStringList{QStringLiteral("AB12")});
    EXPECT_EQ(page->panel->keys, 0);
    EXPECT_TRUE(field->hasFocus());

    // The caller's error line goes with the next keystroke.
    alert->errorLabel()->setText(QStringLiteral("alert_transferFile_validationFailed"));
    alert->errorLabel()->show();
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_FALSE(alert->errorLabel()->isVisible());

    // Confirm and cancel buttons.
    int cancelled = 0;
    alert->setCannelBtnClickBlock([&cancelled] { ++cancelled; });
    click(page->window.get(), centreIn(page->window.get(), alert->cannelBtn()));
    click(page->window.get(), centreIn(page->window.get(), alert->sureBtn()));
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(confirmed, (QStringList{QStringLiteral("AB12"), QStringLiteral("AB1")}));
    EXPECT_EQ(alert->extendStr(), QStringLiteral("1"));

    // Return whose block removes the alert.
    alert->setSureBtnClickBlock([&slot](const QString &) { slot.dismiss(); });
    QPointer<QVHaveInputAlertController> guard = alert;
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_FALSE(slot.isShowing());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
}

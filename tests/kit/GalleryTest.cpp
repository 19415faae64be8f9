#include "KitTestSupport.h"

#include "BaseViewController/View/QVAdaptiveHeightTextField.h"
#include "BaseViewController/View/QVAlertSlot.h"
#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVBaseImageView.h"
#include "BaseViewController/View/QVBaseViewController.h"
#include "BaseViewController/View/QVBuleCursorTextField.h"
#include "BaseViewController/View/QVCustomButton.h"
#include "BaseViewController/View/QVCustomButtonView.h"
#include "BaseViewController/View/QVCustomScroller.h"
#include "BaseViewController/View/QVCustomTextFieldCell.h"
#include "BaseViewController/View/QVDefaultAlertController.h"
#include "BaseViewController/View/QVFeedbackContentTextView.h"
#include "BaseViewController/View/QVHaveInputAlertController.h"
#include "BaseViewController/View/QVImageHoverButton.h"
#include "BaseViewController/View/QVLoadingView.h"
#include "BaseViewController/View/QVNamedImage.h"
#include "BaseViewController/View/QVNoPromptAlertController.h"
#include "BaseViewController/View/QVRotatingButton.h"
#include "BaseViewController/View/QVShowTipsView.h"
#include "BaseViewController/View/QVUnderlinedView.h"
#include "Categories/QVViewAdd.h"
#include "Categories/RVColor.h"

#include <QLabel>
#include <QTest>

using namespace KitTest;

namespace {

QColor hex(const char *text)
{
    return rv_colorWithHexString(QString::fromLatin1(text));
}

// Everything a test page can observe of its widgets' state.
QStringList stateOf(QWidget *root)
{
    QStringList state;
    for (QWidget *widget : root->findChildren<QWidget *>()) {
        QString line = QString::fromLatin1(widget->metaObject()->className()) + QLatin1Char(' ')
                       + QString::number(widget->isEnabled()) + QString::number(widget->isVisible())
                       + QLatin1Char(' ') + QString::number(QVAdd::layerOpacity(widget))
                       + QLatin1Char(' ') + widget->palette().color(QPalette::WindowText).name(QColor::HexArgb)
                       + widget->palette().color(QPalette::ButtonText).name(QColor::HexArgb);
        if (auto *view = qobject_cast<QVBackgrounView *>(widget))
            line += view->backgroundColor().name(QColor::HexArgb) + QString::number(view->opacity());
        if (auto *button = qobject_cast<QVBaseButton *>(widget))
            line += button->backgroundColor().name(QColor::HexArgb) + QString::number(button->isSelect());
        state << line;
    }
    return state;
}

} // namespace

class GalleryTest : public WidgetTest
{
};

TEST_F(GalleryTest, OneOfEachWidgetRendersWithoutWarningsAndWithoutChangingState)
{
    auto window = shownWindow(QSize(1200, 800));
    auto *page = new QVBaseViewController(window.get());
    page->setGeometry(window->rect());

    auto *panel = new QVBackgrounView(page);
    panel->setGeometry(10, 10, 380, 380);
    panel->setBackgroundColor(hex("0xF5F5F5"));
    panel->setIsRadius(true);
    panel->setCornerRadius(10);
    panel->setIsBorder(true);
    panel->setBorderColor(hex("0xDDDDDD"));
    panel->setBorderWidth(1);

    auto *button = new QVBaseButton(QStringLiteral("Connect"), panel);
    button->setGeometry(20, 20, 140, 36);
    button->setBackgroundColor(hex("0x5879FC"));
    button->setIsRadius(true);
    button->setCornerRadius(4);
    button->setIsInteraction(true);
    button->setImage(QVNamedImage(QStringLiteral("alert_noPromptAgain_select")));
    QVAdd::setLayerOpacity(button, 0.7); // as under the pointer
    button->setPopoverTitle(QStringLiteral("tip"));
    button->setIsShowPopover(true);

    auto *rotating = new QVRotatingButton(QVNamedImage(QStringLiteral("main_loading")), panel);
    rotating->setGeometry(180, 20, 36, 36);
    rotating->rotateBackgroundImage();

    auto *custom = new QVCustomButton(panel);
    custom->setGeometry(230, 20, 120, 80);
    custom->setText(QStringLiteral("Freeze"));
    custom->setImage(QVNamedImage(QStringLiteral("alert_noPromptAgain_normal")));
    custom->buttonCell()->setBtnStyle(1);
    custom->setShareStyle(3);
    custom->setEnabled(false);

    auto *hover = new QVImageHoverButton(panel);
    hover->setGeometry(20, 70, 32, 32);
    hover->setImage(QVNamedImage(QStringLiteral("alert_noPromptAgain_normal")));

    auto *imageView = new QVBaseImageView(panel);
    imageView->setGeometry(60, 70, 32, 32);
    imageView->setImage(QVNamedImage(QStringLiteral("main_loading")));

    auto *buttonView = new QVCustomButtonView(panel);
    buttonView->setGeometry(100, 70, 80, 80);
    buttonView->imageView()->setImage(QVNamedImage(QStringLiteral("main_loading")));
    buttonView->titleLabel()->setText(QStringLiteral("Photos"));

    auto *field = new QVBuleCursorTextField(panel);
    field->setGeometry(20, 160, 200, 30);
    field->setPlaceholderText(QStringLiteral("code"));
    auto *cellField = new QLineEdit(panel);
    cellField->setGeometry(20, 200, 200, 40);
    (new QVCustomTextFieldCell(cellField))->setOringeY(2);
    cellField->setText(QStringLiteral("centred"));
    auto *adaptive = new QVAdaptiveHeightTextField(panel);
    adaptive->setGeometry(230, 160, 120, 20);
    adaptive->setText(QStringLiteral("adaptive"));
    auto *textView = new QVFeedbackContentTextView(panel);
    textView->setGeometry(20, 250, 200, 80);
    textView->setPlainText(QStringLiteral("Feedback"));
    auto *scroller = new QVCustomScroller(Qt::Vertical, panel);
    scroller->setGeometry(230, 250, 15, 100);
    scroller->setRange(0, 100);
    scroller->setPageStep(50);
    scroller->setBackgroundColor(hex("0x333333"));
    auto *underlined = new QVUnderlinedView(panel);
    underlined->setGeometry(20, 340, 275, 21);
    underlined->textLabel()->setText(QStringLiteral("website"));

    auto *tips = new QVShowTipsView(page);
    tips->tipsLabel()->setText(QStringLiteral("Copied"));
    tips->setGeometry(QRect(QPoint(400, 10), tips->sizeHint()));
    auto *message = new QVMsgTipsView(page);
    message->titleLabel()->setText(QStringLiteral("Done"));
    message->setGeometry(QRect(QPoint(400, 60), message->sizeHint()));

    auto *loadingPanel = new QVBackgrounView(page);
    loadingPanel->setGeometry(400, 120, 380, 260);
    loadingPanel->setBackgroundColor(Qt::white);
    auto *loading = new QVLoadingView(loadingPanel->rect(), loadingPanel);
    loading->setBackgroundColor(Qt::gray);
    loading->setIsOpacity(true);
    loading->setOpacity(0.5);
    loading->showLoadingView();

    // Each alert on a panel of its own.
    QList<QVAlertSlot *> alertSlots;
    for (int i = 0; i < 3; ++i) {
        auto *alertPanel = new QVBackgrounView(page);
        alertPanel->setGeometry(10 + i * 400, 400, 390, 390);
        alertPanel->setBackgroundColor(Qt::white);
        alertSlots << new QVAlertSlot(alertPanel);
    }
    auto *defaultAlert = alertSlots[0]->present<QVDefaultAlertController>();
    defaultAlert->setAlertType(1);
    defaultAlert->contentLabel()->setText(QStringLiteral("Disconnect?"));
    auto *noPrompt = alertSlots[1]->present<QVNoPromptAlertController>();
    noPrompt->setNoPromptAgainBtnStyle(true);
    noPrompt->contentLabel()->setText(QStringLiteral("Download?"));
    auto *input = alertSlots[2]->present<QVHaveInputAlertController>();
    input->titleLabel()->setText(QStringLiteral("alert_transferFile_title"));
    input->setMaxInputLength(4);

    page->show();
    // A few looks that the page must show, once its layouts and fades ran.
    const auto looksShown = [&](const QImage &image) {
        return pixelNear(image, QPoint(1190, 785), blend(Qt::black, Qt::white, 0x70 / 255.0)) // dimmed
               && pixelNear(image, QPoint(10 + 20 + 138, 10 + 20 + 2), blend(hex("0x5879FC"), hex("0xF5F5F5"), 0.7))
               && pixelNear(image, QPoint(400 + 2, 120 + 2), blend(Qt::gray, Qt::white, 0.5)); // loading overlay
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return looksShown(renderWindow(window.get())); }, 10000));
    QCoreApplication::processEvents();

    const QStringList before = stateOf(page);
    const QImage first = renderWindow(window.get());
    const QImage second = render(page);
    EXPECT_EQ(stateOf(page), before);
    EXPECT_FALSE(custom->isEnabled());

    const QString out = qEnvironmentVariable("QUAVDESK_KIT_GALLERY");
    if (!out.isEmpty())
        first.save(out);

    EXPECT_TRUE(looksShown(first));
    EXPECT_FALSE(second.isNull());
}

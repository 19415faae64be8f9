#include "Main/ViewController/PermissionPrompt/QVPermissionPromptVC.h"

#include "BaseViewController/View/QVAlertParts.h"
#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVNamedImage.h"
#include "Categories/RVColor.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>

namespace {

constexpr int kCloseSide = 24;
constexpr int kCloseInset = 8;

QString localizable(const char *key)
{
    return QCoreApplication::translate("Localizable", key);
}

// Keeps the close button in the box's upper right corner, outside the
// box's layout.
class CornerKeeper : public QObject
{
public:
    CornerKeeper(QWidget *box, QWidget *button) : QObject(box), m_box(box), m_button(button)
    {
        box->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_box && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
            m_button->setGeometry(m_box->width() - kCloseSide - kCloseInset, kCloseInset, kCloseSide, kCloseSide);
            m_button->raise();
        }
        return false;
    }

private:
    QWidget *m_box;
    QWidget *m_button;
};

} // namespace

QVPermissionPromptVC::QVPermissionPromptVC(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("QVPermissionPromptVC"));
    m_bgView = QVAlertParts::makeDimmingLayer(this);
    m_tipsBgView = QVAlertParts::makeBox(m_bgView);
    QBoxLayout *content = QVAlertParts::boxLayout(m_tipsBgView);

    m_titleLabel = QVAlertParts::makeTitleLabel(m_tipsBgView);
    m_titleLabel->setText(localizable(QT_TRANSLATE_NOOP("Localizable", "permissionPrompt_tips_title")));
    m_describeLabel = QVAlertParts::makeContentLabel(m_tipsBgView);
    m_describeLabel->setText(localizable(QT_TRANSLATE_NOOP("Localizable", "permissionPrompt_tips_describe")));

    m_toSettingBtn = QVAlertParts::makeConfirmButton(
        localizable(QT_TRANSLATE_NOOP("Localizable", "permissionPrompt_tips_toSetting")), m_tipsBgView);
    m_toSettingBtn->setObjectName(QStringLiteral("toSettingBtn"));
    m_toSettingBtn->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0x6798FC")));
    // Screen capture on this desktop is no setting the user can change.
    m_toSettingBtn->hide();

    m_closedBtn = new QVBaseButton(m_tipsBgView);
    m_closedBtn->setObjectName(QStringLiteral("closedBtn"));
    m_closedBtn->setImage(QVNamedImage(QStringLiteral("permissionPrompt_close")));
    m_closedBtn->setIsInteraction(true);
    m_closedBtn->setFocusPolicy(Qt::NoFocus);
    new CornerKeeper(m_tipsBgView, m_closedBtn);

    content->addSpacing(8);
    content->addWidget(m_titleLabel);
    content->addWidget(m_describeLabel);
    content->addLayout(QVAlertParts::makeButtonRow(m_toSettingBtn, nullptr, nullptr));

    connect(m_closedBtn, &QAbstractButton::clicked, this, &QVPermissionPromptVC::closedBtnClick);
    connect(m_toSettingBtn, &QAbstractButton::clicked, this, &QVPermissionPromptVC::toSettingBtnClick);
}

void QVPermissionPromptVC::closedBtnClick()
{
    // The block removes this prompt; nothing here runs after it.
    if (m_closedBtnClickBlock) {
        const auto block = m_closedBtnClickBlock;
        block();
    }
}

void QVPermissionPromptVC::toSettingBtnClick()
{
    if (m_toSettingBtnClickBlock) {
        const auto block = m_toSettingBtnClickBlock;
        block();
    }
}

void QVPermissionPromptVC::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    QVAlertParts::fitBox(m_tipsBgView, this);
}

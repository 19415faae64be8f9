#include "Main/ViewController/Setting/QVForceUpgradeVC.h"

#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "Categories/QVViewAdd.h"
#include "Categories/RVColor.h"
#include "Main/App/QVQuitPath.h"
#include "Main/ViewController/Setting/QVNewVersionInfoModel.h"
#include "Main/ViewController/Setting/QVSettingLook.h"
#include "PublicManager/QVLog.h"

#include <QCoreApplication>
#include <QLabel>

namespace {

constexpr int Margin = 20;
constexpr int ButtonWidth = 115;
constexpr int ButtonHeight = 36;

void setUpButton(QVBaseButton *button, const QString &title, const QString &fill, const QColor &textColor)
{
    button->setText(title);
    button->setBackgroundColor(rv_colorWithHexString(fill));
    button->setIsRadius(true);
    button->setCornerRadius(4.0);
    button->setIsInteraction(true);
    QVSettingLook::setFont(button, 14, false);
    QVSettingLook::setButtonTextColor(button, textColor);
}

} // namespace

QVForceUpgradeVC::QVForceUpgradeVC(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("QVForceUpgradeVC"));
    m_bgView = new QVBackgrounView(this);
    m_bgView->setObjectName(QStringLiteral("bgView"));
    m_tipsBgView = new QVBackgrounView(m_bgView);
    m_tipsBgView->setObjectName(QStringLiteral("tipsBgView"));
    m_titleLabel = new QLabel(m_tipsBgView);
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    m_describeLabel = new QLabel(m_tipsBgView);
    m_describeLabel->setObjectName(QStringLiteral("describeLabel"));
    m_toUpdateBtn = new QVBaseButton(m_tipsBgView);
    m_toUpdateBtn->setObjectName(QStringLiteral("toUpdateBtn"));
    m_closeBtn = new QVBaseButton(m_tipsBgView);
    m_closeBtn->setObjectName(QStringLiteral("closeBtn"));
    baseSetting();
    connect(m_toUpdateBtn, &QAbstractButton::clicked, this, &QVForceUpgradeVC::toUpdateBtnClick);
    connect(m_closeBtn, &QAbstractButton::clicked, this, &QVForceUpgradeVC::closeBtnClick);
}

void QVForceUpgradeVC::baseSetting()
{
    m_bgView->setIsBlockingEvents(true);
    m_bgView->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0x00000070")));
    m_tipsBgView->setBackgroundColor(Qt::white);
    m_tipsBgView->setIsRadius(true);
    m_tipsBgView->setCornerRadius(10.0);

    m_titleLabel->setText(QCoreApplication::translate("Localizable", "permissionPrompt_tips_title"));
    m_titleLabel->setAlignment(Qt::AlignCenter);
    QVSettingLook::setFont(m_titleLabel, 16, true);
    QVSettingLook::setTextColor(m_titleLabel, QVSettingLook::TitleColor);

    m_describeLabel->setText(
        QCoreApplication::translate("Localizable", "checkVersion_tips_officialWebsite_describe"));
    m_describeLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_describeLabel->setWordWrap(true);
    QVSettingLook::setFont(m_describeLabel, 13, false);
    QVSettingLook::setTextColor(m_describeLabel, QVSettingLook::DescribeColor);

    setUpButton(m_toUpdateBtn, QCoreApplication::translate("Localizable", "checkVersion_tips_toUpdate"),
                QStringLiteral("0x6798FC"), Qt::white);
    // Without a known web site there is no page to send the user to.
    const bool hasPage = !QVDownloadPage::url().isEmpty();
    m_toUpdateBtn->setEnabled(hasPage);
    QVAdd::setLayerOpacity(m_toUpdateBtn, hasPage ? 1.0 : 0.5);

    setUpButton(m_closeBtn, QCoreApplication::translate("Localizable", "checkVersion_tips_exit"),
                QStringLiteral("0xEEEEEE"), QVSettingLook::TitleColor);
}

void QVForceUpgradeVC::resizeEvent(QResizeEvent *)
{
    m_bgView->setGeometry(rect());
    const int tipsWidth = qMin(TipsSize.width(), width() - 2 * Margin);
    const int innerWidth = tipsWidth - 2 * Margin;
    m_titleLabel->setGeometry(Margin, 22, innerWidth, 24);
    const int describeHeight = m_describeLabel->heightForWidth(innerWidth);
    m_describeLabel->setGeometry(Margin, 58, innerWidth, describeHeight);
    const int buttonsTop = qMax(TipsSize.height() - Margin - ButtonHeight, 58 + describeHeight + Margin);
    const int gap = innerWidth - 2 * ButtonWidth;
    m_closeBtn->setGeometry(Margin, buttonsTop, ButtonWidth, ButtonHeight);
    m_toUpdateBtn->setGeometry(Margin + ButtonWidth + gap, buttonsTop, ButtonWidth, ButtonHeight);
    const int tipsHeight = buttonsTop + ButtonHeight + Margin;
    m_tipsBgView->setGeometry((width() - tipsWidth) / 2, (height() - tipsHeight) / 2, tipsWidth, tipsHeight);
}

void QVForceUpgradeVC::toUpdateBtnClick()
{
    QVDownloadPage::open("QVForceUpgradeVC");
}

void QVForceUpgradeVC::closeBtnClick()
{
    QVLogInfo(0, QStringLiteral("QVForceUpgradeVC exit: the version is no longer supported"));
    QVQuitPath::quitApplication();
}

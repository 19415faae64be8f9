#include "BaseViewController/View/QVNoPromptAlertController.h"

#include "BaseViewController/View/QVAlertParts.h"
#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVNamedImage.h"
#include "Categories/RVColor.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QLabel>

QVNoPromptAlertController::QVNoPromptAlertController(QWidget *parent)
    : QWidget(parent)
{
    baseSetting();
}

void QVNoPromptAlertController::baseSetting()
{
    m_bgView = QVAlertParts::makeDimmingLayer(this);
    m_showBgView = QVAlertParts::makeBox(m_bgView);
    QBoxLayout *content = QVAlertParts::boxLayout(m_showBgView);

    m_titleLabel = QVAlertParts::makeTitleLabel(m_showBgView);
    m_titleLabel->setText(QCoreApplication::translate("Localizable", "permissionPrompt_tips_title"));
    m_contentLabel = QVAlertParts::makeContentLabel(m_showBgView);
    m_doubleLeftBtn = QVAlertParts::makeCancelButton(QCoreApplication::translate("Localizable", "alert_shareCode_cancel"),
                                                     m_showBgView);
    m_doubleRightBtn = QVAlertParts::makeConfirmButton(QCoreApplication::translate("Localizable", "alert_shareCode_sure"),
                                                       m_showBgView);
    m_singleBtn = QVAlertParts::makeConfirmButton(QCoreApplication::translate("Localizable", "alert_shareCode_sure"),
                                                  m_showBgView);

    m_noPromptAgainBtn = new QVBaseButton(QCoreApplication::translate("Localizable", "alert_btn_noPromptAgain"),
                                          m_showBgView);
    QPalette palette = m_noPromptAgainBtn->palette();
    palette.setColor(QPalette::ButtonText, rv_colorWithHexString(QStringLiteral("0x666666")));
    m_noPromptAgainBtn->setPalette(palette);
    QFont font = m_noPromptAgainBtn->font();
    font.setPixelSize(12);
    m_noPromptAgainBtn->setFont(font);
    setNoPromptAgainBtnStyle(false);

    content->addWidget(m_titleLabel);
    content->addWidget(m_contentLabel);
    content->addWidget(m_noPromptAgainBtn, 0, Qt::AlignHCenter);
    content->addSpacing(4);
    content->addLayout(QVAlertParts::makeButtonRow(m_doubleLeftBtn, m_doubleRightBtn, m_singleBtn));

    connect(m_doubleLeftBtn, &QAbstractButton::clicked, this, &QVNoPromptAlertController::doubleLeftBtnClick);
    connect(m_doubleRightBtn, &QAbstractButton::clicked, this, &QVNoPromptAlertController::doubleRightBtnClick);
    connect(m_singleBtn, &QAbstractButton::clicked, this, &QVNoPromptAlertController::singleBtnClick);
    connect(m_noPromptAgainBtn, &QAbstractButton::clicked, this, &QVNoPromptAlertController::noPromptAgainBtnClick);
    setAlertType(0);
}

void QVNoPromptAlertController::setAlertType(qint64 alertType)
{
    m_alertType = alertType;
    const bool single = alertType == 0;
    m_doubleLeftBtn->setVisible(!single);
    m_doubleRightBtn->setVisible(!single);
    m_singleBtn->setVisible(single);
}

void QVNoPromptAlertController::setNoPromptAgainBtnStyle(bool selected)
{
    m_noPromptAgainBtn->setIsSelect(selected);
    m_noPromptAgainBtn->setImage(QVNamedImage(selected ? QStringLiteral("alert_noPromptAgain_select")
                                                       : QStringLiteral("alert_noPromptAgain_normal")));
    m_noPromptAgainBtn->adjustSize();
}

void QVNoPromptAlertController::noPromptAgainBtnClick()
{
    setNoPromptAgainBtnStyle(!m_noPromptAgainBtn->isSelect());
}

void QVNoPromptAlertController::doubleLeftBtnClick()
{
    if (m_doubleLeftBtnClickBlock)
        m_doubleLeftBtnClickBlock();
}

void QVNoPromptAlertController::doubleRightBtnClick()
{
    if (m_doubleRightBtnClickBlock)
        m_doubleRightBtnClickBlock(m_noPromptAgainBtn->isSelect());
}

void QVNoPromptAlertController::singleBtnClick()
{
    if (m_singleBtnClickBlock)
        m_singleBtnClickBlock(m_noPromptAgainBtn->isSelect());
}

void QVNoPromptAlertController::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    QVAlertParts::fitBox(m_showBgView, this);
}

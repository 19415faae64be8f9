#include "BaseViewController/View/QVDefaultAlertController.h"

#include "BaseViewController/View/QVAlertParts.h"
#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QLabel>

QVDefaultAlertController::QVDefaultAlertController(QWidget *parent)
    : QWidget(parent)
{
    baseSetting();
}

void QVDefaultAlertController::baseSetting()
{
    m_bgView = QVAlertParts::makeDimmingLayer(this);
    m_showBgView = QVAlertParts::makeBox(m_bgView);
    QBoxLayout *content = QVAlertParts::boxLayout(m_showBgView);

    m_titleLabel = QVAlertParts::makeTitleLabel(m_showBgView);
    m_titleLabel->setText(QCoreApplication::translate("Localizable", "permissionPrompt_tips_title"));
    m_describeLabel = QVAlertParts::makeDescribeLabel(m_showBgView);
    m_contentLabel = QVAlertParts::makeContentLabel(m_showBgView);
    m_doubleLeftBtn = QVAlertParts::makeCancelButton(QCoreApplication::translate("Localizable", "alert_shareCode_cancel"),
                                                     m_showBgView);
    m_doubleRightBtn = QVAlertParts::makeConfirmButton(QCoreApplication::translate("Localizable", "alert_shareCode_sure"),
                                                       m_showBgView);
    m_singleBtn = QVAlertParts::makeConfirmButton(QCoreApplication::translate("Localizable", "alert_shareCode_sure"),
                                                  m_showBgView);

    content->addWidget(m_titleLabel);
    content->addWidget(m_describeLabel);
    content->addWidget(m_contentLabel);
    content->addSpacing(8);
    content->addLayout(QVAlertParts::makeButtonRow(m_doubleLeftBtn, m_doubleRightBtn, m_singleBtn));

    connect(m_doubleLeftBtn, &QAbstractButton::clicked, this, &QVDefaultAlertController::doubleLeftBtnClick);
    connect(m_doubleRightBtn, &QAbstractButton::clicked, this, &QVDefaultAlertController::doubleRightBtnClick);
    connect(m_singleBtn, &QAbstractButton::clicked, this, &QVDefaultAlertController::singleBtnClick);
    setAlertType(0);
}

void QVDefaultAlertController::setAlertType(qint64 alertType)
{
    m_alertType = alertType;
    const bool single = alertType == 0;
    m_doubleLeftBtn->setVisible(!single);
    m_doubleRightBtn->setVisible(!single);
    m_singleBtn->setVisible(single);
}

void QVDefaultAlertController::doubleLeftBtnClick()
{
    if (m_doubleLeftBtnClickBlock)
        m_doubleLeftBtnClickBlock();
}

void QVDefaultAlertController::doubleRightBtnClick()
{
    if (m_doubleRightBtnClickBlock)
        m_doubleRightBtnClickBlock();
}

void QVDefaultAlertController::singleBtnClick()
{
    if (m_singleBtnClickBlock)
        m_singleBtnClickBlock();
}

void QVDefaultAlertController::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    QVAlertParts::fitBox(m_showBgView, this);
}

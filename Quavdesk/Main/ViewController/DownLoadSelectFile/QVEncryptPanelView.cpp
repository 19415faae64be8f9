#include "Main/ViewController/DownLoadSelectFile/QVEncryptPanelView.h"

#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVNamedImage.h"
#include "Categories/RVColor.h"
#include "Main/Browse/QVEncryptLockout.h"
#include "Main/Browse/QVProtectedRoot.h"
#include "Main/ViewController/DownLoadSelectFile/QVBrowseLook.h"

#include <QLabel>
#include <QLineEdit>

using QVBrowseLook::localizable;
using QVBrowseLook::setLook;

QVEncryptPanelView::QVEncryptPanelView(QVProtectedRoot *protectedRoot, QWidget *parent)
    : QVBackgrounView(parent), m_protectedRoot(protectedRoot)
{
    setObjectName(QStringLiteral("encryptView"));
    setBackgroundColor(Qt::white);
    setIsBlockingEvents(true);
    hide();
    m_titleLabel = new QLabel(localizable("downLoadFile_encrypt_title"), this);
    m_titleLabel->setAlignment(Qt::AlignCenter);
    setLook(m_titleLabel, 15, QColor(0x33, 0x33, 0x33), true);
    m_secureTextField = new QLineEdit(this);
    m_secureTextField->setObjectName(QStringLiteral("secureTextField"));
    m_secureTextField->setEchoMode(QLineEdit::Password);
    m_normalTextField = new QLineEdit(this);
    m_normalTextField->setObjectName(QStringLiteral("normalTextField"));
    m_normalTextField->hide();
    for (QLineEdit *field : {m_secureTextField, m_normalTextField}) {
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        field->setAttribute(Qt::WA_MacShowFocusRect, false);
        field->setFont(QVBrowseLook::pixelFont(16));
        field->setTextMargins(12, 0, 36, 0);
        connect(field, &QLineEdit::textEdited, this, [this, field] { passwordEdited(field); });
        connect(field, &QLineEdit::returnPressed, this, [this] {
            // Return confirms six digits and nothing else.
            if (visibleField()->text().size() == QVEncryptLockout::PasswordDigits)
                confirmPwdBtnClick();
        });
    }
    m_eyeBtn = new QVBaseButton(this);
    m_eyeBtn->setObjectName(QStringLiteral("eyeBtn"));
    m_eyeBtn->setImage(QVNamedImage(QStringLiteral("list_encrypt_closeEye")));
    connect(m_eyeBtn, &QAbstractButton::clicked, this, &QVEncryptPanelView::eyeBtnClick);
    m_confirmPwdBtn = new QVBaseButton(localizable("alert_shareCode_sure"), this);
    m_confirmPwdBtn->setObjectName(QStringLiteral("confirmPwdBtn"));
    m_confirmPwdBtn->setIsRadius(true);
    m_confirmPwdBtn->setCornerRadius(5.0);
    setLook(m_confirmPwdBtn, 14, Qt::white);
    connect(m_confirmPwdBtn, &QAbstractButton::clicked, this, &QVEncryptPanelView::confirmPwdBtnClick);
    m_errorLabel = new QLabel(this);
    m_errorLabel->setObjectName(QStringLiteral("errorLabel"));
    m_errorLabel->setAlignment(Qt::AlignCenter);
    m_errorLabel->setWordWrap(true);
    setLook(m_errorLabel, 13, rv_colorWithHexString(QStringLiteral("0xFF0000")));
    m_errorLabel->hide();

    connect(m_protectedRoot, &QVProtectedRoot::stateChanged, this, &QVEncryptPanelView::refresh);
    connect(m_protectedRoot, &QVProtectedRoot::fieldsCleared, this, [this] {
        m_secureTextField->clear();
        m_normalTextField->clear();
    });
    refresh();
}

void QVEncryptPanelView::refresh()
{
    const bool entry = m_protectedRoot->isEntryEnabled();
    const QString fill = entry ? QStringLiteral("#EFF1FE") : QStringLiteral("rgba(239,241,254,96)");
    for (QLineEdit *field : {m_secureTextField, m_normalTextField}) {
        field->setEnabled(entry);
        field->setStyleSheet(
            QStringLiteral("QLineEdit { background: %1; border-radius: 5px; color: #333333; }").arg(fill));
    }
    const bool confirm = m_protectedRoot->isConfirmEnabled();
    m_confirmPwdBtn->setEnabled(confirm);
    m_confirmPwdBtn->setBackgroundColor(
        rv_colorWithHexString(confirm ? QStringLiteral("0x5879FC") : QStringLiteral("0x5879FC60")));
    const QString error = m_protectedRoot->errorText();
    m_errorLabel->setText(error);
    m_errorLabel->setVisible(!error.isEmpty());
}

void QVEncryptPanelView::resizeEvent(QResizeEvent *event)
{
    QVBackgrounView::resizeEvent(event);
    const int w = width();
    const int centre = w / 2;
    m_titleLabel->setGeometry(40, 70, w - 80, 30);
    m_secureTextField->setGeometry(centre - 130, 120, 260, 40);
    m_normalTextField->setGeometry(centre - 130, 120, 260, 40);
    m_eyeBtn->setGeometry(centre + 130 - 34, 128, 24, 24);
    m_confirmPwdBtn->setGeometry(centre - 130, 180, 260, 38);
    m_errorLabel->setGeometry(40, 234, w - 80, 40);
}

QLineEdit *QVEncryptPanelView::visibleField() const
{
    return m_normalTextField->isHidden() ? m_secureTextField : m_normalTextField;
}

void QVEncryptPanelView::passwordEdited(QLineEdit *field)
{
    const QString digits = m_protectedRoot->passwordEdited(field->text());
    if (digits != field->text())
        field->setText(digits);
}

void QVEncryptPanelView::eyeBtnClick()
{
    if (m_normalTextField->isHidden()) {
        m_normalTextField->setText(m_secureTextField->text());
        m_normalTextField->show();
        m_secureTextField->hide();
        m_eyeBtn->setImage(QVNamedImage(QStringLiteral("list_encrypt_openEye")));
    } else {
        m_secureTextField->setText(m_normalTextField->text());
        m_normalTextField->hide();
        m_secureTextField->show();
        m_eyeBtn->setImage(QVNamedImage(QStringLiteral("list_encrypt_closeEye")));
    }
    m_eyeBtn->raise();
}

void QVEncryptPanelView::confirmPwdBtnClick()
{
    m_protectedRoot->checkEncryptPwd(visibleField()->text());
}

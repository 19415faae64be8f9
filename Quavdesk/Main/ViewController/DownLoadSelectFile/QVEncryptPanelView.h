#pragma once

#include "BaseViewController/View/QVBackgrounView.h"

class QLabel;
class QLineEdit;
class QVBaseButton;
class QVProtectedRoot;

// The password page of a protected root: the 6-digit password in a hidden
// or a clear field (the eye switches), its confirm button and the lock
// message. It shows what the protected root says and hands it what is
// typed; it takes every click inside it.
class QVEncryptPanelView : public QVBackgrounView
{
    Q_OBJECT
public:
    QVEncryptPanelView(QVProtectedRoot *protectedRoot, QWidget *parent = nullptr);

    QLabel *titleLabel() const { return m_titleLabel; }
    QLineEdit *secureTextField() const { return m_secureTextField; }
    QLineEdit *normalTextField() const { return m_normalTextField; }
    QVBaseButton *eyeBtn() const { return m_eyeBtn; }
    QVBaseButton *confirmPwdBtn() const { return m_confirmPwdBtn; }
    QLabel *errorLabel() const { return m_errorLabel; }

    void eyeBtnClick();
    // The text of the field shown goes to the device.
    void confirmPwdBtnClick();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QLineEdit *visibleField() const;
    void passwordEdited(QLineEdit *field);
    void refresh();

    QVProtectedRoot *m_protectedRoot = nullptr;
    QLabel *m_titleLabel = nullptr;
    QLineEdit *m_secureTextField = nullptr;
    QLineEdit *m_normalTextField = nullptr;
    QVBaseButton *m_eyeBtn = nullptr;
    QVBaseButton *m_confirmPwdBtn = nullptr;
    QLabel *m_errorLabel = nullptr;
};

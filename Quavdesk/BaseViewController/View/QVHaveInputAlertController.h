#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QVBackgrounView;
class QVBaseButton;
class QVBuleCursorTextField;

// The code-entry alert: a field on a grey panel, an error line, and cancel
// and confirm buttons. The field is upper-cased and cut to maxInputLength as
// the user types; confirm is enabled exactly while the field holds text, and
// Return confirms a non-empty text. The alert never closes itself.
class QVHaveInputAlertController : public QWidget
{
    Q_OBJECT
public:
    explicit QVHaveInputAlertController(QWidget *parent = nullptr);

    QVBackgrounView *bgView() const { return m_bgView; }
    QVBackgrounView *inputBgView() const { return m_inputBgView; }
    QVBackgrounView *codeTextBgView() const { return m_codeTextBgView; }
    QVBuleCursorTextField *codeTextField() const { return m_codeTextField; }
    QLabel *titleLabel() const { return m_titleLabel; }
    QLabel *describeLabel() const { return m_describeLabel; }
    // Hidden until the caller shows an error; the next keystroke hides it.
    QLabel *errorLabel() const { return m_errorLabel; }
    QVBaseButton *cannelBtn() const { return m_cannelBtn; }
    QVBaseButton *sureBtn() const { return m_sureBtn; }

    std::function<void()> cannelBtnClickBlock() const { return m_cannelBtnClickBlock; }
    void setCannelBtnClickBlock(std::function<void()> block) { m_cannelBtnClickBlock = std::move(block); }
    std::function<void(const QString &)> sureBtnClickBlock() const { return m_sureBtnClickBlock; }
    void setSureBtnClickBlock(std::function<void(const QString &)> block) { m_sureBtnClickBlock = std::move(block); }

    // Most UTF-16 units kept in the field; 8 at first.
    quint64 maxInputLength() const { return m_maxInputLength; }
    void setMaxInputLength(quint64 length) { m_maxInputLength = length; }
    // The caller's tag, kept untouched.
    QString extendStr() const { return m_extendStr; }
    void setExtendStr(const QString &tag) { m_extendStr = tag; }

    // Confirm enabled (opacity 1.0, dims under the pointer) or not (0.5).
    void changeBtnStyle(bool enabled);

public Q_SLOTS:
    // The input rule, run on every change the user makes to the field.
    void controlTextDidChange();
    void sureBtnClick();
    void cannelBtnClick();

protected:
    void baseSetting();
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QVBackgrounView *m_bgView = nullptr;
    QVBackgrounView *m_inputBgView = nullptr;
    QVBackgrounView *m_codeTextBgView = nullptr;
    QVBuleCursorTextField *m_codeTextField = nullptr;
    QLabel *m_titleLabel = nullptr;
    QLabel *m_describeLabel = nullptr;
    QLabel *m_errorLabel = nullptr;
    QVBaseButton *m_cannelBtn = nullptr;
    QVBaseButton *m_sureBtn = nullptr;
    std::function<void()> m_cannelBtnClickBlock;
    std::function<void(const QString &)> m_sureBtnClickBlock;
    quint64 m_maxInputLength = 8;
    QString m_extendStr;
};

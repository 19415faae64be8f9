#pragma once

#include <QWidget>

#include <functional>

#include "DeviceInformation.h"

class QLabel;
class QVBackgrounView;
class QVBaseButton;
class QVBuleCursorTextField;

// The casting-code dialog of the receiver list: a dimmed layer over the
// page with a white box that asks for the code of one receiver. The page
// lays it over itself when a receiver wants a code; it stays up through
// wrong codes until the page removes it.
class QVInputViewController : public QWidget
{
    Q_OBJECT
public:
    // The field holds at most this many units of count: 8 Latin letters or
    // digits, or 4 characters of a script whose characters take three bytes.
    static constexpr int MaxCodeCount = 8;

    explicit QVInputViewController(QWidget *parent = nullptr);

    // The text as the field keeps it: upper-cased, then cut before the first
    // character that would take the count past MaxCodeCount. A character of
    // U+0800 and above counts 2 (its UTF-8 form has three bytes); every other
    // UTF-16 unit counts 1, so a character beyond U+FFFF (two units) counts
    // 2 and is never cut in half.
    static QString limitedCode(const QString &text);

    // The receiver asked about: the title names it, and the code remembered
    // for its address fills the field (under the rule above).
    DeviceInformation model() const { return m_model; }
    void setModel(const DeviceInformation &model);

    std::function<void()> cannelBtnClickBlock() const { return m_cannelBtnClickBlock; }
    void setCannelBtnClickBlock(std::function<void()> block) { m_cannelBtnClickBlock = std::move(block); }
    std::function<void(const DeviceInformation &, const QString &)> sureBtnClickBlock() const
    {
        return m_sureBtnClickBlock;
    }
    void setSureBtnClickBlock(std::function<void(const DeviceInformation &, const QString &)> block)
    {
        m_sureBtnClickBlock = std::move(block);
    }

    QVBackgrounView *bgView() const { return m_bgView; }
    QVBackgrounView *inputBgView() const { return m_inputBgView; }
    QVBackgrounView *codeTextBgView() const { return m_codeTextBgView; }
    QLabel *titleLabel() const { return m_titleLabel; }
    QVBuleCursorTextField *codeTextField() const { return m_codeTextField; }
    QVBaseButton *cannelBtn() const { return m_cannelBtn; }
    QVBaseButton *sureBtn() const { return m_sureBtn; }

    // Sure enabled (full opacity, dims under the pointer) or not (half).
    void changeBtnStyle(bool enabled);

public Q_SLOTS:
    // The input rule, run on every change the user makes and on the pre-fill.
    void controlTextDidChange();
    void sureBtnClick();
    void cannelBtnClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void sendCode(const QString &code);

    DeviceInformation m_model;
    QVBackgrounView *m_bgView = nullptr;
    QVBackgrounView *m_inputBgView = nullptr;
    QVBackgrounView *m_codeTextBgView = nullptr;
    QLabel *m_titleLabel = nullptr;
    QVBuleCursorTextField *m_codeTextField = nullptr;
    QVBaseButton *m_cannelBtn = nullptr;
    QVBaseButton *m_sureBtn = nullptr;
    std::function<void()> m_cannelBtnClickBlock;
    std::function<void(const DeviceInformation &, const QString &)> m_sureBtnClickBlock;
};

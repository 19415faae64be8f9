#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QVBackgrounView;
class QVBaseButton;

// The message alert with a "do not ask again" toggle; the right and the
// single button tell their block whether the toggle is on.
class QVNoPromptAlertController : public QWidget
{
    Q_OBJECT
public:
    explicit QVNoPromptAlertController(QWidget *parent = nullptr);

    QVBackgrounView *bgView() const { return m_bgView; }
    QVBackgrounView *showBgView() const { return m_showBgView; }
    QLabel *titleLabel() const { return m_titleLabel; }
    QLabel *contentLabel() const { return m_contentLabel; }
    QVBaseButton *doubleLeftBtn() const { return m_doubleLeftBtn; }
    QVBaseButton *doubleRightBtn() const { return m_doubleRightBtn; }
    QVBaseButton *singleBtn() const { return m_singleBtn; }
    // Its isSelect is the toggle's state.
    QVBaseButton *noPromptAgainBtn() const { return m_noPromptAgainBtn; }

    std::function<void()> doubleLeftBtnClickBlock() const { return m_doubleLeftBtnClickBlock; }
    void setDoubleLeftBtnClickBlock(std::function<void()> block) { m_doubleLeftBtnClickBlock = std::move(block); }
    std::function<void(bool)> doubleRightBtnClickBlock() const { return m_doubleRightBtnClickBlock; }
    void setDoubleRightBtnClickBlock(std::function<void(bool)> block) { m_doubleRightBtnClickBlock = std::move(block); }
    std::function<void(bool)> singleBtnClickBlock() const { return m_singleBtnClickBlock; }
    void setSingleBtnClickBlock(std::function<void(bool)> block) { m_singleBtnClickBlock = std::move(block); }

    // 0 shows the single button; any other value shows the left and right ones.
    qint64 alertType() const { return m_alertType; }
    void setAlertType(qint64 alertType);
    // Sets the toggle and its image.
    void setNoPromptAgainBtnStyle(bool selected);

public Q_SLOTS:
    void doubleLeftBtnClick();
    void doubleRightBtnClick();
    void singleBtnClick();
    void noPromptAgainBtnClick();

protected:
    void baseSetting();
    void resizeEvent(QResizeEvent *event) override;

private:
    QVBackgrounView *m_bgView = nullptr;
    QVBackgrounView *m_showBgView = nullptr;
    QLabel *m_titleLabel = nullptr;
    QLabel *m_contentLabel = nullptr;
    QVBaseButton *m_doubleLeftBtn = nullptr;
    QVBaseButton *m_doubleRightBtn = nullptr;
    QVBaseButton *m_singleBtn = nullptr;
    QVBaseButton *m_noPromptAgainBtn = nullptr;
    std::function<void()> m_doubleLeftBtnClickBlock;
    std::function<void(bool)> m_doubleRightBtnClickBlock;
    std::function<void(bool)> m_singleBtnClickBlock;
    qint64 m_alertType = 0;
};

#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QVBackgrounView;
class QVBaseButton;

// An in-window alert: a dimmed, click-swallowing layer over the page's panel
// with a white box holding a title, a text and one or two buttons. The alert
// never closes itself; the caller's blocks remove it.
class QVDefaultAlertController : public QWidget
{
    Q_OBJECT
public:
    explicit QVDefaultAlertController(QWidget *parent = nullptr);

    QVBackgrounView *bgView() const { return m_bgView; }
    QVBackgrounView *showBgView() const { return m_showBgView; }
    QLabel *titleLabel() const { return m_titleLabel; }
    QLabel *describeLabel() const { return m_describeLabel; }
    QLabel *contentLabel() const { return m_contentLabel; }
    QVBaseButton *doubleLeftBtn() const { return m_doubleLeftBtn; }
    QVBaseButton *doubleRightBtn() const { return m_doubleRightBtn; }
    QVBaseButton *singleBtn() const { return m_singleBtn; }

    std::function<void()> doubleLeftBtnClickBlock() const { return m_doubleLeftBtnClickBlock; }
    void setDoubleLeftBtnClickBlock(std::function<void()> block) { m_doubleLeftBtnClickBlock = std::move(block); }
    std::function<void()> doubleRightBtnClickBlock() const { return m_doubleRightBtnClickBlock; }
    void setDoubleRightBtnClickBlock(std::function<void()> block) { m_doubleRightBtnClickBlock = std::move(block); }
    std::function<void()> singleBtnClickBlock() const { return m_singleBtnClickBlock; }
    void setSingleBtnClickBlock(std::function<void()> block) { m_singleBtnClickBlock = std::move(block); }

    // 0 shows the single button; any other value shows the left and right ones.
    qint64 alertType() const { return m_alertType; }
    void setAlertType(qint64 alertType);

public Q_SLOTS:
    void doubleLeftBtnClick();
    void doubleRightBtnClick();
    void singleBtnClick();

protected:
    void baseSetting();
    void resizeEvent(QResizeEvent *event) override;

private:
    QVBackgrounView *m_bgView = nullptr;
    QVBackgrounView *m_showBgView = nullptr;
    QLabel *m_titleLabel = nullptr;
    QLabel *m_describeLabel = nullptr;
    QLabel *m_contentLabel = nullptr;
    QVBaseButton *m_doubleLeftBtn = nullptr;
    QVBaseButton *m_doubleRightBtn = nullptr;
    QVBaseButton *m_singleBtn = nullptr;
    std::function<void()> m_doubleLeftBtnClickBlock;
    std::function<void()> m_doubleRightBtnClickBlock;
    std::function<void()> m_singleBtnClickBlock;
    qint64 m_alertType = 0;
};

#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QVBackgrounView;
class QVBaseButton;

// The warning that this desktop cannot be cast: a dimmed layer over the
// page that shows it, with a white box that names the missing permission.
// Its close button asks the host to remove it (the next warning is made
// afresh). The settings button would open the system's privacy settings;
// this desktop has none to open, so it stays hidden.
class QVPermissionPromptVC : public QWidget
{
    Q_OBJECT
public:
    explicit QVPermissionPromptVC(QWidget *parent = nullptr);

    std::function<void()> closedBtnClickBlock() const { return m_closedBtnClickBlock; }
    void setClosedBtnClickBlock(std::function<void()> block) { m_closedBtnClickBlock = std::move(block); }
    std::function<void()> toSettingBtnClickBlock() const { return m_toSettingBtnClickBlock; }
    void setToSettingBtnClickBlock(std::function<void()> block) { m_toSettingBtnClickBlock = std::move(block); }

    QVBackgrounView *bgView() const { return m_bgView; }
    QVBackgrounView *tipsBgView() const { return m_tipsBgView; }
    QLabel *titleLabel() const { return m_titleLabel; }
    QLabel *describeLabel() const { return m_describeLabel; }
    QVBaseButton *toSettingBtn() const { return m_toSettingBtn; }
    QVBaseButton *closedBtn() const { return m_closedBtn; }

public Q_SLOTS:
    void closedBtnClick();
    void toSettingBtnClick();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QVBackgrounView *m_bgView = nullptr;
    QVBackgrounView *m_tipsBgView = nullptr;
    QLabel *m_titleLabel = nullptr;
    QLabel *m_describeLabel = nullptr;
    QVBaseButton *m_toSettingBtn = nullptr;
    QVBaseButton *m_closedBtn = nullptr;
    std::function<void()> m_closedBtnClickBlock;
    std::function<void()> m_toSettingBtnClickBlock;
};

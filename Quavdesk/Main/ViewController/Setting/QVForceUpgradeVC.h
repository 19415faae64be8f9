#pragma once

#include <QWidget>

class QLabel;
class QVBackgrounView;
class QVBaseButton;

// The forced-upgrade dialog: laid over a whole page, it keeps every click
// from the page beneath and leaves the user two ways on: the download page
// (the dialog stays, the old version must not be used on) or the program's
// quit path.
class QVForceUpgradeVC : public QWidget
{
    Q_OBJECT
public:
    static constexpr QSize TipsSize{295, 210};

    explicit QVForceUpgradeVC(QWidget *parent = nullptr);

    QVBackgrounView *bgView() const { return m_bgView; }
    QVBackgrounView *tipsBgView() const { return m_tipsBgView; }
    QLabel *titleLabel() const { return m_titleLabel; }
    QLabel *describeLabel() const { return m_describeLabel; }
    QVBaseButton *toUpdateBtn() const { return m_toUpdateBtn; }
    QVBaseButton *closeBtn() const { return m_closeBtn; }

    // Opens the download page; the dialog stays.
    void toUpdateBtnClick();
    // Ends the program through its one quit path.
    void closeBtnClick();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void baseSetting();

    QVBackgrounView *m_bgView = nullptr;
    QVBackgrounView *m_tipsBgView = nullptr;
    QLabel *m_titleLabel = nullptr;
    QLabel *m_describeLabel = nullptr;
    QVBaseButton *m_toUpdateBtn = nullptr;
    QVBaseButton *m_closeBtn = nullptr;
};

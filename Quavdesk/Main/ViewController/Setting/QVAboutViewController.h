#pragma once

#include "BaseViewController/View/QVBaseViewController.h"

#include <QPointer>

class QAbstractButton;
class QLabel;
class QTimer;
class QVBackgrounView;
class QVBaseButton;
class QVKVOModel;

// The about page: the program's name and version, the offer of a newer
// version with a link to the maker's download page while one exists, and
// the build number, shown and hidden again by five quick clicks on the
// version. The page is reused by every settings window of the process.
class QVAboutViewController : public QVBaseViewController
{
    Q_OBJECT
public:
    static inline const QString ClassName = QStringLiteral("QVAboutViewController");
    static constexpr int ClicksToToggle = 5;
    static constexpr int LineHeight = 21;
    static constexpr int LineWidth = 275;

    explicit QVAboutViewController(QWidget *parent = nullptr);
    ~QVAboutViewController() override;

    QLabel *appNameLabel() const { return m_appNameLabel; }
    QLabel *titleLabel() const { return m_titleLabel; }
    QLabel *versionLabel() const { return m_versionLabel; }
    QVBaseButton *backBtn() const { return m_backBtn; }
    // The area of the new-version text; no height while there is no offer.
    QWidget *toUpdateBgView() const { return m_toUpdateBgView; }
    int toUpdateBgViewHeight() const { return m_toUpdateBgViewHeight; }
    // The transparent button over the new-version text; null without offer.
    QAbstractButton *toUpdateBtn() const { return m_toUpdateBtn.data(); }
    QLabel *hideLabel() const { return m_hideLabel; }
    // The invisible button over the version that counts the clicks.
    QAbstractButton *hideBtn() const { return m_hideBtn; }
    int clickCounter() const { return m_clickCounter; }

    void hideBtnClick();
    void resetClickCounter();
    // Shows the build line when hidden, hides it when shown.
    void displayContent();
    void refreshNewVersionUI();
    void toUpdateBtnClick();
    void backBtnClick();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void baseSetting();
    void addKVOObserver();
    void addNewVersionUI();
    void layoutContent();

    QVBackgrounView *m_bgView = nullptr;
    QVBaseButton *m_backBtn = nullptr;
    QLabel *m_appNameLabel = nullptr;
    QLabel *m_titleLabel = nullptr;
    QLabel *m_logoView = nullptr;
    QLabel *m_versionLabel = nullptr;
    QWidget *m_toUpdateBgView = nullptr;
    int m_toUpdateBgViewHeight = 0;
    QPointer<QAbstractButton> m_toUpdateBtn;
    QLabel *m_hideLabel = nullptr;
    QAbstractButton *m_hideBtn = nullptr;
    int m_clickCounter = 0;
    QTimer *m_timer = nullptr;
    QPointer<QVKVOModel> m_observedModel;
};

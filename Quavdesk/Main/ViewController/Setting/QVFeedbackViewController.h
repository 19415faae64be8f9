#pragma once

#include "BaseViewController/View/QVBaseViewController.h"

#include <QPointer>

class QLabel;
class QVBackgrounView;
class QVBaseButton;
class QVFeedbackApi;
class QVFeedbackContentTextView;
class QVLoadingView;
class QVTipsBanner;

// The feedback form: a free text sent to the maker's API server. Submit is
// possible exactly while there is something to send; accepted feedback is
// confirmed, the text emptied and the settings list comes back after a
// moment; anything else says the network is bad and keeps the text. Each
// visit makes a new page.
class QVFeedbackViewController : public QVBaseViewController
{
    Q_OBJECT
public:
    static inline const QString ClassName = QStringLiteral("QVFeedbackViewController");
    static constexpr int TipsHeight = 60;

    explicit QVFeedbackViewController(QWidget *parent = nullptr);
    ~QVFeedbackViewController() override;

    QVBackgrounView *bgView() const { return m_bgView; }
    QLabel *appNameLabel() const { return m_appNameLabel; }
    QLabel *titleLabel() const { return m_titleLabel; }
    QVBaseButton *backBtn() const { return m_backBtn; }
    QVBackgrounView *textBgView() const { return m_textBgView; }
    QVFeedbackContentTextView *contentTextView() const { return m_contentTextView; }
    // The placeholder over the empty text.
    QVBaseButton *tipsBtn() const { return m_tipsBtn; }
    QVBaseButton *sureBtn() const { return m_sureBtn; }
    // Made on first use.
    QVLoadingView *loadingView();
    QVTipsBanner *tipsBanner() const { return m_tipsBanner; }
    QVFeedbackApi *feedbackApi() const { return m_feedbackApi; }

    void tipsLabelClick();
    // Submit usable or not; the placeholder shows while there is no text.
    void changeBtnStyle(bool enabled);
    // Sends the text.
    void confirmAction();
    void backBtnClick();
    void mainThreadRefrshTipsWithTitle(const QString &text, qint64 type);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void baseSetting();
    void textDidChange();
    void feedbackFinished(bool accepted);
    void showSettingList();

    QVBackgrounView *m_bgView = nullptr;
    QVBaseButton *m_backBtn = nullptr;
    QLabel *m_appNameLabel = nullptr;
    QLabel *m_titleLabel = nullptr;
    QVBackgrounView *m_textBgView = nullptr;
    QVFeedbackContentTextView *m_contentTextView = nullptr;
    QVBaseButton *m_tipsBtn = nullptr;
    QVBaseButton *m_sureBtn = nullptr;
    QPointer<QVLoadingView> m_loadingView;
    QVTipsBanner *m_tipsBanner = nullptr;
    QVFeedbackApi *m_feedbackApi = nullptr;
};

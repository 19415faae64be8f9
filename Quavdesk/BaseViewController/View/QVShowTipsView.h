#pragma once

#include <QWidget>

class QLabel;
class QVBackgrounView;

// The tip banner: a dark rounded panel with one line of white text. The page
// host puts the text into tipsLabel and shows, times and fades the banner.
class QVShowTipsView : public QWidget
{
    Q_OBJECT
public:
    explicit QVShowTipsView(QWidget *parent = nullptr);

    QVBackgrounView *bgView() const { return m_bgView; }
    QLabel *tipsLabel() const { return m_tipsLabel; }
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QVBackgrounView *m_bgView = nullptr;
    QLabel *m_tipsLabel = nullptr;
};

// A message panel of the same kind, with its text in titleLabel.
class QVMsgTipsView : public QWidget
{
    Q_OBJECT
public:
    explicit QVMsgTipsView(QWidget *parent = nullptr);

    QVBackgrounView *bgView() const { return m_bgView; }
    QLabel *titleLabel() const { return m_titleLabel; }
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QVBackgrounView *m_bgView = nullptr;
    QLabel *m_titleLabel = nullptr;
};

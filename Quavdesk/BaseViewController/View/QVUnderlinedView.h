#pragma once

#include <QWidget>

class QLabel;
class QVBackgrounView;

// A line of text in the alert red (0xFF5B5C) with a line of the same colour
// under it, as a link is drawn on the about page.
class QVUnderlinedView : public QWidget
{
    Q_OBJECT
public:
    explicit QVUnderlinedView(QWidget *parent = nullptr);

    QLabel *textLabel() const { return m_textLabel; }
    QVBackgrounView *bottomLineView() const { return m_bottomLineView; }

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutLine();

    QLabel *m_textLabel = nullptr;
    QVBackgrounView *m_bottomLineView = nullptr;
};

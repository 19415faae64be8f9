#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QVBackgrounView;

// The content of a button's hover tip: one line of text on a white panel.
// Its width follows the text; its height is 25 points.
class QVPopoverViewController : public QWidget
{
    Q_OBJECT
public:
    explicit QVPopoverViewController(const QString &titleText, QWidget *parent = nullptr);

    static constexpr int kHeight = 25;

    QLabel *textLabel() const { return m_textLabel; }
    QVBackgrounView *bgView() const { return m_bgView; }
    QString titleText() const { return m_titleText; }
    void setTitleText(const QString &titleText);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QString m_titleText;
    QVBackgrounView *m_bgView = nullptr;
    QLabel *m_textLabel = nullptr;
};

// A small window that floats next to a view and shows a content widget; it
// never takes the keyboard focus.
class QVPopover : public QWidget
{
    Q_OBJECT
public:
    // The popover belongs to `owner` and goes with it.
    explicit QVPopover(QWidget *owner);

    QWidget *contentViewController() const { return m_content; }
    // Takes the content; its current size becomes the popover's size.
    void setContentViewController(QWidget *content);

    // Opens next to `rect` of `view` (in the view's coordinates) on the
    // preferred edge, or on the opposite one when the screen has no room.
    void showRelativeToRect(const QRect &rect, QWidget *view, Qt::Edge preferredEdge);
    void performClose();
    bool isShown() const { return isVisible(); }

private:
    QWidget *m_content = nullptr;
};

#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QVBaseButton;
class QVBaseImageView;

// An image over a label, covered by a transparent button; a click reports
// the view's style number. The whole view dims to 0.7 under the pointer.
class QVCustomButtonView : public QWidget
{
    Q_OBJECT
public:
    explicit QVCustomButtonView(QWidget *parent = nullptr);

    std::function<void(qint64)> btnActionBlock() const { return m_btnActionBlock; }
    void setBtnActionBlock(std::function<void(qint64)> block) { m_btnActionBlock = std::move(block); }

    QVBaseImageView *imageView() const { return m_imageView; }
    QLabel *titleLabel() const { return m_titleLabel; }
    QVBaseButton *clickBtn() const { return m_clickBtn; }
    qint64 style() const { return m_style; }
    void setStyle(qint64 style) { m_style = style; }

public Q_SLOTS:
    // Calls btnActionBlock with the style, when it is set.
    void buttonAction();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QVBaseImageView *m_imageView = nullptr;
    QLabel *m_titleLabel = nullptr;
    QVBaseButton *m_clickBtn = nullptr;
    qint64 m_style = 0;
    std::function<void(qint64)> m_btnActionBlock;
};

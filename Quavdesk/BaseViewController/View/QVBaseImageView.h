#pragma once

#include <QPixmap>
#include <QWidget>

// An image view: the image centred, scaled down proportionally when it does
// not fit. `isSelect` is kept for the page.
class QVBaseImageView : public QWidget
{
    Q_OBJECT
public:
    explicit QVBaseImageView(QWidget *parent = nullptr);

    QPixmap image() const { return m_image; }
    void setImage(const QPixmap &image);
    bool isSelect() const { return m_isSelect; }
    void setIsSelect(bool isSelect) { m_isSelect = isSelect; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_image;
    bool m_isSelect = false;
};

#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QRectF>
#include <memory>

// Draws a button's title, and for some styles its image above it, centred in
// the cell frame.
class QVCustomButtonCell
{
public:
    // 0 title only; 1 image and title stacked 10 points apart and centred as
    // a pair; 2 image at the frame's top and the title 10 points below it;
    // any other style draws nothing.
    qint64 btnStyle() const { return m_btnStyle; }
    void setBtnStyle(qint64 style) { m_btnStyle = style; }
    QColor textColor() const { return m_textColor; }
    void setTextColor(const QColor &color) { m_textColor = color; }
    QFont textFont() const { return m_textFont; }
    void setTextFont(const QFont &font) { m_textFont = font; }

    struct Layout {
        QRectF imageRect; // empty when no image is drawn
        QRectF titleRect; // empty when no title is drawn
    };
    static Layout layout(qint64 style, const QRectF &frame, const QSizeF &imageSize, const QSizeF &titleSize);

    // Draws only: the cell's and the button's state are left as they are.
    void drawInteriorWithFrame(QPainter &painter, const QRectF &cellFrame, const QString &title,
                               const QPixmap &image) const;

private:
    qint64 m_btnStyle = 0;
    QColor m_textColor;
    QFont m_textFont;
};

// The casting screen's buttons: the cell draws white 12-point text (and an
// image for the stacked styles); the button dims to 0.7 under the pointer.
class QVCustomButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit QVCustomButton(QWidget *parent = nullptr);
    ~QVCustomButton() override;

    // What the button stands for on the casting screen (0 disconnect, 1 full
    // screen, 2 exit full screen, 3 freeze, 4 unfreeze); stored only.
    qint64 shareStyle() const { return m_shareStyle; }
    void setShareStyle(qint64 style) { m_shareStyle = style; }
    // Made on first use: white text in the system font, 12 pixels.
    QVCustomButtonCell *buttonCell();
    bool isInteraction() const { return m_isInteraction; }
    void setIsInteraction(bool isInteraction) { m_isInteraction = isInteraction; }
    QPixmap image() const { return m_image; }
    void setImage(const QPixmap &image);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    qint64 m_shareStyle = 0;
    std::unique_ptr<QVCustomButtonCell> m_buttonCell;
    bool m_isInteraction = true;
    QPixmap m_image;
};

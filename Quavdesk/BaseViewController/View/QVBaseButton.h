#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>
#include <QPointer>

#include "BaseViewController/View/QVPopoverViewController.h"

// The program's flat button: a fill with rounded corners, an image and a
// title, no pressed look. While the pointer is over it (in the active
// window) it dims to opacity 0.7 when isInteraction is set, and it can show
// a tip next to itself.
class QVBaseButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit QVBaseButton(QWidget *parent = nullptr);
    explicit QVBaseButton(const QString &title, QWidget *parent = nullptr);

    // The button's image, drawn at its own size (left of the title when the
    // button has both).
    QPixmap image() const { return m_image; }
    void setImage(const QPixmap &image);

    QColor backgroundColor() const { return m_backgroundColor; }
    // A nil (invalid) colour leaves the fill that was showing; at first the
    // fill is clear.
    void setBackgroundColor(const QColor &color);
    bool isRadius() const { return m_isRadius; }
    void setIsRadius(bool isRadius);
    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius);
    // Whether the button can take the keyboard focus (by Tab); on at first.
    bool clickStyle() const { return m_clickStyle; }
    void setClickStyle(bool clickStyle);
    bool canBecomeKeyView() const { return m_clickStyle; }
    bool isInteraction() const { return m_isInteraction; }
    void setIsInteraction(bool isInteraction);
    // Kept for the page; the button draws nothing different.
    bool isSelect() const { return m_isSelect; }
    void setIsSelect(bool isSelect);

    // Setting YES builds the tip from popoverTitle and popoverTitleColor as
    // they stand at that moment, closing a tip built earlier; NO stops the
    // tip from opening and closes it.
    bool isShowPopover() const { return m_isShowPopover; }
    void setIsShowPopover(bool isShowPopover);
    QString popoverTitle() const { return m_popoverTitle; }
    void setPopoverTitle(const QString &title);
    // Nil keeps the tip's own text colour.
    QColor popoverTitleColor() const { return m_popoverTitleColor; }
    void setPopoverTitleColor(const QColor &color);
    QVPopover *customPopover() const { return m_customPopover; }
    // The tip is open.
    bool isShow() const { return m_isShow; }
    // Closes the tip, and those of the sibling buttons, from outside.
    void cancelPopTipsShow();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    // Draws what lies on the fill; the painter is clipped to the corners.
    virtual void paintContent(QPainter &painter);
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void closeOwnTip();
    void closeSiblingTipsLater();

    QPixmap m_image;
    QColor m_backgroundColor;
    QColor m_fill = Qt::transparent;
    bool m_isRadius = false;
    double m_cornerRadius = 0;
    bool m_clickStyle = true;
    bool m_isInteraction = false;
    bool m_isSelect = false;
    bool m_isShowPopover = false;
    QString m_popoverTitle;
    QColor m_popoverTitleColor;
    QPointer<QVPopover> m_customPopover;
    bool m_isShow = false;
    bool m_pointerInside = false;
};

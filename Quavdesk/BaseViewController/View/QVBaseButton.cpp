#include "BaseViewController/View/QVBaseButton.h"

#include "BaseViewController/View/QVImageDrawing.h"
#include "BaseViewController/View/QVPopoverViewController.h"
#include "Categories/QVViewAdd.h"

#include <QEnterEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

namespace {
constexpr double kHoverOpacity = 0.7;
constexpr int kImageTitleGap = 6;
} // namespace

QVBaseButton::QVBaseButton(QWidget *parent)
    : QAbstractButton(parent)
{
    setClickStyle(true);
}

QVBaseButton::QVBaseButton(const QString &title, QWidget *parent)
    : QVBaseButton(parent)
{
    setText(title);
}

void QVBaseButton::setImage(const QPixmap &image)
{
    m_image = image;
    updateGeometry();
    update();
}

void QVBaseButton::setBackgroundColor(const QColor &color)
{
    m_backgroundColor = color;
    if (color.isValid())
        m_fill = color;
    update();
}

void QVBaseButton::setIsRadius(bool isRadius)
{
    m_isRadius = isRadius;
    update();
}

void QVBaseButton::setCornerRadius(double radius)
{
    m_cornerRadius = radius;
    update();
}

void QVBaseButton::setClickStyle(bool clickStyle)
{
    m_clickStyle = clickStyle;
    // A click does not take the focus, as with the platform's buttons; Tab does.
    setFocusPolicy(clickStyle ? Qt::TabFocus : Qt::NoFocus);
}

void QVBaseButton::setIsInteraction(bool isInteraction)
{
    m_isInteraction = isInteraction;
}

void QVBaseButton::setIsSelect(bool isSelect)
{
    m_isSelect = isSelect;
}

void QVBaseButton::setPopoverTitle(const QString &title)
{
    m_popoverTitle = title;
}

void QVBaseButton::setPopoverTitleColor(const QColor &color)
{
    m_popoverTitleColor = color;
}

void QVBaseButton::setIsShowPopover(bool isShowPopover)
{
    m_isShowPopover = isShowPopover;
    if (!isShowPopover) {
        closeOwnTip();
        return;
    }
    // A tip built earlier is closed before it is replaced, so none is left
    // open without a way to close it.
    if (m_customPopover) {
        closeOwnTip();
        m_customPopover->deleteLater();
    }
    auto *content = new QVPopoverViewController(m_popoverTitle);
    content->resize(content->textLabel()->width(), QVPopoverViewController::kHeight);
    if (m_popoverTitleColor.isValid()) {
        QPalette palette = content->textLabel()->palette();
        palette.setColor(QPalette::WindowText, m_popoverTitleColor);
        content->textLabel()->setPalette(palette);
    }
    m_customPopover = new QVPopover(this);
    m_customPopover->setContentViewController(content);
}

void QVBaseButton::cancelPopTipsShow()
{
    if (!m_isShowPopover)
        return;
    closeOwnTip();
    closeSiblingTipsLater();
}

void QVBaseButton::closeOwnTip()
{
    if (m_customPopover)
        m_customPopover->performClose();
    m_isShow = false;
}

void QVBaseButton::closeSiblingTipsLater()
{
    // At most one tip stays open among sibling buttons. Only tips open now
    // are closed: a sibling the pointer moves on to opens its tip after this
    // and keeps it.
    QWidget *superview = parentWidget();
    if (!superview)
        return;
    QList<QPointer<QVBaseButton>> openTips;
    for (QVBaseButton *sibling : superview->findChildren<QVBaseButton *>(Qt::FindDirectChildrenOnly)) {
        const bool tipOpen = sibling->m_isShow || (sibling->m_customPopover && sibling->m_customPopover->isShown());
        if (sibling != this && tipOpen)
            openTips.append(sibling);
    }
    if (openTips.isEmpty())
        return;
    QTimer::singleShot(0, this, [openTips] {
        for (const QPointer<QVBaseButton> &sibling : openTips) {
            if (sibling)
                sibling->closeOwnTip();
        }
    });
}

QSize QVBaseButton::sizeHint() const
{
    const QSizeF imageSize = QVImageDrawing::logicalSize(m_image);
    const QSize textSize = text().isEmpty() ? QSize() : fontMetrics().size(Qt::TextShowMnemonic, text());
    int width = qRound(imageSize.width()) + textSize.width();
    if (!m_image.isNull() && !text().isEmpty())
        width += kImageTitleGap;
    const int height = qMax(qRound(imageSize.height()), textSize.height());
    return QSize(width + 16, height + 8);
}

void QVBaseButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const qreal radius = m_isRadius ? m_cornerRadius : 0;
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), radius, radius);
    if (m_fill.alpha() > 0)
        painter.fillPath(shape, m_fill);
    painter.save();
    if (m_isRadius)
        painter.setClipPath(shape);
    paintContent(painter);
    painter.restore();
    if (hasFocus()) {
        QPen pen(palette().color(QPalette::Highlight), 2);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), radius, radius);
    }
}

void QVBaseButton::paintContent(QPainter &painter)
{
    const QRectF bounds(rect());
    const QSizeF imageSize = QVImageDrawing::logicalSize(m_image);
    const QString title = text();
    if (title.isEmpty()) {
        if (!m_image.isNull())
            painter.drawPixmap(QVImageDrawing::proportionallyDown(bounds, imageSize), m_image, QRectF(m_image.rect()));
        return;
    }
    const QFontMetricsF metrics(font());
    const qreal titleWidth = metrics.horizontalAdvance(title);
    const qreal gap = m_image.isNull() ? 0 : kImageTitleGap;
    const qreal groupWidth = imageSize.width() + gap + titleWidth;
    qreal x = bounds.center().x() - groupWidth / 2;
    if (!m_image.isNull()) {
        const QRectF imageRect(x, bounds.center().y() - imageSize.height() / 2, imageSize.width(), imageSize.height());
        painter.drawPixmap(imageRect, m_image, QRectF(m_image.rect()));
        x += imageSize.width() + gap;
    }
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(QRectF(x, bounds.top(), titleWidth, bounds.height()), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextDontClip,
                     title);
}

void QVBaseButton::enterEvent(QEnterEvent *event)
{
    QAbstractButton::enterEvent(event);
    // The pointer is followed only in the active window. Window changes can
    // repeat an entering; only the first one after a leave counts, so a tip
    // closed from outside stays closed until the pointer comes back.
    if (m_pointerInside || !isActiveWindow())
        return;
    m_pointerInside = true;
    if (m_isInteraction)
        QVAdd::setLayerOpacity(this, kHoverOpacity);
    if (m_isShowPopover && !m_isShow && m_customPopover) {
        m_customPopover->showRelativeToRect(rect(), this, Qt::BottomEdge);
        m_isShow = true;
    }
}

void QVBaseButton::leaveEvent(QEvent *event)
{
    QAbstractButton::leaveEvent(event);
    m_pointerInside = false;
    // Leaving always restores, so a button never stays dimmed.
    if (m_isInteraction)
        QVAdd::setLayerOpacity(this, 1.0);
    if (m_isShowPopover) {
        closeOwnTip();
        closeSiblingTipsLater();
    }
}

void QVBaseButton::hideEvent(QHideEvent *event)
{
    QAbstractButton::hideEvent(event);
    m_pointerInside = false;
    closeOwnTip();
}

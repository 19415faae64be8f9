#include "BaseViewController/View/QVCustomButton.h"

#include "BaseViewController/View/QVImageDrawing.h"
#include "Categories/QVViewAdd.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>

namespace {
constexpr double kHoverOpacity = 0.7;
constexpr qreal kImageTitleGap = 10;
} // namespace

QVCustomButtonCell::Layout QVCustomButtonCell::layout(qint64 style, const QRectF &frame, const QSizeF &imageSize,
                                                      const QSizeF &titleSize)
{
    const qreal x = frame.x(), y = frame.y(), w = frame.width(), h = frame.height();
    const qreal iw = imageSize.width(), ih = imageSize.height();
    const qreal tw = titleSize.width(), th = titleSize.height();
    Layout result;
    switch (style) {
    case 0:
        result.titleRect = QRectF(x + w / 2 - tw / 2, y + h / 2 - th / 2, tw, th);
        break;
    case 1:
        result.imageRect = QRectF(x + w / 2 - iw / 2, y + h / 2 - ih / 2 - th / 2 - 5, iw, ih);
        result.titleRect = QRectF(x + w / 2 - tw / 2, result.imageRect.y() + ih + kImageTitleGap, tw, th);
        break;
    case 2:
        result.imageRect = QRectF(x + w / 2 - iw / 2, y, iw, ih);
        result.titleRect = QRectF(x + w / 2 - tw / 2, y + ih + kImageTitleGap, tw, th);
        break;
    default:
        break;
    }
    return result;
}

void QVCustomButtonCell::drawInteriorWithFrame(QPainter &painter, const QRectF &cellFrame, const QString &title,
                                               const QPixmap &image) const
{
    const QFontMetricsF metrics(m_textFont);
    const QSizeF titleSize = title.isEmpty() ? QSizeF() : metrics.size(0, title);
    const QSizeF imageSize = QVImageDrawing::logicalSize(image);
    const Layout placed = layout(m_btnStyle, cellFrame, imageSize, titleSize);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!placed.imageRect.isEmpty() && !image.isNull())
        painter.drawPixmap(placed.imageRect, image, QRectF(image.rect()));
    if (!placed.titleRect.isEmpty()) {
        painter.setFont(m_textFont);
        painter.setPen(m_textColor);
        painter.drawText(placed.titleRect, Qt::AlignCenter | Qt::TextDontClip, title);
    }
    painter.restore();
}

QVCustomButton::QVCustomButton(QWidget *parent)
    : QAbstractButton(parent)
{
    setFocusPolicy(Qt::TabFocus);
    buttonCell(); // the button draws through its cell from the start
}

QVCustomButton::~QVCustomButton() = default;

QVCustomButtonCell *QVCustomButton::buttonCell()
{
    if (!m_buttonCell) {
        m_buttonCell = std::make_unique<QVCustomButtonCell>();
        m_buttonCell->setTextColor(Qt::white);
        // The 12 points of the desktop these buttons were drawn for are 12
        // pixels here, as every size of the kit.
        QFont font = QApplication::font();
        font.setPixelSize(12);
        m_buttonCell->setTextFont(font);
    }
    return m_buttonCell.get();
}

void QVCustomButton::setImage(const QPixmap &image)
{
    m_image = image;
    update();
}

void QVCustomButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    buttonCell()->drawInteriorWithFrame(painter, QRectF(rect()), text(), m_image);
}

void QVCustomButton::enterEvent(QEnterEvent *event)
{
    QAbstractButton::enterEvent(event);
    if (m_isInteraction && QVAdd::applicationIsActive())
        QVAdd::setLayerOpacity(this, kHoverOpacity);
}

void QVCustomButton::leaveEvent(QEvent *event)
{
    QAbstractButton::leaveEvent(event);
    if (m_isInteraction)
        QVAdd::setLayerOpacity(this, 1.0);
}

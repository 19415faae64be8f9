#include "Main/ViewController/ShareScreen/QVFileTileView.h"

#include "Categories/RVColor.h"
#include "Main/ViewController/ShareScreen/QVShareScreenLook.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int kTextInset = 24;

QLabel *makeLabel(QWidget *parent, const QString &name, int pixelSize, bool bold)
{
    QLabel *label = QVShareScreenLook::makeLabel(parent, name, pixelSize, bold,
                                                 rv_colorWithHexString(QStringLiteral("0x5879FC")));
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

} // namespace

QVFileTileView::Clock QVFileTileView::monotonicClock()
{
    return [] {
        static const QElapsedTimer started = [] {
            QElapsedTimer timer;
            timer.start();
            return timer;
        }();
        return started.elapsed();
    };
}

QVFileTileView::QVFileTileView(const char *titleKey, const char *describeKey, Arrow arrow, QWidget *parent)
    : QVBackgrounView(parent)
    , m_arrow(arrow)
    , m_clock(monotonicClock())
{
    m_titleLabel = makeLabel(this, QStringLiteral("titleLabel"), 17, true);
    m_titleLabel->setText(QVShareScreenLook::localizable(titleKey));
    m_describeLabel = makeLabel(this, QStringLiteral("describeLabel"), 12, false);
    m_describeLabel->setWordWrap(true);
    m_describeLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_describeLabel->setText(QVShareScreenLook::localizable(describeKey));
    setCursor(Qt::PointingHandCursor);
}

void QVFileTileView::resizeEvent(QResizeEvent *event)
{
    QVBackgrounView::resizeEvent(event);
    const int textWidth = qMax(0, int(badgeRect().left()) - 12 - kTextInset);
    m_titleLabel->setGeometry(kTextInset, 28, textWidth, 24);
    m_describeLabel->setGeometry(kTextInset, 58, textWidth, qMax(0, height() - 64));
}

QRectF QVFileTileView::badgeRect() const
{
    constexpr qreal side = 48;
    return QRectF(width() - kTextInset - side, (height() - side) / 2, side, side);
}

void QVFileTileView::paintEvent(QPaintEvent *event)
{
    QVBackgrounView::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF badge = badgeRect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(rv_colorWithHexString(QStringLiteral("0xEEF2FF")));
    painter.drawEllipse(badge);
    const QColor blue = rv_colorWithHexString(QStringLiteral("0x5879FC"));
    painter.setPen(QPen(blue, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    const QPointF c = badge.center();
    const qreal reach = 10;
    const qreal dir = m_arrow == Arrow::Up ? -1 : 1;
    const QPointF tip(c.x(), c.y() + dir * reach);
    painter.drawLine(QPointF(c.x(), c.y() - dir * reach), tip);
    painter.drawLine(tip, QPointF(c.x() - 7, tip.y() - dir * 7));
    painter.drawLine(tip, QPointF(c.x() + 7, tip.y() - dir * 7));
}

void QVFileTileView::acceptClick(const std::function<void()> &block)
{
    const qint64 now = m_clock();
    if (m_lastClick && now - *m_lastClick < ClickGuardMs)
        return;
    m_lastClick = now;
    if (m_hoverState && block)
        block();
}

void QVFileTileView::enterEvent(QEnterEvent *event)
{
    QVBackgrounView::enterEvent(event);
    if (m_hoverState)
        setOpacity(HoverOpacity);
}

void QVFileTileView::leaveEvent(QEvent *event)
{
    QVBackgrounView::leaveEvent(event);
    if (m_hoverState)
        setOpacity(1.0);
}

void QVFileTileView::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void QVFileTileView::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        clicked();
}

QVTransferFileBgView::QVTransferFileBgView(QWidget *parent)
    : QVFileTileView(QT_TRANSLATE_NOOP("Localizable", "shareScreen_transferFile_title"),
                     QT_TRANSLATE_NOOP("Localizable", "shareScreen_transferFile_describe"), Arrow::Up, parent)
{
    setObjectName(QStringLiteral("QVTransferFileBgView"));
}

void QVTransferFileBgView::transferFileBtnClick(QObject *)
{
    acceptClick(m_transferFileBtnClick);
}

QVDownLoadFileView::QVDownLoadFileView(QWidget *parent)
    : QVFileTileView(QT_TRANSLATE_NOOP("Localizable", "shareScreen_downLoadFile_title"),
                     QT_TRANSLATE_NOOP("Localizable", "shareScreen_downLoadFile_describe"), Arrow::Down, parent)
{
    setObjectName(QStringLiteral("QVDownLoadFileView"));
}

void QVDownLoadFileView::downLoadFileBtnClick(QObject *)
{
    acceptClick(m_downLoadFileBtnClick);
}

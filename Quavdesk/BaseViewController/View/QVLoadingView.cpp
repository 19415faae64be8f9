#include "BaseViewController/View/QVLoadingView.h"

#include "BaseViewController/View/QVImageDrawing.h"
#include "BaseViewController/View/QVNamedImage.h"

#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>
#include <numbers>

namespace {
constexpr int kSpinnerSide = 50;
} // namespace

QVCustomLoadingView::QVCustomLoadingView(const QRect &frame, QWidget *parent)
    : QWidget(parent)
{
    setGeometry(frame);
    setUpProgressIndicator();
}

void QVCustomLoadingView::setUpProgressIndicator()
{
    // The spinner never takes a click; the overlay decides where clicks go.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_spinning = new QVariantAnimation(this);
    m_spinning->setStartValue(0.0);
    m_spinning->setEndValue(2 * std::numbers::pi);
    m_spinning->setDuration(m_timings.loadingSpinnerTurnMs);
    m_spinning->setLoopCount(-1);
    connect(m_spinning, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_rotation = value.toDouble();
        update();
    });
}

void QVCustomLoadingView::setImage(const QPixmap &image)
{
    m_image = image;
    update();
}

bool QVCustomLoadingView::isAnimating() const
{
    return m_spinning->state() == QAbstractAnimation::Running;
}

void QVCustomLoadingView::setTimings(const QVKitTimings &timings)
{
    m_timings = timings;
    m_spinning->setDuration(timings.loadingSpinnerTurnMs);
}

void QVCustomLoadingView::startAnimating()
{
    m_spinning->stop();
    m_rotation = 0;
    m_spinning->start();
}

void QVCustomLoadingView::stopAnimating()
{
    if (m_spinning->state() == QAbstractAnimation::Stopped)
        return;
    m_spinning->stop();
    m_rotation = 0;
    update();
}

void QVCustomLoadingView::paintEvent(QPaintEvent *)
{
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    const QRectF target = QVImageDrawing::aspectFit(bounds, QVImageDrawing::logicalSize(m_image));
    painter.translate(bounds.center());
    painter.rotate(-m_rotation * 180.0 / std::numbers::pi);
    painter.translate(-bounds.center());
    painter.drawPixmap(target, m_image, QRectF(m_image.rect()));
}

QVLoadingView::QVLoadingView(const QRect &frame, QWidget *parent)
    : QWidget(parent)
{
    setGeometry(frame);
    customLoadingView();
    if (parent)
        show();
}

QVCustomLoadingView *QVLoadingView::customLoadingView()
{
    if (!m_customLoadingView) {
        const QRect frame((width() - kSpinnerSide) / 2, (height() - kSpinnerSide) / 2, kSpinnerSide, kSpinnerSide);
        m_customLoadingView = new QVCustomLoadingView(frame, this);
        m_customLoadingView->setImage(QVNamedImage(QStringLiteral("main_loading")));
    }
    return m_customLoadingView;
}

void QVLoadingView::lookChanged()
{
    m_look.applyLayer(this);
    update();
}

void QVLoadingView::setBackgroundColor(const QColor &color)
{
    m_look.setBackgroundColor(color);
    update();
}

void QVLoadingView::setIsBorder(bool isBorder)
{
    m_look.isBorder = isBorder;
    update();
}

void QVLoadingView::setBorderColor(const QColor &color)
{
    m_look.borderColor = color;
    update();
}

void QVLoadingView::setBorderWidth(double width)
{
    m_look.borderWidth = width;
    update();
}

void QVLoadingView::setIsRadius(bool isRadius)
{
    m_look.isRadius = isRadius;
    lookChanged();
}

void QVLoadingView::setCornerRadius(double radius)
{
    m_look.cornerRadius = radius;
    lookChanged();
}

void QVLoadingView::setIsOpacity(bool isOpacity)
{
    m_look.isOpacity = isOpacity;
    lookChanged();
}

void QVLoadingView::setOpacity(double opacity)
{
    m_look.opacity = opacity;
    lookChanged();
}

void QVLoadingView::setIsBlockingEvents(bool blocking)
{
    m_isBlockingEvents = blocking;
}

void QVLoadingView::setTimings(const QVKitTimings &timings)
{
    customLoadingView()->setTimings(timings);
}

void QVLoadingView::showLoadingView()
{
    setIsBlockingEvents(true);
    show();
    customLoadingView()->startAnimating();
}

void QVLoadingView::hiddenLoadingView()
{
    setIsBlockingEvents(false);
    hide();
    customLoadingView()->stopAnimating();
}

void QVLoadingView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_look.paint(painter, rect());
}

void QVLoadingView::mousePressEvent(QMouseEvent *event)
{
    if (m_isBlockingEvents)
        event->accept();
    else
        QWidget::mousePressEvent(event);
}

void QVLoadingView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_isBlockingEvents)
        event->accept();
    else
        QWidget::mouseReleaseEvent(event);
}

void QVLoadingView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (m_isBlockingEvents)
        event->accept();
    else
        QWidget::mouseDoubleClickEvent(event);
}

#include "BaseViewController/View/QVRotatingButton.h"

#include "BaseViewController/View/QVImageDrawing.h"

#include <QPainter>
#include <QVariantAnimation>
#include <numbers>

QVRotatingButton::QVRotatingButton(QWidget *parent)
    : QVRotatingButton(QPixmap(), parent)
{
}

QVRotatingButton::QVRotatingButton(const QPixmap &image, QWidget *parent)
    : QVBaseButton(parent)
    , m_preloadedImage(image)
{
    setImage(image);
    setIsRadius(true);
    setCornerRadius(6.0);
    setBackgroundColor(QColor::fromRgbF(116 / 255.0f, 151 / 255.0f, 244 / 255.0f, 1.0f));

    m_rotationAnimation = new QVariantAnimation(this);
    m_rotationAnimation->setStartValue(0.0);
    m_rotationAnimation->setEndValue(2 * std::numbers::pi);
    m_rotationAnimation->setDuration(m_timings.rotatingButtonTurnMs);
    connect(m_rotationAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_rotation = value.toDouble();
        update();
    });
    // Once the turn ends the image stands where it started.
    connect(m_rotationAnimation, &QVariantAnimation::finished, this, [this] {
        m_rotation = 0;
        update();
    });
    connect(this, &QAbstractButton::clicked, this, &QVRotatingButton::rotateBackgroundImage);
}

bool QVRotatingButton::isRotating() const
{
    return m_rotationAnimation->state() == QAbstractAnimation::Running;
}

void QVRotatingButton::setTimings(const QVKitTimings &timings)
{
    m_timings = timings;
    m_rotationAnimation->setDuration(timings.rotatingButtonTurnMs);
}

void QVRotatingButton::rotateBackgroundImage()
{
    m_rotationAnimation->stop();
    m_rotation = 0;
    m_rotationAnimation->start();
    update();
}

void QVRotatingButton::paintContent(QPainter &painter)
{
    if (m_preloadedImage.isNull())
        return;
    const QRectF bounds(rect());
    const QRectF target = QVImageDrawing::aspectFill(bounds, QVImageDrawing::logicalSize(m_preloadedImage));
    painter.save();
    painter.translate(bounds.center());
    // Angles run counter-clockwise as on a y-up screen; Qt's y points down.
    painter.rotate(-m_rotation * 180.0 / std::numbers::pi);
    painter.translate(-bounds.center());
    painter.drawPixmap(target, m_preloadedImage, QRectF(m_preloadedImage.rect()));
    painter.restore();
}

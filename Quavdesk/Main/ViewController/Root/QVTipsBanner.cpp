#include "Main/ViewController/Root/QVTipsBanner.h"

#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVShowTipsView.h"
#include "Categories/RVColor.h"

#include <QLabel>
#include <QVariantAnimation>
#include <QWidget>

QVTipsBanner::QVTipsBanner(QWidget *host, int height)
    : QObject(host), m_host(host), m_height(height)
{
    m_holdTimer.setSingleShot(true);
    connect(&m_holdTimer, &QTimer::timeout, this, &QVTipsBanner::hiddenTipsView);
}

QVTipsBanner::~QVTipsBanner() = default;

QVShowTipsView *QVTipsBanner::tipsView()
{
    if (m_tipsView || !m_host)
        return m_tipsView;
    m_tipsView = new QVShowTipsView(m_host);
    m_tipsView->setObjectName(QStringLiteral("tipsView"));
    // Faded out it must not catch the clicks meant for the page's header.
    m_tipsView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_tipsView->setGeometry(0, 0, Width, m_height);
    m_tipsView->tipsLabel()->setTextFormat(Qt::PlainText);
    // The fade is the panel's own layer opacity: one layer effect draws both
    // its rounded corners and its fade.
    m_tipsView->bgView()->setIsOpacity(true);
    m_tipsView->bgView()->setOpacity(0.0);
    m_animation = new QVariantAnimation(this);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_opacity = value.toDouble();
        m_tipsView->bgView()->setOpacity(m_opacity);
    });
    connect(m_animation, &QVariantAnimation::finished, this, [this] {
        if (m_opacity >= 1.0) {
            m_holdTimer.start(m_timings.holdMs);
        } else if (m_opacity <= 0.0) {
            m_tipsView->hide();
            emit tipsHidden();
        }
    });
    m_tipsView->hide();
    m_tipsView->raise();
    return m_tipsView;
}

void QVTipsBanner::showTipsWithTitle(const QString &text, qint64 type)
{
    if (!tipsView())
        return;
    m_tipsView->tipsLabel()->setText(text);
    showTipsViewWithType(type);
}

void QVTipsBanner::showTipsViewWithType(qint64 type)
{
    if (!tipsView())
        return;
    m_tipsView->bgView()->setBackgroundColor(rv_colorWithHexString(type == TypeGood ? GoodColor : BadColor));
    m_holdTimer.stop();
    m_tipsView->show();
    m_tipsView->raise();
    emit tipsShown(text(), type);
    fadeTo(1.0, m_timings.fadeInMs);
}

void QVTipsBanner::hiddenTipsView()
{
    if (!m_tipsView)
        return;
    m_holdTimer.stop();
    fadeTo(0.0, m_timings.fadeOutMs);
}

void QVTipsBanner::fadeTo(double opacity, int durationMs)
{
    m_animation->stop();
    m_animation->setStartValue(m_opacity);
    m_animation->setEndValue(opacity);
    m_animation->setDuration(std::max(1, durationMs));
    m_animation->start();
}

double QVTipsBanner::opacity() const
{
    return m_tipsView && m_tipsView->isVisible() ? m_opacity : 0.0;
}

QString QVTipsBanner::text() const
{
    return m_tipsView ? m_tipsView->tipsLabel()->text() : QString();
}

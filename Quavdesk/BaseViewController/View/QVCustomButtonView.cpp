#include "BaseViewController/View/QVCustomButtonView.h"

#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVBaseImageView.h"
#include "Categories/QVViewAdd.h"

#include <QLabel>

namespace {
constexpr double kHoverOpacity = 0.7;
constexpr int kTitleHeight = 20;
} // namespace

QVCustomButtonView::QVCustomButtonView(QWidget *parent)
    : QWidget(parent)
{
    m_imageView = new QVBaseImageView(this);
    m_titleLabel = new QLabel(this);
    m_titleLabel->setAlignment(Qt::AlignCenter);
    m_clickBtn = new QVBaseButton(this);
    m_clickBtn->setClickStyle(false);
    connect(m_clickBtn, &QAbstractButton::clicked, this, &QVCustomButtonView::buttonAction);
}

void QVCustomButtonView::buttonAction()
{
    if (m_btnActionBlock)
        m_btnActionBlock(m_style);
}

void QVCustomButtonView::resizeEvent(QResizeEvent *)
{
    const int imageHeight = qMax(0, height() - kTitleHeight);
    m_imageView->setGeometry(0, 0, width(), imageHeight);
    m_titleLabel->setGeometry(0, imageHeight, width(), kTitleHeight);
    m_clickBtn->setGeometry(rect());
    m_clickBtn->raise();
}

void QVCustomButtonView::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    if (QVAdd::applicationIsActive())
        QVAdd::setLayerOpacity(this, kHoverOpacity);
}

void QVCustomButtonView::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    QVAdd::setLayerOpacity(this, 1.0);
}

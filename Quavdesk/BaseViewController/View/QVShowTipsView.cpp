#include "BaseViewController/View/QVShowTipsView.h"

#include "BaseViewController/View/QVBackgrounView.h"
#include "Categories/RVColor.h"

#include <QLabel>

namespace {

constexpr int kHorizontalPadding = 16;
constexpr int kVerticalPadding = 8;

QVBackgrounView *makePanel(QWidget *owner)
{
    auto *panel = new QVBackgrounView(owner);
    panel->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0x000000B3")));
    panel->setIsRadius(true);
    panel->setCornerRadius(6.0);
    return panel;
}

QLabel *makeLabel(QWidget *owner)
{
    auto *label = new QLabel(owner);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    QFont font = label->font();
    font.setPixelSize(13);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    return label;
}

QSize panelSize(const QLabel *label)
{
    return label->sizeHint() + QSize(2 * kHorizontalPadding, 2 * kVerticalPadding);
}

QRect labelArea(const QWidget *owner)
{
    return owner->rect().adjusted(kHorizontalPadding, kVerticalPadding, -kHorizontalPadding, -kVerticalPadding);
}

} // namespace

QVShowTipsView::QVShowTipsView(QWidget *parent)
    : QWidget(parent)
    , m_bgView(makePanel(this))
    , m_tipsLabel(makeLabel(m_bgView))
{
}

QSize QVShowTipsView::sizeHint() const
{
    return panelSize(m_tipsLabel);
}

void QVShowTipsView::resizeEvent(QResizeEvent *)
{
    m_bgView->setGeometry(rect());
    m_tipsLabel->setGeometry(labelArea(this));
}

QVMsgTipsView::QVMsgTipsView(QWidget *parent)
    : QWidget(parent)
    , m_bgView(makePanel(this))
    , m_titleLabel(makeLabel(m_bgView))
{
}

QSize QVMsgTipsView::sizeHint() const
{
    return panelSize(m_titleLabel);
}

void QVMsgTipsView::resizeEvent(QResizeEvent *)
{
    m_bgView->setGeometry(rect());
    m_titleLabel->setGeometry(labelArea(this));
}

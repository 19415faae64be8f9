#include "BaseViewController/View/QVPopoverViewController.h"

#include "BaseViewController/View/QVBackgrounView.h"
#include "Categories/RVColor.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace {
constexpr int kTextPadding = 10;
constexpr int kGap = 4;
} // namespace

QVPopoverViewController::QVPopoverViewController(const QString &titleText, QWidget *parent)
    : QWidget(parent)
    , m_titleText(titleText)
{
    m_bgView = new QVBackgrounView(this);
    m_bgView->setBackgroundColor(Qt::white);
    m_bgView->setIsBorder(true);
    m_bgView->setBorderWidth(1.0);
    m_bgView->setBorderColor(rv_colorWithHexString(QStringLiteral("0xDDDDDD")));

    m_textLabel = new QLabel(this);
    m_textLabel->setAlignment(Qt::AlignCenter);
    QFont font = m_textLabel->font();
    font.setPixelSize(12);
    m_textLabel->setFont(font);
    QPalette palette = m_textLabel->palette();
    palette.setColor(QPalette::WindowText, rv_colorWithHexString(QStringLiteral("0x333333")));
    m_textLabel->setPalette(palette);
    setTitleText(titleText);
}

void QVPopoverViewController::setTitleText(const QString &titleText)
{
    m_titleText = titleText;
    m_textLabel->setText(titleText);
    const int labelWidth = m_textLabel->fontMetrics().horizontalAdvance(titleText) + 2 * kTextPadding;
    resize(labelWidth, kHeight);
    m_textLabel->setGeometry(0, 0, labelWidth, kHeight);
}

void QVPopoverViewController::resizeEvent(QResizeEvent *)
{
    m_bgView->setGeometry(rect());
    m_textLabel->setGeometry(0, 0, m_textLabel->width(), height());
}

QVPopover::QVPopover(QWidget *owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
}

void QVPopover::setContentViewController(QWidget *content)
{
    if (m_content && m_content != content)
        m_content->deleteLater();
    m_content = content;
    if (!content)
        return;
    content->setParent(this);
    content->move(0, 0);
    resize(content->size());
    content->show();
}

void QVPopover::showRelativeToRect(const QRect &rect, QWidget *view, Qt::Edge preferredEdge)
{
    const QRect anchor(view->mapToGlobal(rect.topLeft()), rect.size());
    const QSize tip = size();
    QScreen *screen = view->screen() ? view->screen() : QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect(anchor.topLeft(), QSize(1 << 20, 1 << 20));

    int x = anchor.center().x() - tip.width() / 2;
    int y = 0;
    const int below = anchor.bottom() + 1 + kGap;
    const int above = anchor.top() - kGap - tip.height();
    if (preferredEdge == Qt::TopEdge)
        y = above >= room.top() ? above : below;
    else
        y = below + tip.height() <= room.bottom() + 1 ? below : above;
    x = qBound(room.left(), x, qMax(room.left(), room.right() + 1 - tip.width()));
    move(x, y);
    show();
}

void QVPopover::performClose()
{
    hide();
}

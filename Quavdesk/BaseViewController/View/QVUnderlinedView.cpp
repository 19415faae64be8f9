#include "BaseViewController/View/QVUnderlinedView.h"

#include "BaseViewController/View/QVBackgrounView.h"
#include "Categories/RVColor.h"

#include <QEvent>
#include <QLabel>

QVUnderlinedView::QVUnderlinedView(QWidget *parent)
    : QWidget(parent)
{
    const QColor red = rv_colorWithHexString(QStringLiteral("0xFF5B5C"));
    m_textLabel = new QLabel(this);
    m_textLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QPalette palette = m_textLabel->palette();
    palette.setColor(QPalette::WindowText, red);
    m_textLabel->setPalette(palette);
    m_bottomLineView = new QVBackgrounView(this);
    m_bottomLineView->setBackgroundColor(red);
}

bool QVUnderlinedView::event(QEvent *event)
{
    // A new text in the label asks its parent for a new layout.
    if (event->type() == QEvent::LayoutRequest)
        layoutLine();
    return QWidget::event(event);
}

void QVUnderlinedView::resizeEvent(QResizeEvent *)
{
    m_textLabel->setGeometry(rect().adjusted(0, 0, 0, -1));
    layoutLine();
}

void QVUnderlinedView::layoutLine()
{
    const int textWidth = qMin(width(), m_textLabel->fontMetrics().horizontalAdvance(m_textLabel->text()));
    const int textBottom = (m_textLabel->height() + m_textLabel->fontMetrics().height()) / 2;
    m_bottomLineView->setGeometry(0, qMin(height() - 1, textBottom), textWidth, 1);
}

#include "Main/ViewController/Main/QVMainListCellView.h"

#include "BaseViewController/View/QVBackgrounView.h"
#include "BaseViewController/View/QVBaseButton.h"
#include "Categories/RVColor.h"

#include <QCoreApplication>
#include <QLabel>

namespace {

constexpr int kSideMargin = 20;
constexpr int kCardGap = 5;
constexpr int kCardPadding = 14;
constexpr QSize kConnectSize{78, 30};

QString localizable(const char *key)
{
    return QCoreApplication::translate("Localizable", key);
}

QLabel *makeLabel(QWidget *parent, int pixelSize, bool bold, const QColor &color)
{
    auto *label = new QLabel(parent);
    // Receivers name themselves: their texts are never read as markup.
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    // Inside the list the labels draw in the list's text role, not the
    // window's: both are set.
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    label->setPalette(palette);
    return label;
}

} // namespace

QVMainListCellView::QVMainListCellView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("mainListCellView"));
    setFixedHeight(RowHeight);

    m_bgView = new QVBackgrounView(this);
    m_bgView->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0x7297F4")));
    m_bgView->setIsRadius(true);
    m_bgView->setCornerRadius(6.0);

    m_deviceName = makeLabel(m_bgView, 15, true, Qt::white);
    m_deviceName->setObjectName(QStringLiteral("deviceName"));
    m_deviceIP = makeLabel(m_bgView, 12, false, QColor(255, 255, 255, 200));
    m_deviceIP->setObjectName(QStringLiteral("deviceIP"));

    m_connectBtn = new QVBaseButton(localizable(QT_TRANSLATE_NOOP("Localizable", "main_listCell_connect")), m_bgView);
    m_connectBtn->setObjectName(QStringLiteral("connectBtn"));
    // A deeper blue than the card, so that the white title stands out.
    m_connectBtn->setBackgroundColor(rv_colorWithHexString(QStringLiteral("0x4F6FE8")));
    m_connectBtn->setIsRadius(true);
    m_connectBtn->setCornerRadius(4.0);
    m_connectBtn->setIsInteraction(true);
    m_connectBtn->setFocusPolicy(Qt::NoFocus);
    QPalette palette = m_connectBtn->palette();
    palette.setColor(QPalette::ButtonText, Qt::white);
    m_connectBtn->setPalette(palette);
    QFont font = m_connectBtn->font();
    font.setPixelSize(13);
    font.setBold(true);
    m_connectBtn->setFont(font);
    connect(m_connectBtn, &QAbstractButton::clicked, this, &QVMainListCellView::connectionBtnClick);
}

void QVMainListCellView::setModel(const DeviceInformation &model)
{
    m_model = model;
    m_deviceIP->setText(model.deviceIP());
    showName();
}

void QVMainListCellView::showName()
{
    // A long name ends in an ellipsis rather than running under the button.
    const int width = m_deviceName->width();
    const QString name = m_model.deviceName();
    m_deviceName->setText(width > 0 ? m_deviceName->fontMetrics().elidedText(name, Qt::ElideRight, width) : name);
}

void QVMainListCellView::connectionBtnClick()
{
    if (m_connectionBtnClickBlock) {
        const auto block = m_connectionBtnClickBlock;
        block(m_model);
    }
}

void QVMainListCellView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const QRect card(kSideMargin, kCardGap, width() - 2 * kSideMargin, height() - 2 * kCardGap);
    m_bgView->setGeometry(card);
    const int buttonLeft = card.width() - kCardPadding - kConnectSize.width();
    m_connectBtn->setGeometry(QRect(QPoint(buttonLeft, (card.height() - kConnectSize.height()) / 2), kConnectSize));
    const int textWidth = qMax(0, buttonLeft - 2 * kCardPadding + kCardPadding / 2);
    const int nameHeight = m_deviceName->fontMetrics().height();
    const int ipHeight = m_deviceIP->fontMetrics().height();
    const int top = (card.height() - nameHeight - ipHeight - 2) / 2;
    m_deviceName->setGeometry(kCardPadding, top, textWidth, nameHeight);
    m_deviceIP->setGeometry(kCardPadding, top + nameHeight + 2, textWidth, ipHeight);
    showName();
}

#include "Main/ViewController/Setting/QVSettingLook.h"

#include "BaseViewController/View/QVBaseButton.h"
#include "BaseViewController/View/QVNamedImage.h"

#include <QCoreApplication>
#include <QLabel>

namespace QVSettingLook {

void setFont(QWidget *widget, int pixelSize, bool bold)
{
    QFont font = widget->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    widget->setFont(font);
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

void setButtonTextColor(QAbstractButton *button, const QColor &color)
{
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, color);
    button->setPalette(palette);
}

void setUpHeading(QLabel *appNameLabel, QLabel *titleLabel, const char *titleKey)
{
    appNameLabel->setObjectName(QStringLiteral("appNameLabel"));
    appNameLabel->setText(QCoreApplication::translate("Localizable", "app_name"));
    setFont(appNameLabel, 20, true);
    setTextColor(appNameLabel, TitleColor);

    titleLabel->setObjectName(QStringLiteral("titleLabel"));
    titleLabel->setText(QCoreApplication::translate("Localizable", titleKey));
    setFont(titleLabel, 14, false);
    setTextColor(titleLabel, DescribeColor);
}

void layoutHeading(QLabel *appNameLabel, QLabel *titleLabel, int left, int pageWidth)
{
    const int width = qMax(0, pageWidth - left - HeadingLeft);
    appNameLabel->setGeometry(left, AppNameTop, width, 28);
    titleLabel->setGeometry(left, TitleTop, width, 22);
}

void setUpBackButton(QAbstractButton *button)
{
    button->setObjectName(QStringLiteral("backBtn"));
    if (auto *base = qobject_cast<QVBaseButton *>(button)) {
        base->setImage(QVNamedImage(QStringLiteral("setting_back")));
        base->setIsInteraction(true);
    }
    button->setGeometry(14, AppNameTop + 2, 28, 28);
    button->setCursor(Qt::PointingHandCursor);
}

} // namespace QVSettingLook

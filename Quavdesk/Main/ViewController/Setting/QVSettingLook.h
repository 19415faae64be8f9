#pragma once

#include <QColor>
#include <QCoreApplication>
#include <QString>

class QAbstractButton;
class QLabel;
class QWidget;

// What the settings pages share of their look: text colours, fonts and the
// page heading (the program's name over the page's title).
namespace QVSettingLook {

inline const QColor TitleColor{0x33, 0x33, 0x33};
inline const QColor DescribeColor{0x66, 0x66, 0x66};
inline const QColor HintColor{0x99, 0x99, 0x99};
// The offer of a new version stands out in the links' red.
inline const QColor NewVersionColor{0xFF, 0x5B, 0x5C};

// The page heading's place: the name's and the title's top edges.
constexpr int HeadingLeft = 20;
// With a back button before the heading.
constexpr int HeadingLeftAfterBack = 52;
constexpr int AppNameTop = 18;
constexpr int TitleTop = 48;
// Where a page's content starts below its heading.
constexpr int ContentTop = 88;

// The text shown for a key.
inline QString localizable(const char *key)
{
    return QCoreApplication::translate("Localizable", key);
}

void setFont(QWidget *widget, int pixelSize, bool bold);
void setTextColor(QWidget *widget, const QColor &color);
void setButtonTextColor(QAbstractButton *button, const QColor &color);

// The program's name and the page's title (a text key) as a heading.
void setUpHeading(QLabel *appNameLabel, QLabel *titleLabel, const char *titleKey);
// Puts the heading at `left` on a page `pageWidth` wide.
void layoutHeading(QLabel *appNameLabel, QLabel *titleLabel, int left, int pageWidth);

// The back arrow at the top left that the pages below the list carry.
void setUpBackButton(QAbstractButton *button);

} // namespace QVSettingLook

// The shared tools' text widths, which lay out the remote browser's path
// bar, and the page-host references.

#include "PublicManager/QVPublicTools.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

double width(const QString &text, double size)
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(qRound(size));
    return QFontMetricsF(font).horizontalAdvance(text);
}

} // namespace

TEST(SharedToolsWidthTest, PathElementsAreMeasuredAndCapped)
{
    const QString name = QStringLiteral("Meeting records 2024");
    const double full = width(name, 14);
    ASSERT_GT(full, 40.0);
    EXPECT_DOUBLE_EQ(QVPublicTools::getLabelWidthWithText(name, 14, 1000), full);
    EXPECT_DOUBLE_EQ(QVPublicTools::getLabelWidthWithText(name, 14, 58), 58.0);
    EXPECT_DOUBLE_EQ(QVPublicTools::getHasBorderWidthWithText(name, 14, 58), 72.0);
    EXPECT_DOUBLE_EQ(QVPublicTools::getHasBorderWidthWithText(name, 14, 1000), full + 14.0);
    // A larger size is wider.
    EXPECT_GT(QVPublicTools::getLabelWidthWithText(name, 20, 1000), full);

    EXPECT_TRUE(QVPublicTools::hasEnoughSpaceShow(name, 14, full + 1));
    EXPECT_FALSE(QVPublicTools::hasEnoughSpaceShow(name, 14, full));
}

TEST(SharedToolsWidthTest, APathFitsWithTheGapsBetweenItsElements)
{
    const QStringList names{QStringLiteral("Root"), QStringLiteral("Photos"), QStringLiteral("2024")};
    double needed = 2 * 22.0;
    for (const QString &name : names)
        needed += std::min(width(name, 14), 58.0) + 14.0;
    EXPECT_TRUE(QVPublicTools::checkEnoughWidthWithArray(names, 14, 58, needed + 0.5));
    EXPECT_FALSE(QVPublicTools::checkEnoughWidthWithArray(names, 14, 58, needed));

    // One element: no gap.
    const double one = std::min(width(names.first(), 14), 58.0) + 14.0;
    EXPECT_TRUE(QVPublicTools::checkEnoughWidthWithArray({names.first()}, 14, 58, one + 0.5));
    // Nothing fits into any room at all.
    EXPECT_TRUE(QVPublicTools::checkEnoughWidthWithArray({}, 14, 58, 0.1));
    EXPECT_FALSE(QVPublicTools::checkEnoughWidthWithArray({}, 14, 58, 0.0));
}

TEST(SharedToolsWidthTest, ALongTextWrapsIntoMoreLines)
{
    EXPECT_EQ(QVPublicTools::getLabelHeightWithText(QString(), 12, 200), 0.0);
    const double oneLine = QVPublicTools::getLabelHeightWithText(QStringLiteral("Install"), 12, 200);
    EXPECT_GT(oneLine, 0.0);
    const QString longText = QStringLiteral("The virtual sound card is missing; install it so that the receiver "
                                            "plays this computer's sound while you cast.");
    const double wrapped = QVPublicTools::getLabelHeightWithText(longText, 12, 200);
    EXPECT_GE(wrapped, 3 * oneLine - 1.0);
    EXPECT_LT(QVPublicTools::getLabelHeightWithText(longText, 12, 2000), wrapped);
}

namespace {

class FakeHost : public QWidget, public QVRootViewControllerDelegate
{
};

class PlainDelegate : public QVSettingRootViewControllerDelegate
{
};

} // namespace

TEST(SharedToolsHostsTest, HostReferencesDoNotOutliveTheirHosts)
{
    QVPublicTools *tools = QVPublicTools::sharedPublicTools();
    auto host = std::make_unique<FakeHost>();
    tools->setShowNextViewDelegate(host.get());
    EXPECT_EQ(tools->showNextViewDelegate(), host.get());
    host.reset();
    EXPECT_EQ(tools->showNextViewDelegate(), nullptr);

    // A delegate that is no object is held as it is.
    PlainDelegate plain;
    tools->setShowSettingRootNextViewDelegate(&plain);
    EXPECT_EQ(tools->showSettingRootNextViewDelegate(), &plain);
    tools->setShowSettingRootNextViewDelegate(nullptr);
    EXPECT_EQ(tools->showSettingRootNextViewDelegate(), nullptr);
    EXPECT_EQ(tools->showDownLoadFileRootNextViewDelegate(), nullptr);
}

#include <gtest/gtest.h>

#include "Categories/RVColor.h"

#include <QColor>
#include <QString>
#include <cmath>

namespace {

struct Row {
    const char16_t *text;
    int red, green, blue, alpha; // 0..255; red -1 means nil
};

::testing::AssertionResult hasComponents(const QColor &color, int red, int green, int blue, int alpha)
{
    if (!color.isValid())
        return ::testing::AssertionFailure() << "nil colour";
    const auto close = [](double actual, int expected) { return std::fabs(actual - expected / 255.0) < 1e-6; };
    if (close(rv_red(color), red) && close(rv_green(color), green) && close(rv_blue(color), blue)
        && close(rv_alpha(color), alpha))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << rv_red(color) * 255 << "," << rv_green(color) * 255 << ","
                                         << rv_blue(color) * 255 << "," << rv_alpha(color) * 255;
}

} // namespace

TEST(RvColorWithHexString, ReadsTheTable)
{
    const Row rows[] = {
        // The four spellings of one colour.
        {u"#5879FC", 0x58, 0x79, 0xFC, 255},
        {u"0x5879FC", 0x58, 0x79, 0xFC, 255},
        {u"0X5879fc", 0x58, 0x79, 0xFC, 255},
        {u"  0x5879FC\n", 0x58, 0x79, 0xFC, 255},
        {u"\t#5879fc  ", 0x58, 0x79, 0xFC, 255},
        {u"5879FC", 0x58, 0x79, 0xFC, 255},
        // The alpha pair is the last one.
        {u"0x00000070", 0, 0, 0, 0x70},
        {u"#F5F5F5", 0xF5, 0xF5, 0xF5, 255},
        {u"E7E7E7", 0xE7, 0xE7, 0xE7, 255},
        // Only one prefix is dropped: "#0x123456" reads as the pairs 0X 12 34 56.
        {u"#0x123456", 0, 0x12, 0x34, 0x56},
        // Short forms stand for each digit repeated.
        {u"FFF", 255, 255, 255, 255},
        {u"#FFF", 255, 255, 255, 255},
        {u"0x0f8", 0x00, 0xFF, 0x88, 255},
        {u"FFFF", 255, 255, 255, 255},
        {u"1234", 0x11, 0x22, 0x33, 0x44},
        {u"#0000", 0, 0, 0, 0},
        // Characters that are not hex digits read as 0 and never fail the call.
        {u"ZZ0000", 0, 0, 0, 255},
        {u"GG", -1, 0, 0, 0},
        {u"ZZZ", 0, 0, 0, 255},
        // A channel counts its leading digits only: "AZ" is 0xA, "ZA" is 0.
        {u"AZZA10", 0x0A, 0, 0x10, 255},
        // No sign and no inner white space is read into a channel.
        {u"-1-1-1", 0, 0, 0, 255},
        {u"12 456", 0x12, 0, 0x56, 255},
        // Upper-casing can lengthen the text: "ßß0000" becomes "SSSS0000".
        {u"\u00DF\u00DF0000", 0, 0, 0, 0},
        // Full-width digits are not hex digits.
        {u"\uFF11\uFF12\uFF13", 0, 0, 0, 255},
    };
    for (const Row &row : rows) {
        const QString text = QString::fromUtf16(row.text);
        const QColor color = rv_colorWithHexString(text);
        if (row.red < 0)
            EXPECT_FALSE(color.isValid()) << text.toStdString();
        else
            EXPECT_TRUE(hasComponents(color, row.red, row.green, row.blue, row.alpha)) << text.toStdString();
    }
}

TEST(RvColorWithHexString, RefusesEveryOtherLength)
{
    for (const char *text : {"", "#", "0x", "0X", "#0X", "1", "12", "12345", "1234567", "123456789", "0x12345",
                             "0x0xFFF", "   ", "\n", "#12345", "0x1234567890"}) {
        EXPECT_FALSE(rv_colorWithHexString(QString::fromLatin1(text)).isValid()) << text;
    }
    EXPECT_FALSE(rv_colorWithHexString(QString()).isValid());
    // Only one "#" is dropped; the second stays a (non-digit) character.
    EXPECT_FALSE(rv_colorWithHexString(QStringLiteral("##FFFF")).isValid());
    EXPECT_TRUE(hasComponents(rv_colorWithHexString(QStringLiteral("##FF")), 0, 255, 255, 255));
    EXPECT_TRUE(hasComponents(rv_colorWithHexString(QStringLiteral("##FFF")), 0, 255, 255, 255));
}

TEST(RvColorWithHexString, EveryByteRoundTripsThroughHexText)
{
    for (int v = 0; v < 256; ++v) {
        const QString hex = QString::asprintf("%02X%02X%02X", v, 255 - v, (v * 7) % 256);
        const QColor color = rv_colorWithHexString(hex);
        EXPECT_EQ(rv_hexString(color), hex.toLower()) << v;
        const QString withAlpha = QString::asprintf("%02x%02x%02x%02x", v, v, v, 255 - v);
        EXPECT_EQ(rv_hexStringWithAlpha(rv_colorWithHexString(withAlpha)), withAlpha) << v;
    }
}

TEST(RvHexString, FormatsLowerCaseWithoutPrefix)
{
    const QColor blue = rv_colorWithHexString(QStringLiteral("0x5879FC"));
    EXPECT_EQ(rv_hexString(blue), QStringLiteral("5879fc"));
    EXPECT_EQ(rv_hexStringWithAlpha(blue), QStringLiteral("5879fcff"));
    EXPECT_EQ(rv_hexStringWithAlpha(blue, false), QStringLiteral("5879fc"));
    // Components truncate; alpha rounds.
    const QColor fraction = QColor::fromRgbF(0.999f, 0.5f, 0.0f, 0.5f);
    EXPECT_EQ(rv_hexStringWithAlpha(fraction), QStringLiteral("fe7f0080"));
    // Colours made in other models are red-green-blue underneath.
    EXPECT_EQ(rv_hexString(QColor::fromHsv(0, 255, 255)), QStringLiteral("ff0000"));
    // No red-green-blue components: nil.
    EXPECT_TRUE(rv_hexString(QColor()).isNull());
    EXPECT_TRUE(rv_hexString(QColor::fromCmyk(0, 0, 0, 255)).isNull());
}

TEST(RvColorComponents, ReportHueSaturationBrightnessAndModel)
{
    const QColor red = rv_colorWithHexString(QStringLiteral("FF0000"));
    EXPECT_DOUBLE_EQ(rv_hue(red), 0.0);
    EXPECT_DOUBLE_EQ(rv_saturation(red), 1.0);
    EXPECT_DOUBLE_EQ(rv_brightness(red), 1.0);
    const QColor grey = rv_colorWithHexString(QStringLiteral("808080"));
    EXPECT_DOUBLE_EQ(rv_hue(grey), 0.0); // greys have no hue
    EXPECT_DOUBLE_EQ(rv_saturation(grey), 0.0);
    EXPECT_NEAR(rv_hue(rv_colorWithHexString(QStringLiteral("00FF00"))), 1.0 / 3.0, 1e-3);

    EXPECT_EQ(rv_colorSpaceModel(red), RVColorSpaceModelRGB);
    EXPECT_EQ(rv_colorSpaceString(red), QStringLiteral("kCGColorSpaceModelRGB"));
    EXPECT_EQ(rv_colorSpaceString(QColor()), QStringLiteral("kCGColorSpaceModelUnknown"));
    EXPECT_EQ(rv_colorSpaceString(QColor::fromCmyk(1, 2, 3, 4)), QStringLiteral("kCGColorSpaceModelCMYK"));
    const char *names[] = {"kCGColorSpaceModelUnknown", "kCGColorSpaceModelMonochrome", "kCGColorSpaceModelRGB",
                           "kCGColorSpaceModelCMYK",    "kCGColorSpaceModelLab",        "kCGColorSpaceModelDeviceN",
                           "kCGColorSpaceModelIndexed", "kCGColorSpaceModelPattern"};
    for (int model = -1; model <= 6; ++model)
        EXPECT_EQ(rv_colorSpaceString(model), QString::fromLatin1(names[model + 1]));
    EXPECT_EQ(rv_colorSpaceString(7), QStringLiteral("ColorSpaceInvalid"));
    EXPECT_EQ(rv_colorSpaceString(-2), QStringLiteral("ColorSpaceInvalid"));
}

TEST(DetectedColor, AlikeBelowADistanceOfPointTwo)
{
    const QColor base = QColor::fromRgbF(0.5f, 0.5f, 0.5f);
    EXPECT_TRUE(detectedColor1(base, base));
    EXPECT_TRUE(detectedColor1(base, QColor::fromRgbF(0.6f, 0.6f, 0.5f)));  // about 0.141
    const QColor grey(128, 128, 128);
    EXPECT_TRUE(detectedColor1(grey, QColor(128 + 50, 128, 128)));  // 50/255 is below 0.2
    EXPECT_FALSE(detectedColor1(grey, QColor(128 + 52, 128, 128))); // 52/255 is above 0.2
    EXPECT_FALSE(detectedColor1(base, QColor::fromRgbF(0.5f, 0.5f, 0.75f)));
    EXPECT_FALSE(detectedColor1(QColor(Qt::black), QColor(Qt::white)));
    // Alpha plays no part.
    EXPECT_TRUE(detectedColor1(QColor::fromRgbF(0.2f, 0.2f, 0.2f, 0.0f), QColor::fromRgbF(0.2f, 0.2f, 0.2f, 1.0f)));
}

#include "Categories/RVColor.h"

#include "Categories/RVString.h"

#include <cmath>

namespace {

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// The leading hex digits of a channel; none gives 0. Signs, spaces and other
// characters are never read, so a channel stays within 0..255.
unsigned leadingHexValue(QStringView channel)
{
    unsigned value = 0;
    for (const QChar c : channel) {
        const int digit = hexDigit(c);
        if (digit < 0)
            break;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return value;
}

float channelValue(const QString &text, qsizetype position, qsizetype width)
{
    unsigned value = leadingHexValue(QStringView(text).mid(position, width));
    if (width == 1)
        value *= 17; // one digit stands for the digit repeated: F is FF
    return static_cast<float>(value) / 255.0f;
}

bool isRgb(const QColor &color)
{
    switch (color.spec()) {
    case QColor::Rgb:
    case QColor::Hsv:
    case QColor::Hsl:
    case QColor::ExtendedRgb:
        return true;
    default:
        return false;
    }
}

} // namespace

QColor rv_colorWithHexString(const QString &hexString)
{
    QString text = rv_stringByTrim(hexString).toUpper();
    if (text.startsWith(u'#'))
        text.remove(0, 1);
    else if (text.startsWith(QLatin1String("0X")))
        text.remove(0, 2);

    const qsizetype length = text.size();
    qsizetype width = 0;
    if (length == 3 || length == 4)
        width = 1;
    else if (length == 6 || length == 8)
        width = 2;
    else
        return QColor();

    const float red = channelValue(text, 0, width);
    const float green = channelValue(text, width, width);
    const float blue = channelValue(text, 2 * width, width);
    const float alpha = (length == 4 || length == 8) ? channelValue(text, 3 * width, width) : 1.0f;
    return QColor::fromRgbF(red, green, blue, alpha);
}

QString rv_hexStringWithAlpha(const QColor &color, bool withAlpha)
{
    if (!color.isValid() || !isRgb(color))
        return QString();
    // Extended-range components can leave 0..1; keep the conversion defined.
    const auto component = [](float value) {
        const float scaled = value * 255;
        return scaled <= 0 ? 0u : scaled >= 65535 ? 65535u : static_cast<unsigned>(scaled);
    };
    QString hex = QString::asprintf("%02x%02x%02x", component(color.redF()), component(color.greenF()),
                                    component(color.blueF()));
    if (withAlpha)
        hex += QString::asprintf("%02lx", static_cast<unsigned long>(rv_alpha(color) * 255 + 0.5)); // alpha is always 0..1
    return hex;
}

QString rv_hexString(const QColor &color)
{
    return rv_hexStringWithAlpha(color, false);
}

QString rv_hexStringWithAlpha(const QColor &color)
{
    return rv_hexStringWithAlpha(color, true);
}

double rv_red(const QColor &color)
{
    return color.redF();
}

double rv_green(const QColor &color)
{
    return color.greenF();
}

double rv_blue(const QColor &color)
{
    return color.blueF();
}

double rv_alpha(const QColor &color)
{
    return color.alphaF();
}

double rv_hue(const QColor &color)
{
    const float hue = color.hsvHueF();
    return hue < 0 ? 0.0 : hue;
}

double rv_saturation(const QColor &color)
{
    return color.hsvSaturationF();
}

double rv_brightness(const QColor &color)
{
    return color.valueF();
}

int rv_colorSpaceModel(const QColor &color)
{
    if (!color.isValid())
        return RVColorSpaceModelUnknown;
    if (color.spec() == QColor::Cmyk)
        return RVColorSpaceModelCMYK;
    return RVColorSpaceModelRGB;
}

QString rv_colorSpaceString(int model)
{
    switch (model) {
    case RVColorSpaceModelUnknown:
        return QStringLiteral("kCGColorSpaceModelUnknown");
    case RVColorSpaceModelMonochrome:
        return QStringLiteral("kCGColorSpaceModelMonochrome");
    case RVColorSpaceModelRGB:
        return QStringLiteral("kCGColorSpaceModelRGB");
    case RVColorSpaceModelCMYK:
        return QStringLiteral("kCGColorSpaceModelCMYK");
    case RVColorSpaceModelLab:
        return QStringLiteral("kCGColorSpaceModelLab");
    case RVColorSpaceModelDeviceN:
        return QStringLiteral("kCGColorSpaceModelDeviceN");
    case RVColorSpaceModelIndexed:
        return QStringLiteral("kCGColorSpaceModelIndexed");
    case RVColorSpaceModelPattern:
        return QStringLiteral("kCGColorSpaceModelPattern");
    default:
        return QStringLiteral("ColorSpaceInvalid");
    }
}

QString rv_colorSpaceString(const QColor &color)
{
    return rv_colorSpaceString(rv_colorSpaceModel(color));
}

bool detectedColor1(const QColor &color1, const QColor &color2)
{
    const double dr = rv_red(color1) - rv_red(color2);
    const double dg = rv_green(color1) - rv_green(color2);
    const double db = rv_blue(color1) - rv_blue(color2);
    const float distance = std::fabs(static_cast<float>(std::sqrt(dr * dr + dg * dg + db * db)));
    return (1.0 - distance) * 100.0 > 80.0;
}

#pragma once

#include <QColor>
#include <QString>

// The colour category. Every colour of the interface is written as hex text
// ("0x5879FC", "#F5F5F5", "0x00000070") and made here. A nil colour is an
// invalid QColor; a nil text is a null QString.

// Colour-space models, numbered as the graphics layer numbers them.
enum RVColorSpaceModel : int {
    RVColorSpaceModelUnknown = -1,
    RVColorSpaceModelMonochrome = 0,
    RVColorSpaceModelRGB = 1,
    RVColorSpaceModelCMYK = 2,
    RVColorSpaceModelLab = 3,
    RVColorSpaceModelDeviceN = 4,
    RVColorSpaceModelIndexed = 5,
    RVColorSpaceModelPattern = 6,
};

// Reads "RGB", "RGBA", "RRGGBB" or "RRGGBBAA" after trimming, upper-casing and
// dropping one "#" or "0X" prefix. A one-digit channel stands for the digit
// repeated ("FFF" is white). A channel that does not start with a hex digit
// reads as 0; any other length gives nil.
QColor rv_colorWithHexString(const QString &hexString);

// Six lower-case hex digits of red, green and blue (each truncated), plus two
// of alpha (rounded) when asked for. Nil for colours that are not RGB.
QString rv_hexString(const QColor &color);
QString rv_hexStringWithAlpha(const QColor &color);
QString rv_hexStringWithAlpha(const QColor &color, bool withAlpha);

double rv_red(const QColor &color);
double rv_green(const QColor &color);
double rv_blue(const QColor &color);
double rv_alpha(const QColor &color);
// Hue is 0 for colours without one (greys).
double rv_hue(const QColor &color);
double rv_saturation(const QColor &color);
double rv_brightness(const QColor &color);

int rv_colorSpaceModel(const QColor &color);
QString rv_colorSpaceString(const QColor &color);
// The name of a model number; "ColorSpaceInvalid" outside -1..6.
QString rv_colorSpaceString(int model);

// Whether two colours are alike: their red-green-blue distance is below 0.2.
bool detectedColor1(const QColor &color1, const QColor &color2);

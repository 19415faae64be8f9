#include <gtest/gtest.h>

#include "Categories/QVImage.h"
#include "Categories/QVNSBezierPath.h"

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <cmath>
#include <functional>

namespace {

// The path filled black on white without smoothing, so that pixels are
// either in or out.
QImage rasterized(const QPainterPath &path, QSize size = QSize(120, 120))
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillPath(path, Qt::black);
    painter.end();
    return image;
}

bool filled(const QImage &image, int x, int y)
{
    return qGray(image.pixel(x, y)) < 128;
}

// Pixels whose centre lies clearly inside (or outside) the shape that
// `inside` describes must be filled (or empty); pixels within `margin` of
// its edge may go either way.
int mismatches(const QImage &image, const std::function<double(double, double)> &signedDistance, double margin = 1.0)
{
    int wrong = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const double d = signedDistance(x + 0.5, y + 0.5);
            if (std::abs(d) <= margin)
                continue;
            if ((d < 0) != filled(image, x, y))
                ++wrong;
        }
    }
    return wrong;
}

int differingPixels(const QImage &a, const QImage &b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y);
    return count;
}

bool near(QRgb actual, QColor expected, int tolerance = 1)
{
    return std::abs(qRed(actual) - expected.red()) <= tolerance && std::abs(qGreen(actual) - expected.green()) <= tolerance
        && std::abs(qBlue(actual) - expected.blue()) <= tolerance
        && std::abs(qAlpha(actual) - expected.alpha()) <= tolerance;
}

// A 100 x 50 picture: red top left, green top right, blue bottom left,
// white bottom right.
QImage quadrants()
{
    QImage image(100, 50, QImage::Format_ARGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, 50, 25, Qt::red);
    painter.fillRect(50, 0, 50, 25, Qt::green);
    painter.fillRect(0, 25, 50, 25, Qt::blue);
    painter.fillRect(50, 25, 50, 25, Qt::white);
    painter.end();
    return image;
}

} // namespace

TEST(QvBezierPath, RoundedCornersFollowTheMaskExactly)
{
    const QRectF rect(0, 0, 100, 50);
    const QPainterPath square = qv_bezierPathWithRoundedRect(rect, 0, QSizeF(10, 5));
    EXPECT_EQ(mismatches(rasterized(square), [](double x, double y) {
                  return std::max({-x, x - 100, -y, y - 50});
              }),
              0);

    const QPainterPath all = qv_bezierPathWithRoundedRect(rect, QVRectCornerAll, QSizeF(10, 5));
    ASSERT_GT(all.elementCount(), 4);
    EXPECT_EQ(all.elementAt(0).type, QPainterPath::MoveToElement);
    EXPECT_EQ(QPointF(all.elementAt(0)), QPointF(10, 0));
    // The last corner: a cubic from (0, 5) with its first control point on
    // the corner and the second on the end, back at the start.
    const int n = all.elementCount();
    EXPECT_EQ(all.elementAt(n - 3).type, QPainterPath::CurveToElement);
    EXPECT_EQ(QPointF(all.elementAt(n - 4)), QPointF(0, 5));
    EXPECT_EQ(QPointF(all.elementAt(n - 3)), QPointF(0, 0));
    EXPECT_EQ(QPointF(all.elementAt(n - 2)), QPointF(10, 0));
    EXPECT_EQ(QPointF(all.elementAt(n - 1)), QPointF(10, 0));
    const QImage rounded = rasterized(all);
    EXPECT_FALSE(filled(rounded, 0, 0));
    EXPECT_FALSE(filled(rounded, 99, 49));
    EXPECT_TRUE(filled(rounded, 50, 25));
    EXPECT_TRUE(filled(rounded, 50, 0));

    // Only the (maxX, maxY) corner: the other three stay square.
    const QImage one = rasterized(qv_bezierPathWithRoundedRect(rect, QVRectCornerMaxXMaxY, QSizeF(20, 20)));
    EXPECT_TRUE(filled(one, 0, 0));
    EXPECT_TRUE(filled(one, 99, 0));
    EXPECT_TRUE(filled(one, 0, 49));
    EXPECT_FALSE(filled(one, 99, 49));

    // The plain rounded rectangle is the system's, radius in both axes.
    EXPECT_EQ(differingPixels(rasterized(qv_bezierPathWithRoundedRect(QRectF(10, 10, 80, 60), 12)),
                              [] {
                                  QPainterPath reference;
                                  reference.addRoundedRect(QRectF(10, 10, 80, 60), 12, 12);
                                  return rasterized(reference);
                              }()),
              0);
}

TEST(QvBezierPath, QuadraticCurvesDrawAsQtsOwn)
{
    QPainterPath ours;
    ours.moveTo(10, 100);
    qv_addQuadCurveToPoint(ours, QPointF(110, 100), QPointF(60, 0));
    qv_addLineToPoint(ours, QPointF(10, 100));
    QPainterPath reference;
    reference.moveTo(10, 100);
    reference.quadTo(QPointF(60, 0), QPointF(110, 100));
    reference.lineTo(10, 100);
    EXPECT_EQ(differingPixels(rasterized(ours), rasterized(reference)), 0);

    // The control points are two thirds of the way to the quadratic's one.
    ASSERT_EQ(ours.elementCount(), 5);
    EXPECT_NEAR(ours.elementAt(1).x, 10 + 2.0 / 3 * 50, 1e-9);
    EXPECT_NEAR(ours.elementAt(1).y, 100 - 2.0 / 3 * 100, 1e-9);
    EXPECT_NEAR(ours.elementAt(2).x, 110 - 2.0 / 3 * 50, 1e-9);

    QPainterPath cubic;
    cubic.moveTo(0, 0);
    qv_addCurveToPoint(cubic, QPointF(30, 0), QPointF(10, 10), QPointF(20, 10));
    EXPECT_EQ(QPointF(cubic.elementAt(1)), QPointF(10, 10));
    EXPECT_EQ(QPointF(cubic.elementAt(3)), QPointF(30, 0));
}

TEST(QvBezierPath, ArcsRunCounterClockwiseWithYUp)
{
    const QPointF centre(60, 60);
    const double r = 50;
    const auto circle = [&](double x, double y) { return std::hypot(x - centre.x(), y - centre.y()) - r; };

    const QPainterPath full = qv_bezierPathWithArcCenter(centre, r, 0, 360, false);
    EXPECT_EQ(mismatches(rasterized(full), circle), 0);
    EXPECT_EQ(QPointF(full.elementAt(0)), QPointF(110, 60));

    // 0 to 180 degrees counter-clockwise passes 90 degrees, (60, 110).
    QPainterPath half = qv_bezierPathWithArcCenter(centre, r, 0, 180, false);
    half.closeSubpath();
    EXPECT_EQ(mismatches(rasterized(half),
                         [&](double x, double y) { return std::max(circle(x, y), centre.y() - y); }),
              0);
    // Clockwise the same two angles take the other half.
    QPainterPath other = qv_bezierPathWithArcCenter(centre, r, 0, 180, true);
    other.closeSubpath();
    EXPECT_EQ(mismatches(rasterized(other),
                         [&](double x, double y) { return std::max(circle(x, y), y - centre.y()); }),
              0);
    // An end angle below the start runs on through 360 counter-clockwise.
    const QPainterPath wrapped = qv_bezierPathWithArcCenter(centre, r, 270, 0, false);
    const QPointF end = wrapped.currentPosition();
    EXPECT_NEAR(end.x(), 110, 1e-9);
    EXPECT_NEAR(end.y(), 60, 1e-9);
    EXPECT_NEAR(wrapped.pointAtPercent(0.5).x(), centre.x() + r * std::cos(M_PI * 7 / 4), 0.5);

    // Appended to a path, the arc starts with a line from its current point.
    QPainterPath path;
    path.moveTo(0, 0);
    qv_addArcWithCenter(path, centre, r, 90, 180, false);
    EXPECT_EQ(path.elementAt(1).type, QPainterPath::LineToElement);
    EXPECT_NEAR(path.elementAt(1).x, 60, 1e-9);
    EXPECT_NEAR(path.elementAt(1).y, 110, 1e-9);
    // Degenerate arcs leave just the point.
    EXPECT_EQ(qv_bezierPathWithArcCenter(centre, r, 10, 10, false).elementCount(), 1);
    EXPECT_EQ(qv_bezierPathWithArcCenter(centre, 0, 0, 90, false).elementCount(), 1);
    EXPECT_EQ(qv_bezierPathWithArcCenter(centre, r, 0, std::nan(""), false).elementCount(), 1);
}

TEST(QvBezierPath, CgPathClosesTransformsAndFillRules)
{
    QPainterPath open;
    open.moveTo(0, 0);
    open.lineTo(10, 0);
    const QPainterPath closed = qv_CGPath(open);
    ASSERT_EQ(closed.elementCount(), 3);
    EXPECT_EQ(QPointF(closed.elementAt(2)), QPointF(0, 0));
    EXPECT_EQ(qv_CGPath(closed).elementCount(), 3);
    EXPECT_TRUE(qv_CGPath(QPainterPath()).isEmpty());

    QPainterPath source;
    source.moveTo(1, 1);
    source.lineTo(5, 1);
    source.cubicTo(6, 2, 7, 3, 8, 4);
    source.moveTo(20, 20);
    source.lineTo(30, 30);
    QPainterPath target;
    target.addEllipse(0, 0, 5, 5);
    setQv_usesEvenOddFillRule(target, false);
    setQv_CGPath(target, source);
    ASSERT_EQ(target.elementCount(), source.elementCount());
    for (int i = 0; i < source.elementCount(); ++i) {
        EXPECT_EQ(target.elementAt(i).type, source.elementAt(i).type) << i;
        EXPECT_EQ(QPointF(target.elementAt(i)), QPointF(source.elementAt(i))) << i;
    }
    EXPECT_FALSE(qv_usesEvenOddFillRule(target));
    EXPECT_EQ(qv_bezierPathWithCGPath(source).elementCount(), source.elementCount());

    QPainterPath moved = qv_bezierPathWithRoundedRect(QRectF(0, 0, 10, 10), 0, QSizeF());
    qv_applyTransform(moved, QTransform::fromTranslate(5, 7).scale(2, 3));
    EXPECT_EQ(moved.boundingRect(), QRectF(5, 7, 20, 30));

    // Two nested squares: even-odd leaves the middle empty, non-zero fills it.
    QPainterPath rings = qv_bezierPathWithRoundedRect(QRectF(10, 10, 100, 100), 0, QSizeF());
    qv_appendPath(rings, qv_bezierPathWithRoundedRect(QRectF(40, 40, 40, 40), 0, QSizeF()));
    setQv_usesEvenOddFillRule(rings, true);
    EXPECT_TRUE(qv_usesEvenOddFillRule(rings));
    EXPECT_FALSE(filled(rasterized(rings), 60, 60));
    EXPECT_TRUE(filled(rasterized(rings), 20, 20));
    setQv_usesEvenOddFillRule(rings, false);
    EXPECT_TRUE(filled(rasterized(rings), 60, 60));
}

// The platform's paths fill by the non-zero winding rule unless told
// otherwise: two circles drawn the same way round, one inside the other,
// fill as one disc.
TEST(QvBezierPath, NewPathsFillByTheNonZeroRule)
{
    QPainterPath circles = qv_bezierPathWithArcCenter(QPointF(60, 60), 50, 0, 360, false);
    qv_appendPath(circles, qv_bezierPathWithArcCenter(QPointF(60, 60), 20, 0, 360, false));
    EXPECT_FALSE(qv_usesEvenOddFillRule(circles));
    const QImage disc = rasterized(circles);
    EXPECT_TRUE(filled(disc, 60, 60));
    EXPECT_TRUE(filled(disc, 60, 25));
    EXPECT_FALSE(filled(disc, 5, 5));

    EXPECT_FALSE(qv_usesEvenOddFillRule(qv_bezierPathWithRoundedRect(QRectF(0, 0, 10, 10), 2)));
    EXPECT_FALSE(qv_usesEvenOddFillRule(qv_bezierPathWithRoundedRect(QRectF(0, 0, 10, 10), 15, QSizeF(2, 2))));
    EXPECT_FALSE(qv_usesEvenOddFillRule(qv_bezierPathWithCGPath(QPainterPath())));

    // Even-odd when asked for: a ring.
    setQv_usesEvenOddFillRule(circles, true);
    EXPECT_FALSE(filled(rasterized(circles), 60, 60));
    EXPECT_TRUE(filled(rasterized(circles), 60, 25));
}

TEST(QvBezierPath, BlendModesFillAndStrokeAndRestoreThePainter)
{
    const QPainterPath square = qv_bezierPathWithRoundedRect(QRectF(0, 0, 10, 10), 0, QSizeF());
    struct Case {
        qint32 mode;
        double alpha;
        QColor under, brush, expected;
    };
    const Case cases[] = {
        {0, 1.0, Qt::white, Qt::red, Qt::red},
        {0, 0.5, Qt::white, Qt::red, QColor(255, 127, 127)},
        {1, 1.0, Qt::yellow, Qt::blue, Qt::black},              // multiply
        {2, 1.0, Qt::red, Qt::blue, Qt::magenta},               // screen
        {4, 1.0, QColor(100, 200, 50), QColor(150, 100, 60), QColor(100, 100, 50)},  // darken
        {5, 1.0, QColor(100, 200, 50), QColor(150, 100, 60), QColor(150, 200, 60)},  // lighten
        {10, 1.0, Qt::white, QColor(255, 0, 100), QColor(0, 255, 155)},              // difference
        {12, 1.0, Qt::white, Qt::green, Qt::green},             // hue: drawn as normal
        {16, 1.0, Qt::white, Qt::green, Qt::transparent},       // clear
        {17, 1.0, Qt::white, QColor(255, 0, 0, 127), QColor(255, 0, 0, 127)},  // copy
        {27, 1.0, QColor(100, 0, 0), QColor(100, 50, 0), QColor(200, 50, 0)},  // plus lighter
        {99, 1.0, Qt::white, Qt::blue, Qt::blue},               // unknown: normal
    };
    for (const Case &c : cases) {
        QImage image(20, 20, QImage::Format_ARGB32_Premultiplied);
        image.fill(c.under);
        QPainter painter(&image);
        painter.setBrush(c.brush);
        painter.setOpacity(0.9);
        qv_fillWithBlendMode(painter, square, c.mode, c.alpha);
        EXPECT_EQ(painter.compositionMode(), QPainter::CompositionMode_SourceOver) << c.mode;
        EXPECT_DOUBLE_EQ(painter.opacity(), 0.9) << c.mode;
        painter.end();
        // Read straight alpha: the canvas holds premultiplied pixels.
        const QRgb inside = image.pixelColor(5, 5).rgba();
        EXPECT_TRUE(near(inside, c.expected, 2))
            << "mode " << c.mode << ": " << QColor::fromRgba(inside).name(QColor::HexArgb).toStdString();
        EXPECT_EQ(image.pixel(15, 15), c.under.rgba()) << c.mode;
    }

    QImage image(20, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QPen(Qt::white, 4));
    QPainterPath line;
    line.moveTo(0, 10);
    line.lineTo(20, 10);
    qv_strokeWithBlendMode(painter, line, 10, 1.0);
    painter.end();
    EXPECT_EQ(image.pixel(10, 10), QColor(Qt::black).rgba());
    EXPECT_EQ(image.pixel(10, 2), QColor(Qt::white).rgba());
}

TEST(QvImage, BitmapDataAndLosslessRoundTrip)
{
    EXPECT_TRUE(qv_imageData(QImage()).isEmpty());
    EXPECT_TRUE(qv_bitmapImageRep(QImage()).isNull());
    EXPECT_TRUE(qv_CGImage(QImage()).isNull());

    const QImage picture = quadrants();
    const QImage bitmap = qv_bitmapImageRep(picture);
    ASSERT_EQ(bitmap.size(), picture.size());
    EXPECT_EQ(differingPixels(bitmap.convertToFormat(QImage::Format_ARGB32), picture), 0);
    EXPECT_EQ(differingPixels(qv_CGImage(picture).convertToFormat(QImage::Format_ARGB32), picture), 0);
    EXPECT_TRUE(QImage::fromData(qv_imageData(picture)).size() == picture.size());
}

TEST(QvImage, CropFillAndBlendPixelForPixel)
{
    const QImage picture = quadrants();

    QVariantMap crop = qv_croppedImageInRect(picture, QRect(40, 10, 20, 20));
    const QImage sub = crop.value(QVSubImageKey).value<QImage>();
    ASSERT_EQ(sub.size(), QSize(20, 20));
    EXPECT_EQ(differingPixels(sub.convertToFormat(QImage::Format_ARGB32), picture.copy(40, 10, 20, 20)), 0);
    const QImage cropped = crop.value(QVCroppedImageKey).value<QImage>();
    ASSERT_EQ(cropped.size(), picture.size());
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 100; ++x) {
            const bool inRect = x >= 40 && x < 60 && y >= 10 && y < 30;
            ASSERT_EQ(cropped.pixel(x, y), inRect ? QColor(Qt::white).rgba() : picture.pixel(x, y)) << x << "," << y;
        }
    }
    // Cut to the image, or nothing at all when they do not meet.
    crop = qv_croppedImageInRect(picture, QRect(90, 40, 50, 50));
    EXPECT_EQ(crop.value(QVSubImageKey).value<QImage>().size(), QSize(10, 10));
    crop = qv_croppedImageInRect(picture, QRect(200, 200, 5, 5));
    EXPECT_TRUE(crop.value(QVSubImageKey).value<QImage>().isNull());
    EXPECT_EQ(differingPixels(crop.value(QVCroppedImageKey).value<QImage>().convertToFormat(QImage::Format_ARGB32),
                              picture),
              0);
    EXPECT_TRUE(qv_croppedImageInRect(QImage(), QRect(0, 0, 5, 5)).value(QVSubImageKey).value<QImage>().isNull());

    // The colour fill counts from the top left.
    const QImage painted = qv_createImageWithColor(picture, Qt::black, QRectF(0, 0, 10, 5));
    EXPECT_EQ(painted.pixel(9, 4), QColor(Qt::black).rgba());
    EXPECT_EQ(painted.pixel(10, 5), picture.pixel(10, 5));
    EXPECT_EQ(painted.pixel(0, 49), picture.pixel(0, 49));

    // Blending counts from the bottom left and scales into the rectangle.
    QImage blue(10, 10, QImage::Format_ARGB32);
    blue.fill(Qt::blue);
    const QImage blended = qv_blendImage(picture, blue, QRectF(60, 0, 40, 20));
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 100; ++x) {
            const bool inRect = x >= 60 && y >= 30;
            ASSERT_EQ(blended.pixel(x, y), inRect ? QColor(Qt::blue).rgba() : picture.pixel(x, y)) << x << "," << y;
        }
    }
    QImage halfGreen(4, 4, QImage::Format_ARGB32);
    halfGreen.fill(QColor(0, 255, 0, 128));
    const QImage mixed = qv_blendImage(picture, halfGreen, QRectF(0, 25, 50, 25));
    EXPECT_TRUE(near(mixed.pixel(25, 12), QColor(127, 128, 0), 2));
    EXPECT_EQ(mixed.pixel(25, 37), picture.pixel(25, 37));
    EXPECT_EQ(differingPixels(qv_blendImage(picture, QImage(), QRectF(0, 0, 5, 5)).convertToFormat(QImage::Format_ARGB32),
                              picture),
              0);
    EXPECT_TRUE(qv_blendImage(QImage(), blue, QRectF(0, 0, 5, 5)).isNull());
}

TEST(QvImage, ResizeDrawsTheWholeImageScaled)
{
    QImage halves(10, 10, QImage::Format_ARGB32);
    QPainter painter(&halves);
    painter.fillRect(0, 0, 5, 10, Qt::red);
    painter.fillRect(5, 0, 5, 10, Qt::blue);
    painter.end();

    const QImage wide = qv_resize(halves, QSize(40, 20));
    ASSERT_EQ(wide.size(), QSize(40, 20));
    for (int y = 0; y < 20; ++y) {
        for (int x : {0, 10, 17})
            EXPECT_EQ(wide.pixel(x, y), QColor(Qt::red).rgba()) << x << "," << y;
        for (int x : {23, 30, 39})
            EXPECT_EQ(wide.pixel(x, y), QColor(Qt::blue).rgba()) << x << "," << y;
    }
    QImage seeThrough(3, 3, QImage::Format_ARGB32);
    seeThrough.fill(QColor(0, 0, 255, 100));
    EXPECT_EQ(qv_resize(seeThrough, QSize(7, 5)).pixelColor(3, 2), QColor(0, 0, 255, 100));
    EXPECT_TRUE(qv_resize(halves, QSize(0, 5)).isNull());
    EXPECT_TRUE(qv_resize(QImage(), QSize(5, 5)).isNull());
}

TEST(QvImage, SavesJpegAtomicallyAndReportsFailure)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QImage picture = quadrants();
    const QString best = folder.filePath("best.jpg");
    const QString small = folder.filePath("small.jpg");
    ASSERT_TRUE(qv_saveImageWithPath(picture, best, 1.0));
    ASSERT_TRUE(qv_saveImageWithPath(picture, small, 0.05));
    EXPECT_GT(QFile(best).size(), QFile(small).size());
    const QImage read(best);
    ASSERT_EQ(read.size(), picture.size());
    EXPECT_TRUE(near(read.pixel(10, 10), Qt::red, 12));
    EXPECT_TRUE(near(read.pixel(90, 40), Qt::white, 12));
    QFile raw(best);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    EXPECT_TRUE(raw.read(3) == QByteArray("\xFF\xD8\xFF"));

    // "~" is the home folder.
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", folder.path().toUtf8());
    EXPECT_TRUE(qv_saveImageWithPath(picture, QStringLiteral("~/home.jpg"), 0.5));
    qputenv("HOME", savedHome);
    EXPECT_TRUE(QFile::exists(folder.filePath("home.jpg")));

    EXPECT_FALSE(qv_saveImageWithPath(picture, folder.filePath("missing/x.jpg"), 0.5));
    EXPECT_FALSE(qv_saveImageWithPath(picture, QStringLiteral("/proc/quavdesk-no-such/x.jpg"), 0.5));
    EXPECT_FALSE(qv_saveImageWithPath(QImage(), folder.filePath("null.jpg"), 0.5));
    EXPECT_FALSE(QFile::exists(folder.filePath("null.jpg")));
    EXPECT_FALSE(qv_saveImageWithPath(picture, QString(), 0.5));
}

// The real program on an X11 desktop scaled by the user: Xft.dpi in the
// X resources (as desktop settings write it), or QT_SCALE_FACTOR. Qt turns
// either into a device pixel ratio and keeps the logical dpi at 96, so the
// glyphs keep their size and place in device-independent pixels and
// measure twice as many device pixels at a scale of 2.
//
// Checks, on the device pixels of the screen: the glyph's size and place;
// the window's shape is the painted glyph, pixel for pixel, and follows the
// outlines as finely as the screen can (not the outline of a glyph found
// at a quarter of the pixels and scaled up); clicks beside the strokes
// pass and on a stroke step; at a scale of 2 the dialogs' pictures are
// drawn on the device pixels, not blown up from their own.
#include "programrun.h"

#include "stage/glyphrenderer.h"

#include <QGuiApplication>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

using e2e::grabScreen;
using e2e::pixelsOf;
using e2e::ProgramRun;
using e2e::runTool;

namespace {

constexpr QRgb kGlyph = qRgb(255, 0, 0);

struct DesktopScale {
    const char* name;
    // The resource database's Xft.dpi; none when 0.
    int xftDpi = 0;
    // QT_SCALE_FACTOR for the program; none when empty.
    const char* qtScaleFactor = "";
    // Device pixels per device-independent pixel that follow.
    qreal ratio = 1;
};

void PrintTo(const DesktopScale& scale, std::ostream* out)
{
    *out << scale.name;
}

const DesktopScale kScales[] = {
    {"XftDpi192", 192, "", 2},
    {"QtScaleFactor2", 0, "2", 2},
    {"XftDpi144", 144, "", 1.5},
};

void mergeResources(const QByteArray& resources)
{
    QProcess xrdb;
    xrdb.start(QStringLiteral("xrdb"), {QStringLiteral("-nocpp"), QStringLiteral("-merge")});
    xrdb.waitForStarted(5000);
    xrdb.write(resources);
    xrdb.closeWriteChannel();
    xrdb.waitForFinished(5000);
}

// The bounding shape of a window, in its own device pixels.
QRegion boundingShapeOf(xcb_window_t window)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return {};
    xcb_connection_t* connection = x11->connection();
    std::unique_ptr<xcb_shape_get_rectangles_reply_t, decltype(&std::free)> reply(
        xcb_shape_get_rectangles_reply(
            connection, xcb_shape_get_rectangles(connection, window, XCB_SHAPE_SK_BOUNDING), nullptr),
        &std::free);
    if (!reply)
        return {};
    const xcb_rectangle_t* rects = xcb_shape_get_rectangles_rectangles(reply.get());
    std::vector<QRect> result;
    for (int i = 0; i < xcb_shape_get_rectangles_rectangles_length(reply.get()); ++i)
        result.emplace_back(rects[i].x, rects[i].y, rects[i].width, rects[i].height);
    QRegion region;
    region.setRects(result.data(), int(result.size()));
    return region;
}

int pixelCount(const QRegion& region)
{
    int count = 0;
    for (const QRect& rect : region)
        count += rect.width() * rect.height();
    return count;
}

class ScaledStage : public ::testing::TestWithParam<DesktopScale> {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != u"xcb")
            GTEST_SKIP() << "needs an X11 display, not " << QGuiApplication::platformName().toStdString();
        if (runTool(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("command -v xrdb")})
                .isEmpty())
            GTEST_SKIP() << "xrdb is not installed";
    }

    void TearDown() override
    {
        run.reset();
        if (GetParam().xftDpi)
            mergeResources("Xft.dpi: 96\n");
    }

    void start()
    {
        if (GetParam().xftDpi)
            mergeResources("Xft.dpi: " + QByteArray::number(GetParam().xftDpi) + '\n');
        run = std::make_unique<ProgramRun>();
        if (*GetParam().qtScaleFactor)
            run->addEnvironment(QStringLiteral("QT_SCALE_FACTOR"),
                                QString::fromLatin1(GetParam().qtScaleFactor));
        run->folder().writeDeck(QStringLiteral("database/ziku.txt"),
                                {QStringLiteral("口"), QStringLiteral("永")});
        run->folder().writeSettings(e2e::kRedGlyphsAtTheEarlierPlace);
        run->start();
        ASSERT_TRUE(run->waitForColour(kGlyph)) << "the stage never showed its glyphs";
        QTest::qWait(300);
        screen = grabScreen();
        if (!qEnvironmentVariableIsEmpty("QUENLO_E2E_SHOTS"))
            screen.save(qEnvironmentVariable("QUENLO_E2E_SHOTS") + u'/' + QString::fromLatin1(GetParam().name)
                        + QStringLiteral(".png"));
        painted = pixelsOf(screen, kGlyph);
        window = run->windowId();
        ASSERT_FALSE(window.isEmpty());
    }

    // 口 at 600 points (800 device-independent pixels at the logical 96
    // dpi) with its cell at (100, -100), all in device pixels.
    QRegion expectedGlyph() const
    {
        const qreal ratio = GetParam().ratio;
        QFont font = stage::drawingFont(QStringLiteral("华文楷体"), 600, 96);
        font.setPixelSize(qRound(800 * ratio));
        return stage::textShape(QStringLiteral("口"), font, QPointF(100, -100) * ratio, screen.size());
    }

    std::unique_ptr<ProgramRun> run;
    QImage screen;
    QRegion painted;
    QString window;
};

TEST_P(ScaledStage, GlyphHasItsSizeAndPlaceAndTheShapeIsThePaintedGlyph)
{
    start();
    const QString geometry = runTool(
        QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    EXPECT_TRUE(geometry.contains(QStringLiteral("X=0\nY=0\nWIDTH=1920\nHEIGHT=1080")))
        << geometry.toStdString();

    // The glyph found on the device pixels; one found on a quarter of them
    // and scaled up differs along every edge by thousands of pixels.
    const QRegion expected = expectedGlyph();
    EXPECT_LT(pixelCount(painted.xored(expected)), 0.002 * pixelCount(expected))
        << "painted " << pixelCount(painted) << " pixels, expected " << pixelCount(expected);

    const QRegion shape = boundingShapeOf(xcb_window_t(window.toULongLong()));
    EXPECT_EQ(pixelCount(shape.xored(painted)), 0) << "the window's shape is not the painted glyph";
}

TEST_P(ScaledStage, ClicksBesideTheStrokesPassAndOnAStrokeStep)
{
    start();
    const QPoint counter = painted.boundingRect().center();
    runTool(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QString::number(counter.x()), QString::number(counter.y()),
             QStringLiteral("click"), QStringLiteral("1")});
    QTest::qWait(300);
    EXPECT_EQ(pixelsOf(grabScreen(), kGlyph), painted) << "a click in the counter stepped";

    // The outermost device pixel of the left stroke: inside the shape only
    // when the shape follows the device pixels.
    const QRect bounds = painted.boundingRect();
    QPoint edge(bounds.left(), bounds.center().y());
    while (!painted.contains(edge) && edge.x() < bounds.center().x())
        edge.rx() += 1;
    runTool(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QString::number(edge.x()), QString::number(edge.y()),
             QStringLiteral("click"), QStringLiteral("1")});
    EXPECT_NE(run->waitForChange(kGlyph, painted), painted)
        << "a click on the stroke's edge did not step at " << edge.x() << "," << edge.y();
}

// The display settings dialog's star: its facets and outline, drawn
// without smoothing, on a ground that the dialog shows through.
const QRgb kStarColours[] = {qRgb(0xD9, 0xA8, 0xF7), qRgb(0xA0, 0x52, 0xDC), qRgb(0x65, 0x1C, 0x96),
                             qRgb(0x45, 0x10, 0x6B)};

QRect starArea(const QImage& screen)
{
    QRegion star;
    for (const QRgb colour : kStarColours)
        star += pixelsOf(screen, colour);
    return star.boundingRect();
}

// Pixels within `area` of none of the star's colours nor of the ground at
// its corner: a picture blown up from its own pixels is smoothed into
// thousands of them, one drawn on the device pixels has none.
int blendedPixels(const QImage& screen, const QRect& area)
{
    const QRgb ground = screen.pixel(area.topLeft()) | 0xFF000000;
    int blended = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb pixel = screen.pixel(x, y) | 0xFF000000;
            blended += pixel != ground
                       && std::find(std::begin(kStarColours), std::end(kStarColours), pixel)
                              == std::end(kStarColours);
        }
    }
    return blended;
}

TEST_P(ScaledStage, DialogPictureIsDrawnOnTheDevicePixels)
{
    if (GetParam().ratio != 2)
        GTEST_SKIP()
            << "the pictures are drawn for scales 1 and 2; between them they are scaled: checked at 2 only";
    start();
    // 设置, the third command of the menu that the menu key opens.
    runTool(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
    runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Menu")});
    QTest::qWait(500);
    for (int i = 0; i < 3; ++i)
        runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Down")});
    runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")});

    // The star is 100 pixels wide in the dialog: 200 device pixels.
    QImage shot;
    QRect star;
    for (int attempt = 0; attempt < 50 && star.width() < 150; ++attempt) {
        QTest::qWait(100);
        shot = grabScreen();
        star = starArea(shot);
    }
    if (!qEnvironmentVariableIsEmpty("QUENLO_E2E_SHOTS"))
        shot.save(qEnvironmentVariable("QUENLO_E2E_SHOTS") + u'/' + QString::fromLatin1(GetParam().name)
                  + QStringLiteral("-dialog.png"));
    ASSERT_GT(star.width(), 150) << "no star of the settings dialog on the screen";
    // Its left half: the 居中 button stands by the star's lower right point.
    const QRect leftHalf = star.adjusted(0, 0, -star.width() / 2, 0);
    EXPECT_LT(blendedPixels(shot, leftHalf), 50) << "the star is blown up from its own pixels";
    runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")});
}

INSTANTIATE_TEST_SUITE_P(Scales, ScaledStage, ::testing::ValuesIn(kScales),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

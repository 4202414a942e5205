// The stage window: start-up, drawing and the left click.
#include "stagefixture.h"

#include "platform/desktopwindow.h"
#include "settings/stagesettings.h"
#include "stage/glyphrenderer.h"
#include "stage/readablecolours.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <limits>

using testing_support::gbk;

namespace {
const std::vector<QString> kLibrary = {
    QStringLiteral("大"),     QStringLiteral("口"),       QStringLiteral("爸爸"),
    QStringLiteral("你真棒"), QStringLiteral("春夏秋冬"), QStringLiteral("好好学习天天向上"),
    QStringLiteral("a"),      QStringLiteral("1天"),      QStringLiteral(""),
    QStringLiteral("山"),
};

// A point on a stroke of the shape and a point of the window outside it.
QPoint inside(const QRegion& shape)
{
    return shape.begin()->center();
}

// The widest run of pixels of a shape: across the middle of its widest stroke.
QRect widestRun(const QRegion& shape)
{
    QRect widest;
    for (const QRect& rect : shape) {
        if (rect.width() > widest.width())
            widest = rect;
    }
    return widest;
}
} // namespace

TEST_F(StageTest, StartUpReadsLibraryAndSettingsThenShowsTheEntryAfterTheStoredPosition)
{
    writeLibrary(kLibrary);
    folder.writeSettings(QStringLiteral("[起始位置]\nqswz=2\n[颜色]\nxuanze=2\ndanyi=clRed\n"));
    start();
    EXPECT_EQ(shown(), QStringLiteral("你真棒"));
    EXPECT_EQ(cursor(), 3);
    EXPECT_EQ(recorder->sounds(),
              (QStringList {QStringLiteral("fenling.WAV"), QStringLiteral("xiayige.wav")}));
    EXPECT_EQ(form->windowColour(), QColor(255, 0, 0));
    EXPECT_TRUE(recorder->errors().isEmpty());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Quenlo"));
}

TEST_F(StageTest, WithoutSettingsFileEveryDefaultAppliesAndEntryZeroComesFirst)
{
    writeLibrary(kLibrary);
    start();
    EXPECT_EQ(shown(), QStringLiteral("大"));
    const settings::StageSettings& s = state().settings;
    EXPECT_EQ(s.fontFace, gbk(QStringLiteral("华文楷体")));
    EXPECT_EQ(s.size(settings::WordClass::One), 600);
    EXPECT_EQ(s.colourMode, settings::ColourMode::Random);
    EXPECT_FALSE(QFile::exists(folder.path(QStringLiteral("database/qrnv.ini")))); // start-up writes nothing
}

// A first start (no settings file yet) explains itself beside the glyphs,
// until the first right click on them or for a minute.
TEST_F(StageTest, OnlyAFirstStartShowsTheHintUntilTheFirstRightClick)
{
    writeLibrary(kLibrary);
    start();
    ASSERT_TRUE(form->showsFirstStartCaption());
    const QRect glyphs = form->layout().glyphs.boundingRect().toAlignedRect();
    EXPECT_GT(form->shape().boundingRect().height(), glyphs.height() + 20); // the hint is part of the shape
    form->showEntry();
    EXPECT_TRUE(form->showsFirstStartCaption());
    const QPoint onGlyph = inside(form->shape());
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, onGlyph, form->mapToGlobal(onGlyph));
    QApplication::sendEvent(form.get(), &rightClick);
    EXPECT_TRUE(form->stageMenu()->isVisible());
    form->stageMenu()->close();
    EXPECT_FALSE(form->showsFirstStartCaption());

    form.reset();
    folder.writeSettings(QStringLiteral("[颜色]\nxuanze=1\n"));
    start();
    EXPECT_FALSE(form->showsFirstStartCaption());
}

TEST_F(StageTest, MissingLibraryKeepsTheBuiltInListDrawnAsTheSettingsSay)
{
    folder.writeSettings(QStringLiteral("[起始位置]\nqswz=5\n[字体大小]\n1=300\n[字体位置]\nx1=250\ny1=150\n"
                                        "[颜色]\nxuanze=2\ndanyi=clRed\n"));
    start();
    ASSERT_EQ(recorder->errors().size(), 1);
    EXPECT_EQ(recorder->errors().front(),
              QStringLiteral("Cannot open file \"%1\". No such file or directory.")
                  .arg(folder.path(QStringLiteral("database/ziku.txt"))));
    EXPECT_EQ(state().deck.size(), 64);
    // The stored position counts library entries: the cursor kept 0.
    EXPECT_EQ(shown(), QStringLiteral("小"));
    EXPECT_EQ(recorder->sounds(), QStringList {QStringLiteral("xiayige.wav")}); // no chime

    // Drawn at the stored size, place and colour, in the default face.
    EXPECT_EQ(state().settings.fontFace, gbk(QStringLiteral("华文楷体")));
    EXPECT_EQ(form->drawnFont().pixelSize(), 400);
    EXPECT_EQ(form->windowColour(), QColor(255, 0, 0));
    EXPECT_FALSE(action(QStringLiteral("字体颜色随机"))->isChecked());
    const QRect bounds = form->shape().boundingRect();
    EXPECT_GE(bounds.left(), 250 - 20);
    EXPECT_GE(bounds.top(), 150);
    EXPECT_GT(bounds.height(), 200);
}

TEST_F(StageTest, SingleColourThatIsNotAColourStopsTheStartUpRead)
{
    writeLibrary(kLibrary);
    folder.writeSettings(QStringLiteral("[起始位置]\nqswz=0\n[颜色]\ndanyi=purple\nxuanze=2\n"));
    start();
    EXPECT_EQ(recorder->errors(), QStringList {QStringLiteral("'purple' is not a valid integer value.")});
    EXPECT_EQ(state().settings.colourMode, settings::ColourMode::Random);
    EXPECT_EQ(state().settings.singleColour, 0u);
    EXPECT_EQ(shown(), QStringLiteral("口")); // the start position was read before the error
    EXPECT_FALSE(recorder->sounds().contains(QStringLiteral("fenling.WAV")));
}

TEST_F(StageTest, EachWordClassUsesItsOwnSizeAndPlace)
{
    writeLibrary(kLibrary);
    folder.writeSettings(QStringLiteral("[字体大小]\n1=600\n2=30\n3=31\n4=32\n5=33\n"
                                        "[字体位置]\nx4=4\ny4=40\nx5=5\ny5=50\nx2=2\ny2=20\nx3=3\ny3=30\n"));
    start();
    EXPECT_EQ(form->drawnFont().pixelSize(), 800); // 600 points at 96 dpi
    struct Expected {
        const char16_t* entry;
        int pixels;
    };
    const Expected steps[] = {
        {u"口", 800}, {u"爸爸", 40}, {u"你真棒", 41}, {u"春夏秋冬", 44}, {u"好好学习天天向上", 43},
        {u"a", 43},   {u"1天", 43},  {u"", 43},
    };
    for (const Expected& step : steps) {
        form->showEntry();
        ASSERT_EQ(shown(), QString::fromUtf16(step.entry));
        EXPECT_EQ(form->drawnFont().pixelSize(), step.pixels) << shown().toStdString();
    }
}

TEST_F(StageTest, TheTextCellStartsAtTheClassPosition)
{
    writeLibrary({QStringLiteral("口"), QStringLiteral("爸爸")});
    folder.writeSettings(QStringLiteral("[字体位置]\nx1=300\ny1=200\nx2=-200\ny2=50\n"));
    start();
    // The glyph lies inside its cell, which starts at the position: nothing
    // of it above or left of (300, 200) and it reaches well into the cell.
    const QRect bounds = form->shape().boundingRect();
    EXPECT_GE(bounds.left(), 300 - 20);
    EXPECT_GE(bounds.top(), 200);
    EXPECT_LT(bounds.top(), 200 + 800 / 2);
    EXPECT_GT(bounds.width(), 400);
    // A position to the left of the screen cuts the glyphs off there.
    form->showEntry();
    EXPECT_EQ(form->shape().boundingRect().left(), 0);
}

// Where the settings file puts an entry: positions written before entries
// were centred keep their top-left meaning; otherwise an entry is centred,
// offset by its position, and drawn smaller when it would not fit.
TEST_F(StageTest, EntriesStandCentredUnlessStoredPositionsSayOtherwise)
{
    struct Case {
        const char16_t* settingsText; // nullptr: no settings file
        QPoint offCentre;             // where the ink's middle lies from the screen's
        bool centred;
    };
    const Case cases[] = {
        {nullptr, {0, 0}, true},
        {u"[颜色]\nxuanze=2\n", {0, 0}, true},                     // a file without positions
        {u"[字体位置]\njz=1\nx1=100\ny1=-50\n", {100, -50}, true}, // offsets from the centre
        {u"[字体大小]\n1=2000\n", {0, 0}, true},                   // too big: drawn smaller
        {u"[字体位置]\njz=1\nx1=5000\n", {5000, 0}, true},         // pushed back inside
        {u"[字体位置]\nx1=300\ny1=200\n", {}, false},              // written by earlier versions
        {u"[字体位置]\njz=0\nx2=9\n", {}, false},                  // says so itself
    };
    for (const Case& c : cases) {
        const QString text = c.settingsText ? QString::fromUtf16(c.settingsText) : QStringLiteral("none");
        SCOPED_TRACE(text.toStdString());
        form.reset();
        QFile::remove(folder.path(QStringLiteral("database/qrnv.ini")));
        writeLibrary({QStringLiteral("大")});
        if (c.settingsText)
            folder.writeSettings(text);
        start();
        const QRect window(QPoint(0, 0), form->size());
        // The glyphs with their outline (a first start's hint aside).
        const qreal outline = form->outlineWidth();
        const QRectF ink = form->layout().glyphs.boundingRect().adjusted(-outline, -outline, outline,
                                                                         outline);
        if (!c.centred) {
            EXPECT_EQ(state().settings.placement, settings::Placement::FromTopLeft);
            continue;
        }
        EXPECT_EQ(state().settings.placement, settings::Placement::FromCentre);
        EXPECT_TRUE(QRectF(window).marginsRemoved(QMarginsF(1, 1, 1, 1)).contains(ink));
        const QPointF offCentre = ink.center() - QRectF(window).center();
        if (c.offCentre.x() < window.width() / 2) {
            EXPECT_NEAR(offCentre.x(), c.offCentre.x(), 3);
            EXPECT_NEAR(offCentre.y(), c.offCentre.y(), 3);
        } else {
            EXPECT_NEAR(ink.right() - outline, window.width() - stage::kScreenMargin, 1);
        }
    }
}

TEST_F(StageTest, CounterOfKouIsAHoleInTheShape)
{
    writeLibrary({QStringLiteral("口")});
    start();
    const QRect bounds = form->shape().boundingRect();
    EXPECT_FALSE(form->shape().contains(bounds.center()));
    EXPECT_TRUE(form->shape().contains(inside(form->shape())));
}

// The input region a Wayland compositor gets: every pixel of the strokes,
// a few pixels of slack, counters still holes, and few enough rectangles
// that a run of steps cannot fill the socket.
TEST_F(StageTest, WaylandInputRegionHoldsEveryStrokePixelInFewRectanglesAndKeepsTheCounter)
{
    writeLibrary(
        {QStringLiteral("口"), QStringLiteral("好好学习天天向上"), QStringLiteral("春眠不觉晓处处闻啼鸟")});
    // The region's coarsening, on the strokes alone.
    folder.writeSettings(QStringLiteral("[颜色]\nmiaobian=0\n"));
    start();
    const auto nearStrokes = [](const QRegion& shape) {
        QRegion near;
        for (const QRect& rect : shape)
            near += rect.adjusted(-8, -8, 8, 8);
        return near;
    };
    int coarsened = 0;
    for (int step = 0; step < 3; ++step) {
        const QRegion shape = form->shape();
        const QRegion input = platform::waylandInputRegion(shape);
        EXPECT_TRUE(shape.subtracted(input).isEmpty()) << "a stroke pixel lost on " << shown().toStdString();
        EXPECT_TRUE(input.subtracted(nearStrokes(shape)).isEmpty())
            << "far beyond the strokes on " << shown().toStdString();
        EXPECT_LE(input.rectCount(), platform::kMaxInputRegionRectangles) << shown().toStdString();
        if (step == 0) {
            EXPECT_FALSE(input.contains(shape.boundingRect().center())) << "the counter of 口 was filled";
        }
        coarsened += shape.rectCount() > platform::kMaxInputRegionRectangles;
        form->showEntry();
    }
    EXPECT_GE(coarsened, 1) << "no entry needed a coarser region: the deck checks nothing";

    // A stair of single pixels, the worst a region can be, and a bound of one.
    QRegion stair;
    for (int i = 0; i < 3000; ++i)
        stair += QRect(i / 2, i, 1, 1);
    const QRegion bounded = platform::waylandInputRegion(stair);
    EXPECT_LE(bounded.rectCount(), platform::kMaxInputRegionRectangles);
    EXPECT_TRUE(stair.subtracted(bounded).isEmpty());
    EXPECT_EQ(platform::waylandInputRegion(stair, 1).rectCount(), 1);
    EXPECT_TRUE(platform::waylandInputRegion(QRegion()).isEmpty());
}

TEST_F(StageTest, SingleModeKeepsOneColourAndRandomNeverReaches255)
{
    writeLibrary(kLibrary);
    folder.writeSettings(QStringLiteral("[颜色]\nxuanze=2\ndanyi=$00030201\n"));
    start();
    const QColor first = form->windowColour();
    form->showEntry();
    EXPECT_EQ(form->windowColour(), first);
    EXPECT_EQ(first, QColor(1, 2, 3));

    state().settings.colourMode = settings::ColourMode::Random;
    for (int i = 0; i < 300; ++i) {
        form->showEntry();
        const QColor colour = form->windowColour();
        ASSERT_LT(colour.red(), 255);
        ASSERT_LT(colour.green(), 255);
        ASSERT_LT(colour.blue(), 255);
    }
}

TEST_F(StageTest, NothingToDrawStillLeavesAClickableMark)
{
    writeLibrary({QStringLiteral(""), QStringLiteral("   "), QStringLiteral("大")});
    folder.writeSettings(QStringLiteral("[字体位置]\nx1=5000\ny1=5000\n"));
    start();
    EXPECT_FALSE(form->shape().isEmpty()); // an empty entry
    form->showEntry();
    EXPECT_FALSE(form->shape().isEmpty()); // blanks draw no outlines
    form->showEntry();
    EXPECT_FALSE(form->shape().isEmpty()); // placed off the screen
    EXPECT_TRUE(QRect(QPoint(0, 0), form->size()).contains(form->shape().boundingRect()));

    // An empty deck too.
    state().deck = core::Deck();
    form->showEntry();
    EXPECT_FALSE(form->shape().isEmpty());
    EXPECT_EQ(cursor(), 0);
}

TEST_F(StageTest, ExtremeSizesAndPlacesDrawWithoutFault)
{
    writeLibrary({QStringLiteral("大"), QStringLiteral("口")});
    const qint32 extremes[] = {std::numeric_limits<qint32>::max(), std::numeric_limits<qint32>::min(), 0,
                               -600};
    start();
    for (qint32 value : extremes) {
        settings::StageSettings& s = state().settings;
        s.size(settings::WordClass::One) = value;
        s.position(settings::WordClass::One) = {value, value};
        form->showEntry();
        EXPECT_FALSE(form->shape().isEmpty()) << value;
        s.position(settings::WordClass::One) = {0, 0};
        form->showEntry();
        EXPECT_FALSE(form->shape().isEmpty()) << value;
    }
    // A stored start position at the limit starts again at entry 0.
    state().cursor = std::numeric_limits<qint32>::max();
    form->showEntry();
    EXPECT_EQ(shown(), QStringLiteral("大"));
}

TEST_F(StageTest, NegativeSizeGivesACellOfThatHeight)
{
    writeLibrary({QStringLiteral("大")});
    folder.writeSettings(QStringLiteral("[字体大小]\n1=-600\n"));
    start();
    const stage::TextCell cell = stage::textCell(form->drawnFont());
    EXPECT_NEAR(cell.ascent + cell.descent, 800, 3);
}

TEST_F(StageTest, LeftClickOnAGlyphStepsOnAndBesideItDoesNot)
{
    writeLibrary({QStringLiteral("口"), QStringLiteral("大"), QStringLiteral("山")});
    start();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    recorder->clear();

    const QPoint hole = form->shape().boundingRect().center();
    QTest::mouseClick(form.get(), Qt::LeftButton, {}, hole);
    EXPECT_EQ(shown(), QStringLiteral("口"));

    QTest::mouseClick(form.get(), Qt::LeftButton, {}, inside(form->shape()));
    EXPECT_EQ(shown(), QStringLiteral("大"));
    EXPECT_EQ(recorder->sounds(), QStringList {QStringLiteral("xiayige.wav")});

    // A right or middle click is no step.
    QTest::mouseClick(form.get(), Qt::MiddleButton, {}, inside(form->shape()));
    EXPECT_EQ(shown(), QStringLiteral("大"));
}

TEST_F(StageTest, DoubleClickStepsOnce)
{
    writeLibrary({QStringLiteral("口"), QStringLiteral("大"), QStringLiteral("山")});
    start();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const QPoint point = inside(form->shape());
    // The platform's order of events for a double-click.
    auto send = [&](QEvent::Type type) {
        QMouseEvent event(type, point, form->mapToGlobal(point), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, {});
        QApplication::sendEvent(form.get(), &event);
    };
    send(QEvent::MouseButtonPress);
    send(QEvent::MouseButtonRelease);
    send(QEvent::MouseButtonDblClick);
    send(QEvent::MouseButtonRelease);
    EXPECT_EQ(shown(), QStringLiteral("大"));
    EXPECT_EQ(cursor(), 1);
}

// Every colour the random mode draws reaches 4.5:1 against its outline, and
// the outline is drawn round the strokes, inside the window's shape.
TEST(GlyphRules, EveryPaletteColourStandsOutFromItsOutline)
{
    EXPECT_NEAR(stage::contrastRatio(Qt::black, Qt::white), 21, 0.01);
    EXPECT_NEAR(stage::contrastRatio(QColor(119, 119, 119), Qt::white), 4.48, 0.01);
    EXPECT_EQ(stage::outlineColourFor(Qt::white), stage::outlineColourFor(QColor(254, 212, 0)));
    EXPECT_EQ(stage::outlineColourFor(QColor(0, 0, 128)), QColor(Qt::white));
    for (const QColor& fill : stage::randomPalette())
        EXPECT_GE(stage::contrastRatio(fill, stage::outlineColourFor(fill)), 4.5)
            << fill.name().toStdString();
}

TEST_F(StageTest, TheOutlineIsPartOfTheShapeAndCanBeSwitchedOff)
{
    writeLibrary({QStringLiteral("一"), QStringLiteral("一")});
    folder.writeSettings(QStringLiteral("[颜色]\nxuanze=2\ndanyi=$0000D4FE\n"));
    start();
    ASSERT_GT(form->outlineWidth(), 2);
    const QRegion outlined = form->shape();
    const QImage picture = form->grab().toImage();
    // The stroke of 一: its middle in the fill, its edge in the outline.
    const QRect stroke = outlined.boundingRect();
    const QPoint middle = widestRun(outlined).center();
    EXPECT_EQ(picture.pixelColor(middle), form->windowColour());
    int edge = stroke.top();
    while (!outlined.contains(QPoint(middle.x(), edge)))
        ++edge;
    EXPECT_EQ(picture.pixelColor(QPoint(middle.x(), edge + 1)), form->outlineColour());

    state().settings.outline = false;
    form->showEntry();
    EXPECT_EQ(form->outlineWidth(), 0);
    EXPECT_LT(form->shape().boundingRect().height(), stroke.height() - 4);
}

TEST(GlyphRules, WordClassByGbkLength)
{
    using settings::WordClass;
    EXPECT_EQ(stage::wordClassOf(gbk(QStringLiteral("大"))), WordClass::One);
    EXPECT_EQ(stage::wordClassOf(gbk(QStringLiteral("爸爸"))), WordClass::Two);
    EXPECT_EQ(stage::wordClassOf(gbk(QStringLiteral("你真棒"))), WordClass::Three);
    EXPECT_EQ(stage::wordClassOf(gbk(QStringLiteral("春夏秋冬"))), WordClass::Four);
    EXPECT_EQ(stage::wordClassOf(gbk(QStringLiteral("一二三四五"))), WordClass::Many);
    EXPECT_EQ(stage::wordClassOf("a"), WordClass::Many);
    EXPECT_EQ(stage::wordClassOf(gbk(QStringLiteral("1天"))), WordClass::Many);
    EXPECT_EQ(stage::wordClassOf(""), WordClass::Many);
    EXPECT_EQ(stage::wordClassOf("ab"), WordClass::One); // bytes count, not characters
}

TEST(GlyphRules, FontHeightAndFace)
{
    EXPECT_EQ(stage::fontHeightFor(600, 96), 800);
    EXPECT_EQ(stage::fontHeightFor(105, 96), 140);
    EXPECT_EQ(stage::fontHeightFor(-600, 96), -800);
    EXPECT_EQ(stage::fontHeightFor(1, 108), 2); // 1.5 rounds up
    EXPECT_EQ(stage::fontHeightFor(std::numeric_limits<qint32>::max(), 96), 2863311529LL);

    const QString current = QStringLiteral("Current");
    EXPECT_EQ(stage::drawingFace("", current), current);
    EXPECT_EQ(stage::drawingFace("dEfAuLt", current), QStringLiteral("MS Sans Serif"));
    const QByteArray longFace = gbk(QStringLiteral("一二三四五六七八九十一二三四五六七八九十"));
    EXPECT_EQ(stage::drawingFace(longFace, current), QStringLiteral("一二三四五六七八九十一二三四五"));
    EXPECT_EQ(stage::drawingFace("A" + longFace, current), QStringLiteral("A一二三四五六七八九十一二三四五"));
}

#include "settings/startupread.h"

#include "platform/error.h"
#include "settings/colourtext.h"
#include "tests/support/programfolder.h"

#include <gtest/gtest.h>

namespace {

using namespace settings;
using testing_support::gbk;
using enum WordClass;

class StartupReadTest : public testing::Test {
protected:
    // Reads into the initial values; the cursor starts at 0 as in the stage.
    void read()
    {
        cursor = 0;
        stage = StageSettings {};
        readStartupSettings(file, cursor, stage);
    }

    testing_support::ProgramFolder folder;
    SettingsFile file {folder.path(QStringLiteral("database/qrnv.ini"))};
    qint32 cursor = 0;
    StageSettings stage;
};

TEST_F(StartupReadTest, MissingFileGivesEveryDefault)
{
    read();
    EXPECT_EQ(cursor, -1);
    EXPECT_EQ(stage.fontFace, gbk(QStringLiteral("华文楷体")));
    EXPECT_EQ(stage.sizes, (std::array<qint32, 5> {600, 400, 260, 190, 105})); // One, Two, Three, Four, Many
    EXPECT_EQ(stage.placement, Placement::FromCentre); // every position (0, 0): centred
    EXPECT_EQ(stage.positions, decltype(stage.positions) {});
    EXPECT_EQ(stage.singleColour, rgb(128, 0, 128));
    EXPECT_EQ(stage.colourMode, ColourMode::Random);
    EXPECT_TRUE(stage.outline);
    EXPECT_FALSE(stage.backdrop);
    EXPECT_EQ(stage.backdropColour, rgb(244, 240, 232));
    EXPECT_FALSE(QFile::exists(file.path())); // start-up writes nothing

    const StageSettings defaults = defaultStageSettings();
    EXPECT_EQ(defaults.sizes, stage.sizes);
    EXPECT_EQ(defaults.positions, stage.positions);
}

TEST_F(StartupReadTest, KeysFourAndFiveBelongToManyAndFour)
{
    folder.writeSettings(QStringLiteral("[起始位置]\nqswz=41\n[字体大小]\n4=-44\n5=55\n"
                                        "[字体位置]\nx4=4\ny4=-4\nx5=5\ny5=-5\n"
                                        "[字体]\nzt=\n[颜色]\ndanyi=$00030201\nxuanze=2\n"));
    read();
    EXPECT_EQ(cursor, 41);
    EXPECT_EQ(stage.size(Many), -44);
    EXPECT_EQ(stage.size(Four), 55);
    EXPECT_EQ(stage.position(Many), (Position {4, -4}));
    EXPECT_EQ(stage.position(Four), (Position {5, -5}));
    EXPECT_EQ(stage.fontFace, "");
    EXPECT_EQ(stage.singleColour, rgb(1, 2, 3));
    EXPECT_EQ(stage.colourMode, ColourMode::Single);
}

// Positions written before entries were centred keep their meaning: a file
// that holds any of them (and no "jz") reads as top-left corners, with the
// old defaults for the keys it lacks.
TEST_F(StartupReadTest, WhatStoredPositionsMean)
{
    struct Case {
        const char16_t* text;
        Placement placement;
        Position one;
    };
    const Case cases[] = {
        {u"[颜色]\nxuanze=2\n", Placement::FromCentre, {0, 0}},
        {u"[字体位置]\ny5=7\n", Placement::FromTopLeft, {100, -100}},
        {u"[字体位置]\nx1=3\ny1=4\n", Placement::FromTopLeft, {3, 4}},
        {u"[字体位置]\njz=1\nx1=3\n", Placement::FromCentre, {3, 0}},
        {u"[字体位置]\njz=0\n", Placement::FromTopLeft, {100, -100}},
        {u"[字体位置]\njz=x\nx1=3\n", Placement::FromTopLeft, {3, -100}}, // malformed: as if absent
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
        folder.writeSettings(QString::fromUtf16(c.text));
        read();
        EXPECT_EQ(stage.placement, c.placement);
        EXPECT_EQ(stage.position(One), c.one);
    }
}

TEST_F(StartupReadTest, OnlyOneMeansRandom)
{
    const std::pair<const char*, ColourMode> cases[] = {{"1", ColourMode::Random},
                                                        {"word", ColourMode::Random},
                                                        {"2", ColourMode::Single},
                                                        {"0", ColourMode::Single},
                                                        {"-7", ColourMode::Single}};
    for (const auto& [text, mode] : cases) {
        file.writeString("\xD1\xD5\xC9\xAB", "xuanze", text);
        read();
        EXPECT_EQ(stage.colourMode, mode) << text;
    }
}

TEST_F(StartupReadTest, ColourThatIsNoColourStopsTheReadAfterTheFace)
{
    folder.writeSettings(
        QStringLiteral("[字体大小]\n1=7\n[字体]\nzt=Face\n[颜色]\ndanyi=purple\nxuanze=2\n"));
    try {
        read();
        FAIL() << "no error";
    } catch (const platform::Error& error) {
        EXPECT_EQ(error.message(), QStringLiteral("'purple' is not a valid integer value"));
    }
    EXPECT_EQ(cursor, -1);
    EXPECT_EQ(stage.size(One), 7);
    EXPECT_EQ(stage.position(Three), (Position {0, 0})); // no position stored: centred
    EXPECT_EQ(stage.fontFace, "Face");
    EXPECT_EQ(stage.singleColour, 0u);
    EXPECT_EQ(stage.colourMode, ColourMode::Random);
}

TEST_F(StartupReadTest, DisplaySettingsAreWrittenInTheDialogsOrderAndReadBack)
{
    StageSettings written = defaultStageSettings();
    written.fontFace = QByteArray(40, 'F'); // longer than a font name may be
    written.size(Many) = -2147483647 - 1;
    written.placement = Placement::FromTopLeft;
    written.positions = topLeftDefaultPositions();
    written.position(Four) = {2147483647, -9};
    written.outline = false;
    written.backdropColour = rgb(1, 2, 3);
    writeDisplaySettings(file, written);

    EXPECT_EQ(folder.readFile(QStringLiteral("database/qrnv.ini")),
              gbk(QStringLiteral("[字体]\r\nzt=FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF\r\n"
                                 "[字体大小]\r\n1=600\r\n2=400\r\n3=260\r\n4=-2147483648\r\n5=190\r\n"
                                 "[字体位置]\r\nx1=100\r\nx2=-36\r\nx3=-22\r\ny1=-100\r\ny2=50\r\ny3=120\r\n"
                                 "x4=0\r\ny4=100\r\nx5=2147483647\r\ny5=-9\r\njz=0\r\n"
                                 "[颜色]\r\nmiaobian=0\r\nmubuse=$00030201\r\n")));
    read();
    EXPECT_EQ(stage.fontFace, written.fontFace);
    EXPECT_EQ(stage.sizes, written.sizes);
    EXPECT_EQ(stage.placement, written.placement);
    EXPECT_EQ(stage.positions, written.positions);
    EXPECT_EQ(stage.outline, written.outline);
    EXPECT_EQ(stage.backdropColour, written.backdropColour);
}

} // namespace

namespace {

TEST_F(StartupReadTest, TheStarsAreOnUnlessTheirKeySaysZero)
{
    read();
    EXPECT_TRUE(stage.starBurst) << "no key";
    const std::pair<const char*, bool> cases[] = {{"0", false}, {"1", true}, {"word", true}, {"", true}};
    for (const auto& [text, on] : cases) {
        file.writeString("\xBD\xB1\xC0\xF8", "xingxing", text);
        read();
        EXPECT_EQ(stage.starBurst, on) << text;
    }
}

} // namespace

#include "settings/colourtext.h"

#include "platform/error.h"

#include <QGuiApplication>
#include <QPalette>

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using namespace settings;

constexpr Colour kRed = 0x000000FF;

TEST(ColourTextTest, TableHas52DistinctNamesAndValues)
{
    std::set<std::string> names;
    std::set<Colour> values;
    for (const ColourName& entry : colourNames()) {
        names.insert(QByteArray(entry.name).toLower().toStdString());
        values.insert(entry.value);
        EXPECT_EQ(colourToText(entry.value), entry.name);
        EXPECT_EQ(textToColour(entry.name), entry.value);
    }
    EXPECT_EQ(colourNames().size(), 52u);
    EXPECT_EQ(names.size(), 52u);
    EXPECT_EQ(values.size(), 52u);
}

TEST(ColourTextTest, RedInEveryWritingReadsAsRed)
{
    for (const char* text : {"clRed", "CLRED", "clred", "$000000FF", "255", "0xFF", "+$FF"})
        EXPECT_EQ(textToColour(text), kRed) << text;
}

TEST(ColourTextTest, TextThatIsNoColourThrows)
{
    for (const char* text : {"purple", "", " clRed", "clRed "}) {
        try {
            textToColour(text);
            ADD_FAILURE() << "no error for " << text;
        } catch (const platform::Error& error) {
            EXPECT_EQ(error.message(),
                      QStringLiteral("'%1' is not a valid integer value").arg(QLatin1String(text)));
        }
    }
}

TEST(ColourTextTest, UnnamedColoursAreEightUppercaseHexDigits)
{
    EXPECT_EQ(colourToText(rgb(128, 0, 128)), "clPurple");
    EXPECT_EQ(colourToText(rgb(255, 128, 0)), "$000080FF");
    EXPECT_EQ(colourToText(rgb(1, 2, 3)), "$00030201");
    EXPECT_EQ(colourToText(0xFF000019), "$FF000019"); // no system colour 25
    EXPECT_EQ(textToColour("$FFFFFFFF"), 0xFFFFFFFFu);
}

TEST(ColourTextTest, PaintedColours)
{
    EXPECT_EQ(toQColor(rgb(255, 128, 0)), QColor(255, 128, 0));
    EXPECT_EQ(toQColor(0x02000080), QColor(128, 0, 0)); // an unknown high byte is ignored
    EXPECT_EQ(toQColor(textToColour("clBtnFace")),
              QGuiApplication::palette().color(QPalette::Active, QPalette::Button));
    EXPECT_EQ(toQColor(textToColour("clNone")), std::nullopt);
    EXPECT_EQ(toQColor(textToColour("clDefault")), std::nullopt);
    EXPECT_EQ(fromQColor(QColor(255, 128, 0)), rgb(255, 128, 0));
}

} // namespace

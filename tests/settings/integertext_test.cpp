#include "settings/integertext.h"

#include "platform/error.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using settings::parseInteger;

TEST(IntegerTextTest, AcceptedForms)
{
    const std::pair<const char*, qint32> cases[] = {
        {"600", 600},
        {" 600", 600},
        {"   +5", 5},
        {"000100", 100},
        {"-0", 0},
        {"0x258", 600},
        {"0X258", 600},
        {"$258", 600},
        {"x258", 600},
        {"X258", 600},
        {"$ff", 255},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<qint32>::min()},
        {"$FFFFFFFF", -1},
        {"$80000000", std::numeric_limits<qint32>::min()},
        {"-$80000000", std::numeric_limits<qint32>::min()},
        {"-$10", -16},
        {"-$FFFFFFFF", 1},
        {"$000000000FF", 255},
        {"0x0", 0},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(parseInteger(text), value) << text;
}

TEST(IntegerTextTest, MalformedForms)
{
    const char* cases[] = {
        "",
        " ",
        "+",
        "-",
        "$",
        "0x",
        "-x",
        "--1",
        "+-1",
        "- 5",
        "$ 5",
        "5 ",
        "\t5",
        "600pt",
        "6e2",
        "6.0",
        "2147483648",
        "-2147483649",
        "99999999999999999999",
        "$100000000",
        "0x1G",
        "00x5",
        "five",
    };
    for (const char* text : cases)
        EXPECT_EQ(parseInteger(text), std::nullopt) << '"' << text << '"';
}

TEST(IntegerTextTest, MalformedTextThrowsWithTheTextDecoded)
{
    try {
        settings::toInteger("\xD7\xCF"); // 紫
        FAIL() << "no error";
    } catch (const platform::Error& error) {
        EXPECT_EQ(error.message(), QStringLiteral("'紫' is not a valid integer value"));
    }
    EXPECT_EQ(settings::toInteger("-7"), -7);
}

} // namespace

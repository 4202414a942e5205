#include "core/schedule.h"

#include <gtest/gtest.h>

// Expected values were worked out from the published FSRS-5 formulas and
// default parameters, independently of this code.
namespace {

using core::Grade;
using core::ItemState;
namespace fsrs = core::fsrs;

constexpr double tolerance = 1e-9;

QDateTime day(int n, int hour = 10)
{
    return QDateTime(QDate(2026, 3, 1).addDays(n), QTime(hour, 0));
}

TEST(Fsrs, FirstJudgementStartsFromTheDefaultParameters)
{
    const auto good = fsrs::initial(Grade::Good);
    EXPECT_NEAR(good.stability, 3.173, tolerance);
    EXPECT_NEAR(good.difficulty, 5.282434422319005, tolerance);
    const auto again = fsrs::initial(Grade::Again);
    EXPECT_NEAR(again.stability, 0.40255, tolerance);
    EXPECT_NEAR(again.difficulty, 7.1949, tolerance);
}

TEST(Fsrs, RetrievabilityIsNinetyPercentAfterOneStability)
{
    EXPECT_NEAR(fsrs::retrievability(3.173, 3.173), 0.9, tolerance);
    EXPECT_NEAR(fsrs::retrievability(3, 3.173), 0.9046982108893272, tolerance);
    EXPECT_DOUBLE_EQ(fsrs::retrievability(0, 5), 1.0);
}

TEST(Fsrs, GoodRepeatedOnTheDueDayGrowsTheInterval)
{
    auto m = fsrs::initial(Grade::Good);
    m = fsrs::next(m, 3, Grade::Good);
    EXPECT_NEAR(m.stability, 10.73892584613159, tolerance);
    EXPECT_NEAR(m.difficulty, 5.272967931287446, tolerance);
    EXPECT_EQ(fsrs::intervalDays(m.stability), 11);
    m = fsrs::next(m, 11, Grade::Good);
    EXPECT_NEAR(m.stability, 34.57762350060534, tolerance);
    EXPECT_NEAR(m.difficulty, 5.263544986114632, tolerance);
    EXPECT_EQ(fsrs::intervalDays(m.stability), 35);
}

TEST(Fsrs, LateGoodGainsMoreThanOnTime)
{
    const auto m = fsrs::next(fsrs::initial(Grade::Good), 10, Grade::Good);
    EXPECT_NEAR(m.stability, 23.895875500557327, tolerance);
}

TEST(Fsrs, AgainAfterALongGap)
{
    // A well-learnt item forgotten after 200 days: the forgetting formula.
    auto m = fsrs::initial(Grade::Good);
    m = fsrs::next(m, 3, Grade::Good);
    m = fsrs::next(m, 11, Grade::Good);
    m = fsrs::next(m, 200, Grade::Again);
    EXPECT_NEAR(m.stability, 6.69725052718357, tolerance);
    EXPECT_NEAR(m.difficulty, 6.784232087673549, tolerance);
    EXPECT_EQ(fsrs::intervalDays(m.stability), 7);

    // A young item forgotten after 100 days: capped at S / e^(w17 * w18).
    const auto young = fsrs::next(fsrs::initial(Grade::Good), 100, Grade::Again);
    EXPECT_NEAR(young.stability, 2.253917374345206, 1e-6);
    EXPECT_NEAR(young.difficulty, 6.796932579932991, tolerance);
}

TEST(Fsrs, SameDayAgainUsesTheShortTermFormula)
{
    const auto m = fsrs::next(fsrs::initial(Grade::Again), 0, Grade::Again);
    EXPECT_NEAR(m.stability, 0.20168903241409677, tolerance);
    EXPECT_NEAR(m.difficulty, 8.082797017759107, tolerance);
}

TEST(Fsrs, IntervalsAreWholeDaysOfAtLeastOneDay)
{
    EXPECT_EQ(fsrs::intervalDays(0.01), 1);
    EXPECT_EQ(fsrs::intervalDays(1.49), 1);
    EXPECT_EQ(fsrs::intervalDays(1.51), 2);
    EXPECT_EQ(fsrs::intervalDays(1e9), fsrs::maximumIntervalDays);
}

TEST(Fsrs, DifficultyStaysWithinOneToTen)
{
    auto m = fsrs::initial(Grade::Again);
    for (int i = 0; i < 50; ++i)
        m = fsrs::next(m, 1, Grade::Again);
    EXPECT_LE(m.difficulty, 10.0);
    EXPECT_GT(m.stability, 0.0);
    for (int i = 0; i < 200; ++i)
        m = fsrs::next(m, fsrs::intervalDays(m.stability), Grade::Good);
    EXPECT_GE(m.difficulty, 1.0);
}

TEST(ItemStateTest, JudgementsCountAndSetTheDueDayByCalendarDay)
{
    ItemState item;
    EXPECT_TRUE(item.isNew());
    item = core::judged(item, true, day(0, 23));
    EXPECT_EQ(item.due, day(3).date());
    EXPECT_FALSE(item.isKnown());

    // One hour later is the next calendar day: a whole elapsed day.
    const auto nextMorning = core::judged(item, true, day(1, 0));
    EXPECT_NEAR(nextMorning.memory.stability, fsrs::next(item.memory, 1, Grade::Good).stability, tolerance);
    EXPECT_TRUE(nextMorning.isKnown());
    EXPECT_EQ(nextMorning.rightCount, 2);

    const auto wrong = core::judged(nextMorning, false, day(2));
    EXPECT_EQ(wrong.rightStreak, 0);
    EXPECT_EQ(wrong.wrongCount, 1);
    EXPECT_FALSE(wrong.isKnown());
    EXPECT_EQ(wrong.due, day(3).date());
}

TEST(ItemStateTest, AClockSetBackCountsAsTheSameDay)
{
    const auto item = core::judged({}, true, day(5));
    const auto back = core::judged(item, true, day(2));
    EXPECT_NEAR(back.memory.stability, fsrs::next(item.memory, 0, Grade::Good).stability, tolerance);
    EXPECT_GE(back.due, day(3).date());
}

} // namespace

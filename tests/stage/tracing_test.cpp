// 描红: the rule that tells a trace that follows a stroke from one that
// does not, and the practice that applies it stroke after stroke.
#include "stage/tracing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

using stage::TraceVerdict;

// A hook of 300 pixels: right, then down, as 乛 is written.
const QList<QPointF> kHook = {{100, 100}, {300, 100}, {300, 200}};
constexpr qreal kTolerance = 30;

// The hook from `from` to `to` of its length, every 10 pixels, each point
// moved by `offset(fraction)`.
QList<QPointF> along(qreal from, qreal to, const std::function<QPointF(qreal)>& offset = {})
{
    QList<QPointF> trace;
    for (qreal s = from * 300; s <= to * 300 + 1e-9; s += 10) {
        const QPointF point = s <= 200 ? QPointF(100 + s, 100) : QPointF(300, 100 + (s - 200));
        trace.append(point + (offset ? offset(s / 300) : QPointF()));
    }
    return trace;
}

QList<QPointF> reversed(QList<QPointF> trace)
{
    std::reverse(trace.begin(), trace.end());
    return trace;
}

} // namespace

TEST(TraceRule, AcceptsOnlyATraceThatFollowsTheStrokeFromItsStartInItsDirection)
{
    const struct {
        const char* name;
        QList<QPointF> trace;
        TraceVerdict verdict;
    } cases[] = {
        {"follows", along(0, 1), TraceVerdict::Follows},
        {"wobbles within the tolerance",
         along(0, 1, [](qreal f) { return QPointF(0, 20 * std::sin(f * 20)); }), TraceVerdict::Follows},
        {"overshoots a little", along(0, 1) + QList<QPointF> {{300, 220}}, TraceVerdict::Follows},
        {"reversed", reversed(along(0, 1)), TraceVerdict::Reversed},
        {"too short", along(0, 0.3), TraceVerdict::TooShort},
        {"a tap", {{100, 100}, {100, 100}}, TraceVerdict::TooShort},
        {"starts elsewhere", along(0.2, 1), TraceVerdict::StartsElsewhere},
        {"stops early", along(0, 0.8), TraceVerdict::EndsElsewhere},
        {"strays midway", along(0, 1, [](qreal f) { return QPointF(0, f > 0.3 && f < 0.5 ? 60 : 0); }),
         TraceVerdict::Strays},
        {"cuts the corner", {{100, 100}, {200, 150}, {300, 200}}, TraceVerdict::Strays},
        {"the stroke beside it", along(0, 1, [](qreal) { return QPointF(0, 40); }),
         TraceVerdict::StartsElsewhere},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stage::judgeTrace(c.trace, kHook, kTolerance), c.verdict) << c.name;
}

TEST(TraceRule, ToleranceGrowsWithTheCharacterAndKeepsAFewPixels)
{
    EXPECT_DOUBLE_EQ(stage::traceTolerance(800), 100);
    EXPECT_DOUBLE_EQ(stage::traceTolerance(400), 50);
    EXPECT_DOUBLE_EQ(stage::traceTolerance(16), 6);
}

// Two strokes, 十 drawn by hand: a wrong stroke first, then both in order.
TEST(TracingPractice, FillsStrokesInOrderAndSaysWhenTheLastIsDone)
{
    stage::EntryStrokes strokes;
    strokes.emPixels = 240; // a tolerance of 30
    QPainterPath bar;
    bar.addRect(90, 190, 220, 20);
    QPainterPath post;
    post.addRect(190, 90, 20, 220);
    strokes.pieces = {{bar, {{100, 200}, {300, 200}}}, {post, {{200, 100}, {200, 300}}}};
    stage::TracingPractice practice(strokes, 0);

    auto drag = [&](QPointF from, QPointF to) {
        practice.press(from);
        for (int i = 1; i < 10; ++i)
            practice.move(from + (to - from) * (i / 10.0));
        return practice.release(to);
    };
    using Outcome = stage::TracingPractice::Outcome;
    EXPECT_EQ(drag({200, 100}, {200, 300}), Outcome::Strayed); // the post before the bar
    EXPECT_EQ(practice.nextPiece(), 0);
    EXPECT_EQ(drag({100, 200}, {300, 200}), Outcome::Filled);
    EXPECT_FALSE(practice.isDone());
    EXPECT_EQ(drag({200, 100}, {200, 300}), Outcome::FilledTheLast);
    EXPECT_TRUE(practice.isDone());
    EXPECT_EQ(practice.release({0, 0}), Outcome::Nothing);
}

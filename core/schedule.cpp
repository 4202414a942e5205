#include "core/schedule.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace core::fsrs {
namespace {

// The published FSRS-5 default parameters w0 ... w18.
constexpr std::array<double, 19> w = {
    0.40255, 1.18385, 3.173, 15.69105, 7.1949, 0.5345, 1.4604, 0.0046,  1.54575, 0.1192,
    1.01925, 1.9395,  0.11,  0.29605,  2.2698, 0.2315, 2.9898, 0.51655, 0.6621,
};

// The forgetting curve R(t, S) = (1 + factor * t / S) ^ decay, where factor
// makes R(S, S) = 0.9.
constexpr double decay = -0.5;
constexpr double factor = 19.0 / 81.0;

double gradeValue(Grade grade)
{
    return static_cast<int>(grade);
}

double clampDifficulty(double difficulty)
{
    return std::clamp(difficulty, 1.0, 10.0);
}

double initialDifficulty(double grade)
{
    return w[4] - std::exp(w[5] * (grade - 1)) + 1;
}

double nextDifficulty(double difficulty, double grade)
{
    const double delta = -w[6] * (grade - 3);
    // Linear damping: the harder the item already is, the smaller the step.
    const double damped = difficulty + delta * (10 - difficulty) / 9;
    // Mean reversion towards the difficulty of a first "Easy".
    return clampDifficulty(w[7] * initialDifficulty(4) + (1 - w[7]) * damped);
}

double recallStability(const MemoryState& m, double r)
{
    return m.stability
           * (1
              + std::exp(w[8]) * (11 - m.difficulty) * std::pow(m.stability, -w[9])
                    * (std::exp(w[10] * (1 - r)) - 1));
}

double forgetStability(const MemoryState& m, double r)
{
    const double forgotten = w[11] * std::pow(m.difficulty, -w[12]) * (std::pow(m.stability + 1, w[13]) - 1)
                             * std::exp(w[14] * (1 - r));
    // A lapse never leaves the item more stable than a same-day "Again" would.
    return std::min(forgotten, m.stability / std::exp(w[17] * w[18]));
}

double shortTermStability(double stability, double grade)
{
    return stability * std::exp(w[17] * (grade - 3 + w[18]));
}

} // namespace

MemoryState initial(Grade grade)
{
    const double g = gradeValue(grade);
    return {w[static_cast<int>(grade) - 1], clampDifficulty(initialDifficulty(g))};
}

MemoryState next(const MemoryState& memory, int elapsedDays, Grade grade)
{
    const double g = gradeValue(grade);
    double stability = 0;
    if (elapsedDays <= 0) {
        stability = shortTermStability(memory.stability, g);
    } else {
        const double r = retrievability(elapsedDays, memory.stability);
        stability = grade == Grade::Again ? forgetStability(memory, r) : recallStability(memory, r);
    }
    return {std::max(stability, 0.01), nextDifficulty(memory.difficulty, g)};
}

double retrievability(double elapsedDays, double stability)
{
    return std::pow(1 + factor * elapsedDays / stability, decay);
}

int intervalDays(double stability)
{
    const double days = stability / factor * (std::pow(desiredRetention, 1 / decay) - 1);
    return std::clamp(static_cast<int>(std::lround(days)), 1, maximumIntervalDays);
}

} // namespace core::fsrs

namespace core {

ItemState judged(const ItemState& state, bool right, const QDateTime& when)
{
    const Grade grade = right ? Grade::Good : Grade::Again;
    ItemState after = state;
    if (state.isNew()) {
        after.memory = fsrs::initial(grade);
    } else {
        // A clock set back counts as the same day, never as negative time.
        const auto elapsed = std::max<qint64>(0, state.lastReview.date().daysTo(when.date()));
        after.memory = fsrs::next(state.memory, static_cast<int>(elapsed), grade);
    }
    after.lastReview = when;
    after.due = when.date().addDays(fsrs::intervalDays(after.memory.stability));
    if (right) {
        ++after.rightCount;
        ++after.rightStreak;
    } else {
        ++after.wrongCount;
        after.rightStreak = 0;
    }
    return after;
}

} // namespace core

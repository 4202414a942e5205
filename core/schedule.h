#pragma once

#include <QByteArrayView>
#include <QDate>
#include <QDateTime>

// Review scheduling with FSRS-5 (the Free Spaced Repetition Scheduler) and
// its published default parameters. The adult's judgement is two-valued: a
// right answer is FSRS's "Good", a wrong one its "Again".
namespace core {

enum class Grade { Again = 1, Good = 3 };

// The two memory variables FSRS keeps per item.
struct MemoryState {
    double stability = 0;  // days until recall probability falls to 90%
    double difficulty = 0; // 1 (easy) to 10 (hard)
};

namespace fsrs {

inline constexpr double desiredRetention = 0.9;
inline constexpr int maximumIntervalDays = 36500;

// Memory after the very first judgement of an item.
MemoryState initial(Grade grade);

// Memory after a judgement `elapsedDays` calendar days after the previous
// one. Judgements on the same day use the short-term formula.
MemoryState next(const MemoryState& memory, int elapsedDays, Grade grade);

// Probability of recall `elapsedDays` after the last review.
double retrievability(double elapsedDays, double stability);

// Days until recall probability falls to the desired retention, rounded to
// whole days and at least one day.
int intervalDays(double stability);

} // namespace fsrs

// Everything the record keeps about one item between judgements.
struct ItemState {
    MemoryState memory;
    QDateTime lastReview; // invalid until the first judgement
    QDate due;            // local calendar day of the next review
    int rightCount = 0;
    int wrongCount = 0;
    int rightStreak = 0; // right answers since the last wrong one

    bool isNew() const { return !lastReview.isValid(); }
    // Recalled right at the last two judgements.
    bool isKnown() const { return rightStreak >= 2; }
};

// An interval of `days` moved by a few days either way, so that items judged
// in one sitting don't all come due on the same day: none for intervals under
// three days, up to about 15% for a week, 5% for long ones. The same `seed`
// gives the same interval.
int spreadInterval(int days, quint64 seed);

// The seed of an entry's spread at its judgement after `judgements` others:
// the same on every machine and in every run.
quint64 spreadSeed(QByteArrayView entry, int judgements);

// The item's state after a judgement of `entry` (GBK bytes) at `when` (local
// calendar days count for the elapsed time and the due day). The interval is
// spread by a seed from the entry and its count of judgements.
ItemState judged(const ItemState& state, bool right, const QDateTime& when, QByteArrayView entry);

} // namespace core

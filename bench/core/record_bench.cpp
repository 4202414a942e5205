// The learning record's costs: a judgement on the stage's thread, and the
// queries behind the review deck and the progress window on a big record.
//
// The big records are built once into the system's temporary folder and
// reused by later runs.

#include "bench/core/bigrecord.h"
#include "core/record.h"
#include "core/schedule.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

using bench_record::bigRecord;
using bench_record::entry;
using bench_record::today;

// A copy of the record of 100,000 judgements that a benchmark may write to.
QString scratchCopyOfRecord(const QString& suffix)
{
    const QString original = bigRecord(100000, 3000);
    const QString path = original + suffix;
    QFile::remove(path);
    QFile::copy(original, path);
    return path;
}

// What the stage's thread pays per judgement, with 100,000 judgements
// already recorded; the worker writes them meanwhile.
void BM_JudgementOnCallersThread(benchmark::State& state)
{
    const QString path = scratchCopyOfRecord(QStringLiteral(".judge"));
    core::Record record(path);
    record.flush();
    int n = 0;
    for (auto _ : state) {
        record.judge(entry(n % 3000), n % 4 != 0);
        ++n;
    }
    record.flush(); // after the timed loop: the worker's share is not the caller's
    QFile::remove(path);
}
BENCHMARK(BM_JudgementOnCallersThread)->Iterations(5000)->Unit(benchmark::kMicrosecond);

// One judgement written by the worker (a transaction of its own), for scale.
void BM_JudgementWritten(benchmark::State& state)
{
    const QString path = scratchCopyOfRecord(QStringLiteral(".write"));
    core::Record record(path);
    record.flush();
    int n = 0;
    for (auto _ : state) {
        record.judge(entry(n % 3000), n % 4 != 0);
        record.flush();
        ++n;
    }
    QFile::remove(path);
}
BENCHMARK(BM_JudgementWritten)->Iterations(500)->Unit(benchmark::kMicrosecond);

void BM_ReviewDeck(benchmark::State& state)
{
    core::Record record(bigRecord(1000000, 10000));
    qsizetype due = 0;
    for (auto _ : state)
        due = record.reviewDeck(today).size();
    state.counters["due"] = static_cast<double>(due);
}
BENCHMARK(BM_ReviewDeck)->Unit(benchmark::kMillisecond);

void BM_Statistics(benchmark::State& state)
{
    core::Record record(bigRecord(1000000, 10000));
    core::Statistics stats;
    for (auto _ : state)
        stats = record.statistics(today);
    state.counters["known"] = stats.known;
    state.counters["learning"] = stats.learning;
    state.counters["due"] = stats.dueToday;
}
BENCHMARK(BM_Statistics)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

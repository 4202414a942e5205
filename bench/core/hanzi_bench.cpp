// The first use of the stroke and reading files (open, map, one lookup) and
// the lookups after it. The first use is what the stage pays the first time
// it animates an entry or shows its pinyin; "rss_kib" is how much the
// process's resident memory grew over the first of them in this process.
//
//   build-release/bench/core/hanzi_bench

#include "core/pinyin.h"
#include "core/strokedata.h"

#include <QFile>
#include <QString>

#include <benchmark/benchmark.h>

namespace {

QString dataFile(const char* name)
{
    return QStringLiteral(QUENLO_SOURCE_DIR "/database/") + QString::fromUtf8(name);
}

// The process's resident memory, in KiB.
double residentKib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble();
    return 0;
}

// Runs `firstUse` once outside the timing to note the memory it costs, then
// times it.
template <typename FirstUse>
void timeFirstUse(benchmark::State& state, FirstUse firstUse)
{
    const double before = residentKib();
    firstUse();
    state.counters["rss_kib"] = residentKib() - before;
    for (auto _ : state)
        firstUse();
}

void BM_StrokeDataFirstUse(benchmark::State& state)
{
    timeFirstUse(state, [] {
        const core::StrokeData data(dataFile("strokes.bin"));
        benchmark::DoNotOptimize(data.strokesOf(U'永'));
    });
}
BENCHMARK(BM_StrokeDataFirstUse)->Unit(benchmark::kMillisecond);

void BM_StrokesOfACharacter(benchmark::State& state)
{
    const core::StrokeData data(dataFile("strokes.bin"));
    const char32_t characters[] = {U'一', U'永', U'我', U'鱻', U'龘'};
    int n = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(data.strokesOf(characters[n++ % 5]));
}
BENCHMARK(BM_StrokesOfACharacter)->Unit(benchmark::kMicrosecond);

void BM_PinyinDataFirstUse(benchmark::State& state)
{
    timeFirstUse(state, [] {
        const core::PinyinData data(dataFile("pinyin.bin"));
        benchmark::DoNotOptimize(data.pinyinOf(u"银行"));
    });
}
BENCHMARK(BM_PinyinDataFirstUse)->Unit(benchmark::kMillisecond);

void BM_PinyinOfAnEntry(benchmark::State& state)
{
    const core::PinyinData data(dataFile("pinyin.bin"));
    data.pinyinOf(u"一");
    for (auto _ : state)
        benchmark::DoNotOptimize(data.pinyinOf(u"人之初性本善性相近习相远"));
}
BENCHMARK(BM_PinyinOfAnEntry)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

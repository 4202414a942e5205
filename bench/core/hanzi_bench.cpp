// The first use of the stroke and reading files (open, map, one lookup) and
// the lookups after it. The first use is what the stage pays the first time
// it animates an entry or shows its pinyin, with the file in the page cache
// (cold:0) or read from the disk (cold:1); "rss_kib" is how much the
// process's resident memory grew while the file was open and used once.
//
//   build-release/bench/core/hanzi_bench

#include "core/pinyin.h"
#include "core/strokedata.h"

#include <QFile>
#include <QString>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

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

// Drops the file's pages from the page cache, so that the next use reads
// it from the disk as after a reboot.
void evict(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd >= 0) {
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

// Opens a data file and uses it once, timed; the first time outside the
// timing, to note how much memory the process gains while the file is open.
// `cold` drops the file from the page cache before each use.
template <typename Data, typename Use>
void timeFirstUse(benchmark::State& state, const char* name, bool cold, Use use)
{
    const QString path = dataFile(name);
    {
        if (cold)
            evict(path);
        const double before = residentKib();
        const Data data(path);
        use(data);
        state.counters["rss_kib"] = residentKib() - before;
    }
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            evict(path);
            state.ResumeTiming();
        }
        const Data data(path);
        use(data);
    }
}

void BM_StrokeDataFirstUse(benchmark::State& state)
{
    timeFirstUse<core::StrokeData>(
        state, "strokes.bin", state.range(0) != 0,
        [](const core::StrokeData& data) { benchmark::DoNotOptimize(data.strokesOf(U'永')); });
}
BENCHMARK(BM_StrokeDataFirstUse)->ArgName("cold")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

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
    timeFirstUse<core::PinyinData>(
        state, "pinyin.bin", state.range(0) != 0,
        [](const core::PinyinData& data) { benchmark::DoNotOptimize(data.pinyinOf(u"银行")); });
}
BENCHMARK(BM_PinyinDataFirstUse)->ArgName("cold")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

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

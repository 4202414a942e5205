// What a family does between entries, end to end through the stage menu:
// switching deck, order and child, and opening 复习篇, with a library of
// 10,000 entries and two children of 100,000 judgements each.
//
//   xvfb-run -a -s "-screen 0 1920x1080x24 -dpi 96" build-release/bench/stage/family_bench
#include "bench/core/bigrecord.h"
#include "core/stagestate.h"
#include "stage/stagewindow.h"
#include "tests/support/programfolder.h"
#include "tests/support/recordingeffects.h"
#include "windows/stagedialogs.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>

namespace {

constexpr int kEntries = 10'000;
constexpr int kJudgements = 100'000;

// The item named `text`; 复习篇 also as 复习篇（8）, with its count.
QAction* findAction(QMenu* menu, const QString& text)
{
    for (QAction* item : menu->actions()) {
        if (item->text() == text || item->text().startsWith(text + u'（'))
            return item;
        if (item->menu())
            if (QAction* inner = findAction(item->menu(), text))
                return inner;
    }
    return nullptr;
}

// A program folder with the library, a classic text and two children, each
// with a record of their own.
class FamilyStage {
public:
    FamilyStage()
    {
        QByteArray library;
        for (int n = 0; n < kEntries; ++n)
            library += bench_record::entry(n) + "\r\n";
        folder.writeFile(QStringLiteral("database/ziku.txt"), library);
        folder.writeFile(QStringLiteral("database/bjx.qrnv"), library.left(6 * 500));
        const QString big = bench_record::bigRecord(kJudgements, kEntries);
        QFile::copy(big, folder.path(QStringLiteral("database/record.sqlite")));
        QFile::copy(big, folder.path(QStringLiteral("database/record-2.sqlite")));
        folder.writeSettings(QStringLiteral("[孩子]\nzs=2\nmz2=小明\n"));
        stage = std::make_unique<stage::StageWindow>(windows::stageDialogs());
        stage->show();
        QApplication::processEvents();
        stage->prepareMenu();
    }

    // Runs the menu command as a click on it does, and waits for the screen.
    void choose(const QString& text)
    {
        stage->prepareMenu();
        findAction(stage->stageMenu(), text)->trigger();
        QApplication::sync();
    }

    testing_support::ProgramFolder folder;
    testing_support::ScopedRecorder recorder;
    std::unique_ptr<stage::StageWindow> stage;
};

// Each iteration is one command, alternating between two.
void alternate(benchmark::State& state, const QString& first, const QString& second)
{
    FamilyStage family;
    bool toFirst = true;
    for (auto _ : state) {
        family.choose(toFirst ? first : second);
        toFirst = !toFirst;
    }
    state.SetLabel((first + u'/' + second).toStdString());
}

void BM_SwitchDeck(benchmark::State& state)
{
    alternate(state, QStringLiteral("百家姓篇"), QStringLiteral("识字篇"));
}

void BM_SwitchOrder(benchmark::State& state)
{
    alternate(state, QStringLiteral("随机顺序"), QStringLiteral("随机顺序"));
}

void BM_SwitchChild(benchmark::State& state)
{
    alternate(state, QStringLiteral("小明"), QStringLiteral("孩子1"));
}

// 复习篇 with the due entries of 100,000 judgements; the way back is not
// counted.
void BM_OpenReview(benchmark::State& state)
{
    FamilyStage family;
    qsizetype due = 0;
    for (auto _ : state) {
        family.choose(QStringLiteral("复习篇"));
        // The record hands the due entries over when it has read them.
        while (family.stage->state().deckKind != core::DeckKind::Review)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QApplication::sync();
        due = family.stage->state().deck.size();
        state.PauseTiming();
        family.choose(QStringLiteral("识字篇"));
        family.stage->state().review.reset(); // a new review each time
        state.ResumeTiming();
    }
    state.SetLabel(std::to_string(due) + " due");
}

BENCHMARK(BM_SwitchDeck)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwitchOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwitchChild)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenReview)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

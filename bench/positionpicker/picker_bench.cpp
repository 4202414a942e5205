// The position picker on decks of growing size, as the user waits for it:
// from the stage's "定位指针" command to the picker's first frame on the
// display, and from a key typed into its list to the list on the display
// again. Run on a display:
//
//   xvfb-run -a -s "-screen 0 1920x1080x24 -dpi 96" build-release/bench/positionpicker/positionpicker_bench
#include "bench/dialogtiming.h"
#include "core/deck.h"
#include "core/stagestate.h"
#include "platform/fonts.h"
#include "positionpicker/positionpicker.h"
#include "stage/stagewindow.h"
#include "tests/support/programfolder.h"
#include "tests/support/recordingeffects.h"
#include "windows/stagedialogs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

const QRgb kTeal = qRgb(0, 128, 128);

// A library of `count` entries of one to four characters.
QByteArray libraryFile(qsizetype count)
{
    static const char* const texts[] = {"\xB4\xF3", "\xB0\xD6\xB0\xD6", "\xC4\xE3\xD5\xE6\xB0\xF4",
                                        "\xC8\xCB\xD6\xAE\xB3\xF5\xD0\xD4"}; // 大 爸爸 你真棒 人之初性
    QByteArray text;
    for (qsizetype i = 0; i < count; ++i) {
        text += texts[i % 4];
        text += "\r\n";
    }
    return text;
}

// The stage started on a library of `count` entries, showing the middle one.
struct StageOnLibrary {
    explicit StageOnLibrary(qsizetype count)
    {
        core::resetStageState();
        folder.writeFile(QStringLiteral("database/ziku.txt"), libraryFile(count));
        form = std::make_unique<stage::StageWindow>(windows::stageDialogs());
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("the stage never appeared");
        core::stageState().cursor = static_cast<core::DeckCursor>(count / 2);
    }
    ~StageOnLibrary()
    {
        form.reset();
        core::resetStageState();
    }
    testing_support::ProgramFolder folder;
    testing_support::ScopedRecorder recorder;
    std::unique_ptr<stage::StageWindow> form;
};

void menuCommandToPicker(benchmark::State& state)
{
    StageOnLibrary stage(state.range(0));
    for (auto _ : state) {
        const auto timing = benchsupport::timeMenuCommandToDialog(*stage.form, QStringLiteral("定位指针"),
                                                                  kTeal);
        if (!timing || !timing->shownAsExpected) {
            state.SkipWithError("the picker did not appear");
            break;
        }
        state.SetIterationTime(timing->seconds);
    }
}
BENCHMARK(menuCommandToPicker)
    ->Arg(64)
    ->Arg(10'000)
    ->Arg(1'000'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A key typed into the open picker's list, to the list shown again on the
// display. Each key comes after a pause longer than the keyboard input
// interval, so each starts a new text, as the first key a user types.
void typeAhead(benchmark::State& state, const QString& key)
{
    core::resetStageState();
    core::stageState().deck = core::Deck::fromFileBytes(libraryFile(state.range(0)));
    core::stageState().cursor = 0;
    positionpicker::PositionPicker picker(nullptr, {});
    picker.show();
    if (!QTest::qWaitForWindowExposed(&picker))
        state.SkipWithError("the picker never appeared");
    auto* list = picker.findChild<QAbstractItemView*>(QStringLiteral("entryList"));
    const QPoint probe = picker.mapToGlobal(QPoint(1, 1));
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, key);
        QApplication::sendEvent(list, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, key);
        QApplication::sendEvent(list, &release);
        QApplication::processEvents(); // the list repaints what changed
        benchmark::DoNotOptimize(benchsupport::displayedColour(probe));
        state.PauseTiming();
        QTest::qWait(QApplication::keyboardInputInterval() + 20);
        state.ResumeTiming();
    }
    state.counters["row"] = list->currentIndex().row();
    core::resetStageState();
}
// "x" starts no entry: every entry is looked at.
BENCHMARK_CAPTURE(typeAhead, no_match, QStringLiteral("x"))
    ->Arg(10'000)
    ->Arg(1'000'000)
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);
// "大" starts every fourth entry: the highlight moves on and the list redraws.
BENCHMARK_CAPTURE(typeAhead, next_match, QStringLiteral("大"))
    ->Arg(1'000'000)
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quenlo"));
    platform::installFontSubstitutions();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

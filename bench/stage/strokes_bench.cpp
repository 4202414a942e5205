// 笔顺 on a 3840 x 2160 screen: from the key B to the first ink handed to
// the display server, and one frame of the writing (the ink after the next
// 16 ms, the window cut to it, the changed part painted, a round trip to
// the server). Each of the 50 repetitions is one press or one frame; the
// median and the 95th percentile are reported. The first press of the
// process, which also opens the stroke file, half a second after the stage
// appeared, is reported as the counter "first_press_ms" of the key
// benchmarks. The entries: 永 at the shipped
// size, 春夏秋冬 at the shipped size, and 永 at 1500 points (as large as
// the screen holds), each with the outline.
//
//   xvfb-run -a -s "-screen 0 3840x2160x24 -dpi 96" build-release/bench/stage/strokes_bench
//
// The stroke file's own first use (open, map, one character) is measured by
// bench/core/hanzi_bench.
#include "bench/benchmain.h"
#include "bench/repetitions.h"
#include "core/strokedata.h"
#include "platform/fonts.h"
#include "stage/stagewindow.h"
#include "stage/strokeanimation.h"
#include "tests/support/programfolder.h"
#include "tests/support/recordingeffects.h"
#include "windows/stagedialogs.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

namespace {

constexpr int kRepetitions = 50;
constexpr int kFrameMilliseconds = 16;

struct Look {
    const char* name;
    const char* entry;
    const char* settings;
};
const Look kLooks[] = {
    {"永 shipped size", "永", "[颜色]\nmiaobian=1\n"},
    {"春夏秋冬 shipped size", "春夏秋冬", "[颜色]\nmiaobian=1\n"},
    {"永 1500 points", "永", "[颜色]\nmiaobian=1\n[字体大小]\n1=1500\n"},
};

double g_firstPressMs = -1;

// The source tree's stroke file, opened by the first press.
const core::StrokeData& strokeFile()
{
    static const core::StrokeData data(QStringLiteral(QUENLO_SOURCE_DIR "/database/strokes.bin"));
    return data;
}

void press(QWidget& window, QChar key)
{
    QKeyEvent event(QEvent::KeyPress, 0, Qt::NoModifier, QString(key));
    QApplication::sendEvent(&window, &event);
}

double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

struct StageUnderTest {
    testing_support::ProgramFolder folder;
    testing_support::ScopedRecorder recorder;
    std::unique_ptr<stage::StageWindow> form;

    explicit StageUnderTest(const Look& look)
    {
        folder.writeSettings(QString::fromUtf8(look.settings));
        folder.writeDeck(QStringLiteral("database/ziku.txt"), {QString::fromUtf8(look.entry)});
        form = std::make_unique<stage::StageWindow>(windows::stageDialogs());
        form->setStrokeData(&strokeFile());
        form->show();
        [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(form.get());
        QApplication::processEvents();
    }

    // B, up to the first ink on the server.
    double timePress()
    {
        const auto start = std::chrono::steady_clock::now();
        press(*form, u'b');
        QApplication::processEvents();
        QApplication::sync();
        const double milliseconds = millisecondsSince(start);
        if (!form->strokeAnimation())
            qFatal("B did not start the writing");
        return milliseconds;
    }

    void endWriting()
    {
        press(*form, u'x');
        QApplication::processEvents();
        QApplication::sync();
    }
};

std::unique_ptr<StageUnderTest> g_stage;
int g_look = -1;

StageUnderTest& stageFor(int look)
{
    if (g_look != look) {
        g_stage.reset();
        g_stage = std::make_unique<StageUnderTest>(kLooks[look]);
        g_look = look;
        if (g_firstPressMs < 0) {
            QTest::qWait(500); // the window settled, as when a child presses B
            g_firstPressMs = g_stage->timePress();
            g_stage->endWriting();
        }
    }
    return *g_stage;
}

void label(benchmark::State& state, const StageUnderTest& stage)
{
    state.SetLabel(std::to_string(stage.form->width()) + "x" + std::to_string(stage.form->height()) + " "
                   + kLooks[state.range(0)].name);
}

void BM_KeyToFirstInk(benchmark::State& state)
{
    StageUnderTest& stage = stageFor(int(state.range(0)));
    for (auto _ : state) {
        state.SetIterationTime(stage.timePress() / 1000);
        stage.endWriting();
    }
    state.counters["first_press_ms"] = g_firstPressMs;
    label(state, stage);
}

// Frames from the start of the writing to its end, one per repetition,
// starting it again when it is over.
void BM_Frame(benchmark::State& state)
{
    StageUnderTest& stage = stageFor(int(state.range(0)));
    static qint64 at = 0;
    for (auto _ : state) {
        stage::StrokeAnimation* writing = stage.form->strokeAnimation();
        if (!writing || at + kFrameMilliseconds >= writing->writing().duration()) {
            stage.endWriting();
            stage.timePress();
            writing = stage.form->strokeAnimation();
            at = kFrameMilliseconds;
        }
        at += kFrameMilliseconds;
        const auto start = std::chrono::steady_clock::now();
        writing->showAt(at);
        QApplication::processEvents();
        QApplication::sync();
        state.SetIterationTime(millisecondsSince(start) / 1000);
    }
    label(state, stage);
}

void onePerRepetition(benchmark::internal::Benchmark* benchmark)
{
    bench::timeEachRepetition(benchmark, kRepetitions);
}

BENCHMARK(BM_KeyToFirstInk)->DenseRange(0, 2)->Apply(onePerRepetition);
BENCHMARK(BM_Frame)->DenseRange(0, 2)->Apply(onePerRepetition);

} // namespace

int main(int argc, char** argv)
{
    return bench::runWithApplication<QApplication>(argc, argv, [] { g_stage.reset(); });
}

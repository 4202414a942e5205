// Click to glyph: from a left click on a stroke to the next entry's pixels
// handed to the display server (the click's events, the new shape, the
// paint and a round trip to the server), on the plain shaped window and on
// the translucent window that the stage uses where a compositor runs. The
// translucent path starts xcompmgr (without shadows) for its own run. Each
// of the 50 repetitions is one step; the median and the 95th percentile are
// reported. The compositor's own frame comes on top of the translucent
// figure and is not measured. Each path runs with the glyphs' outline (as
// shipped), without it, and with the backdrop (幕布) behind the glyphs.
//
//   xvfb-run -a -s "-screen 0 3840x2160x24 -dpi 96" build-release/bench/stage/click_bench
//
// On Wayland every window is composited, so only the translucent path runs:
// start it as a client of the compositor with QT_QPA_PLATFORM=wayland (for
// headless sway, as the user sway runs as), e.g. with DIR a folder of
// nobody's holding a sway config with "output HEADLESS-1 resolution 1920x1080":
//
//   as="setpriv --reuid=nobody --regid=nogroup --clear-groups env -i PATH=/usr/bin:/bin
//       HOME=DIR XDG_RUNTIME_DIR=DIR"
//   $as WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c DIR/config &
//   $as WAYLAND_DISPLAY=wayland-1 QT_QPA_PLATFORM=wayland build-release/bench/stage/click_bench
//
// Each step also reports the rectangles of the glyphs' region
// and of the input region sent for it, and the bytes of the requests that
// carry them (24 a rectangle on Wayland, 8 in an X11 SHAPE request).
#include "bench/benchmain.h"
#include "bench/repetitions.h"
#include "core/stagestate.h"
#include "platform/desktopwindow.h"
#include "platform/fonts.h"
#include "stage/stagewindow.h"
#include "tests/support/programfolder.h"
#include "tests/support/recordingeffects.h"
#include "windows/stagedialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

namespace {

constexpr int kSteps = 50;

QPoint strokePixel(const QRegion& shape)
{
    QRect widest;
    for (const QRect& rect : shape) {
        if (rect.width() > widest.width())
            widest = rect;
    }
    return widest.center();
}

// One stage and its program folder for all the repetitions of one path.
struct StageUnderTest {
    testing_support::ProgramFolder folder;
    testing_support::ScopedRecorder recorder;
    std::unique_ptr<stage::StageWindow> form;

    // `look` is the colour section's settings: the outline and backdrop switches.
    explicit StageUnderTest(const QString& look)
    {
        // A settings file, so that no first-start hint is drawn.
        folder.writeSettings(QStringLiteral("[颜色]\n") + look);
        // One entry of each size class, in turn.
        folder.writeDeck(QStringLiteral("database/ziku.txt"),
                         {QStringLiteral("大"), QStringLiteral("爸爸"), QStringLiteral("你真棒"),
                          QStringLiteral("春夏秋冬"), QStringLiteral("好好学习天天向上")});
        form = std::make_unique<stage::StageWindow>(windows::stageDialogs());
        form->show();
        [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(form.get());
        QApplication::processEvents();
    }
};

// The looks measured, by the benchmark's argument.
const char* const kLooks[] = {"miaobian=1\n", "miaobian=0\n", "miaobian=1\nmubu=1\n"};
const char* const kLookNames[] = {"outline", "no outline", "outline, backdrop"};

std::unique_ptr<StageUnderTest> g_plain[3];
std::unique_ptr<StageUnderTest> g_translucent[3];
std::unique_ptr<QProcess> g_compositor;

void countRegion(benchmark::State& state, const QRegion& glyphs)
{
    const bool wayland = QGuiApplication::platformName().startsWith(u"wayland");
    const int sent = wayland ? int(platform::waylandInputRegion(glyphs).rectCount())
                             : int(glyphs.rectCount());
    state.counters["glyph_rects"] = double(glyphs.rectCount());
    state.counters["sent_rects"] = double(sent);
    state.counters["sent_bytes"] = double(sent * (wayland ? 24 : 8));
}

void clickToGlyph(benchmark::State& state, StageUnderTest& stage)
{
    for (auto _ : state) {
        const QPoint at = strokePixel(stage.form->shape());
        const auto start = std::chrono::steady_clock::now();
        QTest::mouseClick(stage.form.get(), Qt::LeftButton, {}, at);
        QApplication::processEvents(); // the paint that the step asked for
        QApplication::sync();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        countRegion(state, stage.form->shape());
    }
    state.SetLabel(std::to_string(stage.form->width()) + "x" + std::to_string(stage.form->height())
                   + (stage.form->isTranslucent() ? " translucent, " : " plain, ")
                   + kLookNames[state.range(0)]);
}

void BM_ClickToGlyphPlain(benchmark::State& state)
{
    if (platform::screenIsComposited()) {
        state.SkipWithError("a compositor runs: the plain path needs a screen without one");
        return;
    }
    // Only one stage stands on the screen at a time.
    const auto look = state.range(0);
    for (auto& other : g_plain)
        if (other && &other != &g_plain[look])
            other.reset();
    if (!g_plain[look])
        g_plain[look] = std::make_unique<StageUnderTest>(QLatin1String(kLooks[look]));
    clickToGlyph(state, *g_plain[look]);
}

void BM_ClickToGlyphTranslucent(benchmark::State& state)
{
    const auto look = state.range(0);
    for (auto& other : g_translucent)
        if (other && &other != &g_translucent[look])
            other.reset();
    if (!g_translucent[look]) {
        for (auto& plain : g_plain)
            plain.reset();
        if (!platform::screenIsComposited()) {
            if (QStandardPaths::findExecutable(QStringLiteral("xcompmgr")).isEmpty()) {
                state.SkipWithError("no compositor runs and xcompmgr is not installed");
                return;
            }
            g_compositor = std::make_unique<QProcess>();
            g_compositor->start(QStringLiteral("xcompmgr"), {});
            QElapsedTimer timer;
            timer.start();
            while (!platform::screenIsComposited() && timer.elapsed() < 5000)
                QTest::qWait(50);
        }
        g_translucent[look] = std::make_unique<StageUnderTest>(QLatin1String(kLooks[look]));
    }
    if (!g_translucent[look]->form->isTranslucent()) {
        state.SkipWithError("the stage did not take the translucent path");
        return;
    }
    clickToGlyph(state, *g_translucent[look]);
}

void oneStepPerRepetition(benchmark::internal::Benchmark* benchmark)
{
    bench::timeEachRepetition(benchmark, kSteps);
}

BENCHMARK(BM_ClickToGlyphPlain)->DenseRange(0, 2)->Apply(oneStepPerRepetition);
BENCHMARK(BM_ClickToGlyphTranslucent)->DenseRange(0, 2)->Apply(oneStepPerRepetition);

} // namespace

int main(int argc, char** argv)
{
    return bench::runWithApplication<QApplication>(argc, argv, [] {
        for (auto& stage : g_plain)
            stage.reset();
        for (auto& stage : g_translucent)
            stage.reset();
        if (g_compositor) {
            g_compositor->terminate();
            g_compositor->waitForFinished(3000);
        }
    });
}

// The position picker on decks of growing size, as the user waits for it:
// from the stage's "定位指针" command to the picker's first frame on the
// display, and from a key typed into its list to the highlighted row on the
// display. Run on a display:
//
//   xvfb-run -a -s "-screen 0 1920x1080x24 -dpi 96" build-release/bench/positionpicker/positionpicker_bench
#include "bench/dialogtiming.h"
#include "bench/xserverprobe.h"
#include "core/deck.h"
#include "core/stagestate.h"
#include "platform/fonts.h"
#include "platform/gbk.h"
#include "positionpicker/positionpicker.h"
#include "stage/stagewindow.h"
#include "tests/support/programfolder.h"
#include "tests/support/recordingeffects.h"
#include "windows/stagedialogs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEventLoop>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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
        folder.writeFile(QStringLiteral("database/ziku.txt"), libraryFile(count));
        form = std::make_unique<stage::StageWindow>(windows::stageDialogs());
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qWarning("the stage never appeared");
        form->state().cursor = static_cast<core::DeckCursor>(count / 2);
    }
    ~StageOnLibrary() { form.reset(); }
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

// Type-ahead end to end, as the user has it: real keys through the X server
// (XTest) into the open picker over a library of 1,000,000 entries, timed
// until the screen shows the highlighted row where the key puts it, read
// back from the server. Each key comes after a pause longer than the
// keyboard input interval, so each starts a new text. The cases:
// - far_match: "山" starts only the entry far down, 999,000, which the
//   list scrolls to and shows at its bottom; "日" then starts only entry
//   20, found after wrapping round, shown at the top. The keys alternate.
// - no_match: "尚", which starts no entry, so every entry is looked at, and
//   at once an arrow key, whose moved highlight is the first thing seen
//   after it (a key that matches nothing changes nothing on screen).
// - arrow_only: the arrow key alone, the floor for no_match.
// With the argument 2, two processes spin on the processor meanwhile, as
// busy as any program can be: the machine under load. The median and the
// 95th percentile of 40 keys are reported.
//
//   xvfb-run -a -s "-screen 0 1920x1080x24 -dpi 96"
//       build-release/bench/positionpicker/positionpicker_bench --benchmark_filter=typeAhead
constexpr qsizetype kLibraryEntries = 1'000'000;
constexpr int kFarRow = 999'000;
constexpr int kTopRow = 20;
constexpr int kKeys = 40;

// A library of one- to four-character entries of common characters, as a
// child's library is: the first characters of the entries share their lead
// byte with the typed ones (上 and 少 with 山 and 尚, 人 with 日), so that
// a search meets many entries that begin almost as the typed text does.
// 山 and 日 start no entry but the two marked ones, 尚 starts none; all
// three stand inside entries.
QByteArray libraryWithTwoMarkedRows()
{
    const QString firstCharacters = QStringLiteral("大小多少上中下左右人口手耳春夏秋冬月水火土木金天门");
    const QString otherCharacters = firstCharacters + QStringLiteral("山日尚");
    QString text;
    for (int row = 0; row < kLibraryEntries; ++row) {
        if (row == kFarRow) {
            text += QStringLiteral("山\r\n");
            continue;
        }
        if (row == kTopRow) {
            text += QStringLiteral("日\r\n");
            continue;
        }
        text += firstCharacters[(row * 7) % firstCharacters.size()];
        for (int c = 1; c <= row % 4; ++c)
            text += otherCharacters[(row * 7 + c * 3) % otherCharacters.size()];
        text += QStringLiteral("\r\n");
    }
    return platform::gbk::encodeLiteral(text);
}

// Processes that keep the processor busy while they live.
class BusyLoad {
public:
    explicit BusyLoad(int processes)
    {
        for (int i = 0; i < processes; ++i) {
            const pid_t child = ::fork();
            if (child == 0) {
                volatile bool stop = false;
                while (!stop) {}
            }
            if (child > 0)
                m_children.push_back(child);
        }
    }
    ~BusyLoad()
    {
        for (pid_t child : m_children) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
    }

private:
    std::vector<pid_t> m_children;
};

enum class Case { FarMatch, NoMatch, ArrowOnly };

// Where the highlighted row is drawn in a column of the list: the middle of
// the pixels of the highlight colour, or -1.
int highlightMiddle(const std::vector<std::uint32_t>& column, std::uint32_t highlight)
{
    int first = -1;
    int last = -1;
    for (int y = 0; y < int(column.size()); ++y) {
        if (column[size_t(y)] == highlight) {
            first = first < 0 ? y : first;
            last = y;
        }
    }
    return first < 0 ? -1 : (first + last) / 2;
}

double percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(share * double(values.size())))];
}

void typeAhead(benchmark::State& state, Case which)
{
    benchsupport::XServerProbe probe;
    if (!probe.failure().isEmpty()) {
        state.SkipWithError(probe.failure().toStdString().c_str());
        return;
    }
    // Over the stage that reads the library, as the program opens it.
    testing_support::ProgramFolder folder;
    folder.writeFile(QStringLiteral("database/ziku.txt"), libraryWithTwoMarkedRows());
    testing_support::ScopedRecorder recorder;
    stage::StageWindow stageForm(windows::stageDialogs());
    stageForm.show();
    if (!QTest::qWaitForWindowExposed(&stageForm)) {
        state.SkipWithError("the stage never appeared");
        return;
    }
    const core::Deck deck = stageForm.state().deck;
    positionpicker::PositionPicker picker(deck, kLibraryEntries / 2, &stageForm);
    picker.show();
    picker.activateWindow();
    if (!QTest::qWaitForWindowActive(&picker)) {
        state.SkipWithError("the picker never had the keyboard");
        return;
    }
    auto* list = picker.findChild<QAbstractItemView*>(QStringLiteral("entryList"));
    const QRect column(list->viewport()->mapToGlobal(QPoint(2, 0)), QSize(1, list->viewport()->height()));
    const std::uint32_t highlight = list->palette().color(QPalette::Active, QPalette::Highlight).rgb()
                                    & 0xFFFFFF;
    const xcb_keycode_t far = probe.keyFor(benchsupport::XServerProbe::characterKeysym(u'山'));
    const xcb_keycode_t top = probe.keyFor(benchsupport::XServerProbe::characterKeysym(u'日'));
    const xcb_keycode_t none = probe.keyFor(benchsupport::XServerProbe::characterKeysym(u'尚'));
    const xcb_keycode_t down = probe.keyFor(0xff54); // XK_Down
    const xcb_keycode_t up = probe.keyFor(0xff52);   // XK_Up
    const int pause = QApplication::keyboardInputInterval() + 50;
    QTest::qWait(pause); // the server has told the program of the keys it mapped

    // Starts from row 20 at the top of the list.
    probe.type({top});
    QTest::qWait(pause);
    if (list->currentIndex().row() != kTopRow || highlightMiddle(probe.pixels(column), highlight) < 0) {
        state.SkipWithError("typing did not highlight the row it should");
        return;
    }

    const BusyLoad load(int(state.range(0)));
    std::vector<double> milliseconds;
    bool wentDown = false;
    for (auto _ : state) {
        const int before = highlightMiddle(probe.pixels(column), highlight);
        std::vector<xcb_keycode_t> keys;
        std::function<bool(int)> drawn;
        if (which == Case::FarMatch) {
            wentDown = !wentDown;
            keys = {wentDown ? far : top};
            drawn = [&](int middle) { return middle >= 0 && (middle > column.height() / 2) == wentDown; };
        } else {
            wentDown = !wentDown;
            keys = {wentDown ? down : up};
            if (which == Case::NoMatch)
                keys.insert(keys.begin(), none);
            drawn = [&](int middle) { return middle >= 0 && std::abs(middle - before) > 6; };
        }
        // The keys go and the screen is read on a thread of its own, while
        // the program's event loop runs here.
        QEventLoop loop;
        double seconds = -1;
        std::thread user([&] {
            const auto start = std::chrono::steady_clock::now();
            probe.type(keys);
            while (std::chrono::steady_clock::now() - start < std::chrono::seconds(3)) {
                if (drawn(highlightMiddle(probe.pixels(column), highlight))) {
                    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                    break;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        user.join();
        if (seconds < 0) {
            state.SkipWithError("the highlighted row never showed where it should");
            break;
        }
        state.SetIterationTime(seconds);
        milliseconds.push_back(seconds * 1000);
        state.PauseTiming();
        QTest::qWait(pause);
        state.ResumeTiming();
    }
    if (!milliseconds.empty()) {
        state.counters["median_ms"] = percentile(milliseconds, 0.5);
        state.counters["p95_ms"] = percentile(milliseconds, 0.95);
    }
}
BENCHMARK_CAPTURE(typeAhead, far_match, Case::FarMatch)
    ->ArgName("busy")
    ->Arg(0)
    ->Arg(2)
    ->Iterations(kKeys)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(typeAhead, no_match, Case::NoMatch)
    ->ArgName("busy")
    ->Arg(0)
    ->Arg(2)
    ->Iterations(kKeys)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(typeAhead, arrow_only, Case::ArrowOnly)
    ->ArgName("busy")
    ->Arg(0)
    ->Iterations(kKeys)
    ->UseManualTime()
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

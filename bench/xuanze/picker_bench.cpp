// Opening the position picker on decks of growing size, up to the first
// frame on screen. Run on a display (xvfb-run) or with QT_QPA_PLATFORM=offscreen.
#include "platform/fonts.h"
#include "stage/deck.h"
#include "stage/stagestate.h"
#include "xuanze/tform4.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QTest>

#include <benchmark/benchmark.h>

namespace {

// A deck of `count` entries of one to four characters, as a library file
// holds them.
stage::Deck makeDeck(qsizetype count)
{
    static const char* const texts[] = {"\xB4\xF3", "\xB0\xD6\xB0\xD6", "\xC4\xE3\xD5\xE6\xB0\xF4",
                                        "\xC8\xCB\xD6\xAE\xB3\xF5\xD0\xD4"}; // 大 爸爸 你真棒 人之初性
    QByteArray text;
    for (qsizetype i = 0; i < count; ++i) {
        text += texts[i % 4];
        text += "\r\n";
    }
    return stage::Deck::fromFileBytes(text);
}

// From creating the picker, which copies the deck and highlights the showing
// entry in the middle, to its first frame painted on screen.
void openAndShow(benchmark::State& state)
{
    stage::resetStageState();
    stage::stageState().deck = makeDeck(state.range(0));
    stage::stageState().cursor = static_cast<stage::DeckCursor>(state.range(0) / 2);
    for (auto _ : state) {
        xuanze::TForm4 picker(nullptr);
        picker.show();
        if (!QTest::qWaitForWindowExposed(&picker))
            state.SkipWithError("the picker never appeared");
        picker.repaint();
        state.PauseTiming();
        picker.hide();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    stage::resetStageState();
}
BENCHMARK(openAndShow)->Arg(64)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// Type-ahead on a letter that no entry starts with: the list looks at every
// entry once before it gives up.
void typeAheadWithoutMatch(benchmark::State& state)
{
    stage::resetStageState();
    stage::stageState().deck = makeDeck(state.range(0));
    stage::stageState().cursor = 0;
    xuanze::TForm4 picker(nullptr);
    picker.show();
    auto* list = picker.findChild<QAbstractItemView*>(QStringLiteral("ListBox1"));
    for (auto _ : state) {
        list->keyboardSearch(QStringLiteral("x"));
        state.PauseTiming();
        list->keyboardSearch(QString()); // forget the typed text
        QTest::qWait(QApplication::keyboardInputInterval() + 10);
        state.ResumeTiming();
    }
    stage::resetStageState();
}
BENCHMARK(typeAheadWithoutMatch)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    platform::installFontSubstitutions();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

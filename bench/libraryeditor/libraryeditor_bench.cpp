// The library editor with a library of 1,000,000 entries: from the stage's
// "添加" command to the editor's first frame on the display, with the memory
// it holds while open; scrolling the list, inserting near the top and
// leaving (writing the file, the stage's reload).
//
//   xvfb-run -a -s "-screen 0 1920x1080x24 -dpi 96" build-release/bench/libraryeditor/libraryeditor_bench
#include "bench/dialogtiming.h"
#include "core/stagestate.h"
#include "libraryeditor/libraryeditor.h"
#include "platform/fonts.h"
#include "platform/gbk.h"
#include "tests/support/programfolder.h"
#include "tests/support/recordingeffects.h"
#include "windows/stagedialogs.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <memory>

namespace {

const QColor kCream(255, 251, 240);
constexpr int kEntries = 1000000;

// A library of one- to four-character entries, as a deck file.
QByteArray largeLibrary()
{
    static const char16_t kCharacters[] = u"大小多少上中下左右山人口手耳春夏秋冬日月水火土木金天门";
    const qsizetype characterCount = std::size(kCharacters) - 1;
    QByteArray bytes;
    for (int i = 0; i < kEntries; ++i) {
        QString entry;
        for (int c = 0; c <= i % 4; ++c)
            entry += QChar(kCharacters[(i * 7 + c * 3) % characterCount]);
        bytes += platform::gbk::encodeLiteral(entry) + "\r\n";
    }
    return bytes;
}

// A program folder holding the large library, with boxes answered at once.
struct Setting {
    Setting()
    {
        core::resetStageState();
        folder.writeFile(QStringLiteral("database/ziku.txt"), largeLibrary());
    }
    testing_support::ProgramFolder folder;
    testing_support::ScopedRecorder recorder;
};

std::unique_ptr<libraryeditor::LibraryEditor> openEditor()
{
    auto editor = std::make_unique<libraryeditor::LibraryEditor>(nullptr);
    editor->show();
    editor->repaint();
    QApplication::processEvents();
    return editor;
}

QListView* listOf(libraryeditor::LibraryEditor& editor)
{
    return editor.findChild<QListView*>(QStringLiteral("entryList"));
}

// Bytes the heap holds in use.
size_t heapInUse()
{
    return mallinfo2().uordblks;
}

// "添加" on the stage to the editor on the display. Counted too: the heap
// the open editor holds, per byte of the library file, beyond the stage's
// own deck, which was there before the command. With the stage's bytes
// shared, that is the list view's layout of its rows (two ints a row, 1.2
// per byte of this library) and the deck's index of entry starts.
void BM_MenuCommandToEditor(benchmark::State& state)
{
    Setting setting;
    const double fileBytes = double(setting.folder.readFile(QStringLiteral("database/ziku.txt")).size());
    stage::StageWindow stageForm(windows::stageDialogs());
    stageForm.show();
    QApplication::processEvents();
    double heldPerFileByte = 0;
    for (auto _ : state) {
        const size_t before = heapInUse();
        const auto timing = benchsupport::timeMenuCommandToDialog(
            stageForm, QStringLiteral("添加"), kCream.rgb(),
            [&](QDialog*) { heldPerFileByte = double(heapInUse() - before) / fileBytes; });
        if (!timing || !timing->shownAsExpected) {
            state.SkipWithError("the editor did not appear");
            break;
        }
        state.SetIterationTime(timing->seconds);
    }
    state.counters["held_per_file_byte"] = heldPerFileByte;
    state.counters["file_MB"] = fileBytes / 1e6;
}

// Scrolling a page at a time through the whole list, each page painted.
void BM_ScrollOnePage(benchmark::State& state)
{
    Setting setting;
    auto editor = openEditor();
    QListView* list = listOf(*editor);
    QScrollBar* bar = list->verticalScrollBar();
    for (auto _ : state) {
        bar->setValue(bar->value() >= bar->maximum() ? 0 : bar->value() + bar->pageStep());
        list->viewport()->repaint();
    }
}

// Dragging the thumb from one end of the list to the other.
void BM_ScrollEndToEnd(benchmark::State& state)
{
    Setting setting;
    auto editor = openEditor();
    QListView* list = listOf(*editor);
    for (auto _ : state) {
        list->scrollToBottom();
        list->viewport()->repaint();
        list->scrollToTop();
        list->viewport()->repaint();
    }
}

// "插入字" with the highlight on entry 5, the list repainted.
void BM_InsertNearTop(benchmark::State& state)
{
    Setting setting;
    auto editor = openEditor();
    QListView* list = listOf(*editor);
    list->selectionModel()->select(list->model()->index(5, 0), QItemSelectionModel::ClearAndSelect);
    auto* field = editor->findChild<QLineEdit*>(QStringLiteral("entryField"));
    for (auto _ : state) {
        field->setText(QStringLiteral("好"));
        editor->insertTypedEntry();
        list->viewport()->repaint();
    }
    state.counters["entries"] = static_cast<double>(editor->entries().size());
}

// " 离开了": the two messages answered at once, the file written, the
// dialog closed and the library read again by the stage.
void BM_LeaveAndSave(benchmark::State& state)
{
    Setting setting;
    for (auto _ : state) {
        state.PauseTiming();
        auto editor = openEditor();
        state.ResumeTiming();
        editor->saveAndLeave();
        state.PauseTiming();
        if (editor->isVisible() || !setting.recorder->errors().isEmpty())
            state.SkipWithError("leaving failed");
        editor.reset();
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_MenuCommandToEditor)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollOnePage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollEndToEnd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertNearTop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LeaveAndSave)->Iterations(5)->Unit(benchmark::kMillisecond);

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

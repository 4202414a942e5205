// The library editor with a library of 1,000,000 entries: from the stage's
// "添加" command to the editor's first frame on the display, with the memory
// it holds while open; scrolling the list, inserting near the top, and
// leaving: from the click to the message box that tells the file is saved.
//
//   xvfb-run -a -s "-screen 0 1920x1080x24 -dpi 96" build-release/bench/libraryeditor/libraryeditor_bench
#include "bench/dialogtiming.h"
#include "core/stagestate.h"
#include "libraryeditor/libraryeditor.h"
#include "platform/fonts.h"
#include "platform/gbk.h"
#include "platform/programdir.h"
#include "tests/support/programfolder.h"
#include "tests/support/recordingeffects.h"
#include "windows/stagedialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

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
    Setting() { folder.writeFile(QStringLiteral("database/ziku.txt"), largeLibrary()); }
    testing_support::ProgramFolder folder;
    testing_support::ScopedRecorder recorder;
};

std::unique_ptr<libraryeditor::LibraryEditor> openEditor()
{
    auto editor = std::make_unique<libraryeditor::LibraryEditor>(
        platform::dataPath(core::deckFileName(core::DeckKind::Library)), nullptr, nullptr);
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

// Watches for the first paint of a message box, as FirstPaintWatch does for
// a dialog.
class MessageBoxPaintWatch : public QObject {
public:
    explicit MessageBoxPaintWatch(std::function<void(QMessageBox*)> painted)
        : m_painted(std::move(painted))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (event->type() == QEvent::Paint && box && !m_seen) {
            m_seen = true;
            // Runs once this paint, and its flush to the display, are done.
            QTimer::singleShot(0, box, [this, box] { m_painted(box); });
        }
        return false;
    }

private:
    std::function<void(QMessageBox*)> m_painted;
    bool m_seen = false;
};

// " 离开了" on a library of a million entries with one entry added, as the
// user waits: from the click to the message box that says the library is
// saved, on the display (a real box, read back from the display server).
// The box comes once the file is written, synced and renamed into place.
void BM_LeaveClickToMessageBox(benchmark::State& state)
{
    testing_support::ProgramFolder folder;
    folder.writeFile(QStringLiteral("database/ziku.txt"), largeLibrary());
    std::vector<double> milliseconds;
    for (auto _ : state) {
        auto editor = openEditor();
        auto* field = editor->findChild<QLineEdit*>(QStringLiteral("entryField"));
        field->setText(QStringLiteral("好"));
        editor->addTypedEntry();
        QApplication::processEvents();
        auto* leave = editor->findChild<QToolButton*>(QStringLiteral("leaveButton"));
        QElapsedTimer timer;
        double seconds = -1;
        MessageBoxPaintWatch watch([&](QMessageBox* box) {
            benchsupport::displayedColour(box->mapToGlobal(QPoint(1, 1)));
            seconds = double(timer.nsecsElapsed()) / 1e9;
            box->accept();
        });
        qApp->installEventFilter(&watch);
        timer.start();
        QTest::mouseClick(leave, Qt::LeftButton);
        while (editor->isVisible() && timer.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        qApp->removeEventFilter(&watch);
        if (seconds < 0 || editor->isVisible()) {
            state.SkipWithError("no message box after leaving");
            break;
        }
        state.SetIterationTime(seconds);
        milliseconds.push_back(seconds * 1e3);
    }
    // The sync to the disk varies with what else writes: the median and
    // the slowest say more than the mean.
    if (!milliseconds.empty()) {
        // The first save of a run builds the first message box too.
        state.counters["first_ms"] = milliseconds.front();
        std::sort(milliseconds.begin(), milliseconds.end());
        state.counters["p50_ms"] = milliseconds[milliseconds.size() / 2];
        state.counters["max_ms"] = milliseconds.back();
    }
}

} // namespace

BENCHMARK(BM_MenuCommandToEditor)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollOnePage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollEndToEnd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertNearTop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LeaveClickToMessageBox)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

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

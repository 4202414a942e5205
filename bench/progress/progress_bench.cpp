// The time from the 学习记录 command to the progress window painted with its
// figures (it shows "正在读取…" until the record answers), on a record of
// 1,000,000 judgements over 10,000 entries. Run under a display
// (xvfb-run): the window must really be shown and painted.

#include "bench/benchmain.h"
#include "bench/core/bigrecord.h"
#include "core/stagestate.h"
#include "platform/fonts.h"
#include "progress/progresswindow.h"
#include "stage/stagewindow.h"
#include "tests/support/programfolder.h"
#include "tests/support/recordingeffects.h"
#include "windows/stagedialogs.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <benchmark/benchmark.h>

namespace {

QAction* menuItem(QMenu* menu, const QString& text)
{
    for (QAction* item : menu->actions())
        if (item->text() == text)
            return item;
    return nullptr;
}

// Watches for the modal window and notes when it has first painted its figures.
class PaintWatcher : public QObject {
public:
    QElapsedTimer clock;
    qint64 paintedAfterNs = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint || paintedAfterNs >= 0 || !watched->isWidgetType())
            return false;
        // The figures may come after the window's first paint: then only
        // its labels paint again.
        auto* window = qobject_cast<progress::ProgressWindow*>(static_cast<QWidget*>(watched)->window());
        if (window && QApplication::activeModalWidget() == window
            && !window->countsText().startsWith(QStringLiteral("正在读取"))) {
            paintedAfterNs = clock.nsecsElapsed();
            QTimer::singleShot(0, window, &QWidget::close);
        }
        return false;
    }
};

void BM_OpenProgressWindow(benchmark::State& state)
{
    const QString big = bench_record::bigRecord(1000000, 10000);
    testing_support::ProgramFolder folder;
    folder.writeDeck(QStringLiteral("database/ziku.txt"), {QStringLiteral("大")});
    QFile::copy(big, folder.path(QStringLiteral("database/record.sqlite")));
    testing_support::ScopedRecorder recorder;
    auto form = std::make_unique<stage::StageWindow>(windows::stageDialogs());
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get())) {
        state.SkipWithError("the stage was never shown");
        return;
    }
    QAction* command = menuItem(form->stageMenu(), QStringLiteral("学习记录"));
    if (!command) {
        state.SkipWithError("no 学习记录 item");
        return;
    }
    form->learningRecord()->flush(); // opened before timing starts

    PaintWatcher watcher;
    qApp->installEventFilter(&watcher);
    for (auto _ : state) {
        watcher.paintedAfterNs = -1;
        watcher.clock.start();
        command->trigger(); // returns once the window has painted and closed
        if (watcher.paintedAfterNs < 0) {
            state.SkipWithError("the window never painted");
            break;
        }
        state.SetIterationTime(watcher.paintedAfterNs / 1e9);
    }
    qApp->removeEventFilter(&watcher);
    form.reset();
}

BENCHMARK(BM_OpenProgressWindow)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::runWithApplication<QApplication>(argc, argv);
}

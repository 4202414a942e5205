// A long run of the stage in one process: 100,000 steps through a library of
// 1,000,000 entries, each painted, with each of the three dialogs opened from
// the menu 200 times along the way (one of each every 500 steps). Resident
// memory is sampled every 5,000 steps and printed; the run fails when memory
// grows by more than 10 % after the first 20,000 steps, by which time the
// glyph caches are full. Run by scripts/soak.sh.
#include "bench/dialogtiming.h"
#include "core/stagestate.h"
#include "platform/fonts.h"
#include "stage/stagewindow.h"
#include "tests/support/programfolder.h"
#include "tests/support/recordingeffects.h"
#include "windows/stagedialogs.h"

#include <QApplication>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <unistd.h>

namespace {

constexpr int kSteps = 100000;
constexpr int kEntries = 1000000;
constexpr int kDialogEvery = 500;
constexpr int kSampleEvery = 5000;
constexpr int kSettledAfter = 20000;
constexpr double kAllowedGrowth = 0.10;

long residentKilobytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

QByteArray libraryFile()
{
    static const char* const texts[] = {"\xB4\xF3", "\xB0\xD6\xB0\xD6", "\xC4\xE3\xD5\xE6\xB0\xF4",
                                        "\xC8\xCB\xD6\xAE\xB3\xF5\xD0\xD4",
                                        "\xBA\xC3\xBA\xC3\xD1\xA7\xCF\xB0\xCC\xEC\xCC\xEC"};
    QByteArray text;
    for (int i = 0; i < kEntries; ++i) {
        text += texts[i % 5];
        text += "\r\n";
    }
    return text;
}

bool openEachDialog(stage::StageWindow& stage)
{
    for (const QString& command :
         {QStringLiteral("设置"), QStringLiteral("添加"), QStringLiteral("定位指针")}) {
        if (!benchsupport::timeMenuCommandToDialog(stage, command, 0)) {
            std::fprintf(stderr, "no menu command %s\n", qPrintable(command));
            return false;
        }
    }
    return true;
}

// What the allocator counts as handed out, in kB. Beside resident memory it
// tells a growing heap from pages kept after they were freed; it also counts
// freed blocks parked in the allocator's per-thread caches, so it may creep
// where a heap profiler sees nothing held.
long allocatedKilobytes()
{
    const struct mallinfo2 info = mallinfo2();
    return long((info.uordblks + info.hblkhd) / 1024);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quenlo"));
    platform::installFontSubstitutions();
    const int steps = argc > 1 ? std::max(1, atoi(argv[1])) : kSteps;
    // A second argument sets how often the dialogs open; 0 never.
    const int dialogEvery = argc > 2 ? std::max(0, atoi(argv[2])) : kDialogEvery;

    testing_support::ProgramFolder folder;
    testing_support::ScopedRecorder recorder;
    folder.writeFile(QStringLiteral("database/ziku.txt"), libraryFile());
    core::resetStageState();
    stage::StageWindow form(windows::stageDialogs());
    form.setProgramEnder([] {});
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        std::fprintf(stderr, "the stage never appeared\n");

    long settled = -1;
    long largestAfter = 0;
    std::printf("%8s %12s %12s\n", "steps", "resident_kB", "allocated_kB");
    QStringList errorBoxes;
    for (int step = 1; step <= steps; ++step) {
        form.showEntry();
        QApplication::processEvents();
        if (dialogEvery > 0 && step % dialogEvery == 0 && !openEachDialog(form))
            return 2;
        // The recorder keeps every sound cue asked for, a few hundred bytes a
        // step that the program itself never holds: keep only the errors.
        errorBoxes += recorder->errors();
        recorder->clear();
        if (step % kSampleEvery == 0 || step == steps) {
            const long resident = residentKilobytes();
            std::printf("%8d %12ld %12ld\n", step, resident, allocatedKilobytes());
            std::fflush(stdout);
            if (step == kSettledAfter || (settled < 0 && step == steps))
                settled = resident;
            else if (step > kSettledAfter)
                largestAfter = std::max(largestAfter, resident);
        }
    }
    if (!errorBoxes.isEmpty())
        std::printf("error boxes shown: %lld, the first: %s\n", static_cast<long long>(errorBoxes.size()),
                    qPrintable(errorBoxes.first()));
    const double growth = settled > 0 ? double(std::max(largestAfter, settled) - settled) / double(settled)
                                      : 0;
    std::printf("growth after %d steps: %.1f %% (allowed %.0f %%)\n", kSettledAfter, growth * 100,
                kAllowedGrowth * 100);
    return growth > kAllowedGrowth || !errorBoxes.isEmpty() ? 1 : 0;
}

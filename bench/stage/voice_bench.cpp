// How late a recording starts after R, on the program's real path: the
// stage's key handler, the desktop voice recorder, Qt Multimedia's recorder
// on GStreamer and PulseAudio. R is held for a fixed time while a tone plays
// into a null sink whose monitor is the default microphone; the start delay
// is the time held less the length of the recording written:
//
//   export XDG_RUNTIME_DIR=$(mktemp -d)
//   pulseaudio -D --exit-idle-time=-1 -n --load="module-null-sink sink_name=quenlo_null"
//       --load=module-native-protocol-unix
//   pactl load-module module-virtual-source source_name=voice master=quenlo_null.monitor
//   pactl set-default-source voice
//   xvfb-run -a -s "-screen 0 1920x1080x24 -dpi 96" build-release/bench/stage/voice_bench
#include "platform/effects.h"
#include "platform/fonts.h"
#include "platform/voicerecorder.h"
#include "stage/stagewindow.h"
#include "tests/support/programfolder.h"
#include "windows/stagedialogs.h"

#include <QApplication>
#include <QAudioDecoder>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

#include <benchmark/benchmark.h>

namespace {

constexpr int kHeldMs = 2000;

void sendKey(QWidget* to, QEvent::Type type)
{
    QKeyEvent event(type, Qt::Key_R, Qt::NoModifier, QStringLiteral("r"));
    QApplication::sendEvent(to, &event);
}

// The length of the audio in `path`, in milliseconds; -1 when unreadable.
double recordedMs(const QString& path)
{
    QAudioDecoder decoder;
    decoder.setSource(QUrl::fromLocalFile(path));
    qint64 microseconds = 0;
    bool done = false;
    QObject::connect(&decoder, &QAudioDecoder::bufferReady,
                     [&] { microseconds += decoder.read().duration(); });
    QObject::connect(&decoder, &QAudioDecoder::finished, [&] { done = true; });
    QObject::connect(&decoder, qOverload<QAudioDecoder::Error>(&QAudioDecoder::error), [&] {
        microseconds = -1000;
        done = true;
    });
    decoder.start();
    if (!QTest::qWaitFor([&] { return done; }, 10000))
        return -1;
    return microseconds / 1000.0;
}

// Each iteration records anew; the first pays for setting up the recorder.
void BM_RKeyToRecordingStart(benchmark::State& state)
{
    testing_support::ProgramFolder folder;
    folder.writeDeck(QStringLiteral("database/ziku.txt"), {QStringLiteral("大")});
    stage::StageWindow stage(windows::stageDialogs());
    stage.show();
    QTest::qWait(300);
    platform::VoiceRecorder& recorder = platform::effects().voiceRecorder();
    for (auto _ : state) {
        QSignalSpy finished(&recorder, &platform::VoiceRecorder::finished);
        QSignalSpy failed(&recorder, &platform::VoiceRecorder::failed);
        sendKey(&stage, QEvent::KeyPress);
        QTest::qWait(kHeldMs);
        sendKey(&stage, QEvent::KeyRelease);
        if (!QTest::qWaitFor([&] { return !finished.isEmpty() || !failed.isEmpty(); }, 10000)
            || finished.isEmpty()) {
            state.SkipWithError("no recording: is there a microphone (see the comment above)?");
            return;
        }
        const double length = recordedMs(finished.first().first().toString());
        state.SetIterationTime((kHeldMs - length) / 1000.0);
        state.counters["recorded_ms"] = length;
    }
}
BENCHMARK(BM_RKeyToRecordingStart)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

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

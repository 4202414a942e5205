// How soon the parent's voice is recorded after R and heard after V, on the
// program's real path: the stage's key handler, the desktop voice recorder,
// Qt Multimedia on GStreamer and PulseAudio. A tone plays into a null sink
// whose monitor is the default microphone, so that a recording holds sound
// from the moment capture really began:
//
//   export XDG_RUNTIME_DIR=$(mktemp -d)
//   pulseaudio -D --exit-idle-time=-1 -n --load="module-null-sink sink_name=quenlo_null"
//       --load=module-native-protocol-unix
//   pactl load-module module-virtual-source source_name=voice master=quenlo_null.monitor
//   pactl set-default-source voice
//   pactl set-default-sink quenlo_null
//   xvfb-run -a -s "-screen 0 1920x1080x24 -dpi 96" build-release/bench/stage/voice_bench
//
// Recording: "lost" is how much of the time R was held is missing from the
// recording (the recorder pads a late start with silence, so the tone's
// onset is looked for, not the length), "meter" is when the level meter
// shows. The first R after start runs in a fresh process each time.
// Playback: from V to the tone coming back out of the sound server (heard on
// the sink's monitor, so its capture latency is included), and to the
// recording's first samples leaving for the output ("handed"). Every wait has a limit; without a sound
// server the benchmark says so and fails.
#include "platform/effects.h"
#include "platform/fonts.h"
#include "platform/soundplayer.h"
#include "platform/voicerecorder.h"
#include "stage/parentvoice.h"
#include "stage/stagewindow.h"
#include "tests/support/programfolder.h"
#include "windows/stagedialogs.h"

#include <QApplication>
#include <QAudioDecoder>
#include <QAudioSink>
#include <QAudioSource>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMediaDevices>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QtMath>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>
#include <vector>

namespace {

constexpr int kHeldMs = 1500;
constexpr int kToneRate = 48000;
constexpr int kRepetitions = 7;
constexpr qint16 kHeard = 3000; // well above silence, well below the tone
const char* const kFirstRecordingMode = "--first-recording";

// Ends the process when one step of it takes far too long: a sound server
// that stops answering must not leave the benchmark hanging.
class Watchdog {
public:
    Watchdog()
    {
        std::thread([this] {
            while (true) {
                std::this_thread::sleep_for(std::chrono::seconds(1));
                if (++m_idleSeconds > kLimitSeconds) {
                    std::fprintf(stderr, "voice_bench: no progress for %d s (%s); giving up\n", kLimitSeconds,
                                 m_step.load());
                    std::_Exit(3);
                }
            }
        }).detach();
    }
    void step(const char* what)
    {
        m_step = what;
        m_idleSeconds = 0;
    }

private:
    static constexpr int kLimitSeconds = 60;
    std::atomic<int> m_idleSeconds {0};
    std::atomic<const char*> m_step {"start"};
};

Watchdog& watchdog()
{
    static Watchdog instance;
    return instance;
}

// Waits for `done`, looking often; false after `limitMs`.
template <typename Done> bool waitFor(Done done, int limitMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return true;
}

double elapsedMs(const QElapsedTimer& timer)
{
    return timer.nsecsElapsed() / 1e6;
}

// A sine wave without end, for the microphone to hear.
class Tone final : public QIODevice {
public:
    Tone()
    {
        open(QIODevice::ReadOnly);
        QAudioFormat format;
        format.setSampleRate(kToneRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        m_sink = std::make_unique<QAudioSink>(QMediaDevices::defaultAudioOutput(), format);
        m_sink->start(this);
    }
    ~Tone() override { m_sink->stop(); }

protected:
    qint64 readData(char* data, qint64 size) override
    {
        auto* samples = reinterpret_cast<qint16*>(data);
        for (qint64 i = 0; i < size / 2; ++i, ++m_sample)
            samples[i] = qint16(12000 * qSin(2 * M_PI * 440 * m_sample / kToneRate));
        return size / 2 * 2;
    }
    qint64 writeData(const char*, qint64) override { return -1; }
    qint64 bytesAvailable() const override { return 1 << 20; }
    bool isSequential() const override { return true; }

private:
    std::unique_ptr<QAudioSink> m_sink;
    qint64 m_sample = 0;
};

struct Decoded {
    double lengthMs = -1;
    double onsetMs = -1; // the first loud sample
};

Decoded decode(const QString& path)
{
    QAudioDecoder decoder;
    QAudioFormat format;
    format.setSampleRate(kToneRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    decoder.setAudioFormat(format);
    decoder.setSource(QUrl::fromLocalFile(path));
    qint64 samples = 0;
    std::optional<qint64> onset;
    bool done = false;
    QObject::connect(&decoder, &QAudioDecoder::bufferReady, [&] {
        const QAudioBuffer buffer = decoder.read();
        const qint16* data = buffer.constData<qint16>();
        for (qsizetype i = 0; i < buffer.sampleCount() && !onset; ++i) {
            if (std::abs(data[i]) > kHeard)
                onset = samples + i;
        }
        samples += buffer.sampleCount();
    });
    QObject::connect(&decoder, &QAudioDecoder::finished, [&] { done = true; });
    QObject::connect(&decoder, qOverload<QAudioDecoder::Error>(&QAudioDecoder::error), [&] { done = true; });
    decoder.start();
    if (!waitFor([&] { return done; }, 10000) || samples == 0)
        return {};
    return {samples * 1000.0 / kToneRate, onset ? *onset * 1000.0 / kToneRate : -1};
}

void sendKey(QWidget* to, QEvent::Type type, Qt::Key key, const QString& text)
{
    QKeyEvent event(type, key, Qt::NoModifier, text);
    QApplication::sendEvent(to, &event);
}

// A stage over two recorded (or recordable) entries in a folder of its own.
struct Stage {
    Stage()
    {
        // A failed recording's message box would wait for a click forever.
        QObject::connect(&boxCloser, &QTimer::timeout, [] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                std::fprintf(stderr, "voice_bench: closed a message box\n");
                box->close();
            }
        });
        boxCloser.start(200);
        window.show();
        QTest::qWait(3000); // the adult looks before pressing R; the recorder sets up meanwhile
    }
    platform::VoiceRecorder& recorder() { return platform::effects().voiceRecorder(); }

    static bool writeDeck(const testing_support::ProgramFolder& folder)
    {
        folder.writeDeck(QStringLiteral("database/ziku.txt"), {QStringLiteral("大"), QStringLiteral("小")});
        return true;
    }

    testing_support::ProgramFolder folder;
    bool deckWritten = writeDeck(folder); // before the stage reads it
    stage::StageWindow window {windows::stageDialogs()};
    QTimer boxCloser;
};

struct RecordingTimes {
    double lostMs = -1;  // of the time held, not in the recording
    double meterMs = -1; // R to the meter showing that sound arrives
};

// Holds R for kHeldMs, then ends the recording the way releasing R does.
std::optional<RecordingTimes> recordOnce(Stage& stage)
{
    watchdog().step("recording");
    platform::VoiceRecorder& recorder = stage.recorder();
    QString written;
    bool failed = false;
    double meterMs = -1;
    QElapsedTimer held;
    const auto finished = QObject::connect(&recorder, &platform::VoiceRecorder::finished,
                                           [&](const QString& path) { written = path; });
    const auto failure = QObject::connect(&recorder, &platform::VoiceRecorder::failed,
                                          [&] { failed = true; });
    const auto capturing = QObject::connect(&recorder, &platform::VoiceRecorder::capturing,
                                            [&] { meterMs = elapsedMs(held); });
    held.start();
    sendKey(&stage.window, QEvent::KeyPress, Qt::Key_R, QStringLiteral("r"));
    waitFor([&] { return failed; }, kHeldMs);
    const double stoppedAtMs = elapsedMs(held);
    stage.window.parentVoice().stopRecording();
    waitFor([&] { return failed || !written.isEmpty(); }, 10000);
    QObject::disconnect(finished);
    QObject::disconnect(failure);
    QObject::disconnect(capturing);
    if (written.isEmpty())
        return std::nullopt;
    const Decoded sound = decode(written);
    if (sound.lengthMs < 0 || sound.onsetMs < 0)
        return std::nullopt;
    return RecordingTimes {stoppedAtMs - (sound.lengthMs - sound.onsetMs), meterMs};
}

double percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    const auto index = std::min(values.size() - 1, size_t(std::ceil(share * values.size())) - 1);
    return values[index];
}

void report(benchmark::State& state, const char* name, const std::vector<double>& values)
{
    if (values.empty())
        return;
    state.counters[std::string(name) + "_med"] = percentile(values, 0.5);
    state.counters[std::string(name) + "_p95"] = percentile(values, 0.95);
}

// The first R of a run, each in a fresh process: the recorder was set up
// while the stage stood idle, the microphone opens at R.
void BM_FirstRAfterStart(benchmark::State& state)
{
    std::vector<double> lost;
    std::vector<double> meter;
    for (auto _ : state) {
        watchdog().step("a first recording in its own process");
        QProcess run;
        run.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kFirstRecordingMode)});
        if (!run.waitForFinished(30000) || run.exitCode() != 0) {
            run.kill();
            run.waitForFinished(3000);
            state.SkipWithError(("no first recording: " + run.readAllStandardError().toStdString()).c_str());
            return;
        }
        const QList<QByteArray> figures = run.readAllStandardOutput().trimmed().split(' ');
        lost.push_back(figures.value(0).toDouble());
        meter.push_back(figures.value(1).toDouble());
        state.SetIterationTime(lost.back() / 1000);
    }
    report(state, "lost", lost);
    report(state, "meter", meter);
}
BENCHMARK(BM_FirstRAfterStart)->UseManualTime()->Iterations(kRepetitions)->Unit(benchmark::kMillisecond);

// R again while the microphone is still open from the recording before.
void BM_FollowingR(benchmark::State& state)
{
    Tone tone;
    Stage stage;
    if (!recordOnce(stage)) {
        state.SkipWithError("no recording: is there a microphone (see the comment above)?");
        return;
    }
    std::vector<double> lost;
    std::vector<double> meter;
    for (auto _ : state) {
        QTest::qWait(300);
        const std::optional<RecordingTimes> times = recordOnce(stage);
        if (!times) {
            state.SkipWithError("a following recording failed");
            return;
        }
        lost.push_back(times->lostMs);
        meter.push_back(times->meterMs);
        state.SetIterationTime(times->lostMs / 1000);
    }
    report(state, "lost", lost);
    report(state, "meter", meter);
}
BENCHMARK(BM_FollowingR)->UseManualTime()->Iterations(kRepetitions)->Unit(benchmark::kMillisecond);

// Listens to the sound server's output (the default microphone is its
// monitor) for the first loud sample.
class Listener {
public:
    Listener()
    {
        QAudioFormat format;
        format.setSampleRate(kToneRate);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        m_source = std::make_unique<QAudioSource>(QMediaDevices::defaultAudioInput(), format);
        m_source->setBufferSize(kToneRate / 100 * 2); // 10 ms
        m_samples = m_source->start();
    }
    ~Listener() { m_source->stop(); }
    // Forgets what it heard so far.
    void reset()
    {
        if (m_samples)
            m_samples->readAll();
    }
    bool heardSound()
    {
        if (!m_samples)
            return false;
        const QByteArray bytes = m_samples->readAll();
        const auto* samples = reinterpret_cast<const qint16*>(bytes.constData());
        return std::any_of(samples, samples + bytes.size() / 2,
                           [](qint16 s) { return std::abs(s) > kHeard; });
    }

private:
    std::unique_ptr<QAudioSource> m_source;
    QIODevice* m_samples = nullptr;
};

struct PlaybackTimes {
    double movingMs = -1; // V to the recording's first samples going to the output
    double heardMs = -1;  // V to the sound coming out of the server
};

std::optional<PlaybackTimes> playOnce(Stage& stage, Listener& listener)
{
    watchdog().step("playing");
    platform::CueStream& output = platform::desktopSoundPlayer().stream();
    const auto handedBefore = output.lastHandover();
    listener.reset();
    PlaybackTimes times;
    QElapsedTimer sinceV;
    sinceV.start();
    const auto vAt = platform::CueStream::Clock::now();
    sendKey(&stage.window, QEvent::KeyPress, Qt::Key_V, QStringLiteral("v"));
    const bool ok = waitFor(
        [&] {
            const auto handed = output.lastHandover();
            if (times.movingMs < 0 && handed && (!handedBefore || handed->handed != handedBefore->handed))
                times.movingMs = std::chrono::duration<double, std::milli>(handed->handed - vAt).count();
            if (times.heardMs < 0 && listener.heardSound())
                times.heardMs = elapsedMs(sinceV);
            return times.movingMs >= 0 && times.heardMs >= 0;
        },
        3000);
    // Played to the end, so that the next V starts from silence.
    waitFor([&] { return !output.isPlaying(); }, 5000);
    QTest::qWait(200);
    if (!ok && times.heardMs < 0)
        std::fprintf(stderr,
                     "voice_bench: V: handed to the output after %.0f ms, sound heard after %.0f ms "
                     "(-1: never)\n",
                     times.movingMs, times.heardMs);
    return times.heardMs >= 0 ? std::optional(times) : std::nullopt;
}

// V on an entry just shown (its recording loaded as it showed), then V again.
void BM_VKeyToPlayback(benchmark::State& state)
{
    std::optional<Tone> tone(std::in_place);
    Stage stage;
    {
        for (int entry = 0; entry < 2; ++entry) {
            // What is timed here is playback: a cold start that records
            // nothing (see BM_FirstRAfterStart) is tried again.
            bool recorded = false;
            for (int attempt = 0; attempt < 3 && !recorded; ++attempt)
                recorded = recordOnce(stage).has_value();
            if (!recorded) {
                state.SkipWithError("no recording: is there a microphone (see the comment above)?");
                return;
            }
            sendKey(&stage.window, QEvent::KeyPress, Qt::Key_Return, QStringLiteral("\r"));
        }
    }
    tone.reset();
    QTest::qWait(500); // the tone has left the monitor
    Listener listener;
    std::vector<double> first;
    std::vector<double> firstHeard;
    std::vector<double> again;
    std::vector<double> againHeard;
    for (auto _ : state) {
        sendKey(&stage.window, QEvent::KeyPress, Qt::Key_Return, QStringLiteral("\r"));
        QTest::qWait(300); // the adult looks at the entry
        const std::optional<PlaybackTimes> firstV = playOnce(stage, listener);
        const std::optional<PlaybackTimes> secondV = playOnce(stage, listener);
        if (!firstV || !secondV) {
            state.SkipWithError("V played nothing that was heard");
            return;
        }
        firstHeard.push_back(firstV->heardMs);
        againHeard.push_back(secondV->heardMs);
        if (firstV->movingMs >= 0)
            first.push_back(firstV->movingMs);
        if (secondV->movingMs >= 0)
            again.push_back(secondV->movingMs);
        state.SetIterationTime(firstV->heardMs / 1000);
    }
    report(state, "first_heard", firstHeard);
    report(state, "again_heard", againHeard);
    report(state, "first_handed", first);
    report(state, "again_handed", again);
}
BENCHMARK(BM_VKeyToPlayback)->UseManualTime()->Iterations(kRepetitions)->Unit(benchmark::kMillisecond);

// One first recording of a fresh run, its figures on standard output.
int recordFirstAndReport()
{
    Tone tone;
    Stage stage;
    const std::optional<RecordingTimes> times = recordOnce(stage);
    if (!times) {
        std::fprintf(stderr, "the recording failed or holds no sound\n");
        return 1;
    }
    std::printf("%.1f %.1f\n", times->lostMs, times->meterMs);
    return 0;
}

bool soundServerAnswers()
{
    return !QMediaDevices::audioInputs().isEmpty() && !QMediaDevices::audioOutputs().isEmpty();
}

} // namespace

int main(int argc, char** argv)
{
    watchdog().step("start");
    QApplication app(argc, argv);
    platform::installFontSubstitutions();
    if (!soundServerAnswers()) {
        std::fprintf(stderr, "voice_bench: no sound server with a microphone and a speaker; "
                             "start one as the comment at the top of voice_bench.cpp shows\n");
        return 2;
    }
    if (argc > 1 && qstrcmp(argv[1], kFirstRecordingMode) == 0)
        return recordFirstAndReport();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

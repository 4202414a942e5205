// Time from a click on the stage to its step cue leaving the audio system,
// on the program's real path: the stage's click handler, the desktop sound
// player, its output stream into PulseAudio. A null sink stands in for the
// sound card:
//
//   export XDG_RUNTIME_DIR=$(mktemp -d)
//   pulseaudio -D --exit-idle-time=-1 -n --load="module-null-sink sink_name=quenlo_null"
//       --load=module-native-protocol-unix
//   xvfb-run -a -s "-screen 0 1920x1080x24 -dpi 96" build-release/bench/stage/cue_bench
//
// The second benchmark waits for the player to suspend its stream before
// each click (half a minute each; --benchmark_filter=BM_ClickToStepCue/ skips
// it). Each iteration's time is when the cue's first sample leaves the sink:
//   handed_ms  click → the cue's first samples taken by the output stream
//              (in process, exact);
//   queued_ms  the sound the program's stream holds ahead of them, and
//   sink_ms    the sink's own delay, both as the server reports them for the
//              program's stream right after the hand-over.
// As a check, monitor_ms is the click → the cue's first samples arriving from
// the sink's monitor: no earlier than the sink rendered them, later by the
// recording's own delivery (a millisecond fragment plus the transport).
#include "bench/benchmain.h"
#include "core/stagestate.h"
#include "platform/fonts.h"
#include "platform/soundplayer.h"
#include "stage/stagewindow.h"
#include "tests/support/programfolder.h"
#include "windows/stagedialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTest>

#include <benchmark/benchmark.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/simple.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

constexpr const char* kSink = "quenlo_null";

// Notes when sound first arrives from the sink's monitor after arm().
class MonitorListener {
public:
    MonitorListener()
    {
        const pa_sample_spec spec {PA_SAMPLE_S16LE, kRate, 1};
        pa_buffer_attr attributes {};
        attributes.maxlength = uint32_t(-1);
        attributes.fragsize = kFrame * sizeof(int16_t);
        const std::string monitor = std::string(kSink) + ".monitor";
        int error = 0;
        m_stream = pa_simple_new(nullptr, "cue_bench", PA_STREAM_RECORD, monitor.c_str(), "monitor", &spec,
                                 nullptr, &attributes, &error);
        if (!m_stream) {
            std::fprintf(stderr, "cannot record %s: %s\n", monitor.c_str(), pa_strerror(error));
            std::exit(1);
        }
        m_thread = std::thread([this] { listen(); });
    }

    ~MonitorListener()
    {
        m_stop = true;
        m_thread.join();
        pa_simple_free(m_stream);
    }

    void arm()
    {
        m_heard = std::nullopt;
        m_armed = true;
    }

    std::optional<Clock::time_point> heard() const
    {
        if (m_armed)
            return std::nullopt;
        return m_heard;
    }

private:
    static constexpr uint32_t kRate = 44100;
    static constexpr size_t kFrame = 44; // one millisecond
    static constexpr int kLoud = 300;

    void listen()
    {
        std::vector<int16_t> frame(kFrame);
        while (!m_stop) {
            int error = 0;
            if (pa_simple_read(m_stream, frame.data(), frame.size() * sizeof(int16_t), &error) < 0)
                return;
            const Clock::time_point arrived = Clock::now();
            if (!m_armed)
                continue;
            for (size_t i = 0; i < frame.size(); ++i) {
                if (std::abs(frame[i]) < kLoud)
                    continue;
                // The read returned once the frame's last sample was there.
                m_heard = arrived - std::chrono::microseconds((frame.size() - i) * 1000000 / kRate);
                m_armed = false;
                break;
            }
        }
    }

    pa_simple* m_stream = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_stop {false};
    std::atomic<bool> m_armed {false};
    std::optional<Clock::time_point> m_heard; // written before m_armed is cleared
};

// Asks the server how far behind this process's playback stream is heard.
class ServerProbe {
public:
    struct StreamLatency {
        pa_usec_t queued = 0;
        pa_usec_t sink = 0;
    };

    ServerProbe()
        : m_loop(pa_mainloop_new())
        , m_context(pa_context_new(pa_mainloop_get_api(m_loop), "cue_bench probe"))
    {
        pa_context_connect(m_context, nullptr, PA_CONTEXT_NOFLAGS, nullptr);
        while (true) {
            const pa_context_state_t state = pa_context_get_state(m_context);
            if (state == PA_CONTEXT_READY)
                break;
            if (!PA_CONTEXT_IS_GOOD(state)) {
                std::fprintf(stderr, "cannot reach the sound server\n");
                std::exit(1);
            }
            pa_mainloop_iterate(m_loop, 1, nullptr);
        }
    }

    ~ServerProbe()
    {
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        pa_mainloop_free(m_loop);
    }

    std::optional<StreamLatency> ownStream()
    {
        Query query;
        pa_operation* operation = pa_context_get_sink_input_info_list(m_context, &ServerProbe::onSinkInput,
                                                                      &query);
        while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING)
            pa_mainloop_iterate(m_loop, 1, nullptr);
        pa_operation_unref(operation);
        return query.found;
    }

private:
    struct Query {
        std::optional<StreamLatency> found;
    };

    static void onSinkInput(pa_context*, const pa_sink_input_info* info, int eol, void* userdata)
    {
        if (eol || !info)
            return;
        const char* pid = pa_proplist_gets(info->proplist, "application.process.id");
        if (pid && std::atol(pid) == long(getpid()))
            static_cast<Query*>(userdata)->found = StreamLatency {info->buffer_usec, info->sink_usec};
    }

    pa_mainloop* m_loop;
    pa_context* m_context;
};

void click(stage::StageWindow& form)
{
    // The middle of the widest run of the shape: well inside a stroke.
    QRect widest;
    for (const QRect& rect : form.shape()) {
        if (rect.width() > widest.width())
            widest = rect;
    }
    const QPoint at = widest.center();
    QMouseEvent press(QEvent::MouseButtonPress, at, form.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
    QMouseEvent release(QEvent::MouseButtonRelease, at, form.mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        {});
    QApplication::sendEvent(&form, &press);
    QApplication::sendEvent(&form, &release);
}

// The hand-over of the cue asked for after `since`, waiting for it a while.
std::optional<platform::CueStream::Handover> handoverAfter(Clock::time_point since)
{
    QElapsedTimer timeout;
    timeout.start();
    while (timeout.elapsed() < 1000) {
        const auto handover = platform::desktopSoundPlayer().stream().lastHandover();
        if (handover && handover->asked >= since)
            return handover;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return std::nullopt;
}

std::optional<Clock::time_point> monitorAfter(const MonitorListener& listener)
{
    QElapsedTimer timeout;
    timeout.start();
    while (timeout.elapsed() < 2000) {
        if (const auto heard = listener.heard())
            return heard;
        QApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return std::nullopt;
}

// Clicks the stage once an iteration, `pause` after the last cue began.
void measureClicks(benchmark::State& state, std::chrono::milliseconds pause)
{
    testing_support::ProgramFolder folder;
    folder.copySounds();
    folder.writeDeck(QStringLiteral("database/ziku.txt"), {QStringLiteral("大"), QStringLiteral("口")});
    stage::StageWindow form(windows::stageDialogs());
    form.show();
    QTest::qWait(1500); // the start-up chime and the first step's cue have ended
    if (!platform::desktopSoundPlayer().hasOutput()) {
        state.SkipWithError("the sound player has no output stream");
        return;
    }
    ServerProbe probe;
    MonitorListener listener;

    double handedTotal = 0, queuedTotal = 0, sinkTotal = 0, monitorTotal = 0;
    for (auto _ : state) {
        QTest::qWait(int(pause.count()));
        listener.arm();
        const Clock::time_point clicked = Clock::now();
        click(form);
        const auto handover = handoverAfter(clicked);
        const auto latency = probe.ownStream();
        const auto monitored = monitorAfter(listener);
        if (!handover || !latency || !monitored) {
            state.SkipWithError("the cue was not played");
            break;
        }
        const double handed = Milliseconds(handover->handed - clicked).count();
        const double queued = latency->queued / 1000.0;
        const double sink = latency->sink / 1000.0;
        handedTotal += handed;
        queuedTotal += queued;
        sinkTotal += sink;
        monitorTotal += Milliseconds(*monitored - clicked).count();
        state.SetIterationTime((handed + queued + sink) / 1000.0);
    }
    const double iterations = double(state.iterations());
    state.counters["handed_ms"] = handedTotal / iterations;
    state.counters["queued_ms"] = queuedTotal / iterations;
    state.counters["sink_ms"] = sinkTotal / iterations;
    state.counters["monitor_ms"] = monitorTotal / iterations;
}

// Clicks a second apart: each cue has ended and the stream runs on silence.
void BM_ClickToStepCue(benchmark::State& state)
{
    measureClicks(state, std::chrono::milliseconds(1000));
}

// Clicks after a silence long enough for the player to suspend its stream:
// the cue resumes it first.
void BM_ClickToStepCueAfterLongSilence(benchmark::State& state)
{
    measureClicks(state, std::chrono::milliseconds(32000));
}

BENCHMARK(BM_ClickToStepCue)->UseManualTime()->Iterations(20)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClickToStepCueAfterLongSilence)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::runWithApplication<QApplication>(argc, argv);
}

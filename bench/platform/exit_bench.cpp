// Time from Esc on the stage to the end of the program's process: with no
// sound server at all and with a private PulseAudio server on a null sink,
// each on a quiet machine and on one whose two cores are kept busy by niced
// loops. The time includes starting xdotool to press the key (a few ms).
// Besides the mean it reports the slowest exit and the exits that crashed.
// QUENLO_PROGRAM=<path> times another build of the program.
//
//   xvfb-run -a -s "-screen 0 1920x1080x24 -dpi 96 -nolisten tcp" build/bench/platform/exit_bench
#include "tests/e2e/programrun.h"
#include "tests/support/programfolder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace {

using e2e::runTool;

constexpr QRgb kGlyphColour = qRgb(255, 0, 0);

// Busy loops on every core, niced so that they take what the rest leave.
class BusyMachine {
public:
    explicit BusyMachine(bool busy)
    {
        for (int core = 0; busy && core < 2; ++core) {
            auto loop = std::make_unique<QProcess>();
            loop->start(QStringLiteral("nice"),
                        {QStringLiteral("-n"), QStringLiteral("10"), QStringLiteral("sh"),
                         QStringLiteral("-c"), QStringLiteral("while :; do :; done")});
            loop->waitForStarted();
            m_loops.push_back(std::move(loop));
        }
    }
    ~BusyMachine()
    {
        for (const auto& loop : m_loops) {
            loop->kill();
            loop->waitForFinished();
        }
    }

private:
    std::vector<std::unique_ptr<QProcess>> m_loops;
};

// An environment in which no sound server can be found or started: the
// socket named does not exist, and a named server is never spawned.
QProcessEnvironment withoutSoundServer(const QTemporaryDir& emptyDir)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), emptyDir.path());
    environment.insert(QStringLiteral("PULSE_SERVER"),
                       QStringLiteral("unix:") + emptyDir.filePath(QStringLiteral("none")));
    return environment;
}

QString stageWindow(const QProcess& process)
{
    const QString pid = QString::number(process.processId());
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
        const QString id = runTool(QStringLiteral("xdotool"),
                                   {QStringLiteral("search"), QStringLiteral("--all"),
                                    QStringLiteral("--pid"), pid, QStringLiteral("--name"),
                                    QStringLiteral("^Quenlo$")})
                               .section(u'\n', 0, 0);
        if (!id.isEmpty() && !e2e::pixelsOf(e2e::grabScreen(), kGlyphColour).isEmpty())
            return id;
        QTest::qWait(50);
    }
    return {};
}

void BM_EscToExit(benchmark::State& state)
{
    const bool withServer = state.range(0) != 0;
    std::optional<e2e::SoundServer> server;
    if (withServer) {
        server.emplace();
        if (!server->isRunning()) {
            state.SkipWithError(
                (QStringLiteral("no private sound server: ") + server->failure()).toStdString().c_str());
            return;
        }
    }
    testing_support::ProgramFolder folder;
    const QString program = folder.path(QStringLiteral("quenlo"));
    QFile::copy(qEnvironmentVariable("QUENLO_PROGRAM", QStringLiteral(QUENLO_BINARY_DIR "/quenlo")), program);
    QFile::setPermissions(program, QFile::permissions(program) | QFileDevice::ExeOwner);
    folder.copySounds();
    folder.writeDeck(QStringLiteral("database/ziku.txt"), {QStringLiteral("大"), QStringLiteral("小")});
    folder.writeSettings(QStringLiteral("[颜色]\nxuanze=2\ndanyi=clRed\n"));
    const QTemporaryDir emptyDir;
    const QProcessEnvironment environment = withServer ? server->clientEnvironment()
                                                       : withoutSoundServer(emptyDir);
    const BusyMachine load(state.range(1) != 0);

    double slowest = 0;
    int crashes = 0;
    for (auto _ : state) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program, {});
        const QString window = stageWindow(process);
        if (window.isEmpty()) {
            state.SkipWithError("the stage did not appear");
            break;
        }
        runTool(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
        QElapsedTimer timer;
        timer.start();
        runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")});
        if (!process.waitForFinished(10000)) {
            state.SkipWithError("the program did not end within 10 s");
            process.kill();
            process.waitForFinished();
            break;
        }
        const double seconds = timer.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
        slowest = std::max(slowest, seconds);
        crashes += process.exitStatus() == QProcess::CrashExit ? 1 : 0;
        QTest::qWait(100); // let the window go before the next start
    }
    state.counters["slowest_ms"] = slowest * 1000;
    state.counters["crashes"] = crashes;
}

BENCHMARK(BM_EscToExit)
    ->ArgNames({"sound_server", "busy"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->UseManualTime()
    ->Iterations(12)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

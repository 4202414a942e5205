// Time from starting the program to its first glyph on screen: the program
// is started in a temporary program folder and the screen is looked at, once
// a millisecond, at a pixel of the first glyph's strokes until it turns the
// glyph colour. Between looks the benchmark sleeps, leaving the processors
// to the program and the display server: a figure is at most about a
// millisecond late.
//
//   xvfb-run -a -s "-screen 0 1920x1080x24 -dpi 96" build-release/bench/stage/startup_bench
#include "bench/benchmain.h"
#include "platform/fonts.h"
#include "stage/glyphrenderer.h"
#include "tests/support/programfolder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QThread>

#include <benchmark/benchmark.h>

namespace {

// A pixel well inside a stroke of 大 drawn with the default settings.
QPoint strokePixel()
{
    const QFont font = stage::drawingFont(QStringLiteral("华文楷体"), 600, 96);
    const QRegion shape = stage::textShape(QStringLiteral("大"), font, QPointF(100, -100),
                                           QGuiApplication::primaryScreen()->size());
    QRect widest;
    for (const QRect& rect : shape) {
        if (rect.width() > widest.width())
            widest = rect;
    }
    return widest.center();
}

constexpr unsigned long kLookInterval = 1000; // microseconds

bool showsColour(QPoint at, QRgb colour)
{
    const QImage pixel = QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage();
    return (pixel.pixel(0, 0) & 0xFFFFFF) == (colour & 0xFFFFFF);
}

void BM_StartToFirstGlyph(benchmark::State& state)
{
    testing_support::ProgramFolder folder;
    const QString program = folder.path(QStringLiteral("quenlo"));
    QFile::copy(QStringLiteral(QUENLO_BINARY_DIR "/quenlo"), program);
    QFile::setPermissions(program, QFile::permissions(program) | QFileDevice::ExeOwner);
    folder.copySounds();
    folder.writeDeck(QStringLiteral("database/ziku.txt"), {QStringLiteral("大"), QStringLiteral("小")});
    folder.writeSettings(QStringLiteral("[颜色]\nxuanze=2\ndanyi=clRed\n"));
    const QPoint at = strokePixel();
    const QRgb red = qRgb(255, 0, 0);

    for (auto _ : state) {
        QProcess process;
        QElapsedTimer timer;
        timer.start();
        process.start(program, {});
        while (!showsColour(at, red) && timer.elapsed() < 10000)
            QThread::usleep(kLookInterval);
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        process.kill();
        process.waitForFinished();
        QThread::msleep(100); // let the window go before the next start
    }
}

BENCHMARK(BM_StartToFirstGlyph)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::runWithApplication<QGuiApplication>(argc, argv);
}

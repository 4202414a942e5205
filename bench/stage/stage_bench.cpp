// One step of the stage (path, region, shape, paint) for each size class,
// against the floor of rasterising the same glyphs once; and loading a
// library of a million entries against reading its bytes.
//
// Run under a virtual screen of the size to measure, e.g.
//   xvfb-run -a -s "-screen 0 3840x2160x24 -dpi 96" build-release/bench/stage/stage_bench
#include "core/deck.h"
#include "core/stagestate.h"
#include "platform/fonts.h"
#include "platform/gbk.h"
#include "stage/glyphrenderer.h"
#include "stage/stagewindow.h"
#include "tests/support/programfolder.h"
#include "tests/support/recordingeffects.h"
#include "windows/stagedialogs.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace {

struct ClassSample {
    const char16_t* text;
    settings::WordClass wordClass;
};

const ClassSample kSamples[] = {
    {u"大", settings::WordClass::One},
    {u"爸爸", settings::WordClass::Two},
    {u"你真棒", settings::WordClass::Three},
    {u"春夏秋冬", settings::WordClass::Four},
    {u"好好学习天天向上", settings::WordClass::Many},
};

QFont fontFor(settings::WordClass wordClass)
{
    const settings::StageSettings defaults = core::stageState().settings;
    return stage::drawingFont(QStringLiteral("华文楷体"), defaults.size(wordClass), 96);
}

QPoint placeFor(settings::WordClass wordClass)
{
    const settings::Position place = core::stageState().settings.position(wordClass);
    return {place.x, place.y};
}

// The floor: the glyphs rasterised once into a bitmap of their own size.
void BM_RasteriseOnce(benchmark::State& state)
{
    const ClassSample& sample = kSamples[state.range(0)];
    const QFont font = fontFor(sample.wordClass);
    const QString text = QString::fromUtf16(sample.text);
    const QRect bounds = QFontMetrics(font).boundingRect(text);
    for (auto _ : state) {
        // As a text renderer draws them: antialiased, in colour.
        QImage bitmap(bounds.size(), QImage::Format_ARGB32_Premultiplied);
        bitmap.fill(Qt::transparent);
        QPainter painter(&bitmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setFont(font);
        painter.setPen(QColor(128, 0, 128));
        painter.drawText(-bounds.topLeft(), text);
        painter.end();
        benchmark::DoNotOptimize(bitmap.constBits());
    }
    state.SetLabel(QString::fromUtf16(sample.text).toStdString());
}

// The shape alone: outlines, coverage and region for the whole screen.
void BM_GlyphShape(benchmark::State& state)
{
    const ClassSample& sample = kSamples[state.range(0)];
    const QFont font = fontFor(sample.wordClass);
    const QString text = QString::fromUtf16(sample.text);
    const QSize screen = QGuiApplication::primaryScreen()->size();
    for (auto _ : state) {
        benchmark::DoNotOptimize(stage::textShape(text, font, placeFor(sample.wordClass), screen));
    }
    state.SetLabel(QString::fromUtf16(sample.text).toStdString());
}

// A whole step of the real window: shape, mask and the paint it causes.
void BM_ShowEntry(benchmark::State& state)
{
    const ClassSample& sample = kSamples[state.range(0)];
    testing_support::ProgramFolder folder;
    testing_support::ScopedRecorder recorder;
    folder.writeDeck(QStringLiteral("database/ziku.txt"), {QString::fromUtf16(sample.text)});
    core::resetStageState();
    stage::StageWindow form(windows::stageDialogs());
    form.show();
    QApplication::processEvents();
    for (auto _ : state) {
        form.showEntry();
        form.repaint(); // the paint that the step causes, done now
        QApplication::sync();
    }
    state.SetLabel(QString::fromUtf16(sample.text).toStdString() + " on " + std::to_string(form.width()) + "x"
                   + std::to_string(form.height()));
}

QByteArray millionEntryLibrary()
{
    QByteArray bytes;
    const char16_t* words[] = {u"大", u"爸爸", u"你真棒", u"春夏秋冬", u"好好学习"};
    for (int i = 0; i < 1'000'000; ++i)
        bytes += platform::gbk::encodeLiteral(QStringView(words[i % 5])) + "\r\n";
    return bytes;
}

// Where the library's bytes come from before each read.
enum class Source {
    CpuCache,  // read again at once: the bytes are still in the processor's cache
    PageCache, // in the system's file cache, but not in the processor's
    Disk,      // dropped from the file cache: read from the disk
};

class LibraryFile {
public:
    LibraryFile()
    {
        path = dir.filePath(QStringLiteral("ziku.txt"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(millionEntryLibrary());
    }

    void prepare(Source source)
    {
        if (source == Source::Disk) {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            ::fdatasync(file.handle());
            ::posix_fadvise(file.handle(), 0, 0, POSIX_FADV_DONTNEED);
        }
        if (source != Source::CpuCache) {
            // Walk through more memory than the processor caches hold.
            static std::vector<char> sweep(96 << 20);
            for (size_t i = 0; i < sweep.size(); i += 64)
                sweep[i] = char(sweep[i] + 1);
            benchmark::ClobberMemory();
        }
    }

    QTemporaryDir dir;
    QString path;
};

template <typename Read> void measureRead(benchmark::State& state, Read read)
{
    static LibraryFile library;
    const Source source = static_cast<Source>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        library.prepare(source);
        state.ResumeTiming();
        read(library.path);
    }
    state.SetBytesProcessed(state.iterations() * QFileInfo(library.path).size());
    const char* names[] = {"bytes in processor cache", "bytes in file cache", "bytes on disk"};
    state.SetLabel(names[state.range(0)]);
}

void BM_ReadLibraryBytes(benchmark::State& state)
{
    measureRead(state, [](const QString& path) {
        QFile in(path);
        in.open(QIODevice::ReadOnly);
        benchmark::DoNotOptimize(in.readAll());
    });
}

void BM_LoadLibrary(benchmark::State& state)
{
    measureRead(state, [](const QString& path) {
        const core::Deck deck = core::readDeckFile(path);
        benchmark::DoNotOptimize(deck.size());
    });
}

BENCHMARK(BM_RasteriseOnce)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GlyphShape)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowEntry)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadLibraryBytes)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadLibrary)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    platform::installFontSubstitutions();
    // The default settings, as a fresh start has them.
    core::resetStageState();
    testing_support::ProgramFolder folder;
    folder.writeDeck(QStringLiteral("database/ziku.txt"), {QStringLiteral("大")});
    {
        testing_support::ScopedRecorder recorder;
        stage::StageWindow probe(windows::stageDialogs()); // reads the default settings
    }
    const settings::StageSettings defaults = core::stageState().settings;
    benchmark::Initialize(&argc, argv);
    core::stageState().settings = defaults;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

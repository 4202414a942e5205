// The real program on a real (virtual) screen: what the user sees and where
// the mouse goes, checked with screenshots, xdotool clicks and key presses.
#include "programrun.h"

#include "platform/fonts.h"
#include "stage/glyphrenderer.h"

#include <QDirIterator>
#include <QFile>
#include <QGuiApplication>
#include <QMediaFormat>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

using e2e::grabScreen;
using e2e::pixelsOf;
using e2e::ProgramRun;
using e2e::runTool;

namespace {

constexpr QRgb kDesktop = qRgb(32, 80, 160);
constexpr QRgb kGlyph = qRgb(255, 0, 0);

// The shape the stage should have for `text` with the default font, size and
// place of its class.
QRegion expectedShape(const QString& text, int pixelSize, QPoint place)
{
    QFont font = stage::drawingFont(QStringLiteral("华文楷体"), 600, 96);
    font.setPixelSize(pixelSize);
    return stage::textShape(text, font, place, QGuiApplication::primaryScreen()->size());
}

QString pointerWindow(QPoint at)
{
    runTool(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y())});
    const QString where = runTool(QStringLiteral("xdotool"),
                                  {QStringLiteral("getmouselocation"), QStringLiteral("--shell")});
    for (const QString& line : where.split(u'\n')) {
        if (line.startsWith(u"WINDOW="))
            return line.mid(7);
    }
    return {};
}

void click(QPoint at, int repeat = 1)
{
    runTool(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
             QStringLiteral("click"), QStringLiteral("--repeat"), QString::number(repeat),
             QStringLiteral("--delay"), QStringLiteral("60"), QStringLiteral("1")});
}

void press(const QString& windowId, const QString& key)
{
    runTool(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), windowId});
    runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), key});
}

// Holds `key` down for `ms`, as a hand would: the key repeats meanwhile.
void hold(const QString& windowId, const QString& key, int ms)
{
    runTool(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), windowId});
    runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), key});
    QTest::qWait(ms);
    runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), key});
}

// The file named `name` anywhere under `folder`, waiting for it to appear.
QString waitForFile(const QString& folder, const QString& name, int timeoutMs = 5000)
{
    QString found;
    const bool appeared = QTest::qWaitFor(
        [&] {
            QDirIterator files(folder, {name}, QDir::Files, QDirIterator::Subdirectories);
            found = files.hasNext() ? files.next() : QString();
            return !found.isEmpty();
        },
        timeoutMs);
    return appeared ? found : QString();
}

QPoint someStrokePixel(const QRegion& shape)
{
    // The middle of the widest run: well inside a stroke.
    QRect best;
    for (const QRect& rect : shape) {
        if (rect.width() > best.width())
            best = rect;
    }
    return best.center();
}

// Pixels in one region and not the other.
int difference(const QRegion& a, const QRegion& b)
{
    int pixels = 0;
    for (const QRect& rect : a.xored(b))
        pixels += rect.width() * rect.height();
    return pixels;
}

class StageOnScreen : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        runTool(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), QColor(kDesktop).name()});
    }

    void startWith(const std::vector<QString>& library,
                   const QString& settings = e2e::kRedGlyphsAtTheEarlierPlace)
    {
        run.folder().writeDeck(QStringLiteral("database/ziku.txt"), library);
        run.folder().writeSettings(settings);
        run.start();
        ASSERT_TRUE(run.waitForColour(kGlyph)) << "the stage never showed its glyphs";
        shape = pixelsOf(grabScreen(), kGlyph);
    }

    ProgramRun run;
    QRegion shape;
};

} // namespace

TEST_F(StageOnScreen, OnlyTheGlyphsStandOverTheDesktop)
{
    startWith({QStringLiteral("口"), QStringLiteral("一")});
    const QImage screen = grabScreen();
    // The glyph is drawn 800 pixels high with its cell at (100, -100).
    EXPECT_LT(difference(shape, expectedShape(QStringLiteral("口"), 800, {100, -100})), 50);
    const QRect bounds = shape.boundingRect();
    EXPECT_EQ(screen.pixel(bounds.center()), kDesktop) << "the counter of 口 is a hole";
    EXPECT_EQ(screen.pixel(1800, 1000), kDesktop);
    // Everything that is not glyph is desktop: no frame, no background.
    EXPECT_EQ(
        difference(pixelsOf(screen, kDesktop).united(shape), QRegion(0, 0, screen.width(), screen.height())),
        0);
}

TEST_F(StageOnScreen, MouseReachesTheStageOnlyOnTheStrokes)
{
    startWith({QStringLiteral("口"), QStringLiteral("一")});
    const QString stageWindow = run.windowId();
    ASSERT_FALSE(stageWindow.isEmpty());
    EXPECT_EQ(pointerWindow(someStrokePixel(shape)), stageWindow);
    EXPECT_NE(pointerWindow(shape.boundingRect().center()), stageWindow);
    EXPECT_NE(pointerWindow({1800, 1000}), stageWindow);
}

TEST_F(StageOnScreen, ClicksBesideTheStrokesDoNotStepAndOnAStrokeDo)
{
    startWith({QStringLiteral("口"), QStringLiteral("一"), QStringLiteral("大")});
    click(shape.boundingRect().center()); // inside the counter
    click({1800, 1000});
    QTest::qWait(300);
    EXPECT_EQ(pixelsOf(grabScreen(), kGlyph), shape);

    click(someStrokePixel(shape));
    const QRegion one = run.waitForChange(kGlyph, shape);
    EXPECT_LT(difference(one, expectedShape(QStringLiteral("一"), 800, {100, -100})), 50);

    // A double-click steps once: from 一 to 大, not round to 口.
    click(someStrokePixel(one), 2);
    const QRegion big = run.waitForChange(kGlyph, one);
    QTest::qWait(300);
    EXPECT_EQ(pixelsOf(grabScreen(), kGlyph), big);
    EXPECT_LT(difference(big, expectedShape(QStringLiteral("大"), 800, {100, -100})), 50);
}

// Settings that name no place: a single character and a phrase too long for
// the screen at its size both stand whole in the middle of the screen.
TEST_F(StageOnScreen, EntriesWithoutAStoredPlaceStandWholeInTheMiddle)
{
    const QString tooLong = QStringLiteral("人之初性本善性相近习相远苟不教性乃迁教之道贵以专");
    startWith({QStringLiteral("口"), tooLong}, QStringLiteral("[颜色]\nxuanze=2\ndanyi=clRed\nmiaobian=0\n"));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    press(run.windowId(), QStringLiteral("Return"));
    run.waitForChange(kGlyph, shape);
    QTest::qWait(300); // the first change seen may be a half-drawn frame
    const QRegion phrase = pixelsOf(grabScreen(), kGlyph);
    for (const QRegion& entry : {shape, phrase}) {
        const QRect ink = entry.boundingRect();
        SCOPED_TRACE(testing::PrintToString(ink));
        EXPECT_TRUE(screen.adjusted(1, 1, -1, -1).contains(ink)) << "a stroke touches an edge";
        EXPECT_LE((ink.center() - screen.center()).manhattanLength(), 4);
    }
    EXPECT_GT(phrase.boundingRect().width(), screen.width() * 3 / 4) << "drawn smaller than it needs";
}

TEST_F(StageOnScreen, EnterStepsAndEscLeavesWithoutStoringThePosition)
{
    startWith({QStringLiteral("口"), QStringLiteral("一")});
    const QByteArray settingsBefore = run.folder().readFile(QStringLiteral("database/qrnv.ini"));
    const QString stageWindow = run.windowId();
    press(stageWindow, QStringLiteral("Return"));
    const QRegion one = run.waitForChange(kGlyph, shape);
    EXPECT_LT(difference(one, expectedShape(QStringLiteral("一"), 800, {100, -100})), 50);
    // Left goes back without a judgement: no record is made.
    press(stageWindow, QStringLiteral("Left"));
    EXPECT_LT(difference(run.waitForChange(kGlyph, one), shape), 50);

    press(stageWindow, QStringLiteral("Escape"));
    ASSERT_TRUE(run.waitForExit()) << "the program did not end";
    EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit) << "the program crashed on its way out";
    EXPECT_EQ(run.process().exitCode(), 0);
    EXPECT_EQ(run.folder().readFile(QStringLiteral("database/qrnv.ini")), settingsBefore);
    EXPECT_TRUE(run.folder().readFile(QStringLiteral("database/record.sqlite")).isEmpty());
}

TEST_F(StageOnScreen, EveryStepIsHeard)
{
    if (!run.soundServer().isRunning())
        GTEST_SKIP() << "no sound server to listen to: " << run.soundServer().failure().toStdString();
    startWith({QStringLiteral("口"), QStringLiteral("一")});
    const QString stageWindow = run.windowId();
    // The start-up chime and the first step's cue have ended, and the
    // program's stream keeps the sink running: a recording that starts on
    // an idle null sink loses its first moments.
    QTest::qWait(1500);
    e2e::SoundRecording recording(run.soundServer());
    if (!recording.isRecording())
        GTEST_SKIP() << "parec (pulseaudio-utils) cannot record the sound server";
    QTest::qWait(500);
    constexpr int kSteps = 5;
    for (int step = 0; step < kSteps; ++step) {
        press(stageWindow, QStringLiteral("Return"));
        QTest::qWait(1200); // longer than the cue, so that each is heard apart
    }
    QTest::qWait(500);
    // A lost cue, the fault this guards against, gives fewer sounds. On a
    // machine busy enough to starve the sound thread, a cue can come out with
    // a gap in it and count twice: that is not a cue lost.
    const int heard = e2e::countSounds(recording.stop());
    EXPECT_GE(heard, kSteps);
    EXPECT_LE(heard, 2 * kSteps);
}

// The parent's voice, from a virtual microphone that plays a tone from a
// file: holding R records about as long as it is held, and V plays the
// recording back into the sound card.
TEST_F(StageOnScreen, TheParentsVoiceIsRecordedWhileRIsHeldAndPlayedOnV)
{
    const QString noMicrophone = run.soundServer().addMicrophone();
    if (!noMicrophone.isEmpty())
        GTEST_SKIP() << "no virtual microphone: " << noMicrophone.toStdString();
    if (!QMediaFormat(QMediaFormat::Ogg)
             .supportedAudioCodecs(QMediaFormat::Encode)
             .contains(QMediaFormat::AudioCodec::Opus))
        GTEST_SKIP() << "Qt Multimedia cannot write Ogg/Opus here (GStreamer's base and good plugins)";
    QTemporaryDir voiceDir;
    const QString voice = voiceDir.filePath(QStringLiteral("voice.raw"));
    {
        QFile file(voice);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(e2e::tone(10000));
    }
    startWith({QStringLiteral("口"), QStringLiteral("一")});
    const QString stageWindow = run.windowId();
    QTest::qWait(1500); // the start-up chime is over
    if (!run.soundServer().feedMicrophone(voice))
        GTEST_SKIP() << "paplay (pulseaudio-utils) cannot play into the microphone";
    QTest::qWait(300);

    // Long enough that the first recording of a run, which starts late
    // while the recorder is set up, still hears the tone.
    constexpr int kHeldMs = 3000;
    hold(stageWindow, QStringLiteral("r"), kHeldMs);
    // The recording's name is the hex of the entry's GBK bytes: 口 is BF DA.
    const QString recorded = waitForFile(run.folder().path(), QStringLiteral("bfda.ogg"));
    ASSERT_FALSE(recorded.isEmpty()) << "holding R wrote no recording";
    const e2e::DecodedSound sound = e2e::decodeSound(recorded);
    ASSERT_TRUE(sound.readable) << recorded.toStdString();
    // How soon it starts is the benchmark's to measure; here, releasing R
    // ends it well before the recorder's own limit.
    EXPECT_GT(sound.ms, 0);
    EXPECT_LT(sound.ms, kHeldMs + 1000) << "releasing R did not end the recording";
    EXPECT_GT(sound.peak, 0.1) << "the microphone's tone is not in the recording";

    e2e::SoundRecording listening(run.soundServer());
    if (!listening.isRecording())
        GTEST_SKIP() << "parec (pulseaudio-utils) cannot record the sound server";
    QTest::qWait(500);
    press(stageWindow, QStringLiteral("v"));
    QTest::qWait(kHeldMs + 1000);
    EXPECT_GE(e2e::countSounds(listening.stop()), 1) << "V played nothing";
}

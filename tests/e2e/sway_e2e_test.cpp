// The real program on a Wayland desktop: sway on its headless back end,
// with its bar at the bottom, drawing into memory. sway refuses to run as
// root, so a root test runs sway and the program as the user nobody.
// Input comes from the compositor's virtual pointer and virtual keyboard
// (our own small client, and wtype): the headless back end has no input
// devices, so the seat has no pointer otherwise. Both devices must outlive
// their events: a client gets its pointer or keyboard only after the
// device has appeared, and events sent before then are lost.
//
// Checks: the stage covers the screen at (0, 0), its glyph where X11 puts
// it, with smooth edges; the desktop and the bar show beside the glyphs
// (sway 1.7 draws nothing beneath a full-screen window, so the stage
// floats there instead); a click in a counter does not step, one on a
// stroke does; the right button on a stroke opens the menu; Return steps,
// Space keeps the entry, Esc ends the program; after a message box the
// stage has the keyboard again. Each test prints what this machine let it
// cover.
#include "programrun.h"

#include "stage/glyphrenderer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <memory>
#include <utility>

using e2e::pixelsOf;
using e2e::ProgramRun;

namespace {

constexpr QRgb kGlyph = qRgb(255, 0, 0);
constexpr QRgb kDesktop = qRgb(0x20, 0x50, 0xa0); // the output's background in the session's configuration
#ifdef QUENLO_VIRTUAL_POINTER
constexpr char kVirtualPointer[] = QUENLO_VIRTUAL_POINTER;
#else
constexpr char kVirtualPointer[] = "";
#endif
constexpr int kLeftButton = 0x110;  // BTN_LEFT
constexpr int kRightButton = 0x111; // BTN_RIGHT

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QTest::qWait(100);
    }
    return true;
}

// A headless sway with a bar, as an unprivileged user when the test runs as
// root, for one test.
class SwaySession {
public:
    // `scale`: the output's scale, device pixels per layout pixel.
    explicit SwaySession(int scale = 1)
    {
        for (const char* tool : {"sway", "swaymsg", "grim", "setpriv"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                m_failure = QStringLiteral("%1 is not installed").arg(QString::fromLatin1(tool));
                return;
            }
        }
        if (geteuid() == 0) {
            const passwd* user = getpwnam("nobody");
            if (!user) {
                m_failure = QStringLiteral("there is no user nobody to run sway as");
                return;
            }
            m_user = *user;
            m_asUser = {QStringLiteral("setpriv"), QStringLiteral("--reuid=%1").arg(user->pw_uid),
                        QStringLiteral("--regid=%1").arg(user->pw_gid), QStringLiteral("--clear-groups")};
        }
        QFile config(m_dir.filePath(QStringLiteral("config")));
        config.open(QIODevice::WriteOnly);
        config.write("output HEADLESS-1 resolution 1920x1080 position 0 0 bg #2050a0 solid_color scale "
                     + QByteArray::number(scale)
                     + "\n"
                       "default_border none\n"
                       "bar {\n    id "
                     + barId().toUtf8() + "\n    position bottom\n    status_command echo quenlo-bar\n}\n");
        config.close();
        handToUser(m_dir.path());

        m_sway.setStandardOutputFile(QProcess::nullDevice());
        m_sway.setStandardErrorFile(QProcess::nullDevice());
        const QStringList command = userCommand(
            {QStringLiteral("WLR_BACKENDS=headless"), QStringLiteral("WLR_LIBINPUT_NO_DEVICES=1"),
             QStringLiteral("WLR_RENDERER=pixman"), QStringLiteral("sway"), QStringLiteral("-c"),
             config.fileName()},
            false);
        m_sway.start(command.front(), command.mid(1));
        m_sway.waitForStarted(5000);
        if (!waitFor([this] { return !socket().isEmpty() || m_sway.state() != QProcess::Running; })
            || m_sway.state() != QProcess::Running) {
            m_failure = QStringLiteral("sway did not start");
            return;
        }
        m_ready = waitFor([this] {
            return run({QStringLiteral("swaymsg"), QStringLiteral("-t"), QStringLiteral("get_outputs")})
                .contains("HEADLESS-1");
        });
        if (!m_ready)
            m_failure = QStringLiteral("sway did not answer");
    }

    ~SwaySession()
    {
        m_pointer.closeWriteChannel();
        m_pointer.waitForFinished(3000);
        // Asked to exit, sway ends its bar too; a terminated one leaves it.
        if (m_ready)
            run({QStringLiteral("swaymsg"), QStringLiteral("exit")});
        if (!m_sway.waitForFinished(3000))
            m_sway.terminate();
        if (!m_sway.waitForFinished(3000)) {
            m_sway.kill();
            m_sway.waitForFinished(3000);
        }
        // A bar whose sway has gone may stay behind and spin: end this
        // session's own, named after its folder. Once more after a moment,
        // for a bar that a slow sway started late (pkill says 1 when none
        // was left).
        const QStringList bar {QStringLiteral("-KILL"), QStringLiteral("-f"),
                               QStringLiteral("swaybar -b ") + barId()};
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (QProcess::execute(QStringLiteral("pkill"), bar) == 1 && attempt > 0)
                break;
            QThread::msleep(200);
        }
    }

    // The bar's name, this session's alone.
    QString barId() const { return QStringLiteral("quenlo-") + QFileInfo(m_dir.path()).fileName(); }

    bool isReady() const { return m_ready; }
    QString failure() const { return m_failure; }
    QString user() const
    {
        return m_asUser.isEmpty() ? QStringLiteral("this user") : QStringLiteral("nobody");
    }

    // Lets the session's user write in `path` and everything in it.
    void handToUser(const QString& path) const
    {
        if (!m_asUser.isEmpty())
            QProcess::execute(
                QStringLiteral("chown"),
                {QStringLiteral("-R"), QStringLiteral("%1:%2").arg(m_user.pw_uid).arg(m_user.pw_gid), path});
    }

    // `command` as the session's user in the session's environment; with
    // `wayland` also as a client of sway.
    QStringList userCommand(const QStringList& command, bool wayland = true) const
    {
        QStringList full = m_asUser;
        full << QStringLiteral("env") << QStringLiteral("-i") << QStringLiteral("PATH=/usr/bin:/bin")
             << QStringLiteral("HOME=") + m_dir.path() << QStringLiteral("XDG_RUNTIME_DIR=") + m_dir.path()
             << QStringLiteral("LANG=C.UTF-8");
        if (wayland)
            full << QStringLiteral("WAYLAND_DISPLAY=") + display() << QStringLiteral("SWAYSOCK=") + socket();
        return full + command;
    }

    QByteArray run(const QStringList& command) const
    {
        const QStringList full = userCommand(command);
        QProcess tool;
        tool.start(full.front(), full.mid(1));
        tool.waitForFinished(10000);
        return tool.readAllStandardOutput();
    }

    QImage screenshot() const
    {
        const QString file = m_dir.filePath(QStringLiteral("screen.png"));
        QFile::remove(file);
        run({QStringLiteral("grim"), file});
        return QImage(file).convertToFormat(QImage::Format_RGB32);
    }

    // Whether the seat has a pointer and a keyboard of the compositor's
    // virtual kinds to drive.
    QString inputFailure() const
    {
        if (!*kVirtualPointer || !QFile::exists(QString::fromLatin1(kVirtualPointer)))
            return QStringLiteral("the virtual pointer client was not built (no Wayland client library)");
        if (QStandardPaths::findExecutable(QStringLiteral("wtype")).isEmpty())
            return QStringLiteral("wtype is not installed");
        return {};
    }

    void click(QPoint at, int button = kLeftButton)
    {
        if (m_pointer.state() == QProcess::NotRunning && !startPointer())
            return;
        pointerCommand(QStringLiteral("move %1 %2 1920 1080").arg(at.x()).arg(at.y()));
        pointerCommand(QStringLiteral("press %1").arg(button));
        QTest::qWait(150); // as a hand presses
        pointerCommand(QStringLiteral("release %1").arg(button));
    }

    void key(const QString& name) const { keys(name, 1); }

    // `name` pressed `times` times as fast as the virtual keyboard goes.
    void keys(const QString& name, int times) const
    {
        QStringList command {QStringLiteral("wtype"), QStringLiteral("-s"), QStringLiteral("500")};
        for (int i = 0; i < times; ++i)
            command << QStringLiteral("-k") << name;
        run(command << QStringLiteral("-s") << QStringLiteral("200"));
    }

private:
    QString display() const
    {
        const QStringList sockets = QDir(m_dir.path()).entryList({QStringLiteral("wayland-*")}, QDir::System);
        for (const QString& name : sockets) {
            if (!name.endsWith(u".lock"))
                return name;
        }
        return {};
    }

    QString socket() const
    {
        const QStringList sockets =
            QDir(m_dir.path()).entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
        return sockets.isEmpty() ? QString() : m_dir.filePath(sockets.front());
    }

    bool startPointer()
    {
        // Copied where the session's user can run it.
        const QString copy = m_dir.filePath(QStringLiteral("virtualpointer"));
        QFile::copy(QString::fromLatin1(kVirtualPointer), copy);
        handToUser(copy);
        const QStringList command = userCommand({copy});
        m_pointer.start(command.front(), command.mid(1));
        m_pointer.waitForStarted(5000);
        if (!m_pointer.waitForReadyRead(5000) || !m_pointer.readLine().startsWith("ready"))
            return false;
        QTest::qWait(500); // for clients to take the new pointer
        return true;
    }

    void pointerCommand(const QString& command)
    {
        m_pointer.write(command.toLatin1() + '\n');
        m_pointer.waitForReadyRead(3000);
        m_pointer.readLine();
    }

    QTemporaryDir m_dir;
    QProcess m_pointer;
    QStringList m_asUser;
    passwd m_user {};
    QProcess m_sway;
    bool m_ready = false;
    QString m_failure;
};

class StageOnSway : public ::testing::Test {
protected:
    void SetUp() override
    {
        sway = std::make_unique<SwaySession>(outputScale());
        if (!sway->isReady())
            GTEST_SKIP() << "no headless sway: " << sway->failure().toStdString();
    }

    void TearDown() override
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(3000);
        }
        run.reset();
        sway.reset();
    }

    void start(const std::vector<QString>& deck = {QStringLiteral("口"), QStringLiteral("一")})
    {
        run = std::make_unique<ProgramRun>();
        run->folder().writeDeck(QStringLiteral("database/ziku.txt"), deck);
        run->folder().writeSettings(e2e::kRedGlyphsAtTheEarlierPlace);
        sway->handToUser(run->folder().path());
        const QStringList command = sway->userCommand(
            {QStringLiteral("QT_QPA_PLATFORM=wayland"), run->folder().path(QStringLiteral("quenlo"))});
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.setStandardOutputFile(QProcess::nullDevice());
        program.start(command.front(), command.mid(1));
        // Slowed down (sanitizers, a busy machine) the first frames can show
        // part of the glyphs: wait until they hold still.
        QRegion glyphs;
        ASSERT_TRUE(waitFor([&] {
            const QRegion before = std::exchange(glyphs, pixelsOf(sway->screenshot(), kGlyph));
            QTest::qWait(300);
            return !glyphs.isEmpty() && glyphs == before;
        })) << "the stage never showed its glyphs";
        screen = sway->screenshot();
        if (!qEnvironmentVariableIsEmpty("QUENLO_E2E_SHOTS"))
            screen.save(qEnvironmentVariable("QUENLO_E2E_SHOTS") + QStringLiteral("/Sway.png"));
        shape = pixelsOf(screen, kGlyph);
    }

    QRegion glyphsAfter(const QRegion& before, int timeoutMs = 3000)
    {
        QRegion now = pixelsOf(sway->screenshot(), kGlyph);
        QElapsedTimer timer;
        timer.start();
        while (now == before && timer.elapsed() < timeoutMs) {
            QTest::qWait(100);
            now = pixelsOf(sway->screenshot(), kGlyph);
        }
        return now;
    }

    virtual int outputScale() const { return 1; }

    bool requireInput()
    {
        const QString failure = sway->inputFailure();
        if (failure.isEmpty())
            return true;
        std::cout << "[ covered  ] placement only; no input checks: " << failure.toStdString() << '\n';
        return false;
    }

    std::unique_ptr<SwaySession> sway;
    std::unique_ptr<ProgramRun> run;
    QProcess program;
    QImage screen;
    QRegion shape;
};

QPoint someStrokePixel(const QRegion& shape)
{
    QRect best;
    for (const QRect& rect : shape) {
        if (rect.width() > best.width())
            best = rect;
    }
    return best.center();
}

// 口 at 600 points (800 layout pixels at the logical 96 dpi) with its cell
// at (100, -100), in the screen's device pixels.
QRegion expectedGlyph(int scale, QSize screenSize)
{
    QFont font = stage::drawingFont(QStringLiteral("华文楷体"), 600, 96);
    font.setPixelSize(800 * scale);
    return stage::textShape(QStringLiteral("口"), font, QPoint(100, -100) * scale, screenSize);
}

// The place sway gives the window titled `title`, from its layout tree.
QRect placeOf(const QJsonObject& node, const QString& title)
{
    if (node.value(u"name").toString() == title && node.contains(u"pid")) {
        const QJsonObject rect = node.value(u"rect").toObject();
        return QRect(rect.value(u"x").toInt(), rect.value(u"y").toInt(), rect.value(u"width").toInt(),
                     rect.value(u"height").toInt());
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue child : node.value(QLatin1String(children)).toArray()) {
            const QRect place = placeOf(child.toObject(), title);
            if (!place.isNull())
                return place;
        }
    }
    return {};
}

int pixelCount(const QRegion& region)
{
    int count = 0;
    for (const QRect& rect : region)
        count += rect.width() * rect.height();
    return count;
}

TEST_F(StageOnSway, CoversTheScreenAtItsCornerWithTheGlyphWhereX11PutsIt)
{
    start();
    std::cout << "[ covered  ] sway as " << sway->user().toStdString()
              << ": place, size, smooth edges, the desktop and the bar beside the glyphs\n";
    ASSERT_EQ(screen.size(), QSize(1920, 1080));

    const QRegion expected = expectedGlyph(1, screen.size());
    EXPECT_LT(pixelCount(shape.xored(expected)), 8000) << "the glyph is not where X11 puts it";

    // Smooth edges: pixels beside the strokes between the glyph's colour and
    // what shows through the window.
    const QRegion edge = expected.translated(1, 0).united(expected.translated(-1, 0)).subtracted(expected);
    const QRgb beside = screen.pixel(expected.boundingRect().center()) & 0xFFFFFF;
    int blended = 0;
    for (const QRect& rect : edge) {
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            for (int x = rect.left(); x <= rect.right(); ++x) {
                const QRgb pixel = screen.pixel(x, y) & 0xFFFFFF;
                blended += pixel != beside && pixel != (kGlyph & 0xFFFFFF);
            }
        }
    }
    EXPECT_GT(blended, 200) << "the edges are not smooth";

    const QJsonObject tree = QJsonDocument::fromJson(
                                 sway->run({QStringLiteral("swaymsg"), QStringLiteral("-t"),
                                            QStringLiteral("get_tree")}))
                                 .object();
    EXPECT_EQ(placeOf(tree, QStringLiteral("Quenlo")), QRect(0, 0, 1920, 1080));

    // Beside the glyphs the desktop shows, and at the bottom the bar (its
    // own colours, drawn beneath the stage's see-through part).
    EXPECT_EQ(screen.pixel(1800, 500) & 0xFFFFFF, kDesktop & 0xFFFFFF)
        << "the desktop is hidden beside the glyphs";
    // The bar is a program of its own, which on a busy machine may draw its
    // first frame after the stage's.
    const auto barPixelsOf = [](const QImage& image) {
        int count = 0;
        for (int x = 0; x < image.width(); x += 4)
            count += (image.pixel(x, image.height() - 5) & 0xFFFFFF) != (kDesktop & 0xFFFFFF);
        return count;
    };
    int barPixels = barPixelsOf(screen);
    waitFor([&] {
        barPixels = std::max(barPixels, barPixelsOf(sway->screenshot()));
        return barPixels > screen.width() / 8;
    });
    EXPECT_GT(barPixels, screen.width() / 8) << "the bar is hidden";
}

TEST_F(StageOnSway, ClicksStepOnStrokesOnlyAndTheRightButtonOpensTheMenu)
{
    start();
    if (!requireInput())
        GTEST_SKIP() << "no input devices for sway: " << sway->inputFailure().toStdString();
    std::cout << "[ covered  ] sway as " << sway->user().toStdString()
              << ": clicks through the virtual pointer\n";
    sway->click(shape.boundingRect().center());
    QTest::qWait(500);
    EXPECT_EQ(pixelsOf(sway->screenshot(), kGlyph), shape) << "a click in the counter stepped";

    sway->click(someStrokePixel(shape));
    const QRegion stepped = glyphsAfter(shape);
    EXPECT_NE(stepped, shape) << "a click on a stroke did not step";

    // The menu is a popup at the pointer: many pixels away from the glyphs
    // change.
    const QImage beforeMenu = sway->screenshot();
    const QPoint stroke = someStrokePixel(stepped);
    sway->click(stroke, kRightButton);
    QRegion nearGlyphs;
    for (const QRect& rect : stepped)
        nearGlyphs += rect.adjusted(-3, -3, 3, 3);
    const QRegion awayFromGlyphs = QRegion(0, 0, 1920, 1000).subtracted(nearGlyphs);
    const auto menuPixels = [&] {
        const QImage now = sway->screenshot();
        int covered = 0;
        for (const QRect& rect : awayFromGlyphs) {
            for (int y = rect.top(); y <= rect.bottom(); ++y) {
                for (int x = rect.left(); x <= rect.right(); ++x)
                    covered += now.pixel(x, y) != beforeMenu.pixel(x, y);
            }
        }
        return covered;
    };
    EXPECT_TRUE(waitFor([&] { return menuPixels() > 2000; }, 5000)) << "the right button opened no menu";
}

TEST_F(StageOnSway, ReturnStepsSpaceKeepsTheEntryEscEnds)
{
    start();
    if (!requireInput())
        GTEST_SKIP() << "no input devices for sway: " << sway->inputFailure().toStdString();
    std::cout << "[ covered  ] sway as " << sway->user().toStdString()
              << ": keys through the virtual keyboard\n";
    sway->key(QStringLiteral("space"));
    QTest::qWait(500);
    EXPECT_EQ(pixelsOf(sway->screenshot(), kGlyph), shape) << "Space changed the entry";
    sway->key(QStringLiteral("Return"));
    EXPECT_NE(glyphsAfter(shape), shape) << "Return did not step";
    sway->key(QStringLiteral("Escape"));
    EXPECT_TRUE(program.waitForFinished(5000)) << "Esc did not end the program";
}

// Each step sends the glyphs' input region, a rectangle per run of pixels:
// a child holding Enter on long phrases outruns the compositor, and the
// connection must survive it.
TEST_F(StageOnSway, StepsAsFastAsKeysComeThroughLongPhrasesAndShowsTheLastOne)
{
    start({QStringLiteral("好好学习天天向上"), QStringLiteral("春眠不觉晓处处闻啼鸟")});
    if (!requireInput())
        GTEST_SKIP() << "no input devices for sway: " << sway->inputFailure().toStdString();
    std::cout << "[ covered  ] sway as " << sway->user().toStdString()
              << ": 60 steps through long phrases as fast as the virtual keyboard goes\n";
    // An even number of steps through two entries ends on the first again.
    sway->keys(QStringLiteral("Return"), 60);
    QTest::qWait(1500);
    ASSERT_EQ(program.state(), QProcess::Running) << "the program died while stepping";
    EXPECT_TRUE(waitFor([&] { return pixelsOf(sway->screenshot(), kGlyph) == shape; }, 5000))
        << "the stage does not show the entry the last step reached";
    sway->key(QStringLiteral("Return"));
    EXPECT_NE(glyphsAfter(shape), shape) << "Return after fast stepping did not step";
}

TEST_F(StageOnSway, HasTheKeyboardAgainAfterAMessageBox)
{
    start();
    if (!requireInput())
        GTEST_SKIP() << "no input devices for sway: " << sway->inputFailure().toStdString();
    std::cout << "[ covered  ] sway as " << sway->user().toStdString()
              << ": the keyboard after a message box, through the virtual keyboard\n";
    // 0 on the first entry: the "at the front" message box, over the stage.
    sway->key(QStringLiteral("0"));
    const auto boxShows = [&] { return sway->screenshot() != screen; };
    ASSERT_TRUE(waitFor(boxShows, 5000)) << "no message box";
    sway->key(QStringLiteral("Return")); // closes the box
    ASSERT_TRUE(waitFor([&] { return !boxShows(); }, 5000)) << "the message box did not close";
    // At the front, the first Return shows the first entry again; the
    // second moves on, which only both keys together reach.
    sway->key(QStringLiteral("Return"));
    sway->key(QStringLiteral("Return"));
    EXPECT_NE(glyphsAfter(shape), shape) << "Return after the message box did not step";
}

class StageOnScaledSway : public StageOnSway {
protected:
    int outputScale() const override { return 2; }
};

TEST_F(StageOnScaledSway, GlyphHasItsLayoutSizeAndPlaceInDevicePixelsAndSmoothEdges)
{
    start();
    std::cout << "[ covered  ] sway as " << sway->user().toStdString()
              << " at output scale 2: size, place and edges on the device pixels\n";
    ASSERT_EQ(screen.size(), QSize(1920, 1080));
    const QRegion expected = expectedGlyph(2, screen.size());
    // Smooth edges blend the outermost device pixels; a glyph drawn at the
    // layout's pixels and scaled up would miss along every edge by far more.
    EXPECT_LT(pixelCount(shape.xored(expected)), 0.03 * pixelCount(expected))
        << "painted " << pixelCount(shape) << " pixels, expected " << pixelCount(expected);
    const QRegion edge = expected.translated(1, 0).united(expected.translated(-1, 0)).subtracted(expected);
    int blended = 0;
    const QRgb beside = screen.pixel(expected.boundingRect().center()) & 0xFFFFFF;
    for (const QRect& rect : edge) {
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            for (int x = rect.left(); x <= rect.right(); ++x) {
                const QRgb pixel = screen.pixel(x, y) & 0xFFFFFF;
                blended += pixel != beside && pixel != (kGlyph & 0xFFFFFF);
            }
        }
    }
    EXPECT_GT(blended, 400) << "the edges are not smooth on the device pixels";
}

} // namespace

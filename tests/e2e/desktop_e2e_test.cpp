// The real program on the desktops parents use: a window manager with a
// panel (openbox with tint2), and the same with a compositing manager that
// draws shadows (picom with its shipped configuration and --shadow, or
// xcompmgr -c); Xfce's window manager with its panel, with xfwm4's own
// compositor on and off. Each test's name says the desktop it runs on, and
// each prints what that desktop covers.
//
// Every desktop checks: the stage covers the screen at (0, 0) above the
// panel; nothing outside the glyphs differs from the desktop (no shadow,
// no dimming); the panel beside the glyphs stays visible and under the
// mouse; clicks pass beside the strokes and through counters; the stage is
// an ordinary window that goes below another window when that one is
// activated; the stage has the keyboard from the start and again after a
// message box.
// Composited desktops also check that the glyphs' edges are smooth.
// QUENLO_E2E_SHOTS=<folder> keeps each desktop's screenshot there.
#include "programrun.h"

#include "platform/desktopwindow.h"
#include "stage/glyphrenderer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>

using e2e::grabScreen;
using e2e::pixelsOf;
using e2e::ProgramRun;
using e2e::runTool;

namespace {

constexpr QRgb kDesktop = qRgb(32, 80, 160);
constexpr QRgb kGlyph = qRgb(255, 0, 0);
constexpr char kPicomShippedConfig[] = "/usr/share/doc/picom/examples/picom.sample.conf";

struct DesktopKind {
    const char* name;
    // The window manager and the panel with their arguments, and the panel's
    // window class.
    QStringList windowManager;
    QStringList panel;
    const char* panelClass;
    // The compositing manager and its arguments; none when empty.
    QStringList compositor;
    // Whether the window manager is itself the compositing manager.
    bool windowManagerComposites = false;
    // Whether the compositor can be told not to shadow a window. xcompmgr -c
    // shadows every window but those of the desktop type (the wallpaper),
    // and a window of that type has no task-bar entry and never gets the
    // keyboard.
    bool shadowCanBeTurnedOff = true;
};

void PrintTo(const DesktopKind& kind, std::ostream* out)
{
    *out << kind.name;
}

const QStringList kOpenbox {QStringLiteral("openbox"), QStringLiteral("--sm-disable")};
const QStringList kTint2 {QStringLiteral("tint2")};
const QStringList kXfcePanel {QStringLiteral("xfce4-panel"), QStringLiteral("--sm-client-disable")};

const DesktopKind kDesktops[] = {
    {"OpenboxTint2", kOpenbox, kTint2, "^tint2$", {}},
    {"OpenboxTint2PicomShadows",
     kOpenbox,
     kTint2,
     "^tint2$",
     {QStringLiteral("picom"), QStringLiteral("--shadow")}},
    {"OpenboxTint2XcompmgrShadows",
     kOpenbox,
     kTint2,
     "^tint2$",
     {QStringLiteral("xcompmgr"), QStringLiteral("-c")},
     false,
     false},
    {"Xfwm4XfcePanel",
     {QStringLiteral("xfwm4"), QStringLiteral("--compositor=off"), QStringLiteral("--sm-client-disable")},
     kXfcePanel,
     "^xfce4-panel$",
     {}},
    {"Xfwm4CompositorXfcePanel",
     {QStringLiteral("xfwm4"), QStringLiteral("--compositor=on"), QStringLiteral("--sm-client-disable")},
     kXfcePanel,
     "^xfce4-panel$",
     {},
     true},
};

// One panel along the bottom, as tint2's shipped one: Xfce's own first panel runs along
// the top and its dock hides under windows.
constexpr char kXfcePanelConfig[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="dark-mode" type="bool" value="true"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=10;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="30"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
        <value type="int" value="2"/>
        <value type="int" value="3"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="applicationsmenu"/>
    <property name="plugin-2" type="string" value="tasklist"/>
    <property name="plugin-3" type="string" value="clock"/>
  </property>
</channel>
)";

QString xdotool(const QStringList& arguments)
{
    return runTool(QStringLiteral("xdotool"), arguments);
}

// The window that stands for `window` among the root's children: its
// window manager's frame, or itself where there is none.
QString topLevelOf(const QString& window)
{
    QString current = window;
    for (int depth = 0; depth < 8 && !current.isEmpty(); ++depth) {
        const QString tree = runTool(QStringLiteral("xwininfo"),
                                     {QStringLiteral("-tree"), QStringLiteral("-id"), current});
        const qsizetype at = tree.indexOf(QStringLiteral("Parent window id: "));
        if (at < 0 || tree.mid(at).section(u'\n', 0, 0).contains(QStringLiteral("(the root window)")))
            return current;
        bool ok = false;
        current = QString::number(tree.mid(at + 18).section(u' ', 0, 0).toULongLong(&ok, 16));
        if (!ok)
            return {};
    }
    return current;
}

// The top-level window under the pointer after moving it to `at`, in
// decimal: the window manager's frame where it put one round the window.
QString pointerWindow(QPoint at)
{
    xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y())});
    const QString where = xdotool({QStringLiteral("getmouselocation"), QStringLiteral("--shell")});
    for (const QString& line : where.split(u'\n')) {
        if (line.startsWith(u"WINDOW="))
            return topLevelOf(line.mid(7));
    }
    return {};
}

QPoint someStrokePixel(const QRegion& shape)
{
    QRect best;
    for (const QRect& rect : shape) {
        if (rect.width() > best.width())
            best = rect;
    }
    return best.center();
}

// The window ids of a root window property holding a list of windows, in
// decimal as xdotool prints them.
QStringList rootWindowList(const QString& property)
{
    const QString text = runTool(QStringLiteral("xprop"), {QStringLiteral("-root"), property});
    QStringList ids;
    const qsizetype hash = text.indexOf(u'#');
    for (QString id : text.mid(hash + 1).split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const qulonglong value = id.trimmed().toULongLong(&ok, 16);
        if (ok)
            ids << QString::number(value);
    }
    return ids;
}

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

// A screenshot once the screen stops changing (compositors fade windows in).
QImage stillScreen()
{
    QImage before = grabScreen();
    for (int attempt = 0; attempt < 30; ++attempt) {
        QTest::qWait(200);
        QImage now = grabScreen();
        if (now == before)
            return now;
        before = now;
    }
    return before;
}

// Paints the desktop in one colour the way compositors find it: a root
// pixmap named by _XROOTPMAP_ID and _XSETROOT_ID (a root window's plain
// background colour is invisible to them; they paint black instead). The
// pixmap lives as long as the test's connection.
void paintDesktop(QRgb colour)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return;
    xcb_connection_t* connection = x11->connection();
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_pixmap_t pixmap = xcb_generate_id(connection);
    xcb_create_pixmap(connection, screen->root_depth, pixmap, screen->root, 8, 8);
    const xcb_gcontext_t gc = xcb_generate_id(connection);
    const uint32_t foreground = colour & 0xFFFFFF;
    xcb_create_gc(connection, gc, pixmap, XCB_GC_FOREGROUND, &foreground);
    const xcb_rectangle_t all {0, 0, 8, 8};
    xcb_poly_fill_rectangle(connection, pixmap, gc, 1, &all);
    xcb_change_window_attributes(connection, screen->root, XCB_CW_BACK_PIXMAP, &pixmap);
    xcb_clear_area(connection, 0, screen->root, 0, 0, 0, 0);
    for (const char* name : {"_XROOTPMAP_ID", "_XSETROOT_ID"}) {
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name), nullptr);
        if (atom) {
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, screen->root, atom->atom, XCB_ATOM_PIXMAP,
                                32, 1, &pixmap);
            free(atom);
        }
    }
    xcb_free_gc(connection, gc);
    xcb_flush(connection);
}

// A window manager with a panel and maybe a compositor on the test's X
// display, for one test.
class X11Desktop {
public:
    explicit X11Desktop(const DesktopKind& kind)
        : m_panelClass(QString::fromLatin1(kind.panelClass))
    {
        for (const QString& tool : {kind.windowManager.front(), kind.panel.front()}) {
            if (QStandardPaths::findExecutable(tool).isEmpty()) {
                m_failure = tool + QStringLiteral(" is not installed");
                return;
            }
        }
        if (kind.panel.front() == u"xfce4-panel" && !startXfceSettings())
            return;
        start(kind.windowManager);
        if (!waitFor([] { return !rootWindowList(QStringLiteral("_NET_SUPPORTING_WM_CHECK")).isEmpty(); })) {
            m_failure = kind.windowManager.front() + QStringLiteral(" did not start");
            return;
        }
        start(kind.panel);
        if (!waitFor([this] { return !panelWindow().isEmpty(); })) {
            m_failure = kind.panel.front() + QStringLiteral(" did not show its panel");
            return;
        }
        if (kind.windowManagerComposites && !waitFor([] { return platform::screenIsComposited(); })) {
            m_failure = kind.windowManager.front() + QStringLiteral(" did not take the screen as compositor");
            return;
        }
        if (!kind.compositor.isEmpty()) {
            if (QStandardPaths::findExecutable(kind.compositor.front()).isEmpty()) {
                m_failure = kind.compositor.front() + QStringLiteral(" is not installed");
                return;
            }
            QStringList command = kind.compositor;
            if (command.front() == u"picom") {
                // The shipped configuration asks for vsync, which a virtual
                // screen cannot give: picom would end at once.
                QFile shipped(QString::fromLatin1(kPicomShippedConfig));
                if (!shipped.open(QIODevice::ReadOnly)) {
                    m_failure = QStringLiteral("picom's shipped configuration is missing");
                    return;
                }
                QFile config(m_dir.filePath(QStringLiteral("picom.conf")));
                config.open(QIODevice::WriteOnly);
                config.write(shipped.readAll().replace("\nvsync = true;", "\nvsync = false;"));
                config.close();
                command << QStringLiteral("--config") << config.fileName();
            }
            start(command);
            QTest::qWait(500); // a compositor that cannot start takes the screen and ends
            if (!waitFor([] { return platform::screenIsComposited(); })
                || m_processes.back()->state() != QProcess::Running) {
                m_failure = kind.compositor.front() + QStringLiteral(" did not take the screen");
                return;
            }
        }
        m_ready = true;
    }

    ~X11Desktop()
    {
        // Compositor first, the window manager after its panel, as a session
        // ends; the session bus last.
        for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it) {
            (*it)->terminate();
            if (!(*it)->waitForFinished(3000)) {
                (*it)->kill();
                (*it)->waitForFinished(3000);
            }
        }
        waitFor([] { return !platform::screenIsComposited(); }, 3000);
    }

    bool isReady() const { return m_ready; }
    QString failure() const { return m_failure; }

    // Where the panel stands on the screen.
    QRect panelArea() const
    {
        const QString geometry = xdotool(
            {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), panelWindow()});
        const auto value = [&](const QString& name) {
            return geometry.section(name + u'=', 1).section(u'\n', 0, 0).toInt();
        };
        return QRect(value(QStringLiteral("X")), value(QStringLiteral("Y")), value(QStringLiteral("WIDTH")),
                     value(QStringLiteral("HEIGHT")));
    }

    // The widest window of the panel's class: panels keep small helper
    // windows of their own.
    QString panelWindow() const
    {
        const QStringList windows = xdotool(
                                        {QStringLiteral("search"), QStringLiteral("--class"), m_panelClass})
                                        .split(u'\n', Qt::SkipEmptyParts);
        QString widest;
        int widestWidth = 0;
        for (const QString& window : windows) {
            const QString geometry = xdotool(
                {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
            const int width = geometry.section(QStringLiteral("WIDTH="), 1).section(u'\n', 0, 0).toInt();
            if (width > widestWidth) {
                widest = window;
                widestWidth = width;
            }
        }
        return widest;
    }

private:
    // Xfce's programs keep their settings in xfconf, a service of the
    // session bus: a bus of the test's own, and settings in a folder of
    // its own with the panel along the bottom.
    bool startXfceSettings()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) {
            m_failure = QStringLiteral("dbus-daemon is not installed");
            return false;
        }
        const QString config = m_dir.filePath(QStringLiteral("config"));
        QDir().mkpath(config + QStringLiteral("/xfce4/xfconf/xfce-perchannel-xml"));
        QFile panel(config + QStringLiteral("/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml"));
        panel.open(QIODevice::WriteOnly);
        panel.write(kXfcePanelConfig);
        panel.close();
        m_environment.insert(QStringLiteral("HOME"), m_dir.path());
        m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        m_environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_dir.filePath(QStringLiteral("cache")));
        m_environment.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));

        auto bus = std::make_unique<QProcess>();
        bus->setProcessEnvironment(m_environment);
        bus->setStandardErrorFile(QProcess::nullDevice());
        bus->start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                   QStringLiteral("--print-address=1")});
        if (!bus->waitForReadyRead(5000)) {
            m_failure = QStringLiteral("dbus-daemon did not start");
            return false;
        }
        m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                             QString::fromLatin1(bus->readLine().trimmed()));
        m_processes.push_back(std::move(bus));
        return true;
    }

    void start(const QStringList& command)
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(m_environment);
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        process->start(command.front(), command.mid(1));
        process->waitForStarted(5000);
        m_processes.push_back(std::move(process));
    }

    QTemporaryDir m_dir;
    QString m_panelClass;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
    std::vector<std::unique_ptr<QProcess>> m_processes;
    bool m_ready = false;
    QString m_failure;
};

// The shape of 口 as the stage should draw it with the default settings.
QRegion expectedShape(QSize screenSize)
{
    QFont font = stage::drawingFont(QStringLiteral("华文楷体"), 600, 96);
    font.setPixelSize(800);
    return stage::textShape(QStringLiteral("口"), font, QPoint(100, -100), screenSize);
}

class StageOnDesktop : public ::testing::TestWithParam<DesktopKind> {
protected:
    void SetUp() override
    {
        paintDesktop(kDesktop);
        desktop = std::make_unique<X11Desktop>(GetParam());
        if (!desktop->isReady())
            GTEST_SKIP() << "no " << GetParam().name << " desktop: " << desktop->failure().toStdString();
        std::cout << "[ covered  ] " << coverage().toStdString() << '\n';
    }

    // What this desktop is, in the words of its command lines.
    QString coverage() const
    {
        const DesktopKind& kind = GetParam();
        QString text = kind.windowManager.join(u' ') + QStringLiteral(" with ") + kind.panel.front();
        if (!kind.compositor.isEmpty())
            text += QStringLiteral(" and ") + kind.compositor.join(u' ');
        text += composited() ? QStringLiteral(", composited: smooth edges")
                             : QStringLiteral(", not composited: a shaped window");
        if (!kind.shadowCanBeTurnedOff)
            text += QStringLiteral("; its shadow can't be turned off");
        return text;
    }

    void TearDown() override
    {
        run.reset(); // the program goes before its desktop
        desktop.reset();
    }

    void startWith(const std::vector<QString>& library)
    {
        run = std::make_unique<ProgramRun>();
        run->folder().writeDeck(QStringLiteral("database/ziku.txt"), library);
        run->folder().writeSettings(e2e::kRedGlyphsAtTheEarlierPlace);
        run->start();
        ASSERT_TRUE(run->waitForColour(kGlyph)) << "the stage never showed its glyphs";
        screen = stillScreen();
        if (!qEnvironmentVariableIsEmpty("QUENLO_E2E_SHOTS"))
            screen.save(qEnvironmentVariable("QUENLO_E2E_SHOTS") + u'/' + QString::fromLatin1(GetParam().name)
                        + QStringLiteral(".png"));
        shape = pixelsOf(screen, kGlyph);
        stageWindow = run->windowId();
        ASSERT_FALSE(stageWindow.isEmpty());
        stageTopLevel = topLevelOf(stageWindow);
    }

    bool composited() const { return !GetParam().compositor.isEmpty() || GetParam().windowManagerComposites; }

    std::unique_ptr<X11Desktop> desktop;
    std::unique_ptr<ProgramRun> run;
    QImage screen;
    QRegion shape;
    QString stageWindow;
    QString stageTopLevel;
};

TEST_P(StageOnDesktop, CoversTheScreenAboveThePanelWhichStaysInSight)
{
    startWith({QStringLiteral("口"), QStringLiteral("一")});
    const QString geometry = xdotool(
        {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), stageWindow});
    EXPECT_TRUE(geometry.contains(QStringLiteral("X=0\nY=0\nWIDTH=1920\nHEIGHT=1080")))
        << geometry.toStdString();

    // The glyph 口 is 800 pixels high with its cell at (100, -100), as on a
    // bare screen: the same stored position, the same place.
    const QRegion expected = expectedShape(screen.size());
    int mismatched = 0;
    for (const QRect& rect : shape.xored(expected))
        mismatched += rect.width() * rect.height();
    // Smooth edges leave the outermost pixels of the strokes blended.
    EXPECT_LT(mismatched, composited() ? 8000 : 50);

    // Composited, the edges are smooth: pixels between the glyph's colour
    // and the colour beside it. Without a compositor, none.
    const QRgb beside = screen.pixel(expected.boundingRect().center()) & 0xFFFFFF;
    const QRegion edge = expected.translated(1, 0).united(expected.translated(-1, 0)).subtracted(expected);
    int blended = 0;
    for (const QRect& rect : edge) {
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            for (int x = rect.left(); x <= rect.right(); ++x) {
                const QRgb pixel = screen.pixel(x, y) & 0xFFFFFF;
                blended += pixel != beside && pixel != (kGlyph & 0xFFFFFF);
            }
        }
    }
    if (composited())
        EXPECT_GT(blended, 200) << "the edges are not smooth";
    else
        EXPECT_EQ(blended, 0);

    // The panel shows and takes the mouse below the glyphs.
    const QRect panel = desktop->panelArea();
    ASSERT_EQ(panel.bottom(), screen.height() - 1) << "the panel is not at the bottom";
    const QPoint inPanel(1000, panel.center().y());
    EXPECT_NE(screen.pixel(inPanel) & 0xFFFFFF, beside) << "the panel is hidden";
    EXPECT_EQ(pointerWindow(inPanel), topLevelOf(desktop->panelWindow()))
        << "the panel does not get the mouse";
}

TEST_P(StageOnDesktop, DarkensNothingOutsideTheGlyphs)
{
    if (!GetParam().shadowCanBeTurnedOff)
        GTEST_SKIP() << GetParam().name << ": the compositor shadows every window that is not the wallpaper, "
                     << "and cannot be told otherwise";
    startWith({QStringLiteral("口"), QStringLiteral("一")});
    // Outside the glyphs and their edge, and above the panel, every pixel is
    // the desktop: no shadow, no dimming, no frame.
    const QRegion expected = expectedShape(screen.size());
    const QRegion nearGlyph = expected.united(expected.translated(-2, -2))
                                  .united(expected.translated(2, 2))
                                  .united(expected.translated(-2, 2))
                                  .united(expected.translated(2, -2));
    const QRegion rest = QRegion(screen.rect()).subtracted(desktop->panelArea()).subtracted(nearGlyph);
    int darkened = 0;
    for (const QRect& rect : rest) {
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            for (int x = rect.left(); x <= rect.right(); ++x)
                darkened += (screen.pixel(x, y) & 0xFFFFFF) != (kDesktop & 0xFFFFFF);
        }
    }
    EXPECT_EQ(darkened, 0);
}

TEST_P(StageOnDesktop, ClicksPassBesideTheStrokesAndThroughCounters)
{
    startWith({QStringLiteral("口"), QStringLiteral("一")});
    EXPECT_EQ(pointerWindow(someStrokePixel(shape)), stageTopLevel);
    EXPECT_NE(pointerWindow(shape.boundingRect().center()), stageTopLevel) << "inside the counter";
    EXPECT_NE(pointerWindow({1800, 900}), stageTopLevel);

    xdotool({QStringLiteral("mousemove"), QString::number(shape.boundingRect().center().x()),
             QString::number(shape.boundingRect().center().y()), QStringLiteral("click"),
             QStringLiteral("1")});
    QTest::qWait(300);
    EXPECT_EQ(pixelsOf(grabScreen(), kGlyph), shape) << "a click in the counter stepped";
    const QPoint stroke = someStrokePixel(shape);
    xdotool({QStringLiteral("mousemove"), QString::number(stroke.x()), QString::number(stroke.y()),
             QStringLiteral("click"), QStringLiteral("1")});
    EXPECT_NE(run->waitForChange(kGlyph, shape), shape) << "a click on a stroke did not step";
}

TEST_P(StageOnDesktop, IsAnOrdinaryWindowThatGoesBelowAnActivatedOne)
{
    startWith({QStringLiteral("口"), QStringLiteral("一")});
    EXPECT_TRUE(rootWindowList(QStringLiteral("_NET_CLIENT_LIST")).contains(stageWindow))
        << "no task-bar entry";
    const QString states = runTool(QStringLiteral("xprop"),
                                   {QStringLiteral("-id"), stageWindow, QStringLiteral("_NET_WM_STATE")});
    EXPECT_TRUE(states.contains(QStringLiteral("_NET_WM_STATE_FULLSCREEN"))) << states.toStdString();
    EXPECT_FALSE(states.contains(QStringLiteral("_NET_WM_STATE_ABOVE"))) << states.toStdString();
    EXPECT_FALSE(states.contains(QStringLiteral("_NET_WM_STATE_SKIP_TASKBAR"))) << states.toStdString();

    QWidget other;
    other.setWindowTitle(QStringLiteral("Another program"));
    other.setGeometry(400, 300, 300, 200);
    other.show();
    const QString otherWindow = QString::number(other.winId());
    // Activated only once its window manager has taken it on.
    ASSERT_TRUE(waitFor(
        [&] { return rootWindowList(QStringLiteral("_NET_CLIENT_LIST")).contains(otherWindow); }, 5000));
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), otherWindow});
    const auto otherIsAbove = [&] {
        const QStringList stacking = rootWindowList(QStringLiteral("_NET_CLIENT_LIST_STACKING"));
        return stacking.indexOf(otherWindow) > stacking.indexOf(stageWindow);
    };
    EXPECT_TRUE(waitFor(otherIsAbove, 3000)) << "the stage stays above the activated window";
}

TEST_P(StageOnDesktop, HasTheKeyboardFromTheStartAndAgainAfterAMessageBox)
{
    startWith({QStringLiteral("口"), QStringLiteral("一")});
    // Not activated by the test: Enter must work as soon as the stage shows.
    EXPECT_TRUE(waitFor([&] { return xdotool({QStringLiteral("getactivewindow")}) == stageWindow; }, 3000))
        << "the stage does not have the keyboard at the start";
    // 0 on the first entry: the "at the front" message box.
    xdotool({QStringLiteral("key"), QStringLiteral("0")});
    const auto boxIsActive = [&] {
        const QString active = xdotool({QStringLiteral("getactivewindow")});
        return !active.isEmpty() && active != stageWindow;
    };
    ASSERT_TRUE(waitFor(boxIsActive, 5000)) << "no message box";
    xdotool({QStringLiteral("key"), QStringLiteral("Return")}); // closes the box
    ASSERT_TRUE(waitFor([&] { return !boxIsActive(); }, 5000)) << "the message box did not close";

    // No focusing by the test: the keys go where the desktop sends them.
    // At the front, the first Return shows the first entry again; the
    // second moves on to 一, which only both keys together reach.
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    QTest::qWait(300);
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    const QRegion one = run->waitForChange(kGlyph, shape);
    EXPECT_NE(one, shape) << "Return after the message box did not step";
    EXPECT_EQ(xdotool({QStringLiteral("getactivewindow")}), stageWindow);
}

INSTANTIATE_TEST_SUITE_P(Desktops, StageOnDesktop, ::testing::ValuesIn(kDesktops),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

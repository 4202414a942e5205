// The desktop's side of a glyph-shaped window on Linux: X11 through xcb and
// its SHAPE extension, Wayland through the input region Qt sets from a mask.

#include "platform/desktopwindow.h"

#include <QByteArray>
#include <QDir>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

namespace platform {
namespace {

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(u"wayland");
}

xcb_connection_t* x11Connection()
{
    if (QGuiApplication::platformName() != u"xcb")
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// The screen number of the display Qt connected to (":0.1" is screen 1).
int defaultScreenNumber()
{
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype colon = display.lastIndexOf(':');
    const qsizetype dot = display.indexOf('.', colon + 1);
    if (colon < 0 || dot < 0)
        return 0;
    bool ok = false;
    const int screen = display.mid(dot + 1).toInt(&ok);
    return ok ? screen : 0;
}

xcb_atom_t internAtom(xcb_connection_t* connection, const QByteArray& name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(name.size()),
                                                            name.constData());
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::vector<xcb_rectangle_t> rectanglesOf(const QRegion& region)
{
    std::vector<xcb_rectangle_t> rectangles;
    rectangles.reserve(size_t(region.rectCount()));
    for (const QRect& rect : region) {
        rectangles.push_back(
            {int16_t(rect.x()), int16_t(rect.y()), uint16_t(rect.width()), uint16_t(rect.height())});
    }
    return rectangles;
}

} // namespace

bool screenIsComposited()
{
    if (onWayland())
        return true;
    xcb_connection_t* connection = x11Connection();
    if (!connection)
        return false;
    const xcb_atom_t selection = internAtom(connection,
                                            "_NET_WM_CM_S" + QByteArray::number(defaultScreenNumber()));
    if (selection == XCB_ATOM_NONE)
        return false;
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr),
        &std::free);
    return owner && owner->owner != XCB_WINDOW_NONE;
}

namespace {

// The window among the root's children that holds `window`: the frame a
// window manager put around it, or the window itself.
xcb_window_t topLevelOf(xcb_connection_t* connection, xcb_window_t window)
{
    for (int depth = 0; depth < 16; ++depth) {
        std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
            xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr), &std::free);
        if (!tree || tree->parent == tree->root || tree->parent == XCB_WINDOW_NONE)
            return window;
        window = tree->parent;
    }
    return window;
}

} // namespace

void setPlainForCompositors(QWindow* window)
{
    xcb_connection_t* connection = x11Connection();
    if (!connection || !window)
        return;
    const xcb_window_t client = xcb_window_t(window->winId());
    const xcb_window_t frame = topLevelOf(connection, client);
    const auto setCardinal = [&](const QByteArray& name, uint32_t value) {
        const xcb_atom_t property = internAtom(connection, name);
        if (property == XCB_ATOM_NONE)
            return;
        // Compositors read these from the window they draw, which is the
        // window manager's frame where there is one.
        for (const xcb_window_t target : {client, frame}) {
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, target, property, XCB_ATOM_CARDINAL, 32, 1,
                                &value);
            if (frame == client)
                break;
        }
    };
    setCardinal("_COMPTON_SHADOW", 0);
    setCardinal("_NET_WM_WINDOW_OPACITY", 0xFFFFFFFFu);
    xcb_flush(connection);
}

bool isMapEvent(const QByteArray& eventType, const void* message)
{
    if (eventType != "xcb_generic_event_t" || !message)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    return (event->response_type & ~0x80) == XCB_MAP_NOTIFY;
}

namespace {

// The socket of this program's Wayland connection: the one connected to the
// compositor's socket that WAYLAND_DISPLAY names. -1 where there is none
// (a connection handed over through WAYLAND_SOCKET).
int findWaylandSocket()
{
    const QByteArray name = qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ? QByteArray("wayland-0")
                                                                           : qgetenv("WAYLAND_DISPLAY");
    const QByteArray path = name.startsWith('/') ? name : qgetenv("XDG_RUNTIME_DIR") + '/' + name;
    struct stat compositor {};
    if (stat(path.constData(), &compositor) != 0)
        return -1;
    const QStringList descriptors = QDir(QStringLiteral("/proc/self/fd"))
                                        .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : descriptors) {
        bool ok = false;
        const int fd = entry.toInt(&ok);
        sockaddr_un peer {};
        socklen_t length = sizeof peer;
        if (!ok || getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0
            || peer.sun_family != AF_UNIX || length <= socklen_t(offsetof(sockaddr_un, sun_path))
            || peer.sun_path[0] == '\0')
            continue;
        peer.sun_path[sizeof peer.sun_path - 1] = '\0';
        struct stat peerFile {};
        if (stat(peer.sun_path, &peerFile) == 0 && peerFile.st_dev == compositor.st_dev
            && peerFile.st_ino == compositor.st_ino)
            return fd;
    }
    return -1;
}

// Whether the compositor has yet to read some of what this program sent.
bool compositorIsBehind()
{
    static const int socket = findWaylandSocket();
    int unread = 0;
    return socket >= 0 && ioctl(socket, SIOCOUTQ, &unread) == 0 && unread > 0;
}

// Sends a window's input region when the compositor has read all before it,
// so that no run of steps can fill the socket: a region that comes while
// the compositor is behind waits, and a later one takes its place.
class InputRegionSender : public QObject {
public:
    explicit InputRegionSender(QWindow* window)
        : QObject(window)
        , m_window(window)
    {
        m_retry.setSingleShot(true);
        m_retry.setInterval(kRetryMs);
        connect(&m_retry, &QTimer::timeout, this, &InputRegionSender::sendIfCaughtUp);
    }

    static InputRegionSender* of(QWindow* window)
    {
        auto* sender = window->findChild<InputRegionSender*>(QString(), Qt::FindDirectChildrenOnly);
        return sender ? sender : new InputRegionSender(window);
    }

    void send(const QRegion& region)
    {
        m_waiting = region;
        m_hasWaiting = true;
        sendIfCaughtUp();
    }

private:
    static constexpr int kRetryMs = 2;

    void sendIfCaughtUp()
    {
        if (!m_hasWaiting || !m_window)
            return;
        if (compositorIsBehind()) {
            if (!m_retry.isActive())
                m_retry.start();
            return;
        }
        m_hasWaiting = false;
        m_window->setMask(std::exchange(m_waiting, QRegion()));
    }

    QPointer<QWindow> m_window;
    QTimer m_retry;
    QRegion m_waiting;
    bool m_hasWaiting = false;
};

void setWaylandInputRegion(QWindow* window, const QRegion& glyphs)
{
    InputRegionSender::of(window)->send(waylandInputRegion(glyphs));
}

void setNativeShape(xcb_connection_t* connection, QWindow* window, xcb_shape_kind_t kind,
                    const QRegion& region)
{
    const std::vector<xcb_rectangle_t> rectangles = rectanglesOf(region);
    xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, kind, XCB_CLIP_ORDERING_YX_BANDED,
                         xcb_window_t(window->winId()), 0, 0, uint32_t(rectangles.size()), rectangles.data());
}

// Without X11: Qt sets a Wayland surface's input region from the mask and
// leaves the picture whole; elsewhere the platform scales the mask.
void setShapeThroughQt(QWindow* window, const QRegion& glyphs)
{
    if (onWayland())
        setWaylandInputRegion(window, glyphs);
    else
        window->setMask(glyphs);
}

// On X11 the shapes go past Qt, whose mask counts device-independent pixels
// only; elsewhere through Qt.
template <typename SetNativeShapes>
void shapeWindow(QWindow* window, const QRegion& glyphs, SetNativeShapes setNativeShapes)
{
    if (!window)
        return;
    xcb_connection_t* connection = x11Connection();
    if (!connection) {
        setShapeThroughQt(window, glyphs);
        return;
    }
    setNativeShapes(connection);
    xcb_flush(connection);
}

} // namespace

void setGlyphShape(QWindow* window, const QRegion& glyphs, const QRegion& nativeGlyphs)
{
    shapeWindow(window, glyphs, [&](xcb_connection_t* connection) {
        setNativeShape(connection, window, XCB_SHAPE_SK_BOUNDING, grownByOnePixel(nativeGlyphs));
        setNativeShape(connection, window, XCB_SHAPE_SK_INPUT, nativeGlyphs);
    });
}

void setOpaqueGlyphShape(QWindow* window, const QRegion& glyphs, const QRegion& nativeGlyphs)
{
    // The input shape follows the bounding one.
    shapeWindow(window, glyphs, [&](xcb_connection_t* connection) {
        setNativeShape(connection, window, XCB_SHAPE_SK_BOUNDING, nativeGlyphs);
    });
}

} // namespace platform

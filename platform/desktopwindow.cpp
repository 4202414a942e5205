#include "platform/desktopwindow.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
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
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(name.size()), name.constData());
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::vector<xcb_rectangle_t> rectanglesOf(const QRegion& region)
{
    std::vector<xcb_rectangle_t> rectangles;
    rectangles.reserve(size_t(region.rectCount()));
    for (const QRect& rect : region) {
        rectangles.push_back({int16_t(rect.x()), int16_t(rect.y()), uint16_t(rect.width()),
                              uint16_t(rect.height())});
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
    const xcb_atom_t selection = internAtom(connection, "_NET_WM_CM_S" + QByteArray::number(defaultScreenNumber()));
    if (selection == XCB_ATOM_NONE)
        return false;
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr),
        &std::free);
    return owner && owner->owner != XCB_WINDOW_NONE;
}

bool fullScreenHidesDesktop()
{
    return onWayland() && !qEnvironmentVariableIsEmpty("SWAYSOCK");
}

void coverScreen(QWidget* window, const QScreen* screen)
{
    if (!window)
        return;
    const QRect area = screen ? screen->geometry() : QRect();
    if (!fullScreenHidesDesktop()) {
        if (area.isValid())
            window->setGeometry(area);
        window->setWindowState(Qt::WindowFullScreen);
        return;
    }
    // A fixed size makes sway float the window; one larger than the space
    // its bar leaves is centred on the whole output, so at its corner.
    if (area.isValid())
        window->setFixedSize(area.size());
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

QPixmap sharpPicture(const QString& path, qreal devicePixelRatio)
{
    if (devicePixelRatio > 1) {
        const qsizetype dot = path.lastIndexOf(u'.');
        const QString doubled = dot < 0 ? path + QStringLiteral("@2x")
                                        : path.left(dot) + QStringLiteral("@2x") + path.mid(dot);
        QPixmap picture(doubled);
        if (!picture.isNull()) {
            picture.setDevicePixelRatio(2);
            return picture;
        }
    }
    return QPixmap(path);
}

QRegion grownByOnePixel(const QRegion& region)
{
    const QRegion wide = region.united(region.translated(-1, 0)).united(region.translated(1, 0));
    return wide.united(wide.translated(0, -1)).united(wide.translated(0, 1));
}

namespace {

void setNativeShape(xcb_connection_t* connection, QWindow* window, xcb_shape_kind_t kind, const QRegion& region)
{
    const std::vector<xcb_rectangle_t> rectangles = rectanglesOf(region);
    xcb_shape_rectangles(connection, XCB_SHAPE_SO_SET, kind, XCB_CLIP_ORDERING_YX_BANDED,
                         xcb_window_t(window->winId()), 0, 0, uint32_t(rectangles.size()), rectangles.data());
}

} // namespace

void setGlyphShape(QWindow* window, const QRegion& glyphs, const QRegion& nativeGlyphs)
{
    if (!window)
        return;
    xcb_connection_t* connection = x11Connection();
    if (!connection) {
        // Qt sets a Wayland surface's input region from the mask and leaves
        // the picture whole.
        window->setMask(glyphs);
        return;
    }
    // Set past Qt, whose mask counts device-independent pixels only.
    setNativeShape(connection, window, XCB_SHAPE_SK_BOUNDING, grownByOnePixel(nativeGlyphs));
    setNativeShape(connection, window, XCB_SHAPE_SK_INPUT, nativeGlyphs);
    xcb_flush(connection);
}

void setOpaqueGlyphShape(QWindow* window, const QRegion& glyphs, const QRegion& nativeGlyphs)
{
    if (!window)
        return;
    xcb_connection_t* connection = x11Connection();
    if (!connection) {
        window->setMask(glyphs);
        return;
    }
    // The input shape follows the bounding one.
    setNativeShape(connection, window, XCB_SHAPE_SK_BOUNDING, nativeGlyphs);
    xcb_flush(connection);
}

} // namespace platform

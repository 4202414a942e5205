#pragma once

#include <QPixmap>
#include <QRegion>
#include <QString>

class QScreen;
class QWidget;
class QWindow;

// What a window needs to know and tell about the desktop it stands on:
// whether a compositing manager draws the screen, and the hints that keep
// compositors from decorating a window that covers the whole screen.
namespace platform {

// True when a compositing manager draws the screen, so that a translucent
// window shows the desktop through it: always on Wayland; on X11 when the
// screen's compositing manager selection (_NET_WM_CM_S<screen>) has an owner.
bool screenIsComposited();

// True where a full-screen window hides the whole desktop: sway (1.7)
// draws nothing beneath one, neither the desktop nor its bar, so around
// the glyphs of a full-screen stage the screen would be black. Told by
// the socket sway names to the programs it starts.
bool fullScreenHidesDesktop();

// Makes `window` cover `screen`, at its corner and above its panels: full
// screen, or where that hides the desktop, a floating window of the
// screen's size, which sway places at the corner of an output it fills
// and draws above its bar, with the desktop beneath.
void coverScreen(QWidget* window, const QScreen* screen);

// Asks compositors to draw `window` as it paints itself: without a shadow
// (_COMPTON_SHADOW = 0 on X11) and fully opaque even while another window is
// active (_NET_WM_WINDOW_OPACITY at its full value, which compositors prefer
// to their own dimming of inactive windows). Set on the window and on the
// frame its window manager put around it, as compositors read them from
// the frame: call it again once the window is mapped. Wayland
// compositors draw no shadows around client windows.
void setPlainForCompositors(QWindow* window);

// Whether a native event (QWidget::nativeEvent) tells that the window has
// been mapped: a window manager puts a window in its frame before that.
bool isMapEvent(const QByteArray& eventType, const void* message);

// Cuts a translucent window to the pixels of `glyphs` for the mouse, and to
// those pixels and one more all round for the picture, so that smooth edges
// painted half a pixel beyond them still show. `glyphs` is in the window's
// device-independent coordinates and `nativeGlyphs` the same glyphs in its
// device pixels: at a device pixel ratio above 1 the native one follows the
// outlines more finely than any scaling of the other. On X11 the two are the
// SHAPE extension's input and bounding kinds: window managers copy only the
// bounding shape to the frames they put around windows, and a frame without
// it would catch every click. On Wayland only the input region is set, as
// Wayland has nothing else, and it is given in device-independent pixels,
// as few rectangles as waylandInputRegion makes of it, and only once the
// compositor has read all that was sent before: a Wayland client whose
// socket fills is cut off. Steps that come meanwhile send only the last.
void setGlyphShape(QWindow* window, const QRegion& glyphs, const QRegion& nativeGlyphs);

// Cuts an opaque window to the glyphs, picture and mouse alike: on X11 to
// `nativeGlyphs` device pixel for device pixel; on Wayland the input region
// as setGlyphShape sets it; elsewhere to `glyphs` as the platform scales a
// window's mask.
void setOpaqueGlyphShape(QWindow* window, const QRegion& glyphs, const QRegion& nativeGlyphs);

// The picture at `path` for a screen of `devicePixelRatio` device pixels to
// a pixel: above 1, its drawing at twice the size ("name@2x.ext" beside
// it) where there is one, so that it is drawn on the device pixels rather
// than blown up from the pixels.
QPixmap sharpPicture(const QString& path, qreal devicePixelRatio);

// Most rectangles a Wayland input region is sent with: each costs 24 bytes
// on the socket and the compositor time in proportion to those before it.
constexpr int kMaxInputRegionRectangles = 256;

// Every pixel of `glyphs`, in whole cells of the finest grid (1, 2, 4 ...
// pixels) on which the region has at most `maxRectangles` rectangles: the
// strokes gain a few pixels of slack, their counters stay holes.
QRegion waylandInputRegion(const QRegion& glyphs, int maxRectangles = kMaxInputRegionRectangles);

// `region` grown by one pixel in each of the eight directions.
QRegion grownByOnePixel(const QRegion& region);

} // namespace platform

// The desktop's side of a glyph-shaped window on Windows: the window's
// region (SetWindowRgn) cuts its picture and its input to the glyphs, in
// device pixels.

#include "platform/desktopwindow.h"

#include <QWindow>

#include <windows.h>

#include <dwmapi.h>

#include <vector>

namespace platform {

namespace {

// A GDI region of `region`'s rectangles; the caller owns it.
HRGN toWindowsRegion(const QRegion& region)
{
    std::vector<char> data(sizeof(RGNDATAHEADER) + sizeof(RECT) * size_t(region.rectCount()));
    auto* header = reinterpret_cast<RGNDATA*>(data.data());
    header->rdh.dwSize = sizeof(RGNDATAHEADER);
    header->rdh.iType = RDH_RECTANGLES;
    header->rdh.nCount = DWORD(region.rectCount());
    header->rdh.nRgnSize = DWORD(sizeof(RECT) * size_t(region.rectCount()));
    const QRect bounds = region.boundingRect();
    header->rdh.rcBound = {bounds.left(), bounds.top(), bounds.right() + 1, bounds.bottom() + 1};
    auto* rects = reinterpret_cast<RECT*>(header->Buffer);
    for (const QRect& rect : region)
        *rects++ = {rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1};
    return ExtCreateRegion(nullptr, DWORD(data.size()), header);
}

// Sets the window's region past Qt, whose mask counts device-independent
// pixels only. The window owns the region from then on.
void setWindowRegion(QWindow* window, const QRegion& nativeRegion)
{
    const auto hwnd = reinterpret_cast<HWND>(window->winId());
    HRGN region = toWindowsRegion(nativeRegion);
    if (region && !SetWindowRgn(hwnd, region, TRUE))
        DeleteObject(region);
}

} // namespace

// The desktop window manager composes every window from Windows 8 on, and
// can't be turned off there; on Windows 7 the user's theme decides.
bool screenIsComposited()
{
    BOOL enabled = FALSE;
    return SUCCEEDED(DwmIsCompositionEnabled(&enabled)) && enabled;
}

// A frameless window gets no shadow from the desktop window manager, and
// inactive windows aren't dimmed.
void setPlainForCompositors(QWindow*)
{
}

bool isMapEvent(const QByteArray& eventType, const void* message)
{
    if (eventType != "windows_generic_MSG" || !message)
        return false;
    const auto* msg = static_cast<const MSG*>(message);
    return msg->message == WM_SHOWWINDOW && msg->wParam;
}

// A translucent window (a layered one, drawn by the compositor with its
// per-pixel alpha) keeps the pixel round the glyphs for its smooth edges;
// the region keeps clicks beside the glyphs from catching on a faint edge.
void setGlyphShape(QWindow* window, const QRegion&, const QRegion& nativeGlyphs)
{
    if (window)
        setWindowRegion(window, grownByOnePixel(nativeGlyphs));
}

void setOpaqueGlyphShape(QWindow* window, const QRegion&, const QRegion& nativeGlyphs)
{
    if (window)
        setWindowRegion(window, nativeGlyphs);
}

} // namespace platform

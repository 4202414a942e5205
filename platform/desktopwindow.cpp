#include "platform/desktopwindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <utility>
#include <vector>

// What the desktops have in common; what differs is in desktopwindow_linux.cpp
// and desktopwindow_windows.cpp.
namespace platform {

bool fullScreenHidesDesktop()
{
    return QGuiApplication::platformName().startsWith(u"wayland") && !qEnvironmentVariableIsEmpty("SWAYSOCK");
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

int cellOf(int coordinate, int cell)
{
    return coordinate >= 0 ? coordinate / cell : -((-coordinate + cell - 1) / cell);
}

using Runs = std::vector<std::pair<int, int>>; // first and last cell of each run in a row

// `region` on a grid of `cell` pixels: every cell that holds a pixel of it,
// whole. Rows of cells with the same runs make one band.
QRegion onGrid(const QRegion& region, int cell)
{
    const QRect bounds = region.boundingRect();
    const int left = cellOf(bounds.left(), cell);
    const int top = cellOf(bounds.top(), cell);
    const int columns = cellOf(bounds.right(), cell) - left + 1;
    const int rows = cellOf(bounds.bottom(), cell) - top + 1;
    std::vector<char> held(size_t(columns) * size_t(rows), 0);
    for (const QRect& rect : region) {
        const int first = cellOf(rect.left(), cell) - left;
        const int last = cellOf(rect.right(), cell) - left;
        for (int row = cellOf(rect.top(), cell) - top; row <= cellOf(rect.bottom(), cell) - top; ++row) {
            char* line = held.data() + size_t(row) * size_t(columns);
            std::fill(line + first, line + last + 1, char(1));
        }
    }

    std::vector<QRect> rectangles;
    Runs previous;
    size_t bandStart = 0;
    for (int row = 0; row < rows; ++row) {
        const char* line = held.data() + size_t(row) * size_t(columns);
        Runs runs;
        for (int column = 0; column < columns; ++column) {
            if (!line[column])
                continue;
            const int first = column;
            while (column + 1 < columns && line[column + 1])
                ++column;
            runs.emplace_back(first, column);
        }
        if (!runs.empty() && runs == previous) {
            for (size_t i = bandStart; i < rectangles.size(); ++i)
                rectangles[i].setBottom(rectangles[i].bottom() + cell);
            continue;
        }
        bandStart = rectangles.size();
        for (const auto& [first, last] : runs)
            rectangles.emplace_back(QPoint((left + first) * cell, (top + row) * cell),
                                    QPoint((left + last + 1) * cell - 1, (top + row + 1) * cell - 1));
        previous = std::move(runs);
    }
    QRegion result;
    result.setRects(rectangles.data(), int(rectangles.size()));
    return result;
}

} // namespace

QRegion waylandInputRegion(const QRegion& glyphs, int maxRectangles)
{
    QRegion region = glyphs;
    for (int cell = 2; region.rectCount() > std::max(maxRectangles, 1); cell *= 2)
        region = onGrid(glyphs, cell);
    return region;
}

} // namespace platform

#include "stage/glyphrenderer.h"

#include "platform/fonts.h"
#include "platform/gbk.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QRawFont>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace stage {

using settings::WordClass;

WordClass wordClassOf(QByteArrayView entry)
{
    switch (entry.size()) {
    case 2:
        return WordClass::One;
    case 4:
        return WordClass::Two;
    case 6:
        return WordClass::Three;
    case 8:
        return WordClass::Four;
    default:
        return WordClass::Many;
    }
}

qint64 fontHeightFor(qint32 points, qreal dpi)
{
    return std::llround(double(points) * dpi / 72.0);
}

QString drawingFace(QByteArrayView storedFace, const QString& currentFace)
{
    if (storedFace.isEmpty())
        return currentFace;
    const QByteArrayView name = storedFace.first(platform::gbk::prefixLength(storedFace, 31));
    const QString face = platform::gbk::decode(name);
    if (face.compare(u"Default", Qt::CaseInsensitive) == 0)
        return platform::defaultFaceName();
    return face;
}

namespace {

// The cell of a face that stands in for a named Kai face. Positions are
// stored for the named face's cell, whose top lies a good way above its
// ideographs: such faces keep room above the em box in the cell, and their
// ideographs clear the sides of the em box. The stand-ins declare a cell that
// ends at the em box's top (AR PL KaitiM GB: 900/1024 em) and draw ink to
// within 1/64 em of its left side, so the same position would lift the
// glyphs up and left, off the screen. A stand-in therefore gets the
// ideographic em box (0.88 em above the baseline to 0.12 em below) with a
// sixth of an em above it and a twelfth of an em before the first glyph.
// Every GB2312 ideograph of the preferred stand-in, emboldened, then lies in
// its cell with room to spare: at each class's default size and place it
// stays whole on a 1920 x 1080 screen at 96 dpi.
constexpr qreal kIdeographicEmTop = 0.88;
constexpr qreal kRoomAboveEm = 1.0 / 6;
constexpr qreal kRoomBeforeFirstGlyph = 1.0 / 12;

qreal emOf(const QFont& font)
{
    return font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
}

} // namespace

TextCell textCell(const QFont& font)
{
    const QFontMetricsF metrics(font);
    TextCell cell {metrics.ascent(), metrics.descent(), 0};
    if (platform::standsInForNamedKaiFace(font.family())) {
        const qreal em = emOf(font);
        cell.ascent = std::max(cell.ascent, (kIdeographicEmTop + kRoomAboveEm) * em);
        cell.roomBefore = kRoomBeforeFirstGlyph * em;
    }
    return cell;
}

namespace {

// The default height of a font whose height is given as 0.
constexpr int kDefaultPixelSize = 16;

int clampPixelSize(double pixels)
{
    return static_cast<int>(std::clamp(std::round(pixels), 1.0, double(kMaxPixelSize)));
}

// The character height that gives a text cell of `cellHeight` pixels.
int pixelSizeForCell(QFont font, qint64 cellHeight)
{
    constexpr int reference = 1000;
    font.setPixelSize(reference);
    const TextCell textCellAtReference = textCell(font);
    const qreal cell = textCellAtReference.ascent + textCellAtReference.descent;
    if (cell <= 0)
        return clampPixelSize(double(cellHeight));
    return clampPixelSize(double(cellHeight) * reference / cell);
}

} // namespace

QFont drawingFont(const QString& face, qint32 points, qreal dpi)
{
    QFont font(face);
    font.setWeight(QFont::Bold);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    font.setStyleStrategy(QFont::PreferOutline);
    const qint64 height = fontHeightFor(points, dpi);
    if (height > 0)
        font.setPixelSize(clampPixelSize(double(height)));
    else if (height < 0)
        font.setPixelSize(pixelSizeForCell(font, -height));
    else
        font.setPixelSize(kDefaultPixelSize);
    return font;
}

namespace {

// Whether the face that `font` resolves to draws its bold weight with
// outlines of its own. Faces without a bold design give the same outlines for
// both weights; their glyphs are thickened instead.
bool hasBoldOutlines(const QFont& font)
{
    static QHash<QString, bool> known;
    const QString family = QFontInfo(font).family();
    auto found = known.constFind(family);
    if (found != known.constEnd())
        return *found;

    QFont probe(family);
    probe.setPixelSize(100);
    QPainterPath regular;
    regular.addText(0, 0, probe, QStringLiteral("口H"));
    probe.setWeight(QFont::Bold);
    QPainterPath bold;
    bold.addText(0, 0, probe, QStringLiteral("口H"));
    const bool distinct = regular.boundingRect() != bold.boundingRect()
                          || regular.elementCount() != bold.elementCount();
    known.insert(family, distinct);
    return distinct;
}

} // namespace

qreal emboldenWidth(const QFont& font)
{
    if (hasBoldOutlines(font))
        return 0;
    // As much as the common font engines add when they embolden: a 24th of
    // the em, half of it on either side of each outline.
    return font.pixelSize() / 24.0;
}

QPainterPath glyphPath(const QString& text, const QFont& font, QPointF topLeft)
{
    const TextCell cell = textCell(font);
    QPainterPath path;
    path.addText(topLeft.x() + cell.roomBefore, topLeft.y() + cell.ascent, font, text);
    path.setFillRule(Qt::OddEvenFill);
    return path;
}

namespace {

// One closed contour of a path: its points (on-curve and control points) in
// order, without the point that repeats the start.
struct Contour {
    int firstElement;
    int count;
};

std::vector<Contour> contoursOf(const QPainterPath& path)
{
    std::vector<Contour> contours;
    const int elements = path.elementCount();
    int start = 0;
    for (int i = 1; i <= elements; ++i) {
        if (i < elements && !path.elementAt(i).isMoveTo())
            continue;
        int count = i - start;
        if (count > 1 && QPointF(path.elementAt(start)) == QPointF(path.elementAt(i - 1)))
            --count; // the closing element repeats the start
        if (count > 2)
            contours.push_back({start, count});
        start = i;
    }
    return contours;
}

// Twice the signed area enclosed by the contours: its sign tells on which
// side of its edges the font puts the ink.
qreal signedArea(const QPainterPath& path, const std::vector<Contour>& contours)
{
    qreal area = 0;
    for (const Contour& contour : contours) {
        for (int i = 0; i < contour.count; ++i) {
            const QPointF a = path.elementAt(contour.firstElement + i);
            const QPointF b = path.elementAt(contour.firstElement + (i + 1) % contour.count);
            area += a.x() * b.y() - b.x() * a.y();
        }
    }
    return area;
}

qreal length(QPointF v)
{
    return std::hypot(v.x(), v.y());
}

// The shift of one point of a contour: along the bisector of its two edges,
// by `strength` from each edge, limited where short edges would collapse.
QPointF pointShift(QPointF previous, QPointF point, QPointF next, qreal strength, qreal side)
{
    QPointF in = point - previous;
    QPointF out = next - point;
    const qreal inLength = length(in);
    const qreal outLength = length(out);
    if (inLength == 0 || outLength == 0)
        return {};
    in /= inLength;
    out /= outLength;
    qreal d = QPointF::dotProduct(in, out);
    if (d <= -0.9375)
        return {}; // a turn of almost 180 degrees: leave the spike alone
    d += 1;
    const QPointF shift = QPointF(in.y() + out.y(), -(in.x() + out.x())) * side;
    const qreal q = (out.x() * in.y() - out.y() * in.x()) * side;
    const qreal shortest = std::min(inLength, outLength);
    if (strength * q <= shortest * d)
        return shift * (strength / d);
    return shift * (shortest / q);
}

} // namespace

QPainterPath emboldened(const QPainterPath& path, qreal width)
{
    if (width <= 0 || path.isEmpty())
        return path;
    const std::vector<Contour> contours = contoursOf(path);
    const qreal side = signedArea(path, contours) >= 0 ? 1 : -1;
    const qreal strength = width / 2;

    QPainterPath result = path;
    result.setFillRule(Qt::WindingFill);
    for (const Contour& contour : contours) {
        auto at = [&](int i) {
            return QPointF(path.elementAt(contour.firstElement + (i + contour.count) % contour.count));
        };
        QPointF firstMoved;
        for (int i = 0; i < contour.count; ++i) {
            // Skip repeated points to find the true neighbours.
            int before = i - 1;
            while (before > i - contour.count && at(before) == at(i))
                --before;
            int after = i + 1;
            while (after < i + contour.count && at(after) == at(i))
                ++after;
            const QPointF moved = at(i) + pointShift(at(before), at(i), at(after), strength, side);
            result.setElementPositionAt(contour.firstElement + i, moved.x(), moved.y());
            if (i == 0)
                firstMoved = moved;
        }
        const int closing = contour.firstElement + contour.count;
        const bool hasClosingElement = closing < path.elementCount() && !path.elementAt(closing).isMoveTo();
        if (hasClosingElement)
            result.setElementPositionAt(closing, firstMoved.x(), firstMoved.y());
    }
    return result;
}

namespace {

// Builds a region from an 8-bit coverage image (0 or 255) whose top-left
// pixel lies at `origin`: one band per run of identical rows, as QRegion
// keeps them.
QRegion regionFromCoverage(const QImage& coverage, QPoint origin)
{
    std::vector<QRect> rects;
    std::vector<std::pair<int, int>> previousRuns;
    std::vector<std::pair<int, int>> runs;
    size_t bandStart = 0;

    auto closeBand = [&](int bottom) {
        for (size_t i = bandStart; i < rects.size(); ++i)
            rects[i].setBottom(bottom);
    };
    auto word = [](const uchar* bytes) {
        quint64 value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    };

    const int width = coverage.width();
    for (int y = 0; y < coverage.height(); ++y) {
        runs.clear();
        const uchar* row = coverage.constScanLine(y);
        int x = 0;
        while (x < width) {
            // Eight pixels at a time through the long empty and full stretches.
            while (x + 8 <= width && word(row + x) == 0)
                x += 8;
            while (x < width && row[x] == 0)
                ++x;
            const int start = x;
            while (x + 8 <= width && word(row + x) == ~quint64(0))
                x += 8;
            while (x < width && row[x] != 0)
                ++x;
            if (x > start)
                runs.emplace_back(start, x);
        }
        if (y > 0 && runs == previousRuns)
            continue; // the current band grows by this row
        closeBand(origin.y() + y - 1);
        bandStart = rects.size();
        for (const auto& [start, end] : runs)
            rects.emplace_back(origin.x() + start, origin.y() + y, end - start, 1);
        std::swap(previousRuns, runs);
    }
    closeBand(origin.y() + coverage.height() - 1);

    QRegion region;
    if (!rects.empty())
        region.setRects(rects.data(), static_cast<int>(rects.size()));
    return region;
}

} // namespace

QPainterPath withOutline(const QPainterPath& glyphs, qreal width)
{
    return emboldened(glyphs, 2 * width);
}

QRegion glyphRegion(const QPainterPath& path, QSize windowSize)
{
    if (path.isEmpty() || windowSize.isEmpty())
        return {};
    const QRectF reach = path.controlPointRect().adjusted(-1, -1, 1, 1);
    // Clipped while still in floating point: text placed near the 32-bit
    // limits reaches far beyond what integer rectangles hold.
    const QRectF window(QPointF(0, 0), QSizeF(windowSize));
    const QRect area = reach.intersected(window).toAlignedRect().intersected(QRect(QPoint(0, 0), windowSize));
    if (area.isEmpty())
        return {};

    QImage coverage(area.size(), QImage::Format_Alpha8);
    coverage.fill(0);
    {
        QPainter painter(&coverage);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.translate(-area.topLeft());
        painter.fillPath(path, Qt::black);
    }
    return regionFromCoverage(coverage, area.topLeft());
}

QRegion textShape(const QString& text, const QFont& font, QPointF topLeft, QSize windowSize)
{
    const QPainterPath outlines = glyphPath(text, font, topLeft);
    return glyphRegion(emboldened(outlines, emboldenWidth(font)), windowSize);
}

QRegion placeholderMark(QPoint place, QSize windowSize)
{
    constexpr int diameter = 48;
    const int x = std::clamp(place.x(), 0, std::max(0, windowSize.width() - diameter));
    const int y = std::clamp(place.y(), 0, std::max(0, windowSize.height() - diameter));
    return QRegion(QRect(x, y, diameter, diameter), QRegion::Ellipse);
}

} // namespace stage

#include "stage/pinyinlabels.h"

#include "core/pinyin.h"
#include "core/strokedata.h"
#include "platform/fonts.h"
#include "stage/glyphrenderer.h"

#include <QFontMetricsF>

#include <algorithm>

namespace stage {

namespace {

qreal emOf(const QFont& font)
{
    return font.pixelSize() > 0 ? font.pixelSize() : QFontMetricsF(font).height();
}

} // namespace

QList<CharacterPlace> characterPlaces(const QString& text, const QFont& font, QPointF topLeft)
{
    const TextCell cell = textCell(font);
    const QFontMetricsF metrics(font);
    const qreal em = emOf(font);
    QPointF origin(topLeft.x() + cell.roomBefore, topLeft.y() + cell.ascent);
    QList<CharacterPlace> places;
    for (const char32_t character : text.toUcs4()) {
        const QString glyph = QString::fromUcs4(&character, 1);
        const qreal advance = metrics.horizontalAdvance(glyph);
        QRectF box = core::glyphEmBox(origin, em);
        box.setWidth(advance);
        places.append({box});
        origin.rx() += advance;
    }
    return places;
}

QFont pinyinFont(qreal characterEm)
{
    QFont font(platform::defaultFaceName());
    font.setStyleStrategy(QFont::PreferOutline);
    font.setPixelSize(std::clamp(qRound(characterEm * kPinyinShareOfEm), 1, kMaxPixelSize));
    return font;
}

QPainterPath pinyinLabels(const QList<CharacterPlace>& places, const QStringList& syllables,
                          qreal characterEm)
{
    QPainterPath labels;
    labels.setFillRule(Qt::WindingFill);
    if (characterEm <= 0)
        return labels;
    const QFont font = pinyinFont(characterEm);
    const QFontMetricsF metrics(font);
    // Below the letters' baseline only g, j, p, q and y reach: the gap is
    // kept from the baseline, so that every syllable stands on one line.
    const qreal gap = characterEm * 0.04 + metrics.descent();
    const qsizetype count = std::min(places.size(), syllables.size());
    for (qsizetype i = 0; i < count; ++i) {
        const QString& syllable = syllables.at(i);
        if (syllable.isEmpty())
            continue;
        const QRectF& box = places.at(i).emBox;
        const qreal width = metrics.horizontalAdvance(syllable);
        labels.addText(box.center().x() - width / 2, box.top() - gap, font, syllable);
    }
    return labels;
}

QPainterPath pinyinOverCells(const QString& text, const QList<QRectF>& cells, const QFont& font, qreal scale,
                             qreal inkTop)
{
    const QStringList syllables = core::pinyinOf(text);
    if (std::all_of(syllables.begin(), syllables.end(), [](const QString& s) { return s.isEmpty(); }))
        return {};
    // One line for the whole entry, just above its highest stroke: over a
    // flat character such as 一 the em box's top would leave the syllable
    // far above it, or off the screen.
    const qreal em = emOf(font) * scale;
    QList<CharacterPlace> places;
    for (const QRectF& cell : cells)
        places.append({QRectF(cell.left(), inkTop, cell.width(), em)});
    QPainterPath labels = pinyinLabels(places, syllables, em);
    // An entry that fills the screen's height leaves no room above it: the
    // syllables then come down over the strokes' tops rather than be cut.
    const qreal top = labels.boundingRect().top();
    if (top < 0)
        labels.translate(0, -top);
    return labels;
}

} // namespace stage

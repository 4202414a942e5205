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

QPainterPath pinyinOverCells(const QString& text, const QList<QRectF>& cells, const QFont& font, qreal scale)
{
    const QStringList syllables = core::pinyinOf(text);
    if (std::all_of(syllables.begin(), syllables.end(), [](const QString& s) { return s.isEmpty(); }))
        return {};
    // A cell starts at the line's top; the em box hangs from the baseline.
    const qreal ascent = textCell(font).ascent * scale;
    const qreal em = emOf(font) * scale;
    QList<CharacterPlace> places;
    for (const QRectF& cell : cells) {
        QRectF box = core::glyphEmBox(QPointF(cell.left(), cell.top() + ascent), em);
        box.setWidth(cell.width());
        places.append({box});
    }
    return pinyinLabels(places, syllables, em);
}

} // namespace stage

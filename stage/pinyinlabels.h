#pragma once

#include <QFont>
#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>

// The pinyin printed above each character of the entry on the stage, as
// children's books print it: a small syllable with its tone mark, centred
// over the character it reads.
namespace stage {

// Where one character of the entry stands: its em box on screen (as wide as
// the character's advance, from the ideographs' top to their bottom).
struct CharacterPlace {
    QRectF emBox;
};

// The em boxes of the characters of `text` drawn in `font` with the top-left
// corner of its text cell at `topLeft`, in the order of the text: each
// glyph's origin is the cell's left edge plus the room before the first
// glyph, on the baseline, plus the advances of the characters before it.
QList<CharacterPlace> characterPlaces(const QString& text, const QFont& font, QPointF topLeft);

// The label font's size as a share of the characters' em.
inline constexpr qreal kPinyinShareOfEm = 0.24;

// The face the syllables are printed in: a plain sans face, whose letters
// carry every tone mark.
QFont pinyinFont(qreal characterEm);

// The outlines of the syllables, one over each place (an empty syllable
// prints nothing): centred across the place, its letters' bottom a small gap
// above the place's top. `syllables` pairs with `places` by index.
QPainterPath pinyinLabels(const QList<CharacterPlace>& places, const QStringList& syllables,
                          qreal characterEm);

// The pinyin of `text`, as the shipped reading file reads it, over its
// characters laid out on the stage: `cells` are the text cells of `text`'s
// characters (EntryLayout::characterCells) in `font` drawn `scale` times its
// size, `inkTop` the top of the entry's strokes. The syllables stand on one
// line just above the strokes, and never above the window's top edge. Empty
// for text without Chinese characters.
QPainterPath pinyinOverCells(const QString& text, const QList<QRectF>& cells, const QFont& font, qreal scale,
                             qreal inkTop);

} // namespace stage

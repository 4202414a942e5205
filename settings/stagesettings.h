#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>

namespace settings {

// The five size classes of an entry, by its length in GBK bytes.
// The settings keys number them One 1, Two 2, Three 3, Many 4, Four 5.
enum class WordClass { One, Two, Three, Four, Many };
inline constexpr int kWordClassCount = 5;

// A colour value: 0x00BBGGRR for a plain colour (red in the low byte);
// 0xFF0000nn for the desktop's system colour number nn; 0x1FFFFFFF "none";
// 0x20000000 "default".
using Colour = quint32;

inline constexpr Colour rgb(int red, int green, int blue)
{
    return Colour(red & 0xFF) | (Colour(green & 0xFF) << 8) | (Colour(blue & 0xFF) << 16);
}

enum class ColourMode { Random, Single };

// What a stored position means. Settings written before entries were
// centred hold the top-left corner of the text in window coordinates; now a
// position is how far the middle of the entry's ink lies from the middle of
// the screen, and an entry too big for the screen is drawn smaller.
enum class Placement { FromTopLeft, FromCentre };

struct Position {
    qint32 x = 0;
    qint32 y = 0;
    friend bool operator==(const Position&, const Position&) = default;
};

// The display settings in force. Fields start as they are before the
// settings file has been read: empty face, zero sizes and positions, black.
struct StageSettings {
    QByteArray fontFace;                                // GBK
    std::array<qint32, kWordClassCount> sizes {};       // points, by WordClass
    std::array<Position, kWordClassCount> positions {}; // pixels, by WordClass
    Colour singleColour = 0;
    ColourMode colourMode = ColourMode::Random;
    Placement placement = Placement::FromCentre;
    // A contrasting light or dark edge round every stroke.
    bool outline = true;
    // A calm plain colour over the whole screen behind the glyphs (幕布).
    bool backdrop = false;
    Colour backdropColour = 0;
    // Whether a right answer sets off a burst of stars around the glyphs.
    bool starBurst = true;
    // The pinyin above each character; off until the user turns it on.
    bool showPinyin = false;

    qint32& size(WordClass c) { return sizes[static_cast<int>(c)]; }
    qint32 size(WordClass c) const { return sizes[static_cast<int>(c)]; }
    Position& position(WordClass c) { return positions[static_cast<int>(c)]; }
    const Position& position(WordClass c) const { return positions[static_cast<int>(c)]; }
};

} // namespace settings

#include "settings/startupread.h"

#include "platform/error.h"
#include "settings/colourtext.h"
#include "settings/keys.h"

#include <limits>

namespace settings {

namespace {

using enum WordClass;

constexpr qint32 kDefaultStartPosition = -1;
constexpr qint32 kRandomModeValue = 1; // Single is stored as 2, but any other value reads as Single

// The classes in the order of their keys "1" to "5".
constexpr std::array<WordClass, kWordClassCount> kClassesByKey {One, Two, Three, Many, Four};

int keyNumber(WordClass c)
{
    for (int i = 0; i < kWordClassCount; ++i) {
        if (kClassesByKey[i] == c)
            return i;
    }
    return 0;
}

void readSize(const SettingsFile& file, StageSettings& settings, const StageSettings& defaults, WordClass c)
{
    settings.size(c) = file.readInteger(keys::kSizeSection, sizeKey(c), defaults.size(c));
}

void readX(const SettingsFile& file, StageSettings& settings, const StageSettings& defaults, WordClass c)
{
    settings.position(c).x = file.readInteger(keys::kPlaceSection, xKey(c), defaults.position(c).x);
}

void readY(const SettingsFile& file, StageSettings& settings, const StageSettings& defaults, WordClass c)
{
    settings.position(c).y = file.readInteger(keys::kPlaceSection, yKey(c), defaults.position(c).y);
}

void writePosition(SettingsFile& file, const char* key, qint32 value)
{
    file.writeInteger(keys::kPlaceSection, key, value);
}

} // namespace

const char* sizeKey(WordClass c)
{
    static constexpr const char* keys[] = {"1", "2", "3", "4", "5"};
    return keys[keyNumber(c)];
}

const char* xKey(WordClass c)
{
    static constexpr const char* keys[] = {"x1", "x2", "x3", "x4", "x5"};
    return keys[keyNumber(c)];
}

const char* yKey(WordClass c)
{
    static constexpr const char* keys[] = {"y1", "y2", "y3", "y4", "y5"};
    return keys[keyNumber(c)];
}

StageSettings defaultStageSettings()
{
    StageSettings settings;
    settings.fontFace = QByteArray(keys::kDefaultFontFace);
    settings.size(One) = 600;
    settings.size(Two) = 400;
    settings.size(Three) = 260;
    settings.size(Many) = 105;
    settings.size(Four) = 190;
    settings.placement = Placement::FromCentre; // every position (0, 0): centred
    settings.singleColour = textToColour(keys::kDefaultSingleColour);
    settings.colourMode = ColourMode::Random;
    settings.outline = true;
    settings.backdrop = false;
    settings.backdropColour = textToColour(keys::kDefaultBackdropColour);
    return settings;
}

std::array<Position, kWordClassCount> topLeftDefaultPositions()
{
    std::array<Position, kWordClassCount> positions {};
    positions[static_cast<int>(One)] = {100, -100};
    positions[static_cast<int>(Two)] = {-36, 50};
    positions[static_cast<int>(Three)] = {-22, 120};
    positions[static_cast<int>(Many)] = {0, 100};
    positions[static_cast<int>(Four)] = {0, 200};
    return positions;
}

Placement storedPlacement(const SettingsFile& file)
{
    // A key that is absent reads as this value, which no file holds.
    constexpr qint32 absent = std::numeric_limits<qint32>::min();
    const qint32 centred = file.readInteger(keys::kPlaceSection, keys::kCentredPlaces, absent);
    if (centred != absent)
        return centred == 0 ? Placement::FromTopLeft : Placement::FromCentre;
    // Earlier versions wrote all ten positions together, as top-left
    // corners; a file without any of them never held a position.
    for (WordClass c : kClassesByKey) {
        for (const char* key : {xKey(c), yKey(c)}) {
            if (file.readInteger(keys::kPlaceSection, key, absent) != absent)
                return Placement::FromTopLeft;
        }
    }
    return Placement::FromCentre;
}

void readStartupSettings(const SettingsFile& file, qint32& deckCursor, StageSettings& settings)
{
    deckCursor = file.readInteger(keys::kStartSection, keys::kStartPosition, kDefaultStartPosition);
    readDisplaySettings(file, settings);
}

void readDisplaySettings(const SettingsFile& file, StageSettings& settings)
{
    StageSettings defaults = defaultStageSettings();
    settings.placement = storedPlacement(file);
    if (settings.placement == Placement::FromTopLeft)
        defaults.positions = topLeftDefaultPositions();

    for (WordClass c : kClassesByKey)
        readSize(file, settings, defaults, c);

    // The positions are read in this odd order: x1, x2, x3, x4, y4, x5, y5, y1, y2, y3.
    for (WordClass c : {One, Two, Three})
        readX(file, settings, defaults, c);
    for (WordClass c : {Many, Four}) {
        readX(file, settings, defaults, c);
        readY(file, settings, defaults, c);
    }
    for (WordClass c : {One, Two, Three})
        readY(file, settings, defaults, c);

    settings.fontFace = file.readString(keys::kFontSection, keys::kFontFace, defaults.fontFace);
    settings.starBurst = file.readInteger(keys::kRewardSection, keys::kStarBurst, 1) != 0;
    settings.showPinyin = file.readInteger(keys::kFontSection, keys::kShowPinyin, 0) == 1;

    // Throws for a text that is not a colour; the colour mode is then left unread.
    settings.singleColour = textToColour(
        file.readString(keys::kColourSection, keys::kSingleColour, keys::kDefaultSingleColour));

    const qint32 mode = file.readInteger(keys::kColourSection, keys::kColourMode, kRandomModeValue);
    settings.colourMode = mode == kRandomModeValue ? ColourMode::Random : ColourMode::Single;

    settings.outline = file.readInteger(keys::kColourSection, keys::kOutline, 1) != 0;
    settings.backdrop = file.readInteger(keys::kColourSection, keys::kBackdrop, 0) != 0;
    // A backdrop colour that is not a colour keeps the default: the backdrop
    // is no reason to stop the start.
    const QByteArray backdropText = file.readString(keys::kColourSection, keys::kBackdropColour,
                                                    keys::kDefaultBackdropColour);
    try {
        settings.backdropColour = textToColour(backdropText);
    } catch (const platform::Error&) {
        settings.backdropColour = defaults.backdropColour;
    }
}

void writeDisplaySettings(SettingsFile& file, const StageSettings& settings)
{
    file.writeString(keys::kFontSection, keys::kFontFace, settings.fontFace);

    for (WordClass c : kClassesByKey)
        file.writeInteger(keys::kSizeSection, sizeKey(c), settings.size(c));

    for (WordClass c : {One, Two, Three})
        writePosition(file, xKey(c), settings.position(c).x);
    for (WordClass c : {One, Two, Three})
        writePosition(file, yKey(c), settings.position(c).y);
    for (WordClass c : {Many, Four}) {
        writePosition(file, xKey(c), settings.position(c).x);
        writePosition(file, yKey(c), settings.position(c).y);
    }
    file.writeInteger(keys::kPlaceSection, keys::kCentredPlaces,
                      settings.placement == Placement::FromCentre ? 1 : 0);
    file.writeInteger(keys::kColourSection, keys::kOutline, settings.outline ? 1 : 0);
    file.writeString(keys::kColourSection, keys::kBackdropColour, colourToText(settings.backdropColour));
}

void writeStarBurst(SettingsFile& file, bool on)
{
    file.writeInteger(keys::kRewardSection, keys::kStarBurst, on ? 1 : 0);
}

} // namespace settings

#include "settings/colourtext.h"

#include "platform/colours.h"
#include "settings/integertext.h"

#include <algorithm>
#include <array>

namespace settings {

namespace {

constexpr Colour kNone = 0x1FFFFFFF;
constexpr Colour kDefault = 0x20000000;
constexpr Colour kSystemColourBase = 0xFF000000;

constexpr Colour system(int number)
{
    return kSystemColourBase + Colour(number);
}

constexpr std::array<ColourName, 52> kColourNames {{
    {"clBlack", 0x00000000},
    {"clMaroon", 0x00000080},
    {"clGreen", 0x00008000},
    {"clOlive", 0x00008080},
    {"clNavy", 0x00800000},
    {"clPurple", 0x00800080},
    {"clTeal", 0x00808000},
    {"clGray", 0x00808080},
    {"clSilver", 0x00C0C0C0},
    {"clRed", 0x000000FF},
    {"clLime", 0x0000FF00},
    {"clYellow", 0x0000FFFF},
    {"clBlue", 0x00FF0000},
    {"clFuchsia", 0x00FF00FF},
    {"clAqua", 0x00FFFF00},
    {"clWhite", 0x00FFFFFF},
    {"clMoneyGreen", 0x00C0DCC0},
    {"clSkyBlue", 0x00F0CAA6},
    {"clCream", 0x00F0FBFF},
    {"clMedGray", 0x00A4A0A0},
    {"clNone", kNone},
    {"clDefault", kDefault},
    {"clActiveBorder", system(10)},
    {"clActiveCaption", system(2)},
    {"clAppWorkSpace", system(12)},
    {"clBackground", system(1)},
    {"clBtnFace", system(15)},
    {"clBtnHighlight", system(20)},
    {"clBtnShadow", system(16)},
    {"clBtnText", system(18)},
    {"clCaptionText", system(9)},
    {"clGradientActiveCaption", system(27)},
    {"clGradientInactiveCaption", system(28)},
    {"clGrayText", system(17)},
    {"clHighlight", system(13)},
    {"clHighlightText", system(14)},
    {"clHotLight", system(26)},
    {"clInactiveBorder", system(11)},
    {"clInactiveCaption", system(3)},
    {"clInactiveCaptionText", system(19)},
    {"clInfoBk", system(24)},
    {"clInfoText", system(23)},
    {"clMenu", system(4)},
    {"clMenuBar", system(30)},
    {"clMenuHighlight", system(29)},
    {"clMenuText", system(7)},
    {"clScrollBar", system(0)},
    {"cl3DDkShadow", system(21)},
    {"cl3DLight", system(22)},
    {"clWindow", system(5)},
    {"clWindowFrame", system(6)},
    {"clWindowText", system(8)},
}};

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// Only A to Z fold: the names are ASCII, and the text is GBK.
bool equalsIgnoringAsciiCase(QByteArrayView a, QByteArrayView b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

bool isSystemColour(Colour colour)
{
    return (colour & 0xFF000000) == kSystemColourBase;
}

} // namespace

std::span<const ColourName> colourNames()
{
    return kColourNames;
}

QByteArray colourToText(Colour colour)
{
    for (const ColourName& entry : kColourNames) {
        if (entry.value == colour)
            return QByteArray(entry.name);
    }
    return '$' + QByteArray::number(colour, 16).toUpper().rightJustified(8, '0');
}

Colour textToColour(QByteArrayView text)
{
    for (const ColourName& entry : kColourNames) {
        if (equalsIgnoringAsciiCase(text, QByteArrayView(entry.name)))
            return entry.value;
    }
    return static_cast<Colour>(toInteger(text));
}

std::optional<QColor> toQColor(Colour colour)
{
    if (colour == kNone || colour == kDefault)
        return std::nullopt;
    if (isSystemColour(colour))
        return platform::systemColour(int(colour & 0xFF));
    // Any other high byte is ignored: the low three bytes are the colour.
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

Colour fromQColor(const QColor& colour)
{
    return rgb(colour.red(), colour.green(), colour.blue());
}

} // namespace settings

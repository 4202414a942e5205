#include "positionpicker/decksearch.h"

#include "platform/gbk.h"

#include <QHash>
#include <QList>

#include <cstring>

#include <vector>

namespace positionpicker {

namespace {

// The GBK bytes of every character whose case-folded form is the same: the
// ways a typed character may be spelled at the start of an entry.
using Spellings = std::vector<QByteArray>;

// Every character that GBK holds, keyed by its case-folded form. Built once.
// A single byte may stand for a character too (0x80 for the euro sign, and
// whatever the decoder makes of 0xFF), so every byte is decoded alone; a
// lead byte alone decodes to a replacement character and is left out.
const QHash<char16_t, Spellings>& spellingsByFoldedCharacter()
{
    static const QHash<char16_t, Spellings> table = [] {
        QHash<char16_t, Spellings> byFold;
        auto add = [&byFold](const QByteArray& code, QStringView character) {
            if (character.size() == 1 && character[0] != QChar::ReplacementCharacter)
                byFold[character[0].toCaseFolded().unicode()].push_back(code);
        };
        for (int single = 0x01; single <= 0xFF; ++single) {
            const QByteArray code(1, char(single));
            if (single != '\r' && single != '\n')
                add(code, platform::gbk::decode(code));
        }
        // The double-byte codes in one call, each followed by a line end,
        // which is no trail byte: a code that is no character cannot run
        // into the next one.
        std::vector<QByteArray> codes;
        QByteArray allCodes;
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                const char pair[] = {char(lead), char(trail)};
                if (trail == 0x7F)
                    continue;
                codes.emplace_back(pair, 2);
                allCodes += codes.back() + '\n';
            }
        }
        const QString decoded = platform::gbk::decode(allCodes);
        const QList<QStringView> characters = QStringView(decoded).split(u'\n');
        Q_ASSERT(characters.size() == qsizetype(codes.size()) + 1);
        for (size_t i = 0; i < codes.size() && i < size_t(characters.size()); ++i)
            add(codes[i], characters[qsizetype(i)]);
        return byFold;
    }();
    return table;
}

// The spellings of each typed character, or nothing when one of them has no
// GBK form.
bool spellTyped(QStringView typed, std::vector<const Spellings*>& pattern)
{
    const QHash<char16_t, Spellings>& table = spellingsByFoldedCharacter();
    for (QChar character : typed) {
        const auto found = table.constFind(character.toCaseFolded().unicode());
        if (found == table.constEnd())
            return false;
        pattern.push_back(&found.value());
    }
    return true;
}

// Whether the entry starting at `text` begins with the pattern. Spellings
// hold no line end, so the comparison stops at the entry's end; no spelling
// is the beginning of another, so the first that fits is the character.
bool beginsWith(const char* text, const std::vector<const Spellings*>& pattern)
{
    for (const Spellings* spellings : pattern) {
        const char* next = nullptr;
        for (const QByteArray& spelling : *spellings) {
            if (std::memcmp(text, spelling.constData(), size_t(spelling.size())) == 0) {
                next = text + spelling.size();
                break;
            }
        }
        if (!next)
            return false;
        text = next;
    }
    return true;
}

// The first row in [from, to) that begins with the pattern, or -1.
qsizetype findInRows(const core::Deck& deck, qsizetype from, qsizetype to,
                     const std::vector<const Spellings*>& pattern)
{
    // The entries that begin with a spelling of the first character, both
    // its bytes: many entries may share its first byte alone.
    return deck.findEntry(from, to, *pattern.front(), [&pattern](QByteArrayView entry) {
        // An entry that holds text GBK can't show is listed empty: no typed
        // character starts it.
        return beginsWith(entry.data(), pattern) && !platform::gbk::holdsForeignRun(entry);
    });
}

} // namespace

qsizetype findEntryStartingWith(const core::Deck& deck, qsizetype startRow, QStringView typed)
{
    if (deck.isEmpty())
        return -1;
    if (startRow < 0 || startRow >= deck.size())
        startRow = 0;
    // Every row's text as shown begins with empty text, the rows shown empty
    // (text GBK can't show) among them.
    if (typed.isEmpty())
        return startRow;
    std::vector<const Spellings*> pattern;
    if (!spellTyped(typed, pattern))
        return -1;
    const qsizetype found = findInRows(deck, startRow, deck.size(), pattern);
    return found >= 0 ? found : findInRows(deck, 0, startRow, pattern);
}

} // namespace positionpicker

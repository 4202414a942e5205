// Deck files and the cursor, against plain reference implementations: the
// entries a deck file holds, its file form, the cursor's advance and step
// back on any cursor, and the picker's type-ahead over the deck's bytes.
#include "core/deck.h"
#include "core/stagestate.h"
#include "fuzz/fuzzcheck.h"
#include "platform/error.h"
#include "platform/gbk.h"
#include "positionpicker/decksearch.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QString>

#include <vector>

namespace {

// A deck file cut into entries the plain way.
std::vector<QByteArray> referenceEntries(QByteArrayView file)
{
    const qsizetype nul = file.indexOf('\0');
    if (nul >= 0)
        file = file.first(nul);
    std::vector<QByteArray> entries;
    QByteArray entry;
    for (qsizetype i = 0; i < file.size(); ++i) {
        const char c = file[i];
        if (c == '\r' || c == '\n') {
            entries.push_back(entry);
            entry.clear();
            if (c == '\r' && i + 1 < file.size() && file[i + 1] == '\n')
                ++i;
        } else {
            entry += c;
        }
    }
    if (!entry.isEmpty())
        entries.push_back(entry);
    return entries;
}

// Advancing: from the last entry back to the front; a cursor that is then
// no index starts again at 0.
qint64 referenceAdvance(qint64 cursor, qint64 size)
{
    if (cursor == size - 1)
        cursor = -1;
    cursor += 1;
    if (cursor < 0 || cursor >= size)
        cursor = 0;
    return cursor;
}

void checkCursor(FuzzedDataProvider& input, qsizetype deckSize)
{
    core::DeckCursor cursor = input.ConsumeIntegral<qint32>();
    for (int step = 0; step < 4; ++step) {
        const core::DeckCursor before = cursor;
        if (input.ConsumeBool()) {
            const qsizetype index = core::advance(cursor, deckSize);
            const qint64 expected = referenceAdvance(before, deckSize);
            FUZZ_CHECK(cursor == expected);
            FUZZ_CHECK(index == (deckSize == 0 ? -1 : expected));
        } else {
            const bool front = core::stepCursorBack(cursor);
            const qint64 back = qint64(before) - 2;
            FUZZ_CHECK(front == (back < -1));
            FUZZ_CHECK(cursor == (front ? -1 : back));
        }
    }
}

// Type-ahead: the first entry from `start` on, wrapping round, whose decoded
// text begins with the typed text, letters compared without case.
qsizetype referenceSearch(const std::vector<QByteArray>& entries, qsizetype start, const QString& typed)
{
    const qsizetype count = qsizetype(entries.size());
    for (qsizetype k = 0; k < count; ++k) {
        const qsizetype row = (start + k) % count;
        if (platform::gbk::decode(entries[size_t(row)]).startsWith(typed, Qt::CaseInsensitive))
            return row;
    }
    return -1;
}

void checkSearch(FuzzedDataProvider& input, const core::Deck& deck, const std::vector<QByteArray>& entries)
{
    if (entries.empty())
        return;
    const qsizetype start = input.ConsumeIntegralInRange<qsizetype>(0, deck.size() - 1);
    // Typed text is text a GBK deck can hold (other text starts no entry).
    const QString typed = platform::gbk::decode(
        QByteArray::fromStdString(input.ConsumeRandomLengthString(6)));
    if (typed.contains(QChar::ReplacementCharacter) || typed.contains(u'\r') || typed.contains(u'\n'))
        return;
    FUZZ_CHECK(positionpicker::findEntryStartingWith(deck, start, typed)
               == referenceSearch(entries, start, typed));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string file = input.ConsumeRandomLengthString(4096);
    const QByteArray bytes = QByteArray::fromStdString(file);

    const core::Deck deck = core::Deck::fromFileBytes(bytes);
    const std::vector<QByteArray> expected = referenceEntries(bytes);
    FUZZ_CHECK(deck.size() == qsizetype(expected.size()));
    FUZZ_CHECK(deck.entries() == expected);
    for (qsizetype i = 0; i < deck.size(); ++i)
        FUZZ_CHECK(deck.at(i).toByteArray() == expected[size_t(i)]);
    FUZZ_CHECK(deck.toFileBytes() == core::Deck::toFileBytes(expected));
    // Written and read again, a deck is the same deck unless an entry holds a
    // line end or NUL, which no entry read from a file does.
    FUZZ_CHECK(core::Deck::fromFileBytes(deck.toFileBytes()).entries() == expected);

    checkCursor(input, deck.size());
    checkSearch(input, deck, expected);
    return 0;
}

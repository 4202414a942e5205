#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <algorithm>
#include <functional>
#include <vector>

namespace core {

// The ordered list of entries that the stage steps through: GBK byte strings
// in file order, duplicates and empty entries kept. A deck keeps the file's
// bytes as they are and notes where every sixteenth entry starts: loading a
// library of a million lines costs little more than reading it, copies share
// the bytes, and an entry is found by stepping over at most fifteen lines.
class Deck {
public:
    Deck() = default;

    // Cuts file bytes into entries: an entry ends at CR, LF or CR LF; reading
    // stops at the first NUL; a last line without a line end is an entry; a
    // line end at the very end adds no empty entry; nothing is trimmed.
    // Throws platform::Error for text of 4 GiB or more.
    static Deck fromFileBytes(QByteArray bytes);
    static Deck fromEntries(const std::vector<QByteArray>& entries);

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    QByteArrayView at(qsizetype index) const;

    std::vector<QByteArray> entries() const;

    // Finds entries by index for a pass over rows that mostly follow one
    // another, as an edited library's do: the entry after the last one found
    // is the next line, where at() steps from a noted start each time; any
    // other is found from its noted start. Holds no table of the entries
    // (for a million entries a table of views is 16 MB of fresh memory).
    // Views are valid while the deck lives.
    class Walker {
    public:
        explicit Walker(const Deck& deck)
            : m_deck(deck)
        {
        }
        QByteArrayView at(qsizetype index);

    private:
        const Deck& m_deck;
        qsizetype m_index = -2; // the last entry found
        qsizetype m_next = 0;   // where the entry after it starts
    };

    // The first entry of [from, to) that begins with one of `beginnings` and
    // that `accepts` takes, or -1. Each beginning is one or two bytes, none
    // a line end (a character's GBK code). The text is looked at 64 bytes at
    // a time, so only the entries that begin so are handed to `accepts`: a
    // million entries that hardly any begin so are passed over in a
    // millisecond, however many share the first byte. An empty entry
    // begins with nothing.
    using EntryTest = std::function<bool(QByteArrayView entry)>;
    qsizetype findEntry(qsizetype from, qsizetype to, const std::vector<QByteArray>& beginnings,
                        const EntryTest& accepts) const;

    // Decks are equal when their text is, line ends included.
    bool operator==(const Deck& other) const { return m_size == other.m_size && m_text == other.m_text; }

    // The deck in its file form: every entry followed by CR LF.
    QByteArray toFileBytes() const;
    static QByteArray toFileBytes(const std::vector<QByteArray>& entries, QByteArrayView lineEnd = "\r\n");
    // The same for entries handed out one at a time, entryAt(0) to
    // entryAt(count - 1), so that an editor need not copy them first.
    using EntryAt = std::function<QByteArrayView(qsizetype)>;
    static QByteArray toFileBytes(qsizetype count, const EntryAt& entryAt, QByteArrayView lineEnd = "\r\n");
    // The same with the entries handed out by any callable, called in line:
    // a call through EntryAt for each of a million entries is felt.
    template <typename EntryAtRow>
    static QByteArray joinedLines(qsizetype count, const EntryAtRow& entryAt, QByteArrayView lineEnd);

    // Entries per noted start.
    static constexpr qsizetype kStride = 16;

private:
    // Where entry `index` starts in the text; the text's size for size().
    qsizetype startOf(qsizetype index) const;
    // The entry that starts at `offset` of the text.
    qsizetype indexOfStart(qsizetype offset) const;
    // Hands every entry to `take`, first to last.
    template <typename Take> void forEachEntry(Take take) const;

    // The text, cut at a NUL and ended by a line end.
    QByteArray m_text;
    qsizetype m_size = 0;
    // Where entries 0, 16, 32, ... start in the text.
    std::vector<quint32> m_checkpoints;
};

// Reads a deck file, GBK or UTF-8 (platform/textencoding.h); the entries are
// GBK either way. A character GBK can't hold stays in its entry as a foreign
// run, so the stage shows its placeholder mark for that entry and writing
// the deck back restores the line. Throws platform::Error("Cannot open
// file ...").
Deck readDeckFile(const QString& path);

// Writes entries in the deck file form, replacing the file atomically. An
// existing file keeps its encoding (and byte-order mark); a UTF-8 file also
// keeps its line end. A new file is GBK, unless entries hold foreign runs,
// which only UTF-8 can keep. The file always reads back as written: a UTF-8
// file that would read as GBK afterwards gets a byte-order mark. Throws platform::Error("Cannot create file
// ...").
void writeDeckFile(const QString& path, const std::vector<QByteArray>& entries);
void writeDeckFile(const QString& path, qsizetype count, const Deck::EntryAt& entryAt);
// The same for text that the caller joins itself, with the line end given
// (the file's own, as above).
using TextWithLineEnd = std::function<QByteArray(QByteArrayView lineEnd)>;
void writeDeckText(const QString& path, const TextWithLineEnd& textWith);

template <typename EntryAtRow>
QByteArray Deck::joinedLines(qsizetype count, const EntryAtRow& entryAt, QByteArrayView lineEnd)
{
    qsizetype total = 0;
    for (qsizetype i = 0; i < count; ++i)
        total += entryAt(i).size() + lineEnd.size();
    // Copied into place: appending checks the array's room at every step,
    // which a million entries feel.
    QByteArray bytes(total, Qt::Uninitialized);
    char* out = bytes.data();
    for (qsizetype i = 0; i < count; ++i) {
        const QByteArrayView entry = entryAt(i);
        out = std::copy(entry.begin(), entry.end(), out);
        out = std::copy(lineEnd.begin(), lineEnd.end(), out);
    }
    return bytes;
}

} // namespace core

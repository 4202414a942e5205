#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

namespace stage {

// The ordered list of entries that the stage steps through: GBK byte strings
// in file order, duplicates and empty entries kept. A deck read from a file
// keeps the file's bytes and the place of each entry in them, so a library of
// a million lines loads with one allocation for the text.
class Deck {
public:
    Deck() = default;

    // Cuts file bytes into entries: an entry ends at CR, LF or CR LF; reading
    // stops at the first NUL; a last line without a line end is an entry; a
    // line end at the very end adds no empty entry; nothing is trimmed.
    static Deck fromFileBytes(QByteArray bytes);
    static Deck fromEntries(const std::vector<QByteArray>& entries);

    qsizetype size() const { return static_cast<qsizetype>(m_spans.size()); }
    bool isEmpty() const { return m_spans.empty(); }
    QByteArrayView at(qsizetype index) const;

    std::vector<QByteArray> entries() const;

    // The deck in its file form: every entry followed by CR LF.
    QByteArray toFileBytes() const;
    static QByteArray toFileBytes(const std::vector<QByteArray>& entries);

private:
    struct Span {
        qsizetype start;
        qsizetype length;
    };
    QByteArray m_text;
    std::vector<Span> m_spans;
};

// Reads a deck file. Throws platform::Error("Cannot open file ...").
Deck readDeckFile(const QString& path);

// Writes entries in the deck file form, replacing the file atomically.
// Throws platform::Error("Cannot create file ...").
void writeDeckFile(const QString& path, const std::vector<QByteArray>& entries);

} // namespace stage

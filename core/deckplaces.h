#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>

#include <map>
#include <optional>
#include <vector>

// Where each deck stands, the library's shuffled order and the review of the
// day: what the stage keeps so that switching decks and back returns to the
// same entry.
namespace core {

enum class DeckKind;

// A place is stored as the start position is: the file index of the entry
// showing, minus one, so that the next advance shows that entry again.
class DeckPlaces {
public:
    void remember(DeckKind kind, qint32 place) { m_places[kind] = place; }
    void forget(DeckKind kind) { m_places.erase(kind); }
    // The place kept for `kind`; -1 (the first entry) when it has none.
    qint32 placeOf(DeckKind kind) const;
    bool has(DeckKind kind) const { return m_places.count(kind) != 0; }

private:
    std::map<DeckKind, qint32> m_places;
};

// An order of `size` entries shuffled by `day`: the same all day, another the
// next. Element i is the file index of the entry shown at position i.
std::vector<qsizetype> shuffledOrder(qsizetype size, QDate day);

// One review: the entries due when it began and which of them are judged.
// A review does not wrap around and records each entry once.
class ReviewSession {
public:
    ReviewSession(const QList<QByteArray>& entries, QDate day);

    const QList<QByteArray>& entries() const { return m_entries; }
    QDate day() const { return m_day; }
    qsizetype size() const { return m_entries.size(); }

    bool isJudged(qsizetype index) const;
    // Marks the entry judged; false when it already was (nothing to record).
    bool markJudged(qsizetype index);
    void unmarkJudged(qsizetype index);
    bool isComplete() const { return m_judgedCount == size(); }

    // "3 / 8" while the third of eight entries shows.
    QString progressText(qsizetype index) const;

private:
    QList<QByteArray> m_entries;
    QDate m_day;
    std::vector<bool> m_judged;
    qsizetype m_judgedCount = 0;
};

} // namespace core

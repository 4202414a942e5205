#include "libraryeditor/librarymodel.h"

#include "platform/gbk.h"

#include <numeric>
#include <stdexcept>

namespace libraryeditor {

int LibraryRows::count() const
{
    return static_cast<int>(m_rowsAreTheDeck ? m_deck.size() : qsizetype(m_rows.size()));
}

quint32 LibraryRows::referenceOf(int row) const
{
    if (row < 0 || row >= count())
        throw std::out_of_range("library row");
    return m_rowsAreTheDeck ? quint32(row) : m_rows[static_cast<size_t>(row)];
}

void LibraryRows::referToEveryRow()
{
    if (!m_rowsAreTheDeck)
        return;
    m_rows.resize(static_cast<size_t>(m_deck.size()));
    std::iota(m_rows.begin(), m_rows.end(), quint32(0));
    m_rowsAreTheDeck = false;
}

QByteArrayView LibraryRows::entry(int row) const
{
    const quint32 reference = referenceOf(row);
    if (reference < m_deck.size())
        return m_deck.at(reference);
    return m_typed[reference - static_cast<size_t>(m_deck.size())];
}

QByteArray LibraryRows::fileText(QByteArrayView lineEnd) const
{
    // Rows mostly follow the deck's order, with typed entries between them:
    // the walker takes each deck entry from where the last one ended.
    core::Deck::Walker deckEntries(m_deck);
    if (m_rowsAreTheDeck) {
        return core::Deck::joinedLines(
            m_deck.size(), [&](qsizetype row) { return deckEntries.at(row); }, lineEnd);
    }
    const quint32 deckSize = quint32(m_deck.size());
    return core::Deck::joinedLines(
        qsizetype(m_rows.size()),
        [&](qsizetype row) {
            const quint32 reference = m_rows[size_t(row)];
            return reference < deckSize ? deckEntries.at(reference)
                                        : QByteArrayView(m_typed[reference - deckSize]);
        },
        lineEnd);
}

void LibraryRows::writeFile(const QString& path) const
{
    core::writeDeckText(path, [this](QByteArrayView lineEnd) { return fileText(lineEnd); });
}

LibraryModel::LibraryModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

int LibraryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant LibraryModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= count())
        return {};
    return platform::gbk::decode(entry(index.row()));
}

std::vector<QByteArray> LibraryModel::entries() const
{
    std::vector<QByteArray> result;
    result.reserve(static_cast<size_t>(count()));
    for (int row = 0; row < count(); ++row)
        result.emplace_back(entry(row).toByteArray());
    return result;
}

QByteArray LibraryModel::toFileBytes() const
{
    return core::Deck::toFileBytes(count(), [this](qsizetype row) { return entry(int(row)); });
}

void LibraryModel::setDeck(core::Deck deck)
{
    beginResetModel();
    m_library = LibraryRows();
    m_library.m_deck = std::move(deck);
    endResetModel();
}

void LibraryModel::setEntries(const std::vector<QByteArray>& entries)
{
    // Kept as they are, even entries that a deck file could not hold.
    beginResetModel();
    m_library = LibraryRows();
    m_library.m_typed = entries;
    m_library.m_rows.resize(entries.size());
    std::iota(m_library.m_rows.begin(), m_library.m_rows.end(), quint32(0));
    m_library.m_rowsAreTheDeck = false;
    endResetModel();
}

void LibraryModel::append(const QByteArray& entry)
{
    insert(count(), entry);
}

void LibraryModel::insert(int row, const QByteArray& entry)
{
    Q_ASSERT(row >= 0 && row <= count());
    m_library.referToEveryRow();
    const quint32 reference = static_cast<quint32>(m_library.m_deck.size()
                                                   + qsizetype(m_library.m_typed.size()));
    m_library.m_typed.push_back(entry);
    beginInsertRows(QModelIndex(), row, row);
    m_library.m_rows.insert(m_library.m_rows.begin() + row, reference);
    endInsertRows();
}

QByteArray LibraryModel::take(int row)
{
    Q_ASSERT(row >= 0 && row < count());
    QByteArray taken = entry(row).toByteArray();
    m_library.referToEveryRow();
    beginRemoveRows(QModelIndex(), row, row);
    m_library.m_rows.erase(m_library.m_rows.begin() + row);
    endRemoveRows();
    return taken;
}

} // namespace libraryeditor

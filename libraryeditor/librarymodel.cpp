#include "libraryeditor/librarymodel.h"

#include "platform/gbk.h"

#include <numeric>
#include <stdexcept>

namespace libraryeditor {

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

int LibraryModel::count() const
{
    return static_cast<int>(m_rowsAreTheDeck ? m_deck.size() : qsizetype(m_rows.size()));
}

quint32 LibraryModel::referenceOf(int row) const
{
    if (row < 0 || row >= count())
        throw std::out_of_range("library row");
    return m_rowsAreTheDeck ? quint32(row) : m_rows[static_cast<size_t>(row)];
}

void LibraryModel::referToEveryRow()
{
    if (!m_rowsAreTheDeck)
        return;
    m_rows.resize(static_cast<size_t>(m_deck.size()));
    std::iota(m_rows.begin(), m_rows.end(), quint32(0));
    m_rowsAreTheDeck = false;
}

QByteArrayView LibraryModel::entry(int row) const
{
    const quint32 reference = referenceOf(row);
    if (reference < m_deck.size())
        return m_deck.at(reference);
    return m_typed[reference - static_cast<size_t>(m_deck.size())];
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
    m_typed.clear();
    m_deck = std::move(deck);
    m_rows = {};
    m_rowsAreTheDeck = true;
    endResetModel();
}

void LibraryModel::setEntries(const std::vector<QByteArray>& entries)
{
    // Kept as they are, even entries that a deck file could not hold.
    beginResetModel();
    m_deck = core::Deck();
    m_typed = entries;
    m_rows.resize(m_typed.size());
    std::iota(m_rows.begin(), m_rows.end(), quint32(0));
    m_rowsAreTheDeck = false;
    endResetModel();
}

void LibraryModel::append(const QByteArray& entry)
{
    insert(count(), entry);
}

void LibraryModel::insert(int row, const QByteArray& entry)
{
    Q_ASSERT(row >= 0 && row <= count());
    referToEveryRow();
    const quint32 reference = static_cast<quint32>(m_deck.size() + qsizetype(m_typed.size()));
    m_typed.push_back(entry);
    beginInsertRows(QModelIndex(), row, row);
    m_rows.insert(m_rows.begin() + row, reference);
    endInsertRows();
}

QByteArray LibraryModel::take(int row)
{
    Q_ASSERT(row >= 0 && row < count());
    QByteArray taken = entry(row).toByteArray();
    referToEveryRow();
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
    return taken;
}

} // namespace libraryeditor

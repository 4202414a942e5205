#include "tianjia/librarymodel.h"

#include "platform/gbk.h"

namespace tianjia {

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
    return platform::gbk::decode(m_entries[static_cast<size_t>(index.row())]);
}

void LibraryModel::setEntries(std::vector<QByteArray> entries)
{
    beginResetModel();
    m_entries = std::move(entries);
    endResetModel();
}

void LibraryModel::append(const QByteArray& entry)
{
    insert(count(), entry);
}

void LibraryModel::insert(int row, const QByteArray& entry)
{
    Q_ASSERT(row >= 0 && row <= count());
    beginInsertRows(QModelIndex(), row, row);
    m_entries.insert(m_entries.begin() + row, entry);
    endInsertRows();
}

QByteArray LibraryModel::take(int row)
{
    Q_ASSERT(row >= 0 && row < count());
    beginRemoveRows(QModelIndex(), row, row);
    QByteArray entry = std::move(m_entries[static_cast<size_t>(row)]);
    m_entries.erase(m_entries.begin() + row);
    endRemoveRows();
    return entry;
}

} // namespace tianjia

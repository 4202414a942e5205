#pragma once

#include <QAbstractListModel>
#include <QByteArray>

#include <vector>

namespace tianjia {

// The library editor's own copy of the library: GBK entries in file order,
// one row each. The rows are shown decoded; the bytes are what is written.
// Rows are inserted and removed through the model's signals, so the list's
// highlight moves with its entry and vanishes with it, as a list box's does.
class LibraryModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit LibraryModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    const std::vector<QByteArray>& entries() const { return m_entries; }
    int count() const { return static_cast<int>(m_entries.size()); }

    void setEntries(std::vector<QByteArray> entries);
    void append(const QByteArray& entry);
    // Inserts before `row`; `row` == count() appends.
    void insert(int row, const QByteArray& entry);
    // Removes the entry at `row` and returns it.
    QByteArray take(int row);

private:
    std::vector<QByteArray> m_entries;
};

} // namespace tianjia

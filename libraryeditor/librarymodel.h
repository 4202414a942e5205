#pragma once

#include "core/deck.h"

#include <QAbstractListModel>
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

namespace libraryeditor {

// The library's rows as the editor holds them (see LibraryModel). A copy is
// cheap and stands on its own: the deck's bytes and the typed entries are
// shared, and only the rows' references (four bytes a row) are copied. So a
// copy can be written on another thread while the editor goes on.
class LibraryRows {
public:
    int count() const;
    QByteArrayView entry(int row) const;
    // Writes the rows as the library file (core::writeDeckFile's form);
    // throws platform::Error.
    void writeFile(const QString& path) const;

private:
    friend class LibraryModel;

    quint32 referenceOf(int row) const;
    // Gives every row its reference, before the first edit.
    void referToEveryRow();
    // The rows in the deck file form, each followed by `lineEnd`.
    QByteArray fileText(QByteArrayView lineEnd) const;

    // The entries as read from the file.
    core::Deck m_deck;
    // Entries typed in the editor, never removed while the editor is open:
    // a removed row only loses its reference.
    std::vector<QByteArray> m_typed;
    // Row i shows deck entry m_rows[i] when that is below the deck's size,
    // else typed entry m_rows[i] - deck size. Unused while the rows are
    // the deck's entries.
    bool m_rowsAreTheDeck = true;
    std::vector<quint32> m_rows;
};

// The library editor's own copy of the library: GBK entries in file order,
// one row each. The rows are shown decoded; the bytes are what is written.
// Rows are inserted and removed through the model's signals, so the list's
// highlight moves with its entry and vanishes with it, as a list box's does.
//
// A library of a million entries must open at once and stay small: the
// entries read from the file stay in the deck's own bytes, and only entries
// typed in the editor are kept apart. Until the first edit the rows are the
// deck's entries; from then on each row is one 32-bit reference to its
// entry, and editing moves references, never text.
class LibraryModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit LibraryModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    int count() const { return m_library.count(); }
    QByteArrayView entry(int row) const { return m_library.entry(row); }
    // The rows as they are now, to keep or write.
    const LibraryRows& rows() const { return m_library; }
    // A copy of every entry, in row order.
    std::vector<QByteArray> entries() const;
    // The rows in the deck file form: every entry followed by CR LF.
    QByteArray toFileBytes() const;

    void setDeck(core::Deck deck);
    void setEntries(const std::vector<QByteArray>& entries);
    void append(const QByteArray& entry);
    // Inserts before `row`; `row` == count() appends.
    void insert(int row, const QByteArray& entry);
    // Removes the entry at `row` and returns it.
    QByteArray take(int row);

private:
    LibraryRows m_library;
};

} // namespace libraryeditor

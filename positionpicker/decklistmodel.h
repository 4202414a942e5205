#pragma once

#include "core/deck.h"

#include <QAbstractListModel>

namespace positionpicker {

// The picker's rows: one row per deck entry, in deck order, over a copy of
// the deck taken when the picker opens. The copy shares the deck's text, and
// an entry is decoded from GBK only when a view asks for it, so a deck of a
// million entries opens as fast as a short one. With pinyin, each row shows
// the entry's pinyin beside it, looked up likewise only for the rows shown.
class DeckListModel : public QAbstractListModel {
    Q_OBJECT

public:
    DeckListModel(core::Deck deck, bool withPinyin, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const core::Deck& deck() const { return m_deck; }

private:
    core::Deck m_deck;
    bool m_withPinyin;
};

} // namespace positionpicker

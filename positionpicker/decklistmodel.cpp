#include "positionpicker/decklistmodel.h"

#include "core/pinyin.h"
#include "platform/gbk.h"

#include <algorithm>
#include <limits>

namespace positionpicker {

DeckListModel::DeckListModel(core::Deck deck, bool withPinyin, QObject* parent)
    : QAbstractListModel(parent)
    , m_deck(std::move(deck))
    , m_withPinyin(withPinyin)
{
}

int DeckListModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    // Item views count rows in int; no deck that fits in memory comes near.
    return static_cast<int>(std::min<qsizetype>(m_deck.size(), std::numeric_limits<int>::max()));
}

QVariant DeckListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const QString entry = platform::gbk::decode(m_deck.at(index.row()));
    if (!m_withPinyin)
        return entry;
    const QString pinyin = core::pinyinLine(entry);
    return pinyin.isEmpty() ? entry : entry + QStringLiteral("  ") + pinyin;
}

Qt::ItemFlags DeckListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace positionpicker

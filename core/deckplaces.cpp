#include "core/deckplaces.h"

#include <numeric>
#include <random>

namespace core {

qint32 DeckPlaces::placeOf(DeckKind kind) const
{
    const auto found = m_places.find(kind);
    return found == m_places.end() ? -1 : found->second;
}

std::vector<qsizetype> shuffledOrder(qsizetype size, QDate day)
{
    std::vector<qsizetype> order(static_cast<size_t>(std::max<qsizetype>(size, 0)));
    std::iota(order.begin(), order.end(), qsizetype(0));
    // Fisher-Yates with a generator of fixed definition, so that the order
    // of a day is the same in every run and on every machine.
    std::mt19937_64 generator(static_cast<quint64>(day.toJulianDay()));
    for (size_t i = order.size(); i > 1; --i)
        std::swap(order[i - 1], order[generator() % i]);
    return order;
}

ReviewSession::ReviewSession(const QList<QByteArray>& entries, QDate day)
    : m_entries(entries)
    , m_day(day)
    , m_judged(static_cast<size_t>(entries.size()), false)
{
}

bool ReviewSession::isJudged(qsizetype index) const
{
    return index >= 0 && index < size() && m_judged[size_t(index)];
}

bool ReviewSession::markJudged(qsizetype index)
{
    if (index < 0 || index >= size() || m_judged[size_t(index)])
        return false;
    m_judged[size_t(index)] = true;
    ++m_judgedCount;
    return true;
}

void ReviewSession::unmarkJudged(qsizetype index)
{
    if (!isJudged(index))
        return;
    m_judged[size_t(index)] = false;
    --m_judgedCount;
}

QString ReviewSession::progressText(qsizetype index) const
{
    return QStringLiteral("%1 / %2").arg(index + 1).arg(size());
}

} // namespace core

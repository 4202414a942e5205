#include "stage/deck.h"

#include "platform/files.h"

#include <cstring>

namespace stage {

Deck Deck::fromFileBytes(QByteArray bytes)
{
    Deck deck;
    const char* data = bytes.constData();
    const void* nul = std::memchr(data, '\0', static_cast<size_t>(bytes.size()));
    const qsizetype end = nul ? static_cast<const char*>(nul) - data : bytes.size();

    qsizetype start = 0;
    for (qsizetype i = 0; i < end; ++i) {
        const char c = data[i];
        if (c != '\r' && c != '\n')
            continue;
        deck.m_spans.push_back({start, i - start});
        if (c == '\r' && i + 1 < end && data[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < end)
        deck.m_spans.push_back({start, end - start});
    deck.m_text = std::move(bytes);
    return deck;
}

Deck Deck::fromEntries(const std::vector<QByteArray>& entries)
{
    Deck deck;
    deck.m_spans.reserve(entries.size());
    for (const QByteArray& entry : entries) {
        deck.m_spans.push_back({deck.m_text.size(), entry.size()});
        deck.m_text += entry;
    }
    return deck;
}

QByteArrayView Deck::at(qsizetype index) const
{
    const Span& span = m_spans.at(static_cast<size_t>(index));
    return QByteArrayView(m_text.constData() + span.start, span.length);
}

std::vector<QByteArray> Deck::entries() const
{
    std::vector<QByteArray> result;
    result.reserve(m_spans.size());
    for (qsizetype i = 0; i < size(); ++i)
        result.emplace_back(at(i).toByteArray());
    return result;
}

QByteArray Deck::toFileBytes() const
{
    QByteArray bytes;
    bytes.reserve(m_text.size() + 2 * size());
    for (qsizetype i = 0; i < size(); ++i) {
        bytes += at(i);
        bytes += "\r\n";
    }
    return bytes;
}

QByteArray Deck::toFileBytes(const std::vector<QByteArray>& entries)
{
    qsizetype total = 0;
    for (const QByteArray& entry : entries)
        total += entry.size() + 2;
    QByteArray bytes;
    bytes.reserve(total);
    for (const QByteArray& entry : entries) {
        bytes += entry;
        bytes += "\r\n";
    }
    return bytes;
}

Deck readDeckFile(const QString& path)
{
    return Deck::fromFileBytes(platform::readWholeFile(path));
}

void writeDeckFile(const QString& path, const std::vector<QByteArray>& entries)
{
    platform::replaceFileOrThrow(path, Deck::toFileBytes(entries));
}

} // namespace stage

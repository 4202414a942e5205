#include "core/deck.h"

#include "platform/error.h"
#include "platform/files.h"
#include "platform/textencoding.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace core {

namespace {

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// The place just after the line end that closes the entry starting at
// `start`; a CR directly followed by LF is one line end. The text always
// ends with a line end.
qsizetype nextEntryStart(const char* text, qsizetype start, qsizetype& entryEnd)
{
    qsizetype i = start;
    while (!isLineEnd(text[i]))
        ++i;
    entryEnd = i;
    return (text[i] == '\r' && text[i + 1] == '\n') ? i + 2 : i + 1;
}

// Set bits of a mask. Written out because the baseline x86-64 instruction
// set has no population count, and the library call is slow.
int bitsIn(quint64 mask)
{
    mask = mask - ((mask >> 1) & 0x5555555555555555ULL);
    mask = (mask & 0x3333333333333333ULL) + ((mask >> 2) & 0x3333333333333333ULL);
    mask = (mask + (mask >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return int((mask * 0x0101010101010101ULL) >> 56);
}

#if defined(__SSE2__)
// Bit i is set where text[i] is `c`, for the 64 bytes at `text`.
quint64 bytesEqual(const char* text, __m128i c)
{
    quint64 mask = 0;
    for (int part = 0; part < 4; ++part) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16 * part));
        mask |= quint64(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, c)))) << (16 * part);
    }
    return mask;
}
#endif

// Counts the line ends of text[0, end) and notes where every stride-th
// entry starts.
qsizetype indexLineEnds(const char* text, qsizetype end, qsizetype stride, std::vector<quint32>& checkpoints)
{
    qsizetype count = 0;          // line ends seen, that is, entries ended
    qsizetype untilNext = stride; // line ends until the next noted start
    qsizetype i = 0;
#if defined(__SSE2__)
    // Sixty-four bytes at a time: the line ends come as a bit mask, which is
    // counted; only the line end before a noted start is looked for.
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; i + 64 < end; i += 64) {
        const quint64 crs = bytesEqual(text + i, cr);
        const quint64 lfs = bytesEqual(text + i, lf);
        // A CR whose next byte is LF ends nothing itself: the LF ends the line.
        const quint64 lfAfter = (lfs >> 1) | (text[i + 64] == '\n' ? 1ULL << 63 : 0);
        quint64 ends = (crs & ~lfAfter) | lfs;
        qsizetype inChunk = bitsIn(ends);
        count += inChunk;
        while (inChunk >= untilNext) {
            for (qsizetype skip = 1; skip < untilNext; ++skip)
                ends &= ends - 1;
            checkpoints.push_back(static_cast<quint32>(i + std::countr_zero(ends) + 1));
            ends &= ends - 1;
            inChunk -= untilNext;
            untilNext = stride;
        }
        untilNext -= inChunk;
    }
#endif
    for (; i < end; ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == end || text[i + 1] != '\n'))) {
            ++count;
            if (--untilNext == 0) {
                checkpoints.push_back(static_cast<quint32>(i + 1));
                untilNext = stride;
            }
        }
    }
    return count;
}

} // namespace

Deck Deck::fromFileBytes(QByteArray bytes)
{
    const void* nul = std::memchr(bytes.constData(), '\0', static_cast<size_t>(bytes.size()));
    if (nul)
        bytes.truncate(static_cast<const char*>(nul) - bytes.constData());
    if (!bytes.isEmpty() && !isLineEnd(bytes.back()))
        bytes.append('\n'); // the last line is an entry too
    if (bytes.size() >= qsizetype(std::numeric_limits<quint32>::max()))
        throw platform::Error(QStringLiteral("File too large"));

    Deck deck;
    deck.m_checkpoints.reserve(static_cast<size_t>(bytes.size() / (4 * kStride) + 1));
    deck.m_checkpoints.push_back(0);
    deck.m_size = indexLineEnds(bytes.constData(), bytes.size(), kStride, deck.m_checkpoints);
    deck.m_text = std::move(bytes);
    return deck;
}

Deck Deck::fromEntries(const std::vector<QByteArray>& entries)
{
    QByteArray text;
    for (const QByteArray& entry : entries)
        text += entry + '\n';
    return fromFileBytes(std::move(text));
}

qsizetype Deck::startOf(qsizetype index) const
{
    if (index >= m_size)
        return m_text.size();
    const char* text = m_text.constData();
    qsizetype start = m_checkpoints[static_cast<size_t>(index / kStride)];
    qsizetype entryEnd = 0;
    for (qsizetype skip = index % kStride; skip > 0; --skip)
        start = nextEntryStart(text, start, entryEnd);
    return start;
}

qsizetype Deck::indexOfStart(qsizetype offset) const
{
    // The last noted start at or before `offset`, then line by line.
    const auto after = std::upper_bound(m_checkpoints.begin(), m_checkpoints.end(), quint32(offset));
    const qsizetype checkpoint = qsizetype(after - m_checkpoints.begin()) - 1;
    qsizetype index = checkpoint * kStride;
    qsizetype entryEnd = 0;
    for (qsizetype start = m_checkpoints[size_t(checkpoint)]; start < offset; ++index)
        start = nextEntryStart(m_text.constData(), start, entryEnd);
    return index;
}

QByteArrayView Deck::at(qsizetype index) const
{
    if (index < 0 || index >= m_size)
        throw std::out_of_range("deck index");
    const qsizetype start = startOf(index);
    qsizetype entryEnd = 0;
    nextEntryStart(m_text.constData(), start, entryEnd);
    return QByteArrayView(m_text.constData() + start, entryEnd - start);
}

namespace {

// Bit i is set where text[i] is `byte`, for the 64 bytes at `text`.
quint64 bytesEqualTo(const char* text, char byte)
{
#if defined(__SSE2__)
    return bytesEqual(text, _mm_set1_epi8(byte));
#else
    quint64 mask = 0;
    for (int i = 0; i < 64; ++i)
        mask |= quint64(text[i] == byte) << i;
    return mask;
#endif
}

// Bit i is set where text[i] is one of `bytes`, for the 64 bytes at `text`.
quint64 bytesAmong(const char* text, QByteArrayView bytes)
{
    quint64 mask = 0;
    for (char byte : bytes)
        mask |= bytesEqualTo(text, byte);
    return mask;
}

// Bit i is set where one of `beginnings` stands at text[i], for the 64 bytes
// at `text`; a second byte at text[63] is looked for at text[64].
quint64 beginningsAt(const char* text, const std::vector<QByteArray>& beginnings)
{
    quint64 mask = 0;
    for (const QByteArray& beginning : beginnings) {
        quint64 here = bytesEqualTo(text, beginning[0]);
        if (here != 0 && beginning.size() > 1)
            here &= bytesEqualTo(text + 1, beginning[1]);
        mask |= here;
    }
    return mask;
}

bool beginsWithOneOf(QByteArrayView text, const std::vector<QByteArray>& beginnings)
{
    return std::any_of(beginnings.begin(), beginnings.end(),
                       [text](const QByteArray& beginning) { return text.startsWith(beginning); });
}

} // namespace

qsizetype Deck::findEntry(qsizetype from, qsizetype to, const std::vector<QByteArray>& beginnings,
                          const EntryTest& accepts) const
{
    from = std::max<qsizetype>(from, 0);
    to = std::min(to, m_size);
    if (from >= to || beginnings.empty())
        return -1;
    const char* text = m_text.constData();
    const qsizetype end = startOf(to);
    // An entry starts at `from`'s start and after every line end; a CR
    // followed by LF is no line end, but no entry begins with LF anyway.
    const auto tryEntryAt = [&](qsizetype start) {
        qsizetype entryEnd = 0;
        nextEntryStart(text, start, entryEnd);
        return accepts(QByteArrayView(text + start, entryEnd - start));
    };
    qsizetype i = startOf(from);
    bool afterLineEnd = true; // the first byte starts an entry
    // The line ends are looked for only in the blocks where a beginning
    // stands, which are few when the beginnings have their second byte.
    for (; i + 64 < end; i += 64) {
        quint64 candidates = beginningsAt(text + i, beginnings);
        if (candidates != 0)
            candidates &= (bytesAmong(text + i, "\r\n") << 1) | quint64(afterLineEnd);
        for (; candidates != 0; candidates &= candidates - 1) {
            const qsizetype start = i + std::countr_zero(candidates);
            if (tryEntryAt(start))
                return indexOfStart(start);
        }
        afterLineEnd = isLineEnd(text[i + 63]);
    }
    for (; i < end; ++i) {
        if (afterLineEnd && beginsWithOneOf(QByteArrayView(text + i, end - i), beginnings) && tryEntryAt(i))
            return indexOfStart(i);
        afterLineEnd = isLineEnd(text[i]);
    }
    return -1;
}

template <typename Take> void Deck::forEachEntry(Take take) const
{
    const char* text = m_text.constData();
    qsizetype start = 0;
    qsizetype entryEnd = 0;
    for (qsizetype i = 0; i < m_size; ++i) {
        const qsizetype next = nextEntryStart(text, start, entryEnd);
        take(QByteArrayView(text + start, entryEnd - start));
        start = next;
    }
}

std::vector<QByteArray> Deck::entries() const
{
    std::vector<QByteArray> result;
    result.reserve(static_cast<size_t>(m_size));
    forEachEntry([&result](QByteArrayView entry) { result.push_back(entry.toByteArray()); });
    return result;
}

QByteArrayView Deck::Walker::at(qsizetype index)
{
    if (index < 0 || index >= m_deck.m_size)
        throw std::out_of_range("deck index");
    const qsizetype start = index == m_index + 1 ? m_next : m_deck.startOf(index);
    qsizetype entryEnd = 0;
    m_next = nextEntryStart(m_deck.m_text.constData(), start, entryEnd);
    m_index = index;
    return QByteArrayView(m_deck.m_text.constData() + start, entryEnd - start);
}

QByteArray Deck::toFileBytes() const
{
    return toFileBytes(entries());
}

QByteArray Deck::toFileBytes(const std::vector<QByteArray>& entries, QByteArrayView lineEnd)
{
    return toFileBytes(
        qsizetype(entries.size()), [&](qsizetype i) { return QByteArrayView(entries[size_t(i)]); }, lineEnd);
}

QByteArray Deck::toFileBytes(qsizetype count, const EntryAt& entryAt, QByteArrayView lineEnd)
{
    return joinedLines(count, entryAt, lineEnd);
}

namespace {

// What a rewritten deck file keeps of the file it replaces.
struct FileForm {
    platform::textencoding::Encoding encoding = platform::textencoding::Encoding::Gbk;
    QByteArrayView lineEnd = "\r\n";
};

// A GBK file, or a new one, is written with CR LF as ever. A UTF-8 file comes
// from an editor of today: it keeps the line end of its first line, so that
// a file with LF line ends doesn't change on every line.
FileForm formOfFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return FileForm {};
    const QByteArray bytes = file.readAll();
    FileForm form;
    form.encoding = platform::textencoding::detect(bytes);
    const qsizetype firstLf = bytes.indexOf('\n');
    if (form.encoding != platform::textencoding::Encoding::Gbk && firstLf >= 0
        && (firstLf == 0 || bytes[firstLf - 1] != '\r'))
        form.lineEnd = "\n";
    return form;
}

} // namespace

Deck readDeckFile(const QString& path)
{
    platform::textencoding::Text text = platform::textencoding::fromFileBytes(platform::readWholeFile(path));
    try {
        return Deck::fromFileBytes(std::move(text.gbk));
    } catch (const platform::Error& error) {
        throw platform::Error(QStringLiteral("Cannot open file \"%1\". %2")
                                  .arg(QDir::toNativeSeparators(path), error.message()));
    }
}

void writeDeckFile(const QString& path, const std::vector<QByteArray>& entries)
{
    writeDeckFile(path, qsizetype(entries.size()),
                  [&](qsizetype i) { return QByteArrayView(entries[size_t(i)]); });
}

void writeDeckFile(const QString& path, qsizetype count, const Deck::EntryAt& entryAt)
{
    writeDeckText(path, [&](QByteArrayView lineEnd) { return Deck::toFileBytes(count, entryAt, lineEnd); });
}

void writeDeckText(const QString& path, const TextWithLineEnd& textWith)
{
    namespace textencoding = platform::textencoding;
    const FileForm form = formOfFile(path);
    const QByteArray text = textWith(form.lineEnd);
    const std::optional<QByteArray> bytes = textencoding::fileBytesReadingBackAs(text, form.encoding);
    if (!bytes)
        throw platform::Error(
            QStringLiteral("Cannot create file \"%1\". %2")
                .arg(QDir::toNativeSeparators(path), textencoding::textNotStorableReason()));
    platform::replaceFileOrThrow(path, *bytes);
}

} // namespace core

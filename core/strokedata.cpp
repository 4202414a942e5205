#include "core/strokedata.h"

#include "platform/programdir.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

// The file's layout is described in scripts/convert-strokes.py, which writes
// it; the names and numbers here follow that script.
namespace core {

namespace {

constexpr char kMagic[8] = {'Q', 'L', 'S', 'T', 'R', 'O', 'K', 'E'};
constexpr quint16 kVersion = 1;
constexpr qsizetype kHeaderSize = 8 + 4 + 4 * 5;

// The Huffman tables: four for the commands, by the command before; then one
// for each role of a point, axis and size class of the axis's previous
// difference.
enum class Role {
    Start,
    LineEnd,
    QuadControl,
    QuadEnd,
    CubicFirst,
    CubicSecond,
    CubicEnd,
    MedianFirst,
    Median
};
constexpr int kRoles = 9;
constexpr int kCommandTables = 4;
constexpr int kCommandSymbols = 4; // line, quadratic, cubic, close
constexpr int kMaxPreviousClass = 6;
constexpr int kMaxMagnitudeBits = 11;
constexpr int kDifferenceSymbols = 2 * kMaxMagnitudeBits + 1;
constexpr int kTables = kCommandTables + kRoles * 2 * (kMaxPreviousClass + 1);
constexpr qsizetype kTableBytes = kCommandTables * kCommandSymbols
                                  + (kTables - kCommandTables) * qsizetype(kDifferenceSymbols);
constexpr int kCountBits = 6;
constexpr int kMaxCodeLength = 30;

int differenceTable(Role role, int axis, int previousClass)
{
    return kCommandTables + (int(role) * 2 + axis) * (kMaxPreviousClass + 1)
           + std::min(previousClass, kMaxPreviousClass);
}

quint32 readU32(const uchar* at)
{
    return qFromLittleEndian<quint32>(at);
}

// A canonical Huffman code given by its code lengths: shorter codes first,
// codes of one length in the order of their symbols.
class HuffmanTable {
public:
    // False when the lengths make no prefix code.
    bool setLengths(const uchar* lengths, int symbols)
    {
        m_countOfLength.fill(0);
        m_symbols.clear();
        for (int length = 1; length <= kMaxCodeLength; ++length)
            for (int symbol = 0; symbol < symbols; ++symbol)
                if (lengths[symbol] == length) {
                    ++m_countOfLength[length];
                    m_symbols.push_back(quint8(symbol));
                }
        quint64 room = 1; // codes left at the current length
        for (int length = 1; length <= kMaxCodeLength; ++length) {
            room <<= 1;
            if (m_countOfLength[length] > room)
                return false;
            room -= m_countOfLength[length];
        }
        return std::all_of(lengths, lengths + symbols, [](uchar n) { return n <= kMaxCodeLength; });
    }

    template <typename Bits> int decode(Bits& bits) const
    {
        quint32 code = 0;
        quint32 first = 0;
        quint32 index = 0;
        for (int length = 1; length <= kMaxCodeLength; ++length) {
            code |= bits.read(1);
            const quint32 count = m_countOfLength[length];
            if (code - first < count)
                return m_symbols[index + code - first];
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        bits.fail();
        return 0;
    }

private:
    std::array<quint32, kMaxCodeLength + 1> m_countOfLength {};
    std::vector<quint8> m_symbols;
};

// Reads a record's bits from each byte's high bit down. Reading past the
// record's end gives zeros and marks the record as damaged.
class BitReader {
public:
    BitReader(const uchar* begin, const uchar* end)
        : m_at(begin)
        , m_end(end)
    {
    }

    quint32 read(int bits)
    {
        quint32 value = 0;
        for (int i = 0; i < bits; ++i) {
            if (m_at == m_end) {
                m_failed = true;
                return 0;
            }
            value = (value << 1) | ((*m_at >> (7 - m_bit)) & 1);
            if (++m_bit == 8) {
                m_bit = 0;
                ++m_at;
            }
        }
        return value;
    }
    void fail() { m_failed = true; }
    bool failed() const { return m_failed; }

private:
    const uchar* m_at;
    const uchar* m_end;
    int m_bit = 0;
    bool m_failed = false;
};

} // namespace

class StrokeData::File {
public:
    bool read(const uchar* data, qsizetype size)
    {
        m_data = data;
        m_size = size;
        return m_size >= kHeaderSize && readHeader();
    }

    qsizetype count() const { return m_count; }
    QString notice() const
    {
        return QString::fromUtf8(reinterpret_cast<const char*>(m_notice), m_noticeSize);
    }

    std::optional<CharacterStrokes> strokesOf(char32_t character) const
    {
        const uchar* codePoints = m_index;
        qsizetype low = 0;
        qsizetype high = m_count;
        while (low < high) {
            const qsizetype middle = (low + high) / 2;
            if (readU32(codePoints + 4 * middle) < character)
                low = middle + 1;
            else
                high = middle;
        }
        if (low == m_count || readU32(codePoints + 4 * low) != character)
            return std::nullopt;
        const uchar* offsets = m_index + 4 * m_count;
        const quint32 begin = readU32(offsets + 4 * low);
        const quint32 end = readU32(offsets + 4 * (low + 1));
        if (begin > end || end > m_size)
            return std::nullopt;
        return decodeRecord(BitReader(m_data + begin, m_data + end));
    }

private:
    bool readHeader()
    {
        if (std::memcmp(m_data, kMagic, sizeof kMagic) != 0
            || qFromLittleEndian<quint16>(m_data + 8) != kVersion)
            return false;
        m_outlineGrid = m_data[10];
        m_medianGrid = m_data[11];
        const quint32 count = readU32(m_data + 12);
        const quint32 noticeOffset = readU32(m_data + 16);
        const quint32 noticeSize = readU32(m_data + 20);
        const quint32 tablesOffset = readU32(m_data + 24);
        const quint32 indexOffset = readU32(m_data + 28);
        const auto fits = [this](quint64 offset, quint64 size) { return offset + size <= quint64(m_size); };
        if (m_outlineGrid == 0 || m_medianGrid == 0 || !fits(noticeOffset, noticeSize)
            || !fits(tablesOffset, kTableBytes) || !fits(indexOffset, 8 * quint64(count) + 4))
            return false;
        m_count = count;
        m_notice = m_data + noticeOffset;
        m_noticeSize = noticeSize;
        m_index = m_data + indexOffset;
        const uchar* lengths = m_data + tablesOffset;
        for (int table = 0; table < kTables; ++table) {
            const int symbols = table < kCommandTables ? kCommandSymbols : kDifferenceSymbols;
            if (!m_tables[table].setLengths(lengths, symbols))
                return false;
            lengths += symbols;
        }
        return true;
    }

    // A chain of points, each coded as its difference from the one before.
    struct Chain {
        const File& file;
        BitReader& bits;
        qreal grid;
        std::array<qint32, 2> previous {};
        std::array<int, 2> previousClass {};

        QPointF next(Role role)
        {
            for (int axis = 0; axis < 2; ++axis) {
                const int symbol = file.m_tables[differenceTable(role, axis, previousClass[axis])].decode(
                    bits);
                const int magnitudeBits = (symbol + 1) / 2;
                qint32 difference = 0;
                if (magnitudeBits > 0) {
                    const qint32 magnitude = qint32(1u << (magnitudeBits - 1))
                                             | qint32(bits.read(magnitudeBits - 1));
                    difference = symbol % 2 ? magnitude : -magnitude;
                }
                previous[axis] += difference;
                previousClass[axis] = magnitudeBits;
            }
            return {previous[0] * grid, previous[1] * grid};
        }
    };

    std::optional<CharacterStrokes> decodeRecord(BitReader bits) const
    {
        CharacterStrokes character;
        const int strokeCount = int(bits.read(kCountBits));
        character.strokes.resize(strokeCount);
        Chain outline {*this, bits, qreal(m_outlineGrid)};
        for (Stroke& stroke : character.strokes)
            readOutline(stroke.outline, outline, bits);
        Chain centre {*this, bits, qreal(m_medianGrid)};
        for (Stroke& stroke : character.strokes) {
            const int points = int(bits.read(kCountBits));
            for (int i = 0; i < points && !bits.failed(); ++i)
                stroke.median.append(centre.next(i == 0 ? Role::MedianFirst : Role::Median));
        }
        if (bits.failed() || strokeCount == 0)
            return std::nullopt;
        return character;
    }

    void readOutline(StrokeOutline& outline, Chain& chain, BitReader& bits) const
    {
        using Command = StrokeOutline::Command;
        static constexpr Command kCommands[kCommandSymbols] = {Command::LineTo, Command::QuadTo,
                                                               Command::CubicTo, Command::Close};
        static constexpr Role kRolesOf[kCommandSymbols][3] = {
            {Role::LineEnd},
            {Role::QuadControl, Role::QuadEnd},
            {Role::CubicFirst, Role::CubicSecond, Role::CubicEnd},
            {},
        };
        outline.commands.append(Command::MoveTo);
        outline.points.append(chain.next(Role::Start));
        int context = 0; // the start counts as a move
        while (!bits.failed()) {
            const int symbol = m_tables[context].decode(bits);
            const Command command = kCommands[symbol];
            outline.commands.append(command);
            if (command == Command::Close)
                return;
            for (int i = 0; i < StrokeOutline::pointsOf(command); ++i)
                outline.points.append(chain.next(kRolesOf[symbol][i]));
            context = symbol + 1;
        }
    }

    const uchar* m_data = nullptr;
    qsizetype m_size = 0;
    qsizetype m_count = 0;
    int m_outlineGrid = 0;
    int m_medianGrid = 0;
    const uchar* m_notice = nullptr;
    qsizetype m_noticeSize = 0;
    const uchar* m_index = nullptr;
    std::array<HuffmanTable, kTables> m_tables;
};

StrokeData::StrokeData(QString path)
    : m_file(std::move(path))
{
}

StrokeData::~StrokeData() = default;

std::optional<CharacterStrokes> StrokeData::strokesOf(char32_t character) const
{
    const File* data = m_file.get();
    return data ? data->strokesOf(character) : std::nullopt;
}

qsizetype StrokeData::characterCount() const
{
    const File* data = m_file.get();
    return data ? data->count() : 0;
}

QString StrokeData::notice() const
{
    const File* data = m_file.get();
    return data ? data->notice() : QString();
}

const StrokeData& StrokeData::shipped()
{
    static const StrokeData data(platform::shippedDataDir() + QStringLiteral("database/strokes.bin"));
    return data;
}

QRectF glyphEmBox(QPointF origin, qreal emPixels)
{
    const qreal above = emPixels * kStrokeEmTop / kStrokeEmSize;
    return {origin.x(), origin.y() - above, emPixels, emPixels};
}

StrokeBoxMapping::StrokeBoxMapping(const QRectF& glyphEmBox)
    : m_left(glyphEmBox.left())
    , m_top(glyphEmBox.top())
    , m_scaleX(glyphEmBox.width() / kStrokeEmSize)
    , m_scaleY(glyphEmBox.height() / kStrokeEmSize)
{
}

QList<QPointF> mappedMedian(const Stroke& stroke, const StrokeBoxMapping& mapping)
{
    QList<QPointF> points;
    points.reserve(stroke.median.size());
    for (const QPointF& point : stroke.median)
        points.append(mapping.map(point));
    return points;
}

} // namespace core

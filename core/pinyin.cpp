#include "core/pinyin.h"

#include "platform/programdir.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

// The file's layout is described in scripts/convert-pinyin.py, which writes
// it.
namespace core {

namespace {

constexpr char kMagic[8] = {'Q', 'L', 'P', 'I', 'N', 'Y', 'I', 'N'};
constexpr quint16 kVersion = 1;
constexpr qsizetype kHeaderSize = 8 + 2 + 2 + 4 + 4;
constexpr quint32 kReadsAlone = 0xFFFFFFFF;

// The tone of a syllable: 1 to 4, or 0 for the neutral tone.
int toneOf(const QString& syllable)
{
    for (const QChar c : syllable.normalized(QString::NormalizationForm_D)) {
        switch (c.unicode()) {
        case 0x0304:
            return 1;
        case 0x0301:
            return 2;
        case 0x030C:
            return 3;
        case 0x0300:
            return 4;
        }
    }
    return 0;
}

// Reads the file front to back, refusing to step past its end.
class Cursor {
public:
    Cursor(const uchar* data, qsizetype size)
        : m_data(data)
        , m_size(size)
    {
    }

    const uchar* take(qsizetype bytes)
    {
        if (bytes < 0 || bytes > m_size - m_at) {
            m_failed = true;
            return nullptr;
        }
        const uchar* at = m_data + m_at;
        m_at += bytes;
        return at;
    }
    quint32 u32()
    {
        const uchar* at = take(4);
        return at ? qFromLittleEndian<quint32>(at) : 0;
    }
    void alignTo4() { take(-m_at & 3); }
    bool failed() const { return m_failed; }

private:
    const uchar* m_data;
    qsizetype m_size;
    qsizetype m_at = 0;
    bool m_failed = false;
};

bool isDigit(char32_t c)
{
    return std::u32string_view(U"零〇一二三四五六七八九十").find(c) != std::u32string_view::npos;
}

// The characters after which 一 and 不 keep their own tone.
bool keepsToneBefore(char32_t sandhiCharacter, char32_t next)
{
    const std::u32string_view after = sandhiCharacter == U'一' ? U"的而之后也还是" : U"的而之后也还地";
    return after.find(next) != std::u32string_view::npos;
}

} // namespace

namespace {

// One character of the text being read.
struct Reading {
    char32_t character;
    qsizetype unit;                  // where it starts in the text
    std::optional<quint16> syllable; // none for a character without reading
    bool fromWord = false;
};

// Whether the character stands between a verb and its repetition (看一看,
// 是不是), where 一 and 不 lose their tone.
bool betweenRepetition(const std::vector<Reading>& readings, size_t i)
{
    return i > 0 && i + 1 < readings.size() && readings[i - 1].character == readings[i + 1].character
           && readings[i - 1].syllable && !isDigit(readings[i + 1].character);
}

// 一 and 不 as spoken, where they were read alone: before a fourth tone
// they take the second (一个 yí gè, 不是 bú shì); 一 takes the fourth before
// the other tones (一天 yì tiān). 一 keeps its first tone alone, at the end,
// in ordinals and in numbers.
QString spoken(const std::vector<Reading>& readings, size_t i, const QString& alone, int nextTone)
{
    const char32_t character = readings[i].character;
    if (i + 1 == readings.size() || !readings[i + 1].syllable)
        return alone;
    const char32_t next = readings[i + 1].character;
    const char32_t previous = i > 0 ? readings[i - 1].character : U'\0';
    const bool isOne = character == U'一';
    if (isOne && (isDigit(previous) || previous == U'第' || isDigit(next)))
        return alone;
    if (keepsToneBefore(character, next))
        return alone;
    if (nextTone == 4)
        return isOne ? QStringLiteral("yí") : QStringLiteral("bú");
    if (isOne && nextTone != 0)
        return QStringLiteral("yì");
    return alone;
}

std::vector<Reading> charactersOf(QStringView text)
{
    std::vector<Reading> readings;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype start = i;
        char32_t c = text[i++].unicode();
        if (QChar::isHighSurrogate(c) && i < text.size() && text[i].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), text[i++].unicode());
        readings.push_back({c, start, std::nullopt});
    }
    return readings;
}

} // namespace

class PinyinData::File {
public:
    bool read(const uchar* data, qsizetype size) { return size >= kHeaderSize && parse(Cursor(data, size)); }

    qsizetype characterCount() const { return m_characterCount; }
    qsizetype wordCount() const
    {
        qsizetype count = 0;
        for (const WordTable& table : m_words)
            count += table.count;
        return count;
    }

    // The index of a character's usual syllable.
    std::optional<quint16> syllableOf(char32_t character) const
    {
        qsizetype low = 0;
        qsizetype high = m_characterCount;
        while (low < high) {
            const qsizetype middle = (low + high) / 2;
            if (qFromLittleEndian<quint32>(m_codePoints + 4 * middle) < character)
                low = middle + 1;
            else
                high = middle;
        }
        if (low == m_characterCount || qFromLittleEndian<quint32>(m_codePoints + 4 * low) != character)
            return std::nullopt;
        return qFromLittleEndian<quint16>(m_characterSyllables + 2 * low);
    }

    const QString& syllable(quint16 index) const { return m_syllables.at(index); }

    // Where the reading of a word starts among the word readings; kReadsAlone
    // when its characters read as they do alone; nothing when it is no word.
    std::optional<quint32> wordReading(QStringView word) const
    {
        if (word.size() < 2 || word.size() - 2 >= qsizetype(m_words.size()))
            return std::nullopt;
        const WordTable& table = m_words[word.size() - 2];
        const qsizetype recordSize = 2 * word.size() + 4;
        qsizetype low = 0;
        qsizetype high = table.count;
        while (low < high) {
            const qsizetype middle = (low + high) / 2;
            if (compare(table.records + recordSize * middle, word) < 0)
                low = middle + 1;
            else
                high = middle;
        }
        if (low == table.count)
            return std::nullopt;
        const uchar* record = table.records + recordSize * low;
        if (compare(record, word) != 0)
            return std::nullopt;
        return qFromLittleEndian<quint32>(record + 2 * word.size());
    }

    // The syllable index of the word reading's `n`th character.
    std::optional<quint16> wordSyllable(quint32 first, qsizetype n) const
    {
        if (first + quint64(n) >= m_readingCount)
            return std::nullopt;
        const quint16 index = qFromLittleEndian<quint16>(m_readings + 2 * (first + n));
        if (index >= m_syllables.size())
            return std::nullopt;
        return index;
    }

    // Reads the characters by the longest words of the dictionary, from the
    // front: the characters of a word found take its reading.
    void readWords(std::vector<Reading>& readings, QStringView text) const
    {
        const size_t longest = m_words.size() + 1;
        for (size_t i = 0; i < readings.size();) {
            size_t taken = 1;
            for (size_t end = std::min(readings.size(), i + longest); end > i + 1; --end) {
                const qsizetype endUnit = end < readings.size() ? readings[end].unit : text.size();
                const std::optional<quint32> word = wordReading(
                    text.sliced(readings[i].unit, endUnit - readings[i].unit));
                if (!word)
                    continue;
                for (size_t k = i; k < end; ++k) {
                    readings[k].fromWord = true;
                    if (*word != kReadsAlone)
                        readings[k].syllable = wordSyllable(*word, qsizetype(k - i));
                }
                taken = end - i;
                break;
            }
            i += taken;
        }
    }

    // The syllable of the `i`th character as spoken: 一 and 不 change their
    // tone by what follows, unless a word of the dictionary said otherwise.
    QString spokenSyllable(const std::vector<Reading>& readings, size_t i) const
    {
        const QString& alone = m_syllables.at(*readings[i].syllable);
        const char32_t character = readings[i].character;
        if (character != U'一' && character != U'不')
            return alone;
        if (betweenRepetition(readings, i))
            return character == U'一' ? QStringLiteral("yi") : QStringLiteral("bu");
        if (readings[i].fromWord)
            return alone;
        const bool nextRead = i + 1 < readings.size() && readings[i + 1].syllable;
        return spoken(readings, i, alone, nextRead ? m_tones.at(*readings[i + 1].syllable) : 0);
    }

private:
    struct WordTable {
        const uchar* records = nullptr;
        qsizetype count = 0;
    };

    // Compares a record's code units with a word's, as the file sorts them.
    static int compare(const uchar* record, QStringView word)
    {
        for (qsizetype i = 0; i < word.size(); ++i) {
            const quint16 unit = qFromLittleEndian<quint16>(record + 2 * i);
            if (unit != word[i].unicode())
                return unit < word[i].unicode() ? -1 : 1;
        }
        return 0;
    }

    bool parse(Cursor in)
    {
        const uchar* magic = in.take(sizeof kMagic);
        if (!magic || std::memcmp(magic, kMagic, sizeof kMagic) != 0)
            return false;
        const uchar* numbers = in.take(4);
        if (!numbers || qFromLittleEndian<quint16>(numbers) != kVersion)
            return false;
        const int longest = qFromLittleEndian<quint16>(numbers + 2);
        const quint32 syllableCount = in.u32();
        const quint32 characterCount = in.u32();
        for (quint32 i = 0; i < syllableCount && !in.failed(); ++i) {
            const uchar* length = in.take(1);
            const uchar* text = length ? in.take(*length) : nullptr;
            if (text) {
                m_syllables.append(QString::fromUtf8(reinterpret_cast<const char*>(text), *length));
                m_tones.push_back(toneOf(m_syllables.last()));
            }
        }
        in.alignTo4();
        m_codePoints = in.take(4 * qsizetype(characterCount));
        m_characterSyllables = in.take(2 * qsizetype(characterCount));
        m_characterCount = characterCount;
        in.alignTo4();
        m_readingCount = in.u32();
        m_readings = in.take(2 * qsizetype(m_readingCount));
        for (int length = 2; length <= longest && !in.failed(); ++length) {
            in.alignTo4();
            const quint32 count = in.u32();
            m_words.push_back({in.take((2 * length + 4) * qsizetype(count)), count});
        }
        if (in.failed())
            return false;
        for (qsizetype i = 0; i < m_characterCount; ++i)
            if (qFromLittleEndian<quint16>(m_characterSyllables + 2 * i) >= m_syllables.size())
                return false;
        return true;
    }

    QStringList m_syllables;
    std::vector<int> m_tones;
    const uchar* m_codePoints = nullptr;
    const uchar* m_characterSyllables = nullptr;
    qsizetype m_characterCount = 0;
    const uchar* m_readings = nullptr;
    quint32 m_readingCount = 0;
    std::vector<WordTable> m_words; // by length in code units, from 2
};

PinyinData::PinyinData(QString path)
    : m_file(std::move(path))
{
}

PinyinData::~PinyinData() = default;

QStringList PinyinData::pinyinOf(QStringView text) const
{
    std::vector<Reading> readings = charactersOf(text);
    QStringList syllables(qsizetype(readings.size()));
    const File* data = m_file.get();
    if (!data)
        return syllables;
    for (Reading& reading : readings)
        reading.syllable = data->syllableOf(reading.character);
    data->readWords(readings, text);
    for (size_t i = 0; i < readings.size(); ++i)
        if (readings[i].syllable)
            syllables[qsizetype(i)] = data->spokenSyllable(readings, i);
    return syllables;
}

QString PinyinData::readingOf(char32_t character) const
{
    const File* data = m_file.get();
    const std::optional<quint16> syllable = data ? data->syllableOf(character) : std::nullopt;
    return syllable ? data->syllable(*syllable) : QString();
}

qsizetype PinyinData::characterCount() const
{
    const File* data = m_file.get();
    return data ? data->characterCount() : 0;
}

qsizetype PinyinData::wordCount() const
{
    const File* data = m_file.get();
    return data ? data->wordCount() : 0;
}

const PinyinData& PinyinData::shipped()
{
    static const PinyinData data(platform::shippedDataDir() + QStringLiteral("database/pinyin.bin"));
    return data;
}

QString pinyinLine(const QString& entry)
{
    QStringList syllables = pinyinOf(entry);
    syllables.removeAll(QString());
    return syllables.join(u' ');
}

} // namespace core

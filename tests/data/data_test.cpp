// Checks the data shipped in database/ and Sound/: the three classic decks,
// the starter library, the help page and the four sound cues.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QList>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>

// Readable failure messages: GoogleTest finds these next to QString and QChar.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(QChar c, std::ostream* out)
{
    PrintTo(QString(c), out);
}
QT_END_NAMESPACE

namespace {

QByteArray readSourceFile(const char* relative)
{
    QFile file(QString::fromUtf8(QUENLO_SOURCE_DIR "/") + QString::fromUtf8(relative));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << relative;
        return {};
    }
    return file.readAll();
}

// Strict code page 936: the text, or nothing when a byte sequence is not GBK
// or does not come back as the same bytes.
std::optional<QString> decodeGbk(const QByteArray& bytes)
{
    QStringDecoder decoder("windows-936", QStringDecoder::Flag::Stateless);
    if (!decoder.isValid()) {
        ADD_FAILURE() << "the windows-936 codec is missing";
        return std::nullopt;
    }
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    QStringEncoder encoder("windows-936", QStringEncoder::Flag::Stateless);
    const QByteArray back = encoder.encode(text);
    if (encoder.hasError() || back != bytes)
        return std::nullopt;
    return text;
}

std::string utf8(const QString& text)
{
    return text.toStdString();
}

bool isHanzi(QChar c)
{
    return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF;
}

// ---------------------------------------------------------------------------
// Decks

struct DeckFile {
    QList<QByteArray> lines; // without their CR LF
    QList<QString> entries;  // decoded lines
    int characters = 0;
};

// Reads a deck and records every fault of the format with ADD_FAILURE.
DeckFile readDeck(const char* relative)
{
    DeckFile deck;
    const QByteArray bytes = readSourceFile(relative);
    if (bytes.isEmpty()) {
        ADD_FAILURE() << relative << " is empty";
        return deck;
    }
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE")
                 || bytes.startsWith("\xFE\xFF"))
        << relative << " starts with a byte-order mark";
    EXPECT_TRUE(bytes.endsWith("\r\n")) << relative << ": the last line has no CR LF";
    EXPECT_FALSE(bytes.contains('\0')) << relative << " holds a NUL byte";

    deck.lines = bytes.split('\n');
    deck.lines.removeLast(); // after the final LF
    for (qsizetype i = 0; i < deck.lines.size(); ++i) {
        QByteArray& line = deck.lines[i];
        const int number = int(i) + 1;
        EXPECT_TRUE(line.endsWith('\r')) << relative << " line " << number << ": LF without CR";
        if (line.endsWith('\r'))
            line.chop(1);
        EXPECT_FALSE(line.contains('\r')) << relative << " line " << number << ": bare CR";
        EXPECT_FALSE(line.isEmpty()) << relative << " line " << number << " is empty";
        const std::optional<QString> text = decodeGbk(line);
        EXPECT_TRUE(text.has_value()) << relative << " line " << number << " is not GBK";
        deck.entries.append(text.value_or(QString()));
        deck.characters += int(text.value_or(QString()).size());
    }
    return deck;
}

struct ClassicDeck {
    const char* file;
    int lines;
    int charactersPerLine;
    const char* first; // UTF-8
    const char* last;
    int distinctLines;
};

void PrintTo(const ClassicDeck& deck, std::ostream* out)
{
    *out << deck.file;
}

class ClassicDeckTest : public testing::TestWithParam<ClassicDeck> {};

TEST_P(ClassicDeckTest, IsTheWholeTextInFixedLengthLinesOfHanzi)
{
    const ClassicDeck& expected = GetParam();
    const DeckFile deck = readDeck(expected.file);

    ASSERT_EQ(deck.lines.size(), expected.lines);
    EXPECT_EQ(deck.characters, expected.lines * expected.charactersPerLine);
    EXPECT_EQ(deck.entries.first(), QString::fromUtf8(expected.first));
    EXPECT_EQ(deck.entries.last(), QString::fromUtf8(expected.last));

    for (qsizetype i = 0; i < deck.lines.size(); ++i) {
        // The stage sizes an entry by its GBK byte count: every line of a
        // classic deck must fall into the same size class.
        EXPECT_EQ(deck.lines[i].size(), 2 * expected.charactersPerLine)
            << expected.file << " line " << i + 1 << ": " << utf8(deck.entries[i]);
        for (QChar c : deck.entries[i])
            EXPECT_TRUE(isHanzi(c)) << expected.file << " line " << i + 1 << ": " << utf8(deck.entries[i])
                                    << " holds U+" << std::hex << int(c.unicode());
    }
    const QSet<QString> distinct(deck.entries.begin(), deck.entries.end());
    EXPECT_EQ(distinct.size(), expected.distinctLines);
}

INSTANTIATE_TEST_SUITE_P(Decks, ClassicDeckTest,
                         testing::Values(
                             // Hundred Family Surnames: 504 surnames and the closing line, 568 characters.
                             ClassicDeck {"database/bjx.qrnv", 142, 4, "赵钱孙李", "百家姓终", 142},
                             // Three Character Classic, the common text whose history ends with the
                             // Qing lines: 380 phrases, five of them occurring twice.
                             ClassicDeck {"database/szj.qrnv", 380, 3, "人之初", "宜勉力", 375},
                             // Thousand Character Classic: 250 lines, 1,000 characters.
                             ClassicDeck {"database/qzw.qrnv", 250, 4, "天地玄黄", "焉哉乎也", 250}));

TEST(ThreeCharacterClassic, RepeatsOnlyItsFivePhrasesThatOccurTwice)
{
    const DeckFile deck = readDeck("database/szj.qrnv");
    QHash<QString, int> count;
    for (const QString& entry : deck.entries)
        ++count[entry];
    QSet<QString> repeated;
    for (auto it = count.cbegin(); it != count.cend(); ++it) {
        EXPECT_LE(it.value(), 2) << utf8(it.key());
        if (it.value() > 1)
            repeated.insert(it.key());
    }
    const QSet<QString> expected {QString::fromUtf8("子不学"), QString::fromUtf8("人不学"),
                                  QString::fromUtf8("都金陵"), QString::fromUtf8("尔小生"),
                                  QString::fromUtf8("尔幼学")};
    EXPECT_EQ(repeated, expected);
}

TEST(ThousandCharacterClassic, RepeatsOnlyTheCharactersThatSimplificationMerged)
{
    // The text uses each of its 1,000 characters once; six pairs of distinct
    // traditional characters share one simplified form.
    const DeckFile deck = readDeck("database/qzw.qrnv");
    QHash<QChar, int> count;
    for (const QString& entry : deck.entries)
        for (QChar c : entry)
            ++count[c];
    QString repeated;
    for (auto it = count.cbegin(); it != count.cend(); ++it) {
        EXPECT_LE(it.value(), 2) << utf8(QString(it.key()));
        if (it.value() > 1)
            repeated += it.key();
    }
    std::sort(repeated.begin(), repeated.end());
    QString expected = QString::fromUtf8("云发昆洁并戚");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(repeated, expected);
    EXPECT_EQ(count.size(), 994);
}

TEST(StarterLibrary, HoldsEverySizeClassWithoutDuplicates)
{
    const DeckFile deck = readDeck("database/ziku.txt");
    EXPECT_GE(deck.lines.size(), 300);
    EXPECT_LE(deck.lines.size(), 500);

    // GBK byte length -> number of entries; 10 stands for every longer entry.
    QHash<qsizetype, int> bySize;
    QSet<QByteArray> seen;
    for (qsizetype i = 0; i < deck.lines.size(); ++i) {
        const QByteArray& line = deck.lines[i];
        EXPECT_FALSE(seen.contains(line)) << "repeated entry " << utf8(deck.entries[i]);
        seen.insert(line);
        // Reading keeps blanks, so a stray one would change an entry's size class.
        for (QChar c : deck.entries[i])
            EXPECT_TRUE(isHanzi(c)) << "entry " << i + 1 << ": " << utf8(deck.entries[i]);
        ++bySize[std::min<qsizetype>(line.size(), 10)];
    }
    EXPECT_GE(bySize.value(2), 100) << "single characters";
    EXPECT_GE(bySize.value(4), 50) << "two-character words";
    EXPECT_GE(bySize.value(6), 10) << "three-character words";
    EXPECT_GE(bySize.value(8), 5) << "four-character phrases";
    EXPECT_GE(bySize.value(10), 3) << "longer phrases";
    // A child meets single characters first.
    EXPECT_EQ(deck.lines.first().size(), 2);
}

// ---------------------------------------------------------------------------
// Help page

// Checks that the elements of an HTML page nest properly.  Void elements
// stand alone; every other element used must be closed explicitly, in order.
// Returns an empty string or the first fault.
std::string tagNestingFault(const QString& html)
{
    static const QSet<QString> voidElements {QStringLiteral("meta"), QStringLiteral("br"),
                                             QStringLiteral("hr"),   QStringLiteral("img"),
                                             QStringLiteral("link"), QStringLiteral("wbr")};
    static const QRegularExpression tag(
        QStringLiteral(R"(<!--.*?-->|<!DOCTYPE[^>]*>|<(/?)([A-Za-z][A-Za-z0-9]*)\b[^>]*>)"),
        QRegularExpression::DotMatchesEverythingOption | QRegularExpression::CaseInsensitiveOption);

    QList<QString> open;
    qsizetype from = 0;
    for (;;) {
        const QRegularExpressionMatch m = tag.match(html, from);
        if (!m.hasMatch())
            break;
        from = m.capturedEnd();
        const QString name = m.captured(2).toLower();
        if (name.isEmpty())
            continue; // comment or doctype
        if (m.captured(1).isEmpty()) {
            if (voidElements.contains(name))
                continue;
            if (open.isEmpty() && name != QStringLiteral("html"))
                return "<" + utf8(name) + "> outside <html>";
            open.append(name);
            if (name == QStringLiteral("style")) { // raw text up to </style>
                const qsizetype end = html.indexOf(QStringLiteral("</style"), from, Qt::CaseInsensitive);
                if (end < 0)
                    return "<style> never closed";
                from = end;
            }
        } else if (open.isEmpty() || open.last() != name) {
            return "</" + utf8(name) + "> closes "
                   + (open.isEmpty() ? std::string("nothing") : "<" + utf8(open.last()) + ">");
        } else {
            open.removeLast();
        }
    }
    if (!open.isEmpty())
        return "<" + utf8(open.last()) + "> never closed";
    if (html.indexOf(QStringLiteral("<html"), 0, Qt::CaseInsensitive) < 0)
        return "no <html> element";
    return {};
}

TEST(HelpPage, NestingCheckFindsMisplacedAndMissingTags)
{
    const auto fault = [](const char* html) { return tagNestingFault(QString::fromUtf8(html)); };
    EXPECT_EQ(fault("<!DOCTYPE html><html><head><meta charset=\"gbk\"><style>p<b{}</style>"
                    "</head><body><!-- <div> --><p>a<br>b</p></body></html>"),
              "");
    EXPECT_NE(fault("<html><body><p><b>x</p></b></body></html>"), "");
    EXPECT_NE(fault("<html><body><ul><li>x</ul></body></html>"), "");
    EXPECT_NE(fault("<html><body><p>x</p>"), "");
    EXPECT_NE(fault("<html></html><p>x</p>"), "");
}

class HelpPageTest : public testing::Test {
protected:
    void SetUp() override
    {
        bytes = readSourceFile("database/help.htm");
        ASSERT_FALSE(bytes.isEmpty());
        const std::optional<QString> text = decodeGbk(bytes);
        ASSERT_TRUE(text.has_value()) << "help.htm is not GBK";
        html = *text;
    }
    QByteArray bytes;
    QString html;
};

TEST_F(HelpPageTest, IsAWellFormedGbkPageThatDeclaresItsCharset)
{
    EXPECT_TRUE(html.startsWith(QStringLiteral("<!DOCTYPE html>"))) << "no BOM, HTML5 doctype";
    // Browsers look for the declaration in the first 1024 bytes.
    const qsizetype charset = bytes.indexOf("<meta charset=\"gbk\">");
    EXPECT_GE(charset, 0);
    EXPECT_LT(charset, 1024);
    EXPECT_EQ(tagNestingFault(html), "");
    EXPECT_TRUE(html.contains(QRegularExpression(QStringLiteral("<title>[^<]+</title>"))));
}

TEST_F(HelpPageTest, RunsNoScriptAndFetchesNothing)
{
    const QString lower = html.toLower();
    EXPECT_FALSE(lower.contains(QStringLiteral("<script")));
    EXPECT_FALSE(lower.contains(QRegularExpression(QStringLiteral(R"(\son[a-z]+\s*=)"))))
        << "event handler attribute";
    EXPECT_FALSE(lower.contains(QStringLiteral("http:")));
    EXPECT_FALSE(lower.contains(QStringLiteral("https:")));
    EXPECT_FALSE(lower.contains(QStringLiteral("javascript:")));
    EXPECT_FALSE(lower.contains(QStringLiteral("src=")));
    EXPECT_FALSE(lower.contains(QStringLiteral("url(")));
    EXPECT_FALSE(lower.contains(QStringLiteral("@import")));
    EXPECT_FALSE(lower.contains(QStringLiteral("<link")));
    // Links stay inside the page.
    static const QRegularExpression href(QStringLiteral(R"re(href\s*=\s*"([^"]*)")re"));
    for (auto it = href.globalMatch(html); it.hasNext();) {
        const QString target = it.next().captured(1);
        EXPECT_TRUE(target.startsWith(QLatin1Char('#'))) << utf8(target);
        EXPECT_TRUE(html.contains(QStringLiteral("id=\"%1\"").arg(target.mid(1))))
            << "no anchor for " << utf8(target);
    }
}

TEST_F(HelpPageTest, ExplainsEveryCommandKeyAndFile)
{
    const char* const topics[] = {
        // the stage menu
        "添加", "定位指针", "设置", "颜色设置", "字体颜色随机", "字体单一颜色", "设置单一字体颜色", "识字篇",
        "百家姓篇", "三字经篇", "千字文篇", "复习篇", "随机顺序", "帮助", "关闭",
        // the keys
        "Enter", "空格", "Esc", ">0<", "已到最前面！", "BackSpace", ">Z<", "今天的复习完成了！",
        // the dialogs
        "添加字", "插入字", "删除字", "离开了", "双击", "显示设置", "字体大小选择", "字体位置设置",
        "字体类型选择", "离开",
        // the files
        "database", "Sound", "ziku.txt", "qrnv.ini", "GBK"};
    for (const char* topic : topics)
        EXPECT_TRUE(html.contains(QString::fromUtf8(topic))) << topic;
}

// ---------------------------------------------------------------------------
// Sound cues

struct Cue {
    const char* file;
    double minSeconds;
    double maxSeconds;
};

void PrintTo(const Cue& cue, std::ostream* out)
{
    *out << cue.file;
}

struct Wave {
    int format = 0;
    int channels = 0;
    int sampleRate = 0;
    int byteRate = 0;
    int blockAlign = 0;
    int bitsPerSample = 0;
    QList<int16_t> samples;
};

quint32 le32(const QByteArray& b, qsizetype at)
{
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 | quint32(quint8(b[at + 2])) << 16
           | quint32(quint8(b[at + 3])) << 24;
}

quint16 le16(const QByteArray& b, qsizetype at)
{
    return quint16(quint8(b[at]) | quint8(b[at + 1]) << 8);
}

// Parses a RIFF/WAVE file chunk by chunk; reports faults of the container.
Wave parseWave(const QByteArray& b)
{
    Wave wave;
    if (b.size() < 12 || !b.startsWith("RIFF") || b.mid(8, 4) != "WAVE") {
        ADD_FAILURE() << "not a RIFF/WAVE file";
        return wave;
    }
    EXPECT_EQ(le32(b, 4), quint32(b.size() - 8)) << "RIFF size";
    bool haveFormat = false, haveData = false;
    qsizetype at = 12;
    while (at + 8 <= b.size()) {
        const QByteArray id = b.mid(at, 4);
        const quint32 size = le32(b, at + 4);
        const qsizetype body = at + 8;
        if (body + qsizetype(size) > b.size()) {
            ADD_FAILURE() << "chunk " << id.constData() << " runs past the end";
            break;
        }
        if (id == "fmt " && size >= 16) {
            haveFormat = true;
            wave.format = le16(b, body);
            wave.channels = le16(b, body + 2);
            wave.sampleRate = int(le32(b, body + 4));
            wave.byteRate = int(le32(b, body + 8));
            wave.blockAlign = le16(b, body + 12);
            wave.bitsPerSample = le16(b, body + 14);
        } else if (id == "data") {
            EXPECT_TRUE(haveFormat) << "data before fmt";
            haveData = true;
            for (qsizetype i = body; i + 1 < body + qsizetype(size); i += 2)
                wave.samples.append(int16_t(le16(b, i)));
        }
        at = body + size + (size & 1);
    }
    EXPECT_TRUE(haveFormat) << "no fmt chunk";
    EXPECT_TRUE(haveData) << "no data chunk";
    return wave;
}

double dbfs(int peak)
{
    return 20.0 * std::log10(peak / 32768.0);
}

int peakOf(const Wave& wave)
{
    int peak = 0;
    for (int16_t s : wave.samples)
        peak = std::max(peak, std::abs(int(s)));
    return peak;
}

class SoundCueTest : public testing::TestWithParam<Cue> {};

TEST_P(SoundCueTest, IsShortLoudMono16BitPcmThatStartsAtOnce)
{
    const Cue& cue = GetParam();
    // The program opens the cues by exact name: the case of the name counts.
    const QByteArray bytes = readSourceFile(cue.file);
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_LT(bytes.size(), 200 * 1024);

    const Wave wave = parseWave(bytes);
    EXPECT_EQ(wave.format, 1) << "uncompressed PCM";
    EXPECT_EQ(wave.channels, 1);
    EXPECT_EQ(wave.bitsPerSample, 16);
    EXPECT_TRUE(wave.sampleRate == 22050 || wave.sampleRate == 44100) << wave.sampleRate;
    EXPECT_EQ(wave.blockAlign, 2);
    EXPECT_EQ(wave.byteRate, wave.sampleRate * 2);
    ASSERT_GT(wave.sampleRate, 0);

    const double seconds = double(wave.samples.size()) / wave.sampleRate;
    EXPECT_GE(seconds, cue.minSeconds);
    EXPECT_LE(seconds, cue.maxSeconds);

    // Normalised: peaks at -1 dBFS give every cue the same headroom.
    const int peak = peakOf(wave);
    EXPECT_GE(dbfs(peak), -1.5) << "peak " << peak;
    EXPECT_LE(dbfs(peak), -0.5) << "peak " << peak;

    // Sound within the first 10 ms: the step cue plays on every click.
    const qsizetype window = wave.sampleRate / 100;
    qsizetype onset = -1;
    for (qsizetype i = 0; i < wave.samples.size() && onset < 0; ++i)
        if (std::abs(int(wave.samples[i])) >= 328) // 1 % of full scale
            onset = i;
    EXPECT_GE(onset, 0);
    EXPECT_LT(onset, window) << "leading silence of " << onset << " samples";
}

INSTANTIATE_TEST_SUITE_P(Cues, SoundCueTest,
                         testing::Values(Cue {"Sound/fenling.WAV", 0.3, 2.0},  // chime
                                         Cue {"Sound/xiayige.wav", 0.2, 0.99}, // step: under a second
                                         Cue {"Sound/guzhang.WAV", 1.0, 2.0},  // applause
                                         Cue {"Sound/cuo.wav", 0.2, 1.0}));    // wrong answer

} // namespace

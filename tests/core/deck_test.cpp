#include "core/deck.h"
#include "core/stagestate.h"
#include "platform/error.h"
#include "platform/gbk.h"
#include "tests/support/programfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

using core::Deck;
using testing_support::ProgramFolder;

namespace {

using Entries = std::vector<QByteArray>;

Entries entriesOf(const QByteArray& fileBytes)
{
    const Deck deck = Deck::fromFileBytes(fileBytes);
    const Entries entries = deck.entries();
    // A walker finds the same entries in order, backwards (from noted
    // starts), and on again after a jump.
    Deck::Walker walker(deck);
    const qsizetype count = qsizetype(entries.size());
    for (qsizetype i = 0; i < count; ++i)
        EXPECT_EQ(walker.at(i), entries[size_t(i)]) << i;
    for (qsizetype i = count - 1; i >= 0; --i)
        EXPECT_EQ(walker.at(i), entries[size_t(i)]) << i;
    for (qsizetype i = count / 2; i < count; ++i)
        EXPECT_EQ(walker.at(i), entries[size_t(i)]) << i;
    EXPECT_THROW(walker.at(count), std::out_of_range);
    return entries;
}

} // namespace

TEST(DeckFormat, LineEndsOfEveryKindEndOneEntry)
{
    EXPECT_EQ(entriesOf("a\r\nb\nc\rd"), (Entries {"a", "b", "c", "d"}));
    // CR CR is two breaks, LF CR is two breaks, CR LF one.
    EXPECT_EQ(entriesOf("a\r\rb\n\rc\r\n"), (Entries {"a", "", "b", "", "c"}));
}

TEST(DeckFormat, LastLineAndFinalLineEnd)
{
    EXPECT_EQ(entriesOf("a\r\nb"), (Entries {"a", "b"}));
    EXPECT_EQ(entriesOf("a\r\nb\r\n"), (Entries {"a", "b"}));
    EXPECT_EQ(entriesOf("a\r\n\r\nb\r\n"), (Entries {"a", "", "b"}));
    EXPECT_EQ(entriesOf(""), Entries {});
    EXPECT_EQ(entriesOf("\r\n"), Entries {""});
}

TEST(DeckFormat, NothingIsTrimmedAndReadingStopsAtNul)
{
    EXPECT_EQ(entriesOf("  a \t\r\n"), Entries {"  a \t"});
    EXPECT_EQ(entriesOf(QByteArray("ab\r\ncd\0ef\r\ngh", 14)), (Entries {"ab", "cd"}));
    EXPECT_EQ(entriesOf(QByteArray("\0ab", 3)), Entries {});
}

TEST(DeckFormat, GbkTrailBytesAreNotLineEnds)
{
    // GBK trail bytes lie at 0x40 and above, so CR and LF never occur inside
    // a character; entries keep their bytes exactly.
    const QByteArray big = "\xB4\xF3";  // 大
    const QByteArray gate = "\xC3\xC5"; // 门
    EXPECT_EQ(entriesOf(big + "\r\n" + gate + big), (Entries {big, gate + big}));
}

TEST(DeckFormat, WritingEndsEveryEntryWithCrLfAndReadsBack)
{
    const Entries entries {"a", "", "  b ", "\xB4\xF3"};
    const QByteArray bytes = Deck::toFileBytes(entries);
    EXPECT_EQ(bytes, QByteArray("a\r\n\r\n  b \r\n\xB4\xF3\r\n"));
    EXPECT_EQ(entriesOf(bytes), entries);
    EXPECT_EQ(Deck::fromEntries(entries).toFileBytes(), bytes);
    EXPECT_EQ(Deck::toFileBytes({}), QByteArray());
}

TEST(DeckFile, MissingFileGivesTheOpenError)
{
    ProgramFolder folder;
    try {
        core::readDeckFile(folder.path(QStringLiteral("database/none.qrnv")));
        FAIL() << "no error";
    } catch (const platform::Error& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Cannot open file \"%1\". No such file or directory")
                                       .arg(folder.path(QStringLiteral("database/none.qrnv"))));
    }
}

// A parent may keep the library in UTF-8 from a text editor of today, with
// or without a byte-order mark. It reads as GBK entries, and the editor's
// save keeps the file's encoding, mark and line end; a line holding what GBK
// can't keep survives the edit unchanged and never shows as garbage.
TEST(DeckFile, EveryEncodingIsReadEditedAndWrittenBackInItsOwn)
{
    using testing_support::gbk;
    struct Form {
        const char* name;
        QByteArray mark;
        QByteArray lineEnd;
        bool utf8;
    };
    const Form forms[] = {
        {"GBK", "", "\r\n", false},
        {"UTF-8", "", "\n", true},
        {"UTF-8 with BOM", "\xEF\xBB\xBF", "\r\n", true},
    };
    for (const Form& form : forms) {
        SCOPED_TRACE(form.name);
        const QString foreignLine = form.utf8 ? QStringLiteral("笑😀") : QStringLiteral("笑");
        const auto fileOf = [&](const std::vector<QString>& lines) {
            QByteArray bytes = form.mark;
            for (const QString& line : lines)
                bytes += (form.utf8 ? line.toUtf8() : gbk(line)) + form.lineEnd;
            return bytes;
        };
        ProgramFolder folder;
        const QString path = folder.path(QStringLiteral("database/ziku.txt"));
        folder.writeFile(
            QStringLiteral("database/ziku.txt"),
            fileOf({QStringLiteral("大"), QStringLiteral("小"), foreignLine, QStringLiteral("好")}));

        Entries entries = core::readDeckFile(path).entries();
        ASSERT_EQ(entries.size(), 4u);
        EXPECT_EQ(entries[0], gbk(QStringLiteral("大")));
        EXPECT_EQ(entries[1], gbk(QStringLiteral("小")));
        EXPECT_EQ(platform::gbk::decode(entries[2]), form.utf8 ? QString() : QStringLiteral("笑"));

        entries.erase(entries.begin() + 1);
        entries.push_back(gbk(QStringLiteral("新")));
        core::writeDeckFile(path, entries);
        EXPECT_EQ(folder.readFile(QStringLiteral("database/ziku.txt")),
                  fileOf({QStringLiteral("大"), foreignLine, QStringLiteral("好"), QStringLiteral("新")}));
        EXPECT_EQ(core::readDeckFile(path).entries(), entries);
    }
}

TEST(DeckFile, NewFileIsGbkUnlessItMustKeepWhatGbkCant)
{
    ProgramFolder folder;
    const QString path = folder.path(QStringLiteral("database/ziku.txt"));
    const QByteArray big = testing_support::gbk(QStringLiteral("大"));
    core::writeDeckFile(path, {big});
    EXPECT_EQ(folder.readFile(QStringLiteral("database/ziku.txt")), big + "\r\n");

    // An entry with a foreign run, from a UTF-8 file since replaced by GBK.
    const QByteArray smile = "\xFF"
                             "F09F9880\xFF";
    core::writeDeckFile(path, {big, smile});
    EXPECT_EQ(folder.readFile(QStringLiteral("database/ziku.txt")), QStringLiteral("大\r\n😀\r\n").toUtf8());
}

// UTF-8 that reads as UTF-8 only while its Chinese outweighs the rest: with
// "°" added it would read as GBK, garbled, so it is written with the mark.
TEST(DeckFile, WrittenFileReadsBackAsWritten)
{
    ProgramFolder folder;
    const QString path = folder.path(QStringLiteral("database/ziku.txt"));
    folder.writeFile(QStringLiteral("database/ziku.txt"), QStringLiteral("你あ\n").toUtf8());
    Entries entries = core::readDeckFile(path).entries();
    entries.push_back(testing_support::gbk(QStringLiteral("°")));
    core::writeDeckFile(path, entries);
    EXPECT_EQ(core::readDeckFile(path).entries(), entries);
    EXPECT_EQ(folder.readFile(QStringLiteral("database/ziku.txt")),
              "\xEF\xBB\xBF" + QStringLiteral("你あ\n°\n").toUtf8());
}

TEST(Cursor, AdvanceWrapsAfterTheLastEntry)
{
    core::DeckCursor cursor = 2;
    EXPECT_EQ(core::advance(cursor, 3), 0);
    EXPECT_EQ(core::advance(cursor, 3), 1);
    cursor = -1;
    EXPECT_EQ(core::advance(cursor, 3), 0);
}

TEST(Cursor, StaleCursorStartsAgainAtTheFirstEntry)
{
    for (qint32 stale :
         {40, 10, -2, -40, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()}) {
        core::DeckCursor cursor = stale;
        EXPECT_EQ(core::advance(cursor, 10), 0) << stale;
        EXPECT_EQ(cursor, 0);
    }
}

TEST(Cursor, EmptyDeckHasNothingToDraw)
{
    core::DeckCursor cursor = 5;
    EXPECT_EQ(core::advance(cursor, 0), -1);
    EXPECT_EQ(cursor, 0);
    cursor = -1;
    EXPECT_EQ(core::advance(cursor, 0), -1);
}

TEST(Cursor, StepBackReportsTheFrontAndNeverWraps)
{
    core::DeckCursor cursor = 0; // entry 0 showing
    EXPECT_TRUE(core::stepCursorBack(cursor));
    EXPECT_EQ(cursor, -1);
    EXPECT_EQ(core::advance(cursor, 9), 0); // entry 0 again

    cursor = 5;
    EXPECT_FALSE(core::stepCursorBack(cursor));
    EXPECT_EQ(core::advance(cursor, 9), 4);

    cursor = 1;
    EXPECT_FALSE(core::stepCursorBack(cursor));
    EXPECT_EQ(cursor, -1);

    cursor = std::numeric_limits<qint32>::min();
    EXPECT_TRUE(core::stepCursorBack(cursor));
    EXPECT_EQ(cursor, -1);
}

TEST(Cursor, StoredStartPositionShowsTheSameEntryNextTime)
{
    EXPECT_EQ(core::startPositionToStore(7), 6);
    EXPECT_EQ(core::startPositionToStore(0), -1);
    EXPECT_EQ(core::startPositionToStore(std::numeric_limits<qint32>::min()),
              std::numeric_limits<qint32>::min());
}

TEST(Decks, LoadDeckReadsTheKindsFileAndRewindsTheCursor)
{
    ProgramFolder folder;
    folder.writeDeck(QStringLiteral("database/szj.qrnv"),
                     {QStringLiteral("人之初"), QStringLiteral("性本善")});
    core::StageState state;
    state.cursor = 5;
    core::loadDeck(state, core::DeckKind::ThreeCharacter);
    EXPECT_EQ(state.cursor, -1);
    EXPECT_EQ(state.deckKind, core::DeckKind::ThreeCharacter);
    EXPECT_EQ(core::nextIndex(state), 0);
    EXPECT_EQ(state.deck.at(0), testing_support::gbk(QStringLiteral("人之初")));
}

TEST(Decks, FailedLoadLeavesAnEmptyDeckAndTheCursor)
{
    ProgramFolder folder;
    core::StageState state;
    state.deck = Deck::fromEntries({"a", "b"});
    state.cursor = 1;
    EXPECT_THROW(core::loadDeck(state, core::DeckKind::Surnames), platform::Error);
    EXPECT_TRUE(state.deck.isEmpty());
    EXPECT_EQ(state.cursor, 1);
    EXPECT_EQ(state.deckKind, core::DeckKind::Library);
}

TEST(Decks, ReloadLibraryKeepsTheCursor)
{
    ProgramFolder folder;
    folder.writeDeck(QStringLiteral("database/ziku.txt"), {QStringLiteral("大"), QStringLiteral("小")});
    core::StageState state;
    state.cursor = 9;
    core::reloadLibrary(state);
    EXPECT_EQ(state.deck.size(), 2);
    EXPECT_EQ(state.cursor, 9);
    EXPECT_EQ(core::nextIndex(state), 0); // beyond the shortened library: start again
}

TEST(Decks, JumpToDrawsTheChosenEntryNext)
{
    core::StageState state;
    state.deck = Deck::fromEntries({"a", "b", "a"});
    core::jumpTo(state, 2);
    EXPECT_EQ(core::nextIndex(state), 2);
    EXPECT_EQ(core::nextIndex(state), 0);
    core::jumpTo(state, 0);
    EXPECT_EQ(state.cursor, -1);
    EXPECT_EQ(core::nextIndex(state), 0);
}

// The stage's commands and the display settings write to one settings file,
// the program folder's, even when the start-up failed before opening it.
TEST(StageSettingsFile, OneFileInTheProgramFolderOpenedOnFirstUse)
{
    ProgramFolder folder;
    core::StageState state;
    settings::SettingsFile& file = core::settingsFile(state);
    EXPECT_EQ(&core::settingsFile(state), &file);
    file.writeInteger("section", "key", 7);
    EXPECT_EQ(folder.readFile(QStringLiteral("database/qrnv.ini")), QByteArray("[section]\r\nkey=7\r\n"));

    // The file the start-up opened is the one written.
    state.settingsFile = std::make_unique<settings::SettingsFile>(folder.path(QStringLiteral("other.ini")));
    EXPECT_EQ(core::settingsFile(state).path(), folder.path(QStringLiteral("other.ini")));
}

TEST(Decks, BuiltInListHasSixtyFourEntries)
{
    const auto entries = core::builtInEntries();
    ASSERT_EQ(entries.size(), 64u);
    EXPECT_EQ(entries[0], testing_support::gbk(QStringLiteral("大")));
    EXPECT_EQ(entries[1], testing_support::gbk(QStringLiteral("小")));
    EXPECT_EQ(entries[30], testing_support::gbk(QStringLiteral("爸爸")));
    EXPECT_EQ(entries[61], testing_support::gbk(QStringLiteral("好")));
    EXPECT_EQ(entries[62], testing_support::gbk(QStringLiteral("你真棒")));
    EXPECT_EQ(entries[63], testing_support::gbk(QStringLiteral("再见")));
}

// A deck long enough to cross many noted starts and 64-byte blocks, with
// every kind of line end, CR LF pairs split across blocks, and empty lines;
// `expected` gets its entries.
Deck longMixedDeck(std::vector<QByteArray>& expected)
{
    QByteArray file;
    const char* const ends[] = {"\r\n", "\n", "\r", "\r\n", "\n\r"};
    for (int i = 0; i < 1000; ++i) {
        QByteArray entry(i % 23, char('a' + i % 26));
        const char* end = ends[i % 5];
        file += entry + end;
        expected.push_back(entry);
        if (QByteArray(end) == "\n\r")
            expected.push_back(""); // LF then CR: two line ends
    }
    return Deck::fromFileBytes(file);
}

TEST(DeckFormat, EveryEntryOfALongMixedFileIsFound)
{
    std::vector<QByteArray> expected;
    const Deck deck = longMixedDeck(expected);
    ASSERT_EQ(deck.size(), qsizetype(expected.size()));
    for (qsizetype i = 0; i < deck.size(); ++i)
        ASSERT_EQ(deck.at(i).toByteArray(), expected[size_t(i)]) << i;
    EXPECT_EQ(deck.entries(), expected);
}

TEST(DeckFormat, FindEntryHandsOnEveryEntryThatBeginsSoAndNoOther)
{
    std::vector<QByteArray> entries;
    const Deck deck = longMixedDeck(entries);
    // The test sees the whole entry: only entries of a length divisible by
    // three are taken.
    const auto lengthByThree = [](QByteArrayView entry) { return entry.size() % 3 == 0; };
    const std::vector<Entries> beginningSets = {
        {"a"}, {"k"}, {"z", "y"}, {"?"}, {}, {"kk"}, {"ka"}, {"aa", "k"}, {"bb", "b"},
    };
    for (const Entries& beginnings : beginningSets) {
        const auto begins = [&beginnings](const QByteArray& entry) {
            return std::any_of(beginnings.begin(), beginnings.end(),
                               [&entry](const QByteArray& beginning) { return entry.startsWith(beginning); });
        };
        for (qsizetype from = 0; from < deck.size(); from += 7) {
            const qsizetype to = std::min(deck.size(), from + 5 + from % 300);
            qsizetype expected = -1;
            for (qsizetype i = from; i < to && expected < 0; ++i) {
                const QByteArray& entry = entries[size_t(i)];
                if (begins(entry) && lengthByThree(entry))
                    expected = i;
            }
            ASSERT_EQ(deck.findEntry(from, to, beginnings, lengthByThree), expected)
                << "from " << from << " to " << to << " for " << beginnings.size()
                << " beginnings, the first "
                << (beginnings.empty() ? std::string() : beginnings.front().toStdString());
        }
    }
    EXPECT_EQ(Deck().findEntry(0, 1, {"a"}, lengthByThree), -1);
    EXPECT_EQ(deck.findEntry(5, 5, {"a"}, lengthByThree), -1);
}

namespace {

// A library of ten single letters and a surnames deck of four, in a folder.
struct TwoDecks {
    TwoDecks()
    {
        library = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"};
        folder.writeFile(QStringLiteral("database/ziku.txt"), Deck::toFileBytes(library));
        folder.writeFile(QStringLiteral("database/bjx.qrnv"), Deck::toFileBytes({"w", "x", "y", "z"}));
        core::loadDeck(state, core::DeckKind::Library);
    }
    // Steps `count` times and returns the entry then showing.
    QByteArray step(int count = 1)
    {
        qsizetype index = -1;
        for (int i = 0; i < count; ++i)
            index = core::nextIndex(state);
        return state.deck.at(index).toByteArray();
    }
    ProgramFolder folder;
    Entries library;
    core::StageState state;
};

} // namespace

// Each deck keeps its place: switching away and back shows the same entry,
// in file order or shuffled, and the start position is only the library's.
TEST(Places, SwitchingDecksAndBackReturnsToTheEntryShowing)
{
    struct Case {
        const char* name;
        bool shuffled;
        int libraryShown; // steps in the library before switching
        int surnamesShown;
    };
    const Case cases[] = {
        {"in file order", false, 4, 2},
        {"at the first entries", false, 1, 1},
        {"shuffled", true, 7, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TwoDecks decks;
        core::setLibraryShuffled(decks.state, c.shuffled);
        const QByteArray libraryEntry = decks.step(c.libraryShown);
        const qint32 libraryPlace = core::placeOfShowing(decks.state);
        EXPECT_EQ(decks.library[size_t(libraryPlace + 1)], libraryEntry); // counted in file order

        core::switchDeck(decks.state, core::DeckKind::Surnames);
        const QByteArray surname = decks.step(c.surnamesShown);
        EXPECT_EQ(core::libraryPlace(decks.state), libraryPlace);

        core::switchDeck(decks.state, core::DeckKind::Library);
        EXPECT_EQ(decks.step(), libraryEntry);
        core::switchDeck(decks.state, core::DeckKind::Surnames);
        EXPECT_EQ(decks.step(), surname);
    }
}

TEST(Places, ClassicPlacesAreStoredPerChildAndReadBack)
{
    TwoDecks decks;
    core::switchDeck(decks.state, core::DeckKind::Surnames);
    decks.step(3); // y shows
    settings::SettingsFile file(decks.folder.path(QStringLiteral("database/qrnv.ini")));
    core::writeDeckPlaces(file, core::placesNow(decks.state), 2);
    EXPECT_EQ(decks.folder.readFile(QStringLiteral("database/qrnv.ini")),
              testing_support::gbk(QStringLiteral("[位置2]\r\nziku=-2\r\nbjx=1\r\n")));

    core::DeckPlaces again;
    core::readDeckPlaces(file, again, 2);
    EXPECT_EQ(again.placeOf(core::DeckKind::Surnames), 1);
    EXPECT_EQ(again.placeOf(core::DeckKind::Library), -2);
    EXPECT_FALSE(again.has(core::DeckKind::ThreeCharacter));
    core::readDeckPlaces(file, again, 1); // another child's section: nothing
    EXPECT_EQ(again.placeOf(core::DeckKind::Surnames), 1);
}

TEST(Shuffle, OneOrderADayWithEveryEntryOnce)
{
    const QDate day(2026, 12, 10);
    const std::vector<qsizetype> order = core::shuffledOrder(1000, day);
    EXPECT_EQ(order, core::shuffledOrder(1000, day));
    EXPECT_NE(order, core::shuffledOrder(1000, day.addDays(1)));
    std::vector<qsizetype> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    for (qsizetype i = 0; i < 1000; ++i)
        ASSERT_EQ(sorted[size_t(i)], i);
    EXPECT_NE(std::vector<qsizetype>(order.begin(), order.begin() + 10),
              (std::vector<qsizetype> {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_TRUE(core::shuffledOrder(0, day).empty());
}

TEST(Shuffle, SwitchingTheOrderStaysOnTheEntryAndTheLibraryFileIsKept)
{
    TwoDecks decks;
    const QByteArray showing = decks.step(6);
    core::setLibraryShuffled(decks.state, true);
    EXPECT_EQ(decks.state.deck.size(), 10);
    EXPECT_NE(decks.state.deck.entries(), decks.library);
    EXPECT_EQ(decks.state.deck.at(decks.state.cursor), showing);
    core::reloadLibrary(decks.state); // the editor closed: still shuffled
    EXPECT_EQ(decks.state.libraryOrder, core::shuffledOrder(10, QDate::currentDate()));
    EXPECT_EQ(decks.state.deck.at(decks.state.cursor), showing);
    core::setLibraryShuffled(decks.state, false);
    EXPECT_EQ(decks.state.deck.entries(), decks.library);
    EXPECT_EQ(decks.state.deck.at(decks.state.cursor), showing);
}

// A review shows its entries once each, in order, and ends after the last;
// left part way, it is taken up again at its place the same day.
TEST(Review, RecordsEachEntryOnceAndDoesNotWrap)
{
    TwoDecks decks;
    decks.step(3);
    const QDate today(2026, 12, 10);
    core::startReview(decks.state, {"x", "y", "z"}, today);
    EXPECT_EQ(decks.step(), "x");
    ASSERT_TRUE(decks.state.review);
    core::ReviewSession& review = *decks.state.review;
    EXPECT_EQ(review.progressText(0), QStringLiteral("1 / 3"));
    EXPECT_TRUE(review.markJudged(0));
    EXPECT_FALSE(review.markJudged(0)); // never twice
    EXPECT_EQ(decks.step(), "y");
    EXPECT_FALSE(core::reviewAtLastEntry(decks.state));

    core::switchDeck(decks.state, core::DeckKind::Surnames); // left part way
    core::startReview(decks.state, {"z"}, today);
    EXPECT_EQ(decks.step(), "y");
    EXPECT_EQ(decks.step(), "z");
    EXPECT_TRUE(core::reviewAtLastEntry(decks.state));
    EXPECT_TRUE(review.markJudged(1));
    review.unmarkJudged(1); // taken back: may be judged again
    EXPECT_TRUE(review.markJudged(1));
    EXPECT_TRUE(review.markJudged(2));
    EXPECT_TRUE(review.isComplete());

    core::endReview(decks.state); // back to the deck shown before, at its place
    EXPECT_EQ(decks.state.deckKind, core::DeckKind::Surnames);
    EXPECT_EQ(decks.step(), "w");
    EXPECT_FALSE(decks.state.review);
    core::startReview(decks.state, {"z"}, today); // a finished review begins anew
    EXPECT_EQ(decks.step(), "z");
}

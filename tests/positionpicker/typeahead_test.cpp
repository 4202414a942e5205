// Type-ahead in the picker's list looks at the deck's bytes; it must choose
// the same row as the item view's own type-ahead, which asks the model for
// every row's text.
#include "core/deck.h"
#include "positionpicker/decklistmodel.h"
#include "positionpicker/decksearch.h"
#include "positionpicker/pickerlist.h"
#include "tests/support/programfolder.h"

#include <QApplication>
#include <QListView>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;
using testing_support::gbk;

class TypeAheadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Every key of a case counts as typed without a pause.
        savedInterval = QApplication::keyboardInputInterval();
        QApplication::setKeyboardInputInterval(60 * 60 * 1000);
    }
    void TearDown() override { QApplication::setKeyboardInputInterval(savedInterval); }

    void load(const QByteArray& fileBytes)
    {
        deck = core::Deck::fromFileBytes(fileBytes);
        fastRows = std::make_unique<positionpicker::DeckListModel>(deck, false);
        plainRows = std::make_unique<positionpicker::DeckListModel>(deck, false);
        fast = std::make_unique<positionpicker::PickerList>(13);
        plain = std::make_unique<QListView>();
        plain->setSelectionMode(QAbstractItemView::SingleSelection);
        fast->setModel(fastRows.get());
        plain->setModel(plainRows.get());
    }

    // Types the keys into both lists, one at a time, and expects the same
    // current row after each; an empty key starts a new text.
    void expectSameRows(const QStringList& keys, int startRow = -1)
    {
        if (startRow >= 0) {
            fast->setCurrentIndex(fastRows->index(startRow));
            plain->setCurrentIndex(plainRows->index(startRow));
        }
        QString typed;
        for (const QString& key : keys) {
            typed += key.isEmpty() ? QStringLiteral("|") : key;
            fast->keyboardSearch(key);
            plain->keyboardSearch(key);
            ASSERT_EQ(fast->currentIndex().row(), plain->currentIndex().row())
                << "after typing " << typed.toStdString();
        }
    }

    int savedInterval = 0;
    core::Deck deck;
    std::unique_ptr<positionpicker::DeckListModel> fastRows;
    std::unique_ptr<positionpicker::DeckListModel> plainRows;
    std::unique_ptr<positionpicker::PickerList> fast;
    std::unique_ptr<QListView> plain;
};

// Line ends of every kind, empty entries, letters in both cases, letters of
// other scripts whose case folds, a repeated key, a lone lead byte, and
// entries holding text GBK can't show (read from a UTF-8 file), which the
// list shows empty.
QByteArray mixedDeck()
{
    return gbk(QStringLiteral(
               "大\r\nabc\rAbd\n\r\n爸爸\r\nABE\r\nσ字\r\nς字\r\nΣ\r\nａｂ\r\nＡ\r\nⅠ\r\nⅰ二\r\n"))
           + "a\x81\r\nb\r\n\xFF"
             "F09F9880\xFF\r\naa\r\nx\r\n\xFF\xFF\r\na\xFF"
             "F09F9880\xFF\r\n\x80\r\n\xB4\xF3x";
}

TEST_F(TypeAheadTest, ChoosesTheRowsTheItemViewChooses)
{
    load(mixedDeck());
    expectSameRows(
        {u"a"_s, u"b"_s, u""_s, u"a"_s, u"b"_s, u"d"_s, u""_s, u"A"_s, u"B"_s, u"E"_s, u""_s, u"z"_s});
    expectSameRows({u""_s, u"a"_s, u"a"_s, u"a"_s, u"a"_s, u"a"_s, u"a"_s, u""_s, u"b"_s, u"b"_s, u"b"_s});
    expectSameRows({u""_s, u"大"_s, u"x"_s, u""_s, u"爸"_s, u"爸"_s});
    expectSameRows({u""_s, u"Σ"_s, u""_s, u"ς"_s, u"字"_s, u""_s, u"σ"_s, u"σ"_s});
    expectSameRows({u""_s, u"Ａ"_s, u"Ｂ"_s, u""_s, u"ａ"_s, u""_s, u"ⅰ"_s, u"二"_s, u""_s, u"Ⅰ"_s});
    expectSameRows({u""_s, u"😀"_s, u""_s, u"é"_s, u""_s, u"\t"_s});
    // Single bytes above ASCII that stand for characters of their own.
    expectSameRows({u""_s, testing_support::gbkDecode("\xFF"), u""_s, u"€"_s});
}

TEST_F(TypeAheadTest, StartsAfterTheCurrentRowAndWrapsRound)
{
    load(mixedDeck());
    for (int start = 0; start < deck.size(); ++start)
        expectSameRows({u""_s, u"a"_s, u""_s, u"x"_s, u""_s, u"大"_s}, start);
}

TEST_F(TypeAheadTest, EmptyAndOneEntryDecks)
{
    load({});
    expectSameRows({u"a"_s, u""_s, u"b"_s});
    EXPECT_EQ(positionpicker::findEntryStartingWith(deck, 0, u"a"), -1);
    load("\r\n");
    expectSameRows({u"a"_s, u""_s, u""_s, u"b"_s});
    load("a");
    expectSameRows({u"a"_s, u"a"_s, u""_s, u"b"_s, u""_s, u"A"_s});
    // An entry the list shows empty begins with empty text like any other.
    load("\xFF"
         "F09F9880\xFF\r\nb");
    EXPECT_EQ(positionpicker::findEntryStartingWith(deck, 0, u""), 0);
    EXPECT_EQ(positionpicker::findEntryStartingWith(deck, 0, QString()), 0);
    EXPECT_EQ(positionpicker::findEntryStartingWith(deck, 0, u"F"), -1);
    expectSameRows({u""_s, u"b"_s, u""_s, u""_s});
}

// Random decks of a few letters and random keys, against the item view; the
// longer ones cross the 64-byte blocks the deck is searched in.
TEST_F(TypeAheadTest, RandomDecksAgreeWithTheItemView)
{
    const QStringList letters = {u"a"_s, u"A"_s, u"b"_s, u"大"_s, u"Σ"_s, u"σ"_s, u""_s};
    const char* const lineEnds[] = {"\r\n", "\n", "\r"};
    QRandomGenerator random(14);
    for (int round = 0; round < 200; ++round) {
        QByteArray file;
        const int entries = int(random.bounded(1, round % 2 == 0 ? 12 : 90));
        for (int e = 0; e < entries; ++e) {
            const int length = int(random.bounded(0, 4));
            for (int c = 0; c < length; ++c)
                file += gbk(letters[int(random.bounded(letters.size() - 1))]);
            file += lineEnds[random.bounded(3)];
        }
        load(file);
        QStringList keys;
        for (int k = 0; k < 12; ++k)
            keys << letters[int(random.bounded(letters.size()))];
        SCOPED_TRACE(file.toHex(' ').toStdString());
        expectSameRows(keys, int(random.bounded(entries)));
        if (HasFatalFailure())
            return;
    }
}

} // namespace

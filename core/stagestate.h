#pragma once

#include "core/children.h"
#include "core/deck.h"
#include "core/deckplaces.h"
#include "core/record.h"
#include "settings/settingsfile.h"
#include "settings/stagesettings.h"

#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <vector>

// The state of the stage: the deck it shows, the cursor, the display
// settings in force, the one settings file and the learning record. The
// stage window owns it; each dialog is handed only what it edits. These
// operations change only the deck and the cursor; drawing is the stage
// window's.
namespace core {

// Which file the deck was loaded from.
// Review is built from the learning record and has no file.
enum class DeckKind { Library, Surnames, ThreeCharacter, ThousandCharacter, Review };

// The index of the entry now shown; -1 stands before the first entry.
using DeckCursor = qint32;

struct StageState {
    Deck deck;
    DeckKind deckKind = DeckKind::Library;
    DeckCursor cursor = 0;
    settings::StageSettings settings;
    std::unique_ptr<settings::SettingsFile> settingsFile;
    // The learning record, opened at start-up; null before.
    std::unique_ptr<core::Record> record;

    // The places of the decks not showing, in their files' order.
    DeckPlaces places;
    // 随机顺序: the library is shown in the order of the day, and
    // libraryOrder gives the file index of each entry shown; empty while the
    // library is in file order.
    bool shuffleLibrary = false;
    std::vector<qsizetype> libraryOrder;
    // The review under way (or finished today), and the deck shown before it.
    std::optional<ReviewSession> review;
    DeckKind deckBeforeReview = DeckKind::Library;

    // The children; `places` above are the current child's, and those of
    // the others met in this run are kept here until "关闭" stores them.
    Children children;
    std::map<int, DeckPlaces> otherChildrenPlaces;
};

// The settings file the stage opened at start-up. Should the start-up have
// failed before opening it, it is opened now: the menu's commands and the
// display settings still have a file to write to.
settings::SettingsFile& settingsFile(StageState& state);

// The data file of a deck, relative to the program directory; empty for
// the review deck.
QString deckFileName(DeckKind kind);

// The deck the stage window is created with, until the library is read.
std::vector<QByteArray> builtInEntries();

// The cursor rules, on any cursor and deck size.
// Advances the cursor, wrapping after the last entry and starting again at 0
// from a cursor that is not an index. Returns the index to draw, or -1 when
// the deck is empty.
qsizetype advance(DeckCursor& cursor, qsizetype deckSize);
// Steps the cursor back by two, so that the next advance shows the entry
// before the one showing. Returns true, with the cursor at -1, when the first
// entry was showing (the front).
bool stepCursorBack(DeckCursor& cursor);

// The same rules on the state's cursor and deck.
qsizetype nextIndex(StageState& state);
bool stepBack(StageState& state);
// Puts the cursor just before `index`, so that the next advance shows it.
void jumpTo(StageState& state, qsizetype index);

// Empties the deck and reads the kind's file into it; the cursor goes to -1.
// Throws platform::Error when the file cannot be opened: the deck stays
// empty and the cursor unchanged.
void loadDeck(StageState& state, DeckKind kind);

// Shows the given entries as the review deck; the cursor goes to -1.
void loadReviewDeck(StageState& state, const QList<QByteArray>& entries);

// The place of the deck showing, as the start position is stored: the file
// index of the entry showing minus one, whatever order it is shown in.
qint32 placeOfShowing(const StageState& state);
// Sets the cursor so that the next advance shows the entry after `place`
// (a file index, as placeOfShowing gives it) in the deck showing.
void restorePlace(StageState& state, qint32 place);
// The library's place: the one showing, or the one kept while another deck
// shows. What "关闭" stores as the start position.
qint32 libraryPlace(const StageState& state);
// Keeps the place of the deck showing, loads `kind` and puts the cursor at
// the place kept for it (its first entry the first time). Throws as
// loadDeck does; the places are kept all the same.
void switchDeck(StageState& state, DeckKind kind);
// Begins a review of `due` on `day`, or comes back to the one left unfinished
// today; the place of the deck showing is kept for the review's end.
void startReview(StageState& state, const QList<QByteArray>& due, QDate day);
// Whether the review's last entry shows: a review does not wrap around.
bool reviewAtLastEntry(const StageState& state);
// Leaves the review for the deck shown before it, at its place.
void endReview(StageState& state);
// The places of child number `child`, each under its deck file's name
// ("ziku", "bjx") in the section 位置<child>. Reading keeps a place only
// where the file has one; writing stores the places kept. The current
// child's library place is the start position, not written here.
void readDeckPlaces(const settings::SettingsFile& file, DeckPlaces& places, int child);
void writeDeckPlaces(settings::SettingsFile& file, const DeckPlaces& places, int child);
// The places of the current child, the deck showing included.
DeckPlaces placesNow(const StageState& state);

// Makes child `number` the current one: the places of the one before are
// kept, the new child's are taken from this run or the settings file, and
// the deck showing (the one before a review) is shown at the new child's
// place. The learning record is the caller's to change.
void switchChild(StageState& state, int number);
// Stores the places of every child met in this run, the start position
// first (the current child's library place), and the current child.
void storePlaces(StageState& state);

// Turns 随机顺序 on or off; the library, if showing, stays on its entry.
void setLibraryShuffled(StageState& state, bool shuffled);

// Empties the deck and reads the library into it; the cursor stays.
void reloadLibrary(StageState& state);

// The value stored for the next start: the cursor minus one, so that the
// entry showing now is the first shown then.
qint32 startPositionToStore(DeckCursor cursor);

} // namespace core

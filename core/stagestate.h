#pragma once

#include "core/deck.h"
#include "core/record.h"
#include "settings/settingsfile.h"
#include "settings/stagesettings.h"

#include <QString>

#include <memory>
#include <vector>

// The process-wide state of the stage: the deck it shows, the cursor, the
// display settings in force and the one settings file. The stage window and
// its dialogs read and change it directly. These operations change only the
// deck and the cursor; drawing is the stage window's.
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
};

// The one instance.
StageState& stageState();

// Returns the state to how it is before start-up (a new run; tests).
void resetStageState();

// The settings file the stage opened at start-up. Should the start-up have
// failed before opening it, it is opened now: the menu's commands and the
// display settings still have a file to write to.
settings::SettingsFile& settingsFile();

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

// The same rules on the process-wide cursor and deck.
qsizetype nextIndex();
bool stepBack();
void jumpTo(qsizetype index);

// Empties the deck and reads the kind's file into it; the cursor goes to -1.
// Throws platform::Error when the file cannot be opened: the deck stays
// empty and the cursor unchanged.
void loadDeck(DeckKind kind);

// Shows the given entries as the review deck; the cursor goes to -1.
void loadReviewDeck(const QList<QByteArray>& entries);

// Empties the deck and reads the library into it; the cursor stays.
void reloadLibrary();

// The value stored for the next start: the cursor minus one, so that the
// entry showing now is the first shown then.
qint32 startPositionToStore(DeckCursor cursor);

} // namespace core

#include "core/stagestate.h"

#include "platform/gbk.h"
#include "platform/programdir.h"
#include "settings/keys.h"

#include <algorithm>
#include <limits>

namespace core {

settings::SettingsFile& settingsFile(StageState& state)
{
    if (!state.settingsFile)
        state.settingsFile = std::make_unique<settings::SettingsFile>(
            platform::dataPath(u"database\\qrnv.ini"));
    return *state.settingsFile;
}

QString deckFileName(DeckKind kind)
{
    switch (kind) {
    case DeckKind::Library:
        return QStringLiteral("database\\ziku.txt");
    case DeckKind::Surnames:
        return QStringLiteral("database\\bjx.qrnv");
    case DeckKind::ThreeCharacter:
        return QStringLiteral("database\\szj.qrnv");
    case DeckKind::ThousandCharacter:
        return QStringLiteral("database\\qzw.qrnv");
    case DeckKind::Review:
        return {};
    }
    return {};
}

std::vector<QByteArray> builtInEntries()
{
    static const char16_t* const texts[] = {
        u"大",
        u"小",
        u"多",
        u"少",
        u"上",
        u"中",
        u"下",
        u"左",
        u"右",
        u"山",
        u"人",
        u"口",
        u"手",
        u"耳",
        u"春",
        u"夏",
        u"秋",
        u"冬",
        u"一",
        u"二",
        u"三",
        u"四",
        u"五",
        u"六",
        u"七",
        u"八",
        u"九",
        u"十",
        u"足",
        u"走",
        u"爸爸",
        u"妈妈",
        u"姥姥",
        u"姥爷",
        u"奶奶",
        u"爷爷",
        u"哥哥",
        u"姐姐",
        u"妹妹",
        u"弟弟",
        u"姨姨",
        u"叔叔",
        u"伯伯",
        u"日",
        u"月",
        u"水",
        u"火",
        u"土",
        u"木",
        u"金",
        u"天",
        u"人",
        u"门",
        // three names: 王小明, 李红, 张大伟
        u"王",
        u"小",
        u"明",
        u"李",
        u"红",
        u"张",
        u"大",
        u"伟",
        u"好",
        u"你真棒",
        u"再见",
    };
    std::vector<QByteArray> entries;
    for (const char16_t* text : texts)
        entries.push_back(platform::gbk::encodeLiteral(QStringView(text)));
    return entries;
}

qsizetype advance(DeckCursor& cursor, qsizetype deckSize)
{
    // Computed in 64 bits: a stored cursor may be any 32-bit value.
    qint64 next = (cursor == deckSize - 1) ? 0 : qint64(cursor) + 1;
    if (next < 0 || next >= deckSize)
        next = 0;
    cursor = static_cast<DeckCursor>(next);
    return deckSize == 0 ? -1 : next;
}

bool stepCursorBack(DeckCursor& cursor)
{
    const qint64 back = qint64(cursor) - 2;
    if (back < -1) {
        cursor = -1;
        return true;
    }
    cursor = static_cast<DeckCursor>(back);
    return false;
}

qsizetype nextIndex(StageState& state)
{
    return advance(state.cursor, state.deck.size());
}

bool stepBack(StageState& state)
{
    return stepCursorBack(state.cursor);
}

void jumpTo(StageState& state, qsizetype index)
{
    const qint64 target = qint64(index) - 1;
    state.cursor = static_cast<DeckCursor>(
        std::clamp<qint64>(target, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

namespace {

// The library file's deck as the stage shows it: in the order of the day
// while 随机顺序 is on.
void showLibraryInItsOrder(StageState& state, Deck inFileOrder)
{
    state.libraryOrder.clear();
    if (!state.shuffleLibrary) {
        state.deck = std::move(inFileOrder);
        return;
    }
    state.libraryOrder = shuffledOrder(inFileOrder.size(), QDate::currentDate());
    std::vector<QByteArray> shown;
    shown.reserve(state.libraryOrder.size());
    for (qsizetype fileIndex : state.libraryOrder)
        shown.emplace_back(inFileOrder.at(fileIndex).toByteArray());
    state.deck = Deck::fromEntries(shown);
}

Deck libraryInFileOrder(const StageState& state)
{
    if (state.libraryOrder.empty())
        return state.deck;
    std::vector<QByteArray> entries(state.libraryOrder.size());
    for (size_t shown = 0; shown < entries.size(); ++shown)
        entries[size_t(state.libraryOrder[shown])] = state.deck.at(qsizetype(shown)).toByteArray();
    return Deck::fromEntries(entries);
}

bool showsShuffledLibrary(const StageState& state)
{
    return state.deckKind == DeckKind::Library && !state.libraryOrder.empty()
           && qsizetype(state.libraryOrder.size()) == state.deck.size();
}

} // namespace

void loadDeck(StageState& state, DeckKind kind)
{
    state.deck = Deck();
    state.libraryOrder.clear();
    Deck read = readDeckFile(platform::dataPath(deckFileName(kind)));
    state.deckKind = kind;
    if (kind == DeckKind::Library)
        showLibraryInItsOrder(state, std::move(read));
    else
        state.deck = std::move(read);
    state.cursor = -1;
}

void loadReviewDeck(StageState& state, const QList<QByteArray>& entries)
{
    state.deck = Deck::fromEntries(std::vector<QByteArray>(entries.begin(), entries.end()));
    state.deckKind = DeckKind::Review;
    state.cursor = -1;
}

void reloadLibrary(StageState& state)
{
    state.deck = Deck();
    state.libraryOrder.clear();
    showLibraryInItsOrder(state, readDeckFile(platform::dataPath(deckFileName(DeckKind::Library))));
    state.deckKind = DeckKind::Library;
}

qint32 placeOfShowing(const StageState& state)
{
    if (showsShuffledLibrary(state) && state.cursor >= 0 && state.cursor < state.deck.size())
        return static_cast<qint32>(state.libraryOrder[size_t(state.cursor)]) - 1;
    return startPositionToStore(state.cursor);
}

void restorePlace(StageState& state, qint32 place)
{
    const qint64 fileIndex = qint64(place) + 1;
    if (showsShuffledLibrary(state) && fileIndex >= 0 && fileIndex < state.deck.size()) {
        const auto shown = std::find(state.libraryOrder.begin(), state.libraryOrder.end(), fileIndex);
        state.cursor = static_cast<DeckCursor>(shown - state.libraryOrder.begin()) - 1;
        return;
    }
    // Any other value is kept as it is: the advance starts a stale one
    // again at the first entry, as it does a stored start position.
    state.cursor = place;
}

qint32 libraryPlace(const StageState& state)
{
    return state.deckKind == DeckKind::Library ? placeOfShowing(state)
                                               : state.places.placeOf(DeckKind::Library);
}

void switchDeck(StageState& state, DeckKind kind)
{
    state.places.remember(state.deckKind, placeOfShowing(state));
    loadDeck(state, kind);
    restorePlace(state, state.places.placeOf(kind));
}

void startReview(StageState& state, const QList<QByteArray>& due, QDate day)
{
    if (state.deckKind != DeckKind::Review)
        state.deckBeforeReview = state.deckKind;
    state.places.remember(state.deckKind, placeOfShowing(state));
    const bool resumed = state.review && state.review->day() == day && !state.review->isComplete();
    if (!resumed) {
        state.review.emplace(due, day);
        state.places.remember(DeckKind::Review, -1);
    }
    loadReviewDeck(state, state.review->entries());
    state.cursor = state.places.placeOf(DeckKind::Review);
}

bool reviewAtLastEntry(const StageState& state)
{
    return state.deckKind == DeckKind::Review && state.cursor >= state.deck.size() - 1;
}

void endReview(StageState& state)
{
    // What is left unjudged stays due: the next review begins anew with it.
    state.review.reset();
    state.places.remember(DeckKind::Review, -1);
    loadDeck(state, state.deckBeforeReview);
    restorePlace(state, state.places.placeOf(state.deckBeforeReview));
}

namespace {

QByteArray deckPlacesSection(int child)
{
    return QByteArray(settings::keys::kDeckPlacesSection) + QByteArray::number(child);
}

// The key of a classic text's place: its file's name ("bjx").
QByteArray placeKey(DeckKind kind)
{
    const QString file = deckFileName(kind);
    return file.mid(file.lastIndexOf(u'\\') + 1).section(u'.', 0, 0).toLatin1();
}

constexpr DeckKind filedDecks[] = {DeckKind::Library, DeckKind::Surnames, DeckKind::ThreeCharacter,
                                   DeckKind::ThousandCharacter};

} // namespace

void readDeckPlaces(const settings::SettingsFile& file, DeckPlaces& places, int child)
{
    const QByteArray section = deckPlacesSection(child);
    constexpr qint32 absent = std::numeric_limits<qint32>::min();
    for (DeckKind kind : filedDecks) {
        const qint32 place = file.readInteger(section, placeKey(kind), absent);
        if (place != absent)
            places.remember(kind, place);
    }
}

void writeDeckPlaces(settings::SettingsFile& file, const DeckPlaces& places, int child)
{
    const QByteArray section = deckPlacesSection(child);
    for (DeckKind kind : filedDecks) {
        if (places.has(kind))
            file.writeInteger(section, placeKey(kind), places.placeOf(kind));
    }
}

DeckPlaces placesNow(const StageState& state)
{
    DeckPlaces places = state.places;
    if (state.deckKind != DeckKind::Review)
        places.remember(state.deckKind, placeOfShowing(state));
    return places;
}

void switchChild(StageState& state, int number)
{
    if (number == state.children.currentNumber() || !state.children.contains(number))
        return;
    state.otherChildrenPlaces[state.children.currentNumber()] = placesNow(state);
    const DeckKind kind = state.deckKind == DeckKind::Review ? state.deckBeforeReview : state.deckKind;
    state.review.reset();
    state.children.setCurrent(number);
    const auto kept = state.otherChildrenPlaces.find(number);
    if (kept != state.otherChildrenPlaces.end()) {
        state.places = kept->second;
        state.otherChildrenPlaces.erase(kept);
    } else {
        state.places = DeckPlaces();
        readDeckPlaces(settingsFile(state), state.places, number);
    }
    loadDeck(state, kind);
    restorePlace(state, state.places.placeOf(kind));
}

void storePlaces(StageState& state)
{
    settings::SettingsFile& file = settingsFile(state);
    file.writeInteger(settings::keys::kStartSection, settings::keys::kStartPosition, libraryPlace(state));
    DeckPlaces places = placesNow(state);
    places.forget(DeckKind::Library); // the start position holds it
    writeDeckPlaces(file, places, state.children.currentNumber());
    for (const auto& [child, kept] : state.otherChildrenPlaces) {
        if (state.children.contains(child))
            writeDeckPlaces(file, kept, child);
    }
    if (state.children.all().size() > 1 || state.children.currentNumber() != 1)
        state.children.writeCurrent(file);
}

void setLibraryShuffled(StageState& state, bool shuffled)
{
    if (state.shuffleLibrary == shuffled)
        return;
    if (state.deckKind != DeckKind::Library) {
        state.shuffleLibrary = shuffled;
        return;
    }
    const qint32 place = placeOfShowing(state);
    const bool entryShows = state.cursor >= 0 && state.cursor < state.deck.size();
    Deck inFileOrder = libraryInFileOrder(state);
    state.shuffleLibrary = shuffled;
    showLibraryInItsOrder(state, std::move(inFileOrder));
    restorePlace(state, place);
    // The entry on screen stays the one the cursor stands on, so that the
    // next step goes on from it in the new order.
    if (entryShows)
        ++state.cursor;
}

qint32 startPositionToStore(DeckCursor cursor)
{
    return cursor == std::numeric_limits<qint32>::min() ? cursor : cursor - 1;
}

} // namespace core

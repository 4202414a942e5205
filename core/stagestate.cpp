#include "core/stagestate.h"

#include "platform/gbk.h"
#include "platform/programdir.h"

#include <limits>

namespace core {

StageState& stageState()
{
    static StageState state;
    return state;
}

void resetStageState()
{
    stageState() = StageState {};
}

settings::SettingsFile& settingsFile()
{
    StageState& state = stageState();
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

qsizetype nextIndex()
{
    StageState& state = stageState();
    return advance(state.cursor, state.deck.size());
}

bool stepBack()
{
    return stepCursorBack(stageState().cursor);
}

void jumpTo(qsizetype index)
{
    const qint64 target = qint64(index) - 1;
    stageState().cursor = static_cast<DeckCursor>(
        std::clamp<qint64>(target, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

void loadDeck(DeckKind kind)
{
    StageState& state = stageState();
    state.deck = Deck();
    state.deck = readDeckFile(platform::dataPath(deckFileName(kind)));
    state.deckKind = kind;
    state.cursor = -1;
}

void loadReviewDeck(const QList<QByteArray>& entries)
{
    StageState& state = stageState();
    state.deck = Deck::fromEntries(std::vector<QByteArray>(entries.begin(), entries.end()));
    state.deckKind = DeckKind::Review;
    state.cursor = -1;
}

void reloadLibrary()
{
    StageState& state = stageState();
    state.deck = Deck();
    state.deck = readDeckFile(platform::dataPath(deckFileName(DeckKind::Library)));
    state.deckKind = DeckKind::Library;
}

qint32 startPositionToStore(DeckCursor cursor)
{
    return cursor == std::numeric_limits<qint32>::min() ? cursor : cursor - 1;
}

} // namespace core

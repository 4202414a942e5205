#include "windows/stagedialogs.h"

#include "core/stagestate.h"
#include "displaysettings/displaysettingsdialog.h"
#include "libraryeditor/libraryeditor.h"
#include "platform/gbk.h"
#include "platform/guard.h"
#include "platform/programdir.h"
#include "positionpicker/positionpicker.h"
#include "progress/progresswindow.h"

namespace windows {

stage::StageDialogs stageDialogs()
{
    stage::StageDialogs dialogs;
    dialogs.libraryEditor = [](stage::StageWindow& stage) {
        core::StageState& state = stage.state();
        // A shuffled library is shown, not stored, in the day's order: the
        // editor then reads the file.
        const bool inFileOrder = state.deckKind == core::DeckKind::Library && state.libraryOrder.empty();
        const core::Deck* library = inFileOrder ? &state.deck : nullptr;
        libraryeditor::LibraryEditor dialog(platform::dataPath(core::deckFileName(core::DeckKind::Library)),
                                            library, &stage);
        // The stage shows its present glyphs until its next step, which then
        // advances in the reloaded library.
        QObject::connect(&dialog, &libraryeditor::LibraryEditor::closing, &dialog, [&dialog, &state] {
            platform::guarded(&dialog, [&state] { core::reloadLibrary(state); });
        });
        dialog.exec();
    };
    dialogs.positionPicker = [](stage::StageWindow& stage) {
        positionpicker::PositionPicker dialog(stage.state().deck, stage.state().cursor, &stage,
                                              stage.state().settings.showPinyin);
        QObject::connect(&dialog, &positionpicker::PositionPicker::entryChosen, &stage,
                         [&stage](qsizetype index) {
                             core::jumpTo(stage.state(), index);
                             stage.showEntry();
                         });
        dialog.exec();
    };
    dialogs.displaySettings = [](stage::StageWindow& stage) {
        core::StageState& state = stage.state();
        displaysettings::DisplaySettingsDialog dialog(state.settings, core::settingsFile(state), &stage);
        QObject::connect(&dialog, &displaysettings::DisplaySettingsDialog::settingsChanged, &stage,
                         [&stage](const settings::StageSettings& changed) {
                             // Shown at once, while the dialog is open.
                             stage.state().settings = changed;
                             platform::guarded(&stage, [&stage] { stage.redraw(); });
                         });
        dialog.exec();
    };
    dialogs.progress = [](stage::StageWindow& stage, core::Record& record) {
        progress::ProgressWindow dialog(record, &stage);
        dialog.setChildName(platform::gbk::decode(stage.state().children.current().name));
        dialog.exec();
    };
    return dialogs;
}

} // namespace windows

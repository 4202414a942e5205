#include "windows/stagedialogs.h"

#include "displaysettings/displaysettingsdialog.h"
#include "libraryeditor/libraryeditor.h"
#include "positionpicker/positionpicker.h"
#include "progress/progresswindow.h"

namespace windows {

stage::StageDialogs stageDialogs()
{
    stage::StageDialogs dialogs;
    dialogs.libraryEditor = [](stage::StageWindow& stage) {
        libraryeditor::LibraryEditor dialog(&stage);
        dialog.exec();
    };
    dialogs.positionPicker = [](stage::StageWindow& stage) {
        positionpicker::PositionPicker dialog(&stage, [&stage] { stage.showEntry(); });
        dialog.exec();
    };
    dialogs.displaySettings = [](stage::StageWindow& stage) {
        displaysettings::DisplaySettingsDialog dialog(&stage);
        dialog.exec();
    };
    dialogs.progress = [](stage::StageWindow& stage, core::Record& record) {
        progress::ProgressWindow dialog(record, &stage);
        dialog.exec();
    };
    return dialogs;
}

} // namespace windows

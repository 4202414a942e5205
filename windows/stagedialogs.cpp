#include "windows/stagedialogs.h"

#include "jilu/tform5.h"
#include "shezhi/tform2.h"
#include "tianjia/tform3.h"
#include "xuanze/tform4.h"

namespace windows {

stage::StageDialogs stageDialogs()
{
    stage::StageDialogs dialogs;
    dialogs.libraryEditor = [](stage::TForm1& stage) {
        tianjia::TForm3 dialog(&stage);
        dialog.exec();
    };
    dialogs.positionPicker = [](stage::TForm1& stage) {
        xuanze::TForm4 dialog(&stage, [&stage] { stage.showEntry(); });
        dialog.exec();
    };
    dialogs.displaySettings = [](stage::TForm1& stage) {
        shezhi::TForm2 dialog(&stage);
        dialog.exec();
    };
    dialogs.progress = [](stage::TForm1& stage, core::Record& record) {
        jilu::TForm5 dialog(record, &stage);
        dialog.exec();
    };
    return dialogs;
}

} // namespace windows

#pragma once

#include "core/stagestate.h"
#include "stage/stagewindow.h"
#include "tests/support/programfolder.h"
#include "tests/support/recordingeffects.h"
#include "windows/stagedialogs.h"

#include <QAction>
#include <QMenu>
#include <QString>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// A stage started in a temporary program folder, with effects recorded and
// the program's end watched instead of carried out.
class StageTest : public ::testing::Test {
protected:
    void SetUp() override { core::resetStageState(); }
    void TearDown() override
    {
        form.reset();
        core::resetStageState();
    }

    void writeLibrary(const std::vector<QString>& entries)
    {
        folder.writeDeck(QStringLiteral("database/ziku.txt"), entries);
    }

    // Creates the stage (which runs the start-up) and shows it.
    stage::StageWindow& start(bool show = true)
    {
        form = std::make_unique<stage::StageWindow>(windows::stageDialogs());
        form->setProgramEnder([this] { ++programEnds; });
        if (show)
            form->show();
        return *form;
    }

    QString shown() const { return testing_support::gbkDecode(form->shownEntry()); }
    qint32 cursor() const { return core::stageState().cursor; }

    QAction* action(const QString& text) const
    {
        for (QAction* item : allActions(form->stageMenu())) {
            if (item->text() == text)
                return item;
        }
        ADD_FAILURE() << "no menu item " << text.toStdString();
        return nullptr;
    }

    static std::vector<QAction*> allActions(QMenu* menu)
    {
        std::vector<QAction*> result;
        for (QAction* item : menu->actions()) {
            result.push_back(item);
            if (item->menu())
                for (QAction* inner : allActions(item->menu()))
                    result.push_back(inner);
        }
        return result;
    }

    testing_support::ProgramFolder folder;
    testing_support::ScopedRecorder recorder;
    std::unique_ptr<stage::StageWindow> form;
    int programEnds = 0;
};

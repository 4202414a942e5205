#pragma once

#include "core/stagestate.h"
#include "stage/stagewindow.h"
#include "tests/support/programfolder.h"
#include "tests/support/recordingeffects.h"
#include "windows/stagedialogs.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QString>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// A stage started in a temporary program folder, with effects recorded and
// the program's end watched instead of carried out.
class StageTest : public ::testing::Test {
protected:
    void TearDown() override { form.reset(); }

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

    // A key press as the keyboard sends it: the key and its text.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {})
    {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(form.get(), &event);
    }
    void takeBack() { press(Qt::Key_Z, Qt::ControlModifier, QStringLiteral("\x1a")); }
    qint32 cursor() const { return form->state().cursor; }
    core::StageState& state() const { return form->state(); }

    QAction* action(const QString& text) const
    {
        for (QAction* item : allActions(form->stageMenu())) {
            // 复习篇 reads 复习篇（8） while entries are due.
            if (item->text() == text || item->text().startsWith(text + u'（'))
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

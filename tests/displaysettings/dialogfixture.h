#pragma once

#include "core/stagestate.h"
#include "displaysettings/displaysettingsdialog.h"
#include "settings/settingsfile.h"
#include "settings/startupread.h"
#include "tests/support/programfolder.h"
#include "tests/support/recordingeffects.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

// The display settings dialog over the stage's settings, in a temporary
// program folder, with message and error boxes recorded.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        core::resetStageState();
        core::StageState& state = core::stageState();
        state.settings = settings::defaultStageSettings();
        state.settingsFile = std::make_unique<settings::SettingsFile>(settingsPath());
    }

    void TearDown() override
    {
        dialog.reset();
        core::resetStageState();
    }

    // Creates the dialog, as the stage menu does, and shows it.
    displaysettings::DisplaySettingsDialog& open()
    {
        dialog = std::make_unique<displaysettings::DisplaySettingsDialog>(nullptr);
        dialog->show();
        return *dialog;
    }

    template <typename Widget> Widget* control(const char* name) const
    {
        auto* widget = dialog->findChild<Widget*>(QLatin1StringView(name));
        EXPECT_NE(widget, nullptr) << "no control " << name;
        return widget;
    }
    QLineEdit* box(const char* name) const { return control<QLineEdit>(name); }
    QRadioButton* radio(const char* name) const { return control<QRadioButton>(name); }
    QComboBox* fontBox() const { return control<QComboBox>("fontBox"); }
    QString axis() const { return control<QLabel>("axisLabel")->text(); }
    QString value() const { return control<QLabel>("valueField")->text(); }

    void press(const char* buttonName, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            QTest::mouseClick(control<QToolButton>(buttonName), Qt::LeftButton);
    }
    void pressUp(int times = 1) { press("upButton", times); }
    void pressDown(int times = 1) { press("downButton", times); }
    void pressLeft(int times = 1) { press("leftButton", times); }
    void pressRight(int times = 1) { press("rightButton", times); }
    void pressApply() { press("applyButton"); }
    void pressLeave() { press("leaveButton"); }

    static settings::StageSettings& current() { return core::stageState().settings; }

    QString settingsPath() const { return folder.path(QStringLiteral("database/qrnv.ini")); }
    bool settingsWritten() const { return QFileInfo::exists(settingsPath()); }
    QByteArray settingsBytes() const { return folder.readFile(QStringLiteral("database/qrnv.ini")); }

    testing_support::ProgramFolder folder;
    testing_support::ScopedRecorder recorder;
    std::unique_ptr<displaysettings::DisplaySettingsDialog> dialog;
};

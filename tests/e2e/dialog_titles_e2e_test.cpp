// The dialogs of the real program, opened from the stage menu with the
// keyboard, carry exactly their own titles on screen.
#include "programrun.h"

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

using e2e::ProgramRun;
using e2e::runTool;

namespace {

constexpr QRgb kGlyph = qRgb(255, 0, 0);

// The _NET_WM_NAME of every window of the process.
QStringList windowTitles(qint64 pid)
{
    const QStringList ids = runTool(QStringLiteral("xdotool"),
                                    {QStringLiteral("search"), QStringLiteral("--all"),
                                     QStringLiteral("--pid"), QString::number(pid), QStringLiteral("--name"),
                                     QStringLiteral(".")})
                                .split(u'\n', Qt::SkipEmptyParts);
    QStringList titles;
    for (const QString& id : ids) {
        // _NET_WM_NAME(UTF8_STRING) = "显示设置"
        const QString line = runTool(QStringLiteral("xprop"),
                                     {QStringLiteral("-id"), id, QStringLiteral("_NET_WM_NAME")});
        const qsizetype open = line.indexOf(u'"');
        if (open >= 0 && line.endsWith(u'"'))
            titles.append(line.mid(open + 1, line.size() - open - 2));
    }
    return titles;
}

struct MenuCommand {
    const char* name;
    int downs; // Down presses from the menu's opening to the command
    const char16_t* title;
    friend void PrintTo(const MenuCommand& command, std::ostream* out) { *out << command.name; }
};

class DialogTitles : public ::testing::TestWithParam<MenuCommand> {};

TEST_P(DialogTitles, AreExactlyTheDialogsOwn)
{
    for (const char* tool : {"xdotool", "xprop"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            GTEST_SKIP() << tool << " is needed to read the titles of the real windows";
    }
    const auto [name, downs, title] = GetParam();
    ProgramRun run;
    run.folder().writeDeck(QStringLiteral("database/ziku.txt"), {QStringLiteral("口")});
    run.folder().writeSettings(e2e::kRedGlyphsAtTheEarlierPlace);
    run.start();
    ASSERT_TRUE(run.waitForColour(kGlyph)) << "the stage never showed its glyphs";
    const QString stageWindow = run.windowId();
    ASSERT_FALSE(stageWindow.isEmpty());

    runTool(QStringLiteral("xdotool"),
            {QStringLiteral("windowfocus"), QStringLiteral("--sync"), stageWindow});
    runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Menu")});
    QTest::qWait(500);
    for (int i = 0; i < downs; ++i)
        runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Down")});
    runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")});

    const QString expected = QString::fromUtf16(title);
    QStringList titles;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 5000) {
        titles = windowTitles(run.process().processId());
        if (titles.size() >= 2)
            break;
        QTest::qWait(100);
    }
    EXPECT_TRUE(titles.contains(QStringLiteral("Quenlo"))) << titles.join(u'|').toStdString();
    EXPECT_TRUE(titles.contains(expected)) << titles.join(u'|').toStdString();
}

// The menu begins 添加, 定位指针, 设置.
INSTANTIATE_TEST_SUITE_P(FromTheStageMenu, DialogTitles,
                         ::testing::Values(MenuCommand {"Editor", 1, u"添加字"},
                                           MenuCommand {"Picker", 2, u"选择"},
                                           MenuCommand {"Settings", 3, u"显示设置"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

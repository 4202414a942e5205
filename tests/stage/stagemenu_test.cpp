// The stage's keys and its right-button menu.
#include "stagefixture.h"

#include "core/strokedata.h"
#include "settings/colourtext.h"
#include "stage/commandline.h"
#include "stage/glyphrenderer.h"
#include "stage/helpwindow.h"
#include "stage/pinyinlabels.h"
#include "stage/strokeanimation.h"
#include "stage/tracing.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <algorithm>

using testing_support::gbk;

namespace {

const std::vector<QString> kLibrary = {
    QStringLiteral("大"), QStringLiteral("小"), QStringLiteral("多"), QStringLiteral("少"),
    QStringLiteral("上"), QStringLiteral("中"), QStringLiteral("下"), QStringLiteral("左"),
};

class StageKeysTest : public StageTest {
protected:
    void SetUp() override
    {
        StageTest::SetUp();
        writeLibrary(kLibrary);
        folder.writeDeck(QStringLiteral("database/bjx.qrnv"),
                         {QStringLiteral("赵钱孙李"), QStringLiteral("周吴郑王")});
        start();
        form->setStrokeData(&strokeFile());
        recorder->clear();
    }

    static const core::StrokeData& strokeFile()
    {
        static const core::StrokeData data(QStringLiteral(QUENLO_SOURCE_DIR "/database/strokes.bin"));
        return data;
    }

    void type(char16_t key)
    {
        QKeyEvent event(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(key)));
        QApplication::sendEvent(form.get(), &event);
    }

    QByteArray settingsBytes() const { return folder.readFile(QStringLiteral("database/qrnv.ini")); }

    // Runs `trigger`, closing the modal dialog it opens; returns its title.
    QString titleOfDialogOpenedBy(QAction* item)
    {
        QString title;
        QTimer::singleShot(0, [&] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                title = dialog->windowTitle();
                dialog->close();
            }
        });
        item->trigger();
        return title;
    }
};

QStringList captions(QMenu* menu)
{
    QStringList result;
    for (QAction* item : menu->actions())
        result.append(item->isSeparator() ? QStringLiteral("-") : item->text());
    return result;
}

} // namespace

TEST_F(StageKeysTest, EnterStepsOnAndSpaceApplauds)
{
    type(u'\r');
    EXPECT_EQ(shown(), QStringLiteral("小"));
    type(u' ');
    EXPECT_EQ(shown(), QStringLiteral("小"));
    EXPECT_EQ(recorder->sounds(),
              (QStringList {QStringLiteral("xiayige.wav"), QStringLiteral("guzhang.WAV")}));
}

TEST_F(StageKeysTest, DigitsPlayTheWrongSoundAndZeroStepsBack)
{
    for (int i = 0; i < 5; ++i)
        form->showEntry(); // entry 5 shows
    recorder->clear();
    type(u'5');
    EXPECT_EQ(shown(), QStringLiteral("中"));
    type(u'0');
    EXPECT_EQ(shown(), QStringLiteral("上"));
    EXPECT_EQ(recorder->sounds(), (QStringList {QStringLiteral("cuo.wav"), QStringLiteral("cuo.wav"),
                                                QStringLiteral("xiayige.wav")}));
    EXPECT_TRUE(recorder->messages().isEmpty());
}

TEST_F(StageKeysTest, ZeroAtTheFrontSaysSoAndRedrawsNothing)
{
    const QColor colour = form->windowColour();
    type(u'0');
    EXPECT_EQ(recorder->messages(), QStringList {QStringLiteral("已到最前面！")});
    EXPECT_EQ(recorder->sounds(), QStringList {QStringLiteral("cuo.wav")});
    EXPECT_EQ(shown(), QStringLiteral("大"));
    EXPECT_EQ(form->windowColour(), colour);
    EXPECT_EQ(cursor(), -1);
    type(u'\r');
    EXPECT_EQ(shown(), QStringLiteral("大"));
}

TEST_F(StageKeysTest, EscEndsWithoutStoringAndOtherKeysDoNothing)
{
    type(u'a');
    type(u'+');
    EXPECT_TRUE(recorder->events.empty());
    type(27);
    EXPECT_EQ(programEnds, 1);
    EXPECT_TRUE(settingsBytes().isEmpty());
}

TEST_F(StageKeysTest, MenuHasItsItemsInOrder)
{
    QMenu* menu = form->stageMenu();
    EXPECT_EQ(
        captions(menu),
        (QStringList {QStringLiteral("添加"),     QStringLiteral("-"),        QStringLiteral("定位指针"),
                      QStringLiteral("-"),        QStringLiteral("设置"),     QStringLiteral("颜色设置"),
                      QStringLiteral("幕布"),     QStringLiteral("拼音"),     QStringLiteral("-"),
                      QStringLiteral("笔顺"),     QStringLiteral("描红"),     QStringLiteral("-"),
                      QStringLiteral("识字篇"),   QStringLiteral("百家姓篇"), QStringLiteral("三字经篇"),
                      QStringLiteral("千字文篇"), QStringLiteral("复习篇"),   QStringLiteral("随机顺序"),
                      QStringLiteral("-"),        QStringLiteral("录音"),     QStringLiteral("自动朗读"),
                      QStringLiteral("-"),        QStringLiteral("孩子"),     QStringLiteral("学习记录"),
                      QStringLiteral("帮助"),     QStringLiteral("-"),        QStringLiteral("关闭")}));
    QMenu* colours = action(QStringLiteral("颜色设置"))->menu();
    ASSERT_NE(colours, nullptr);
    EXPECT_EQ(captions(colours), (QStringList {QStringLiteral("字体颜色随机"), QStringLiteral("字体单一颜色"),
                                               QStringLiteral("-"), QStringLiteral("设置单一字体颜色")}));
    for (const QString& text : {QStringLiteral("添加"), QStringLiteral("设置"), QStringLiteral("识字篇"),
                                QStringLiteral("复习篇"), QStringLiteral("关闭")})
        EXPECT_FALSE(action(text)->icon().isNull()) << text.toStdString();

    form->prepareMenu();
    EXPECT_TRUE(action(QStringLiteral("添加"))->isEnabled());
    EXPECT_TRUE(action(QStringLiteral("字体颜色随机"))->isChecked());
    EXPECT_FALSE(action(QStringLiteral("字体单一颜色"))->isChecked());
    EXPECT_FALSE(action(QStringLiteral("设置单一字体颜色"))->isEnabled());
    EXPECT_TRUE(action(QStringLiteral("拼音"))->isCheckable());
    EXPECT_FALSE(action(QStringLiteral("拼音"))->isChecked());
}

// The key and the item turn the pinyin on and off alike, store it at once,
// and the labels stand in the shape above the glyphs, leaving them as they were.
TEST_F(StageKeysTest, PinyinKeyAndItemToggleTheLabelsAndTheSettingKeepsThem)
{
    // Without the outline, so that the labels' own shape is what they add.
    folder.writeSettings(QStringLiteral("[颜色]\nmiaobian=0\n"));
    start();
    const QRegion plain = form->shape();
    const QRegion labels = stage::glyphRegion(
        stage::pinyinOverCells(shown(), form->layout().characterCells, form->drawnFont(),
                               form->layout().scale, form->layout().glyphs.boundingRect().top()),
        form->size());
    ASSERT_FALSE(labels.isEmpty());
    EXPECT_FALSE(labels.intersects(plain));
    // Close over the strokes, whole on the screen.
    EXPECT_GT(labels.boundingRect().bottom(), plain.boundingRect().top() - form->drawnFont().pixelSize() / 8);
    EXPECT_TRUE(form->rect().contains(labels.boundingRect()));

    const auto toggles = {std::function<void()>([this] { type(u'p'); }),
                          std::function<void()>([this] { action(QStringLiteral("拼音"))->trigger(); })};
    for (const auto& toggle : toggles) {
        toggle();
        EXPECT_TRUE(form->showsPinyin());
        EXPECT_TRUE(action(QStringLiteral("拼音"))->isChecked());
        EXPECT_TRUE(settingsBytes().endsWith(gbk(QStringLiteral("[字体]\r\npinyin=1\r\n"))));
        EXPECT_EQ(form->shape(), plain.united(labels));
        toggle();
        EXPECT_FALSE(form->showsPinyin());
        EXPECT_TRUE(settingsBytes().endsWith(gbk(QStringLiteral("[字体]\r\npinyin=0\r\n"))));
        EXPECT_EQ(form->shape(), plain);
    }
    type(u'P');
    start(); // the next run shows it from the start
    EXPECT_EQ(form->shape(), plain.united(labels));
    EXPECT_TRUE(form->showsPinyin());
    EXPECT_TRUE(action(QStringLiteral("拼音"))->isChecked());
    // With the outline every pixel of the letters stays, and an edge grows
    // round them as round the strokes.
    folder.writeSettings(QStringLiteral("[字体]\npinyin=1\n"));
    start();
    EXPECT_TRUE(labels.subtracted(form->shape()).isEmpty()) << "thinned letters";
    EXPECT_GT(form->shape().intersected(labels.boundingRect()).rectCount(), 0);
}

TEST_F(StageKeysTest, ColourModeCommandsWriteAtOnceAndOnlyOnChange)
{
    action(QStringLiteral("字体颜色随机"))->trigger(); // already checked
    EXPECT_TRUE(settingsBytes().isEmpty());
    EXPECT_TRUE(action(QStringLiteral("字体颜色随机"))->isChecked());

    action(QStringLiteral("字体单一颜色"))->trigger();
    EXPECT_EQ(settingsBytes(), gbk(QStringLiteral("[颜色]\r\nxuanze=2\r\n")));
    EXPECT_EQ(state().settings.colourMode, settings::ColourMode::Single);
    EXPECT_FALSE(action(QStringLiteral("字体颜色随机"))->isChecked());
    EXPECT_TRUE(action(QStringLiteral("字体单一颜色"))->isChecked());
    form->prepareMenu();
    EXPECT_TRUE(action(QStringLiteral("设置单一字体颜色"))->isEnabled());

    action(QStringLiteral("字体单一颜色"))->trigger();
    EXPECT_TRUE(action(QStringLiteral("字体单一颜色"))->isChecked());
    action(QStringLiteral("字体颜色随机"))->trigger();
    EXPECT_EQ(settingsBytes(), gbk(QStringLiteral("[颜色]\r\nxuanze=1\r\n")));
    EXPECT_TRUE(recorder->events.empty()); // no cue, no message
}

TEST_F(StageKeysTest, ChosenSingleColourIsWrittenAsItsNameOrHex)
{
    recorder->colourAnswers = {QColor(128, 0, 128), std::nullopt, QColor(255, 128, 0)};
    QAction* choose = action(QStringLiteral("设置单一字体颜色"));
    choose->trigger();
    EXPECT_EQ(settingsBytes(), gbk(QStringLiteral("[颜色]\r\ndanyi=clPurple\r\n")));
    choose->trigger(); // cancelled: nothing changes
    EXPECT_EQ(settingsBytes(), gbk(QStringLiteral("[颜色]\r\ndanyi=clPurple\r\n")));
    choose->trigger();
    EXPECT_EQ(settingsBytes(), gbk(QStringLiteral("[颜色]\r\ndanyi=$000080FF\r\n")));
    EXPECT_EQ(state().settings.singleColour, settings::rgb(255, 128, 0));
    // The chooser opens at the single colour in force.
    EXPECT_EQ(
        recorder->texts(testing_support::RecordingEffects::Kind::ColourChooser),
        (QStringList {QStringLiteral("#800080"), QStringLiteral("#800080"), QStringLiteral("#800080")}));
    EXPECT_EQ(shown(), QStringLiteral("大")); // nothing redrawn
}

TEST_F(StageKeysTest, DeckCommandsSwitchAndBack)
{
    type(u'\r');
    recorder->clear();
    action(QStringLiteral("百家姓篇"))->trigger();
    EXPECT_EQ(shown(), QStringLiteral("赵钱孙李"));
    EXPECT_EQ(cursor(), 0);
    EXPECT_FALSE(action(QStringLiteral("添加"))->isEnabled());
    EXPECT_EQ(recorder->sounds(),
              (QStringList {QStringLiteral("fenling.WAV"), QStringLiteral("xiayige.wav")}));

    form->showEntry();
    form->showEntry();
    EXPECT_EQ(shown(), QStringLiteral("赵钱孙李")); // wraps after the last line

    type(u'\r');
    action(QStringLiteral("识字篇"))->trigger(); // each deck at its place
    EXPECT_EQ(shown(), QStringLiteral("小"));
    EXPECT_TRUE(action(QStringLiteral("添加"))->isEnabled());
    action(QStringLiteral("百家姓篇"))->trigger();
    EXPECT_EQ(shown(), QStringLiteral("周吴郑王"));
}

// Left and BackSpace go back one entry without a judgement or a sound; at the
// first entry they do nothing at all.
TEST_F(StageKeysTest, LeftAndBackSpaceGoBackWithoutJudging)
{
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Backspace}) {
        form->showEntry();
        form->showEntry();
        recorder->clear();
        press(key);
        EXPECT_EQ(shown(), QStringLiteral("小"));
        EXPECT_EQ(recorder->sounds(), QStringList {QStringLiteral("xiayige.wav")});
        press(key);
        recorder->clear();
        press(key);
        EXPECT_EQ(shown(), QStringLiteral("大"));
        EXPECT_TRUE(recorder->events.empty());
        EXPECT_EQ(cursor(), 0);
        EXPECT_FALSE(state().record); // nothing judged, nothing opened
    }
}

// 随机顺序 stays on the entry showing, goes on in the order of the day, and
// is remembered; the start position still counts the library file's lines.
TEST_F(StageKeysTest, ShuffledOrderStaysOnTheEntryAndIsRemembered)
{
    form->showEntry();
    form->showEntry(); // 多
    action(QStringLiteral("随机顺序"))->trigger();
    form->prepareMenu();
    EXPECT_TRUE(action(QStringLiteral("随机顺序"))->isChecked());
    EXPECT_EQ(settingsBytes(), gbk(QStringLiteral("[顺序]\r\nsjsx=1\r\n")));
    EXPECT_EQ(shown(), QStringLiteral("多"));
    const std::vector<qsizetype> order = core::shuffledOrder(8, QDate::currentDate());
    const auto at = std::find(order.begin(), order.end(), 2) - order.begin();
    form->showEntry();
    EXPECT_EQ(shown(), kLibrary[size_t(order[size_t(at + 1) % 8])]);
    const QString showing = shown();
    action(QStringLiteral("关闭"))->trigger();
    EXPECT_EQ(settingsBytes(), gbk(QStringLiteral("[顺序]\r\nsjsx=1\r\n[起始位置]\r\nqswz=%1\r\n")
                                       .arg(order[size_t(at + 1) % 8] - 1)));
    form.reset();
    start();
    EXPECT_EQ(shown(), showing);
    action(QStringLiteral("随机顺序"))->trigger();
    EXPECT_EQ(shown(), showing);
    form->showEntry();
    EXPECT_EQ(shown(), kLibrary[size_t(order[size_t(at + 1) % 8] + 1) % 8]);
}

TEST_F(StageKeysTest, DeckThatCannotBeOpenedLeavesTheDeckEmptyAndDrawsNothing)
{
    action(QStringLiteral("百家姓篇"))->trigger();
    recorder->clear();
    action(QStringLiteral("千字文篇"))->trigger();
    EXPECT_EQ(recorder->errors(),
              QStringList {QStringLiteral("Cannot open file \"%1\". No such file or directory.")
                               .arg(folder.path(QStringLiteral("database/qzw.qrnv")))});
    EXPECT_EQ(recorder->sounds(), QStringList {QStringLiteral("fenling.WAV")});
    EXPECT_TRUE(state().deck.isEmpty());
    EXPECT_EQ(shown(), QStringLiteral("赵钱孙李"));
    EXPECT_FALSE(action(QStringLiteral("添加"))->isEnabled()); // keeps its state
    type(u'\r');                                               // an empty deck steps without fault
    EXPECT_FALSE(form->shape().isEmpty());
}

TEST_F(StageKeysTest, CloseStoresThePositionAndTheNextStartShowsTheSameEntry)
{
    for (int i = 0; i < 7; ++i)
        form->showEntry();
    ASSERT_EQ(shown(), QStringLiteral("左"));
    action(QStringLiteral("关闭"))->trigger();
    EXPECT_EQ(programEnds, 1);
    EXPECT_EQ(settingsBytes(), gbk(QStringLiteral("[起始位置]\r\nqswz=6\r\n")));

    form.reset();
    start();
    EXPECT_EQ(shown(), QStringLiteral("左"));
}

TEST_F(StageKeysTest, CloseOnEntryZeroStoresMinusOne)
{
    action(QStringLiteral("关闭"))->trigger();
    EXPECT_EQ(settingsBytes(), gbk(QStringLiteral("[起始位置]\r\nqswz=-1\r\n")));
}

// Closed on a classic text, the start position stays the library's; the
// classic's own place is kept apart and found again.
TEST_F(StageKeysTest, CloseOnAClassicKeepsTheLibrarysStartPosition)
{
    form->showEntry();
    form->showEntry();
    action(QStringLiteral("百家姓篇"))->trigger();
    form->showEntry();
    action(QStringLiteral("关闭"))->trigger();
    EXPECT_EQ(settingsBytes(), gbk(QStringLiteral("[起始位置]\r\nqswz=1\r\n[位置1]\r\nbjx=0\r\n")));
    form.reset();
    start();
    EXPECT_EQ(shown(), QStringLiteral("多"));
    action(QStringLiteral("百家姓篇"))->trigger();
    EXPECT_EQ(shown(), QStringLiteral("周吴郑王"));
}

TEST_F(StageKeysTest, CloseThatCannotWriteShowsTheErrorAndGoesOn)
{
    folder.writeSettings(QStringLiteral("[起始位置]\nqswz=3\n"));
    const QString path = folder.path(QStringLiteral("database/qrnv.ini"));
    QFile::setPermissions(path, QFileDevice::ReadOwner);
    action(QStringLiteral("关闭"))->trigger();
    EXPECT_EQ(recorder->errors(), QStringList {QStringLiteral("Unable to write to %1.").arg(path)});
    EXPECT_EQ(programEnds, 0);
    EXPECT_EQ(settingsBytes(), gbk(QStringLiteral("[起始位置]\r\nqswz=3\r\n")));
}

TEST_F(StageKeysTest, HelpOpensThePageWithTheChimeFromTheMenuAndWithF1)
{
    action(QStringLiteral("帮助"))->trigger();
    EXPECT_EQ(recorder->sounds(), QStringList {QStringLiteral("fenling.WAV")});
    QTest::keyClick(form.get(), Qt::Key_F1);
    EXPECT_EQ(recorder->texts(testing_support::RecordingEffects::Kind::Document),
              QStringList(2, folder.path(QStringLiteral("database/help.htm"))));
    EXPECT_EQ(form->findChild<stage::HelpWindow*>(), nullptr) << "the browser showed it";
}

// Where no browser opens the page, 帮助 shows it in a window of the
// program's own, read in the encoding it is stored in; a page that can't be
// read is named in the error box. 帮助 is never silent.
TEST_F(StageKeysTest, WithoutABrowserHelpShowsThePageItself)
{
    const QString page = QStringLiteral("<html><head><meta charset=\"gbk\"><title>使用帮助</title></head>"
                                        "<body><p>右键菜单：关闭%1</p></body></html>");
    struct Case {
        const char* name;
        QByteArray bytes; // empty: no page
        QString shownText;
    };
    // 🍎 has no GBK form: it shows only if the page is read as UTF-8.
    const Case cases[] = {
        {"GBK, as shipped", gbk(page.arg(QString())), QStringLiteral("右键菜单：关闭")},
        {"saved as UTF-8, the charset left saying gbk",
         "\xEF\xBB\xBF" + page.arg(QStringLiteral("🍎")).toUtf8(), QStringLiteral("右键菜单：关闭🍎")},
        {"missing", QByteArray(), QString()},
    };
    recorder->documentsOpen = false;
    const QString path = folder.path(QStringLiteral("database/help.htm"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path);
        if (!c.bytes.isEmpty())
            folder.writeFile(QStringLiteral("database/help.htm"), c.bytes);
        recorder->clear();
        action(QStringLiteral("帮助"))->trigger();

        auto* window = form->findChild<stage::HelpWindow*>();
        if (c.bytes.isEmpty()) {
            ASSERT_EQ(recorder->errors().size(), 1);
            EXPECT_TRUE(recorder->errors()[0].startsWith(QStringLiteral("Cannot open file \"%1\"").arg(path)))
                << recorder->errors()[0].toStdString();
            continue;
        }
        EXPECT_TRUE(recorder->errors().isEmpty());
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->isVisible());
        EXPECT_TRUE(window->isWindow());
        EXPECT_EQ(window->windowTitle(), QStringLiteral("使用帮助"));
        EXPECT_EQ(window->toPlainText(), c.shownText);
        EXPECT_EQ(form->findChildren<stage::HelpWindow*>().size(), 1) << "one window, shown again";
    }
}

// The shipped page's own links move within it.
TEST_F(StageKeysTest, TheShippedPageLinksWithinItself)
{
    QFile::copy(QStringLiteral(QUENLO_SOURCE_DIR "/database/help.htm"),
                folder.path(QStringLiteral("database/help.htm")));
    recorder->documentsOpen = false;
    action(QStringLiteral("帮助"))->trigger();
    auto* window = form->findChild<stage::HelpWindow*>();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quenlo 识字卡片 使用帮助"));
    const int top = window->verticalScrollBar()->value();
    Q_EMIT window->anchorClicked(QUrl(QStringLiteral("#wenjian")));
    EXPECT_GT(window->verticalScrollBar()->value(), top) << "文件放在哪里 is further down";
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}

// Whoever looks for a command finds it: the manual page, --help and the help
// page name every command of the stage's real menu, and the first two the
// learning record's file.
TEST_F(StageKeysTest, EveryMenuCommandIsNamedInTheManualPageHelpTextAndHelpPage)
{
    QFile manualPage(QStringLiteral(QUENLO_SOURCE_DIR "/packaging/quenlo.1.in"));
    QFile helpPage(QStringLiteral(QUENLO_SOURCE_DIR "/database/help.htm"));
    ASSERT_TRUE(manualPage.open(QIODevice::ReadOnly));
    ASSERT_TRUE(helpPage.open(QIODevice::ReadOnly));
    const std::pair<const char*, QString> documents[] = {
        {"quenlo.1.in", QString::fromUtf8(manualPage.readAll())},
        {"--help", stage::commandline::helpText()},
        {"help.htm", testing_support::gbkDecode(helpPage.readAll())},
    };
    int commands = 0;
    for (QAction* item : allActions(form->stageMenu())) {
        if (item->isSeparator())
            continue;
        ++commands;
        for (const auto& [name, text] : documents)
            EXPECT_TRUE(text.contains(item->text())) << name << " lacks " << item->text().toStdString();
    }
    EXPECT_GT(commands, 10) << "the menu was not found";
    for (const auto& [name, text] : documents)
        EXPECT_TRUE(text.contains(QStringLiteral("record.sqlite"))) << name;
}

// 幕布: the stage covers the screen, takes every click, and leaves only on
// Esc pressed twice within a second; the switch is stored at once.
TEST_F(StageKeysTest, TheBackdropTakesEveryClickAndNeedsEscTwice)
{
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const QPoint beside(5, 5);
    ASSERT_FALSE(form->shape().contains(beside));
    action(QStringLiteral("幕布"))->trigger();
    EXPECT_TRUE(action(QStringLiteral("幕布"))->isChecked());
    EXPECT_EQ(form->shape(), QRegion(form->rect()));
    EXPECT_TRUE(settingsBytes().contains("mubu=1"));
    const QImage picture = form->grab().toImage();
    EXPECT_EQ(picture.pixelColor(beside), *settings::toQColor(state().settings.backdropColour));

    QTest::mouseClick(form.get(), Qt::LeftButton, {}, beside);
    EXPECT_EQ(shown(), QStringLiteral("小"));
    type(27);
    EXPECT_EQ(programEnds, 0);
    QTest::qWait(1100);
    type(27);
    EXPECT_EQ(programEnds, 0); // too late: this is a first press again
    type(27);
    EXPECT_EQ(programEnds, 1);

    action(QStringLiteral("幕布"))->trigger();
    EXPECT_FALSE(form->shape().contains(beside));
    EXPECT_TRUE(settingsBytes().contains("mubu=0"));
}

TEST_F(StageKeysTest, DialogCommandsOpenTheirDialogsModally)
{
    EXPECT_EQ(titleOfDialogOpenedBy(action(QStringLiteral("设置"))), QStringLiteral("显示设置"));
    EXPECT_EQ(recorder->sounds(), QStringList {QStringLiteral("fenling.WAV")});
    recorder->clear();
    EXPECT_EQ(titleOfDialogOpenedBy(action(QStringLiteral("定位指针"))), QStringLiteral("选择"));
    EXPECT_TRUE(recorder->sounds().isEmpty());
    EXPECT_EQ(titleOfDialogOpenedBy(action(QStringLiteral("添加"))), QStringLiteral("添加字"));
    EXPECT_EQ(titleOfDialogOpenedBy(action(QStringLiteral("学习记录"))), QStringLiteral("学习记录 - 孩子1"));
    EXPECT_EQ(recorder->sounds().value(0), QStringLiteral("fenling.WAV"));
}

// The picker opened from the menu is given the stage: it opens over it, and
// the stage draws the entry double-clicked there.
TEST_F(StageKeysTest, PickerFromTheMenuDrawsTheChosenEntryOnTheStage)
{
    QPoint pickerCentre;
    QTimer::singleShot(0, [&] {
        QWidget* picker = QApplication::activeModalWidget();
        ASSERT_NE(picker, nullptr);
        QTimer::singleShot(10000, picker, [picker] { picker->close(); }); // never left open
        ASSERT_TRUE(QTest::qWaitForWindowExposed(picker));
        pickerCentre = picker->geometry().center();
        auto* list = picker->findChild<QAbstractItemView*>(QStringLiteral("entryList"));
        ASSERT_NE(list, nullptr);
        const QModelIndex row = list->model()->index(5, 0);
        list->scrollTo(row);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(row).center());
    });
    action(QStringLiteral("定位指针"))->trigger();
    EXPECT_EQ(pickerCentre, form->geometry().center());
    EXPECT_EQ(shown(), kLibrary[5]);
    EXPECT_EQ(cursor(), 5);
}

// 笔顺: B writes the entry stroke by stroke; a key or a click ends the
// writing and the entry stands exactly as before; stepping on stops it.
TEST_F(StageKeysTest, StrokeOrderWritesTheEntryAndEndsWithItAsBefore)
{
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const QRegion whole = form->shape();
    const QImage picture = form->grab().toImage();
    auto expectAsBefore = [&] {
        EXPECT_EQ(form->strokeAnimation(), nullptr);
        EXPECT_EQ(form->shape(), whole);
        EXPECT_EQ(form->grab().toImage(), picture);
        EXPECT_EQ(shown(), QStringLiteral("大"));
    };

    type(u'b');
    ASSERT_NE(form->strokeAnimation(), nullptr);
    EXPECT_FALSE(form->shape().isEmpty()); // the first ink, at once
    EXPECT_FALSE(whole.subtracted(form->shape()).isEmpty());
    type(u'x');
    expectAsBefore();

    type(u'B');
    QRect firstInk = *form->shape().begin();
    QTest::mouseClick(form.get(), Qt::LeftButton, {}, firstInk.center());
    expectAsBefore();

    action(QStringLiteral("笔顺"))->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->strokeAnimation() == nullptr; }, 5000));
    expectAsBefore();
    EXPECT_TRUE(recorder->events.empty());

    type(u'b');
    form->showEntry();
    EXPECT_EQ(form->strokeAnimation(), nullptr);
    EXPECT_EQ(shown(), QStringLiteral("小"));

    // Letters and digits have no strokes: they stay as they are.
    state().deck = core::Deck::fromEntries({gbk(QStringLiteral("ABC123"))});
    state().cursor = -1;
    form->showEntry();
    ASSERT_EQ(shown(), QStringLiteral("ABC123"));
    const QRegion letters = form->shape();
    type(u'b');
    EXPECT_EQ(form->strokeAnimation(), nullptr);
    EXPECT_EQ(form->shape(), letters);
    EXPECT_TRUE(recorder->messages().isEmpty());
}

// 描红: a drag along the next stroke fills it with the step cue, a stray
// fills nothing, the last stroke applauds, and nothing is recorded.
TEST_F(StageKeysTest, TracingFillsStrokesInOrderAndRecordsNothing)
{
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    action(QStringLiteral("描红"))->trigger();
    EXPECT_TRUE(action(QStringLiteral("描红"))->isChecked());
    EXPECT_EQ(form->cursor().shape(), Qt::BitmapCursor);
    const stage::TracingPractice* practice = form->tracingPractice();
    ASSERT_NE(practice, nullptr);
    const QList<stage::WritingPiece> strokes = practice->strokes().pieces;
    ASSERT_EQ(strokes.size(), 3); // 大

    auto send = [&](QEvent::Type type, QPointF at, Qt::MouseButtons held) {
        QMouseEvent event(type, at, form->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &event);
    };
    auto drag = [&](const QList<QPointF>& way) {
        send(QEvent::MouseButtonPress, way.front(), Qt::LeftButton);
        for (const QPointF& point : way)
            send(QEvent::MouseMove, point, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, way.back(), Qt::NoButton);
    };
    drag(strokes[1].median); // the second stroke first
    EXPECT_EQ(practice->nextPiece(), 0);
    EXPECT_TRUE(recorder->events.empty());
    for (const stage::WritingPiece& stroke : strokes)
        drag(stroke.median);
    EXPECT_EQ(form->tracingPractice(), practice);
    EXPECT_TRUE(practice->isDone());
    EXPECT_EQ(recorder->sounds(), (QStringList {QStringLiteral("xiayige.wav"), QStringLiteral("xiayige.wav"),
                                                QStringLiteral("guzhang.WAV")}));
    EXPECT_EQ(state().record, nullptr);
    EXPECT_EQ(shown(), QStringLiteral("大"));

    action(QStringLiteral("描红"))->trigger();
    EXPECT_EQ(form->tracingPractice(), nullptr);
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
}

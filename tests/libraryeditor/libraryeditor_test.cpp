// The character library editor: its commands, the highlight and the marked
// position, leaving (messages, the file) and closing (the stage's reload).
#include "core/stagestate.h"
#include "libraryeditor/libraryeditor.h"
#include "libraryeditor/librarymodel.h"
#include "platform/gbk.h"
#include "platform/guard.h"
#include "platform/programdir.h"
#include "platform/voicerecorder.h"
#include "stage/stagewindow.h"
#include "tests/support/programfolder.h"
#include "tests/support/recordingeffects.h"
#include "windows/stagedialogs.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using libraryeditor::LibraryEditor;
using testing_support::gbk;

namespace {

const QString kLibraryFile = QStringLiteral("database/ziku.txt");
const QString kEmptyWarning = QStringLiteral("注意：字库中不能为空，系统将添加默认字符，确保系统配置正常！");
const QString kTakesEffect = QStringLiteral("注意：字库中更改的内容，在系统再次启动时生效！");
const QString kNothingTyped = QStringLiteral("请输入添加的字！");
const QString kLineBreak = QStringLiteral("添加的字中不能有换行符！");
const QString kUnreadKept = QStringLiteral("打开时没能读出字库文件，这次的更改不能保存，字库文件保持原样！");

class LibraryEditorTest : public ::testing::Test {
protected:
    void TearDown() override { editor.reset(); }

    void writeLibrary(const std::vector<QString>& entries) { folder.writeDeck(kLibraryFile, entries); }

    // The state of `stage`, or of a stage not on screen.
    core::StageState& stageState() { return shownStage ? shownStage->state() : hiddenStage; }

    // Opens the editor over `stage` as the stage menu does: on the library
    // file, sharing the stage's deck, which is read again as the editor closes.
    LibraryEditor& open(stage::StageWindow* stage = nullptr)
    {
        shownStage = stage;
        core::StageState& state = stageState();
        editor = std::make_unique<LibraryEditor>(
            platform::dataPath(core::deckFileName(core::DeckKind::Library)), &state.deck, stage);
        QObject::connect(editor.get(), &LibraryEditor::closing, editor.get(), [this, &state] {
            platform::guarded(editor.get(), [&state] { core::reloadLibrary(state); });
        });
        editor->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(editor.get()));
        return *editor;
    }

    QStringList listed() const
    {
        QStringList texts;
        for (const QByteArray& entry : editor->entries())
            texts.append(platform::gbk::decode(entry));
        return texts;
    }

    QListView* list() const { return editor->findChild<QListView*>(QStringLiteral("entryList")); }
    QLineEdit* textField() const { return editor->findChild<QLineEdit*>(QStringLiteral("entryField")); }
    QToolButton* button(const char* name) const
    {
        return editor->findChild<QToolButton*>(QString::fromLatin1(name));
    }

    // The user clicks a row of the list.
    void highlight(int row)
    {
        const QModelIndex index = list()->model()->index(row, 0);
        list()->scrollTo(index);
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualRect(index).center());
        ASSERT_EQ(editor->highlightedRow(), row);
    }

    void press(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void add(const QString& text)
    {
        textField()->setText(text);
        press("addButton");
    }
    void insert(const QString& text)
    {
        textField()->setText(text);
        press("insertButton");
    }
    void remove() { press("deleteButton"); }
    void up() { press("upButton"); }
    void down() { press("downButton"); }
    // " 离开了", and the write it starts, until the dialog has told how it went.
    void leave()
    {
        press("leaveButton");
        EXPECT_TRUE(QTest::qWaitFor([this] { return !editor->isWriting(); }, 10000));
    }

    testing_support::ProgramFolder folder;
    testing_support::ScopedRecorder recorder;
    core::StageState hiddenStage;
    stage::StageWindow* shownStage = nullptr;
    std::unique_ptr<LibraryEditor> editor;
};

QStringList texts(std::initializer_list<const char16_t*> items)
{
    QStringList result;
    for (const char16_t* item : items)
        result.append(QString::fromUtf16(item));
    return result;
}

} // namespace

TEST_F(LibraryEditorTest, LooksAsDesignedAndDecodesItsJpegPicture)
{
    writeLibrary({QStringLiteral("大"), QStringLiteral("小")});
    open();
    EXPECT_EQ(editor->windowTitle(), QStringLiteral("添加字"));
    // 327 x 449 with the classic frame (4-pixel borders, 19-pixel caption).
    EXPECT_EQ(editor->windowHandle()->size(), QSize(319, 422));
    EXPECT_FALSE(editor->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint));
    EXPECT_EQ(editor->palette().color(QPalette::Window), QColor(255, 251, 240));

    const QStringList captions = {QStringLiteral(" 添加字"), QStringLiteral("插入字"),
                                  QStringLiteral("删除字"), QStringLiteral(" 离开了")};
    const char* names[] = {"addButton", "insertButton", "deleteButton", "leaveButton"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(button(names[i])->text(), captions[i]);
        EXPECT_FALSE(button(names[i])->icon().isNull());
    }
    for (QToolButton* each : editor->findChildren<QToolButton*>())
        EXPECT_EQ(each->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(editor->focusWidget(), list());
    EXPECT_EQ(list()->visualRect(list()->model()->index(1, 0)).height(), 13);

    // The twig is a real JPEG, decoded by the JPEG image plugin.
    QImageReader reader(QStringLiteral(":/libraryeditor/twig.jpg"));
    EXPECT_EQ(reader.format(), QByteArray("jpeg"));
    const QImage twig = reader.read();
    ASSERT_FALSE(twig.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(twig.size(), QSize(121, 105));
    EXPECT_FALSE(editor->findChild<QLabel*>(QStringLiteral("twigPicture"))->pixmap().isNull());
}

TEST_F(LibraryEditorTest, EmptyLibraryGetsItsPlaceholderEntryOnLeaving)
{
    writeLibrary({});
    stageState().deck = core::Deck::fromEntries({gbk(QStringLiteral("旧"))});
    open();
    EXPECT_TRUE(listed().isEmpty());

    QStringList listedAtEachBox;
    recorder->onBox = [&](const QString&) { listedAtEachBox.append(listed().join(u'|')); };
    leave();
    EXPECT_EQ(recorder->messages(), (QStringList {kEmptyWarning, kTakesEffect}));
    EXPECT_EQ(listedAtEachBox, (QStringList {QString(), QStringLiteral("字库为空")}));
    EXPECT_EQ(folder.readFile(kLibraryFile), gbk(QStringLiteral("字库为空\r\n")));
    EXPECT_FALSE(editor->isVisible());
    // Closing made the stage read the new library.
    EXPECT_EQ(stageState().deck.entries(), std::vector<QByteArray> {gbk(QStringLiteral("字库为空"))});
    EXPECT_TRUE(recorder->errors().isEmpty());
}

TEST_F(LibraryEditorTest, WithoutHighlightInsertGoesToTopAndDownArrowMovesTheFirstEntry)
{
    writeLibrary({QStringLiteral("大"), QStringLiteral("小"), QStringLiteral("多")});
    open();
    insert(QStringLiteral("山"));
    EXPECT_EQ(listed(), texts({u"山", u"大", u"小", u"多"}));
    EXPECT_EQ(editor->markedIndex(), 0);
    EXPECT_EQ(editor->highlightedRow(), -1);
    EXPECT_TRUE(textField()->text().isEmpty());
    EXPECT_EQ(editor->focusWidget(), textField());

    editor.reset();
    open();
    down();
    EXPECT_EQ(listed(), texts({u"小", u"大", u"多"}));
    EXPECT_EQ(editor->markedIndex(), 1);
}

TEST_F(LibraryEditorTest, InsertingTwiceAtTheHighlightKeepsTheHighlightOnItsEntry)
{
    writeLibrary({QStringLiteral("大"), QStringLiteral("小"), QStringLiteral("多")});
    open();
    highlight(1);
    insert(QStringLiteral("山"));
    insert(QStringLiteral("口"));
    EXPECT_EQ(listed(), texts({u"大", u"口", u"山", u"小", u"多"}));
    EXPECT_EQ(editor->highlightedRow(), 3); // still "小"
    EXPECT_EQ(editor->markedIndex(), 1);    // the newest entry, "口"

    // The arrows move "口"; the highlight stays on "小" wherever it goes.
    down();
    EXPECT_EQ(listed(), texts({u"大", u"山", u"口", u"小", u"多"}));
    EXPECT_EQ(editor->highlightedRow(), 3);
    down();
    EXPECT_EQ(listed(), texts({u"大", u"山", u"小", u"口", u"多"}));
    EXPECT_EQ(editor->highlightedRow(), 2);
    EXPECT_EQ(editor->markedIndex(), 3);

    add(QStringLiteral("水"));
    EXPECT_EQ(listed().last(), QStringLiteral("水"));
    EXPECT_EQ(editor->highlightedRow(), 2);
    EXPECT_EQ(editor->markedIndex(), 3);
}

TEST_F(LibraryEditorTest, DeletingTheLastEntryLeavesTheMarkPastTheEnd)
{
    writeLibrary({QStringLiteral("大"), QStringLiteral("小"), QStringLiteral("多")});
    open();
    highlight(2);
    remove();
    EXPECT_EQ(listed(), texts({u"大", u"小"}));
    EXPECT_EQ(editor->highlightedRow(), -1);
    EXPECT_EQ(editor->markedIndex(), 2);

    up();     // nothing: the mark stands past the last entry
    remove(); // nothing: no highlight
    EXPECT_EQ(listed(), texts({u"大", u"小"}));

    insert(QStringLiteral("山")); // at the mark, that is at the end
    EXPECT_EQ(listed(), texts({u"大", u"小", u"山"}));
    down(); // nothing: the marked entry is the last
    EXPECT_EQ(listed(), texts({u"大", u"小", u"山"}));
    EXPECT_EQ(editor->markedIndex(), 2);
}

TEST_F(LibraryEditorTest, UpArrowKeepsMovingTheSameEntryAfterItsHighlightIsGone)
{
    writeLibrary({QStringLiteral("大"), QStringLiteral("小"), QStringLiteral("多"), QStringLiteral("少")});
    open();
    highlight(2);
    up();
    EXPECT_EQ(listed(), texts({u"大", u"多", u"小", u"少"}));
    EXPECT_EQ(editor->highlightedRow(), -1);
    up();
    EXPECT_EQ(listed(), texts({u"多", u"大", u"小", u"少"}));
    EXPECT_EQ(editor->markedIndex(), 0);
    up(); // at the top: nothing
    EXPECT_EQ(listed(), texts({u"多", u"大", u"小", u"少"}));
    EXPECT_EQ(editor->markedIndex(), 0);
}

TEST_F(LibraryEditorTest, TheUsersHighlightSetsTheMarkByMouseAndKeyboard)
{
    writeLibrary({QStringLiteral("大"), QStringLiteral("小"), QStringLiteral("多")});
    open();
    // The list takes the focus with the window, and with it a keyboard
    // cursor on row 0: the first Down highlights that row.
    editor->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor.get()));
    ASSERT_EQ(list()->currentIndex().row(), 0);
    QTest::keyClick(list(), Qt::Key_Down);
    EXPECT_EQ(editor->highlightedRow(), 0);
    EXPECT_EQ(editor->markedIndex(), 0);
    QTest::keyClick(list(), Qt::Key_Down);
    EXPECT_EQ(editor->highlightedRow(), 1);

    highlight(2);
    QTest::keyClick(list(), Qt::Key_Up);
    EXPECT_EQ(editor->highlightedRow(), 1);
    EXPECT_EQ(editor->markedIndex(), 1);

    // Clicking below the last row or Ctrl+clicking keeps the highlight.
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, QPoint(20, 300));
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list()->visualRect(list()->model()->index(1, 0)).center());
    EXPECT_EQ(editor->highlightedRow(), 1);

    // Clicking the highlighted entry again marks it anew after an insert.
    insert(QStringLiteral("山"));
    EXPECT_EQ(editor->highlightedRow(), 2);
    highlight(2);
    EXPECT_EQ(editor->markedIndex(), 2);
}

TEST_F(LibraryEditorTest, TextIsTakenExactlyAndAnEmptyFieldIsRefused)
{
    writeLibrary({QStringLiteral("大")});
    open();
    add(QStringLiteral("  "));
    add(QStringLiteral(" 上 "));
    EXPECT_EQ(listed(), texts({u"大", u"  ", u" 上 "}));

    for (const char* command : {"addButton", "insertButton"}) {
        recorder->clear();
        list()->setFocus();
        press(command);
        EXPECT_EQ(recorder->messages(), QStringList {kNothingTyped});
        EXPECT_EQ(editor->focusWidget(), textField());
    }
    EXPECT_EQ(listed().size(), 3);
    EXPECT_TRUE(recorder->errors().isEmpty());
}

TEST_F(LibraryEditorTest, TextTheLibraryCannotHoldIsRefusedAndKept)
{
    writeLibrary({QStringLiteral("大")});
    open();
    const QString emoji = QStringLiteral("大😀");
    add(emoji);
    ASSERT_EQ(recorder->messages().size(), 1);
    EXPECT_TRUE(recorder->messages().front().contains(QStringLiteral("“😀”（U+1F600）")));
    EXPECT_EQ(textField()->text(), emoji);
    // Named by its code too: few fonts can draw it.
    add(QStringLiteral("𠀀"));
    ASSERT_EQ(recorder->messages().size(), 2);
    EXPECT_TRUE(recorder->messages().back().contains(QStringLiteral("“𠀀”（U+20000）")));

    insert(QStringLiteral("上\n下")); // a line break would split the entry
    EXPECT_EQ(recorder->messages().last(), kLineBreak);

    // Pasted lines are refused as they arrive, not shown joined by a blank.
    recorder->clear();
    textField()->setText(QStringLiteral("山"));
    QGuiApplication::clipboard()->setText(QStringLiteral("上\n下"));
    QTest::keyClick(textField(), Qt::Key_V, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(textField()->text(), QStringLiteral("山"));
    EXPECT_EQ(recorder->messages(), QStringList {kLineBreak});

    EXPECT_EQ(listed(), texts({u"大"}));
    EXPECT_TRUE(recorder->errors().isEmpty());
}

TEST_F(LibraryEditorTest, LeavingWithoutChangesRewritesTheFileInDeckForm)
{
    folder.writeFile(kLibraryFile, gbk(QStringLiteral("大\n小\r多")));
    open();
    QByteArray fileAtTheBox;
    recorder->onBox = [&](const QString&) { fileAtTheBox = folder.readFile(kLibraryFile); };
    leave();
    EXPECT_EQ(recorder->messages(), QStringList {kTakesEffect});
    EXPECT_EQ(folder.readFile(kLibraryFile), gbk(QStringLiteral("大\r\n小\r\n多\r\n")));
    EXPECT_EQ(fileAtTheBox, folder.readFile(kLibraryFile)); // the box tells of a finished write
    EXPECT_FALSE(editor->isVisible());
}

// The editor reads the file itself; when the stage holds the same text it
// keeps no copy of its own.
TEST_F(LibraryEditorTest, ReadsTheFileAndSharesTheStagesBytesWhenTheyAreTheSame)
{
    writeLibrary({QStringLiteral("大"), QStringLiteral("小")});
    stageState().deck = core::readDeckFile(folder.path(kLibraryFile));
    open();
    const auto* rows = qobject_cast<const libraryeditor::LibraryModel*>(list()->model());
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(rows->entry(1).data(), stageState().deck.at(1).data());
    editor.reset();

    // A library changed since the stage read it is the editor's own.
    stageState().deck = core::Deck::fromEntries({gbk(QStringLiteral("旧"))});
    open();
    EXPECT_EQ(listed(), texts({u"大", u"小"}));
}

TEST_F(LibraryEditorTest, ReadOnlyLibraryKeepsTheDialogOpenAndTheOldFileWhole)
{
    writeLibrary({QStringLiteral("大"), QStringLiteral("小")});
    const QByteArray before = folder.readFile(kLibraryFile);
    const QString path = folder.path(kLibraryFile);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup);
    stageState().deck = core::Deck::fromEntries({gbk(QStringLiteral("旧"))});
    open();
    add(QStringLiteral("山"));
    leave();

    ASSERT_EQ(recorder->errors().size(), 1);
    EXPECT_TRUE(
        recorder->errors().front().startsWith(QStringLiteral("Cannot create file \"%1\". ").arg(path)));
    EXPECT_TRUE(recorder->messages().isEmpty()); // nothing "takes effect"
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(listed(), texts({u"大", u"小", u"山"}));
    EXPECT_EQ(folder.readFile(kLibraryFile), before);
    EXPECT_EQ(stageState().deck.size(), 1); // not reloaded

    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    leave();
    EXPECT_EQ(recorder->messages(), QStringList {kTakesEffect});
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(folder.readFile(kLibraryFile), gbk(QStringLiteral("大\r\n小\r\n山\r\n")));
}

TEST_F(LibraryEditorTest, AfterAFailedWriteEscOrTheCloseBoxLeavesWithoutWriting)
{
    writeLibrary({QStringLiteral("大"), QStringLiteral("小")});
    const QByteArray before = folder.readFile(kLibraryFile);
    QFile::setPermissions(folder.path(kLibraryFile), QFile::ReadOwner);
    const auto closeBox = [this] {
        return editor->windowHandle()->flags().testFlags(Qt::WindowSystemMenuHint
                                                         | Qt::WindowCloseButtonHint);
    };

    open();
    QTest::keyClick(list(), Qt::Key_Escape);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_FALSE(closeBox());
    leave();
    ASSERT_EQ(recorder->errors().size(), 1);
    EXPECT_TRUE(closeBox());
    stageState().deck = core::Deck();
    QTest::keyClick(list(), Qt::Key_Escape);
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(stageState().deck.size(), 2); // reloaded

    // The title bar's close command, as the window manager sends it.
    open();
    leave();
    ASSERT_TRUE(closeBox());
    stageState().deck = core::Deck();
    editor->windowHandle()->close();
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(stageState().deck.size(), 2);

    EXPECT_EQ(folder.readFile(kLibraryFile), before);
    EXPECT_EQ(recorder->errors().size(), 2);
    EXPECT_TRUE(recorder->messages().isEmpty());
}

TEST_F(LibraryEditorTest, ALibraryThatCouldNotBeReadIsNeverReplaced)
{
    writeLibrary({QStringLiteral("大"), QStringLiteral("小")});
    const QByteArray library = folder.readFile(kLibraryFile);
    const QString path = folder.path(kLibraryFile);
    ASSERT_TRUE(QFile::rename(path, path + QStringLiteral(".away")));
    open();
    ASSERT_EQ(recorder->errors().size(), 1);
    // The file comes back while the editor is open, and the parent adds to
    // the empty list or leaves it empty.
    ASSERT_TRUE(QFile::rename(path + QStringLiteral(".away"), path));
    add(QStringLiteral("山"));
    stageState().deck = core::Deck();
    leave();
    EXPECT_EQ(recorder->messages(), QStringList {kUnreadKept});
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(folder.readFile(kLibraryFile), library);
    EXPECT_EQ(stageState().deck.size(), 2); // reloaded

    recorder->clear();
    ASSERT_TRUE(QFile::rename(path, path + QStringLiteral(".away")));
    open();
    ASSERT_TRUE(QFile::rename(path + QStringLiteral(".away"), path));
    leave();
    EXPECT_EQ(recorder->messages(), QStringList {kUnreadKept});
    EXPECT_EQ(folder.readFile(kLibraryFile), library);
}

TEST_F(LibraryEditorTest, MissingDatabaseFolderOpensEmptyAndWarnsAboutEmptinessOnce)
{
    QDir(folder.path(QStringLiteral("database"))).removeRecursively();
    open();
    ASSERT_EQ(recorder->errors().size(), 1);
    EXPECT_TRUE(recorder->errors().front().startsWith(QStringLiteral("Cannot open file ")));
    EXPECT_TRUE(listed().isEmpty());
    EXPECT_EQ(editor->markedIndex(), 0);

    recorder->clear();
    leave();
    EXPECT_EQ(recorder->messages(), QStringList {kEmptyWarning});
    ASSERT_EQ(recorder->errors().size(), 1);
    EXPECT_TRUE(recorder->errors().front().startsWith(QStringLiteral("Cannot create file ")));
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(listed(), texts({u"字库为空"}));

    recorder->clear();
    leave(); // the placeholder is there now: no second warning
    EXPECT_TRUE(recorder->messages().isEmpty());
    EXPECT_TRUE(editor->isVisible());

    // Nothing was there to lose: once the folder exists the file is created.
    QDir(folder.path(QString())).mkpath(QStringLiteral("database"));
    leave();
    EXPECT_EQ(recorder->messages(), QStringList {kTakesEffect});
    EXPECT_EQ(folder.readFile(kLibraryFile), gbk(QStringLiteral("字库为空\r\n")));
}

// " 离开了" writes on a thread of its own: what the user does meanwhile
// neither changes the rows being written nor closes the dialog before the
// write has been told.
TEST_F(LibraryEditorTest, WhileTheLibraryIsWrittenTheCommandsAndClosingWait)
{
    struct Meanwhile {
        const char* name;
        std::function<void()> act;
    };
    const Meanwhile cases[] = {
        {"add", [this] { add(QStringLiteral("山")); }},
        {"insert", [this] { insert(QStringLiteral("山")); }},
        {"delete", [this] { remove(); }},
        {"down arrow", [this] { down(); }},
        {"close", [this] { editor->close(); }},
        {"leave again", [this] { press("leaveButton"); }},
    };
    for (const Meanwhile& meanwhile : cases) {
        SCOPED_TRACE(meanwhile.name);
        writeLibrary({QStringLiteral("大"), QStringLiteral("小")});
        recorder->clear();
        open();
        highlight(0);
        press("leaveButton");
        ASSERT_TRUE(editor->isWriting());
        meanwhile.act();
        EXPECT_TRUE(editor->isVisible());
        EXPECT_EQ(listed(), texts({u"大", u"小"}));
        ASSERT_TRUE(QTest::qWaitFor([this] { return !editor->isWriting(); }, 10000));
        EXPECT_EQ(recorder->messages(), QStringList {kTakesEffect});
        EXPECT_FALSE(editor->isVisible());
        EXPECT_EQ(folder.readFile(kLibraryFile), gbk(QStringLiteral("大\r\n小\r\n")));
    }
}

TEST_F(LibraryEditorTest, ADialogEndedWhileTheLibraryIsWrittenEndsAfterTheWrite)
{
    writeLibrary({QStringLiteral("大"), QStringLiteral("小")});
    open();
    add(QStringLiteral("山"));
    press("leaveButton");
    ASSERT_TRUE(editor->isWriting());
    editor.reset(); // as when the program ends with the dialog open
    EXPECT_EQ(folder.readFile(kLibraryFile), gbk(QStringLiteral("大\r\n小\r\n山\r\n")));
}

TEST_F(LibraryEditorTest, ClosingAnyOtherWayWritesNothingButStillReloads)
{
    writeLibrary({QStringLiteral("大"), QStringLiteral("小")});
    const QByteArray before = folder.readFile(kLibraryFile);
    open();
    add(QStringLiteral("山"));

    // Neither Esc nor Enter is a key of the dialog.
    textField()->setText(QStringLiteral("水"));
    QTest::keyClick(textField(), Qt::Key_Return);
    QTest::keyClick(textField(), Qt::Key_Escape);
    QTest::keyClick(list(), Qt::Key_Escape);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(listed().size(), 3);

    stageState().deck = core::Deck();
    editor->close(); // as Alt+F4 or the window manager would
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(folder.readFile(kLibraryFile), before);
    EXPECT_EQ(stageState().deck.size(), 2);
    EXPECT_TRUE(recorder->messages().isEmpty());
}

TEST_F(LibraryEditorTest, ReloadFailureOnClosingShowsTheErrorBox)
{
    writeLibrary({QStringLiteral("大")});
    open();
    QFile::remove(folder.path(kLibraryFile));
    editor->close();
    ASSERT_EQ(recorder->errors().size(), 1);
    EXPECT_TRUE(recorder->errors().front().startsWith(QStringLiteral("Cannot open file ")));
    EXPECT_FALSE(editor->isVisible());
}

TEST_F(LibraryEditorTest, StageKeepsItsGlyphsUntilItsNextStepInTheShortenedLibrary)
{
    std::vector<QString> library;
    for (const char16_t* text : {u"零", u"一", u"二", u"三", u"四", u"五", u"六", u"七", u"八", u"九", u"十"})
        library.push_back(QString::fromUtf16(text));
    writeLibrary(library);
    stage::StageWindow stageWindow(windows::stageDialogs());
    while (stageWindow.shownEntry() != gbk(library[9]))
        stageWindow.showEntry();
    ASSERT_EQ(stageWindow.state().cursor, 9);

    open(&stageWindow);
    for (int i = 0; i < 6; ++i) {
        highlight(5);
        remove();
    }
    leave();
    ASSERT_FALSE(editor->isVisible());
    EXPECT_EQ(stageState().deck.size(), 5);
    EXPECT_EQ(stageWindow.shownEntry(), gbk(library[9]));
    EXPECT_EQ(stageState().cursor, 9);

    stageWindow.showEntry();
    EXPECT_EQ(stageWindow.shownEntry(), gbk(library[0]));
    editor.reset(); // before its parent, the stage
}

namespace {

// The parent's recordings: the button is enabled on an entry that has one,
// and deletes it once the user agrees.
TEST_F(LibraryEditorTest, TheHighlightedEntrysRecordingIsDeletedWhenTheUserAgrees)
{
    writeLibrary({QStringLiteral("大"), QStringLiteral("小")});
    const QString recording = platform::recordingFile(testing_support::gbk(QStringLiteral("小")));
    QDir().mkpath(QFileInfo(recording).path());
    QFile file(recording);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    open();
    QToolButton* deleteRecording = button("deleteRecordingButton");
    EXPECT_FALSE(deleteRecording->isEnabled()) << "nothing highlighted";
    highlight(0);
    EXPECT_FALSE(deleteRecording->isEnabled()) << "大 has no recording";
    highlight(1);
    ASSERT_TRUE(deleteRecording->isEnabled());

    for (const bool agree : {false, true}) {
        recorder->confirmAnswers = {agree};
        deleteRecording->click();
        EXPECT_EQ(QFileInfo::exists(recording), !agree);
        EXPECT_EQ(deleteRecording->isEnabled(), !agree);
    }
    EXPECT_EQ(recorder->texts(testing_support::RecordingEffects::Kind::Confirmation),
              QStringList(2, QStringLiteral("删除“小”的录音吗？")));
}

} // namespace

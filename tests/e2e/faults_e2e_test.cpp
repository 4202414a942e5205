// The real program where the system fails it: a full disk, files and folders
// it may not write, a folder gone, a folder where a file should be, a
// symlinked library, a kill in the middle of a save or right after a
// judgement, and leaving while the sound output is running. Each case reads the message boxes on screen, sees
// whether the program goes on, and compares every data file byte for byte.
#include "programrun.h"

#include "platform/files.h"
#include "platform/guard.h"
#include "tests/platform/fulldisk.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMap>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QScreen>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using e2e::ProgramRun;
using e2e::runTool;

namespace {

constexpr QRgb kGlyph = qRgb(255, 0, 0);
const QString kSettings = QStringLiteral(
    "[颜色]\nxuanze=2\ndanyi=clRed\nmiaobian=0\n"); // glyphs all red: no outline

QString xdotool(const QStringList& arguments)
{
    return runTool(QStringLiteral("xdotool"), arguments);
}

void press(const QString& windowId, const QString& key)
{
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), windowId});
    xdotool({QStringLiteral("key"), key});
}

// The visible windows of the process whose title matches `title`.
QStringList windowsOf(const QProcess& process, const QString& title)
{
    return xdotool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                    QStringLiteral("--pid"), QString::number(process.processId()), QStringLiteral("--name"),
                    title})
        .split(u'\n', Qt::SkipEmptyParts);
}

int widthOf(const QString& windowId)
{
    // WIDTH=1920 among the shell assignments
    const QString shell = xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), windowId});
    const qsizetype at = shell.indexOf(QStringLiteral("WIDTH="));
    return at < 0 ? 0 : shell.mid(at + 6).section(u'\n', 0, 0).toInt();
}

// Message boxes carry the program's title, like the stage; the stage is the
// one as wide as the screen.
QStringList messageBoxesOf(const QProcess& process)
{
    QStringList boxes;
    for (const QString& id : windowsOf(process, QStringLiteral("^Quenlo$")))
        if (widthOf(id) < 1000)
            boxes.append(id);
    return boxes;
}

std::optional<QString> stageOf(const QProcess& process)
{
    for (const QString& id : windowsOf(process, QStringLiteral("^Quenlo$")))
        if (widthOf(id) >= 1000)
            return id;
    return std::nullopt;
}

QImage grabWindow(WId window)
{
    return QGuiApplication::primaryScreen()->grabWindow(window).toImage().convertToFormat(
        QImage::Format_RGB32);
}

// A message box as the program shows it.
struct Box {
    bool error;           // the error box, else a plain note
    const char16_t* text; // {folder}: the program folder, {user}: the user's data folder
};

// Message boxes can't be read back as text here, so the box on screen is
// compared, pixel for pixel, with one this process shows with the expected
// text: the same toolkit, fonts and style draw the same pixels. Gives what
// differs, or nothing.
std::optional<std::string> differenceFrom(const QImage& shown, const QString& text, bool error)
{
    QMessageBox reference(error ? QMessageBox::Critical : QMessageBox::NoIcon, platform::applicationTitle(),
                          error ? platform::errorBoxText(text) : text, QMessageBox::Ok);
    reference.show();
    if (!QTest::qWaitForWindowExposed(&reference))
        return "the reference box did not show";
    QTest::qWait(100);
    const QImage expected = grabWindow(reference.winId());
    const QLabel* label = reference.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (shown.size() != expected.size() || !label)
        return "a box of another size than one saying \"" + reference.text().toStdString() + '"';
    const QRect lines = label->geometry();
    if (shown.copy(lines) != expected.copy(lines))
        return "a box that does not say \"" + reference.text().toStdString() + '"';
    return std::nullopt;
}

// Answers every message box that shows up until none has for `quietMs`, and
// gives what they showed in order.
std::vector<QImage> answerMessageBoxes(const QProcess& process, int quietMs)
{
    std::vector<QImage> shown;
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < quietMs && process.state() == QProcess::Running) {
        const QStringList boxes = messageBoxesOf(process);
        if (boxes.isEmpty()) {
            QTest::qWait(100);
            continue;
        }
        QTest::qWait(200); // drawn
        shown.push_back(grabWindow(WId(boxes.last().toULongLong())));
        press(boxes.last(), QStringLiteral("Return"));
        QTest::qWait(200);
        quiet.restart();
    }
    return shown;
}

std::optional<QString> waitForWindow(const QProcess& process, const QString& title, int timeoutMs = 5000)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < timeoutMs) {
        const QStringList ids = windowsOf(process, title);
        if (!ids.isEmpty())
            return ids.first();
        QTest::qWait(100);
    }
    return std::nullopt;
}

void click(const QString& windowId, QPoint at)
{
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), windowId, QString::number(at.x()),
             QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")});
}

// Every entry under `folder` as the program would find it: a file's bytes, a
// link's target, a folder's name.
QMap<QString, QByteArray> contentsOf(const QString& folder)
{
    QMap<QString, QByteArray> contents;
    QDirIterator entries(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QFileInfo entry(entries.next());
        const QString name = QDir(folder).relativeFilePath(entry.filePath());
        if (name == u"filler" || name == u".filler")
            continue;
        if (entry.isSymLink())
            contents[name] = "-> " + QFile::encodeName(entry.symLinkTarget());
        else if (entry.isDir())
            contents[name] = "(folder)";
        else {
            QFile file(entry.filePath());
            contents[name] = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
        }
    }
    return contents;
}

// JudgeAndReview: reads the entry right (the record opens), then asks for
// 复习篇.
enum class Command { Close, DisplaySettings, LeaveEditor, JudgeAndReview };

struct Fault {
    const char* name;
    // Changes the folder after the library and the settings are written.
    void (*prepare)(ProgramRun& run);
    bool fullDisk;       // database/ on a full file system
    bool asOrdinaryUser; // permissions matter
    Command command;
    // Substrings of the message boxes, in order, from the start on; {folder}
    // stands for the program folder and {user} for the user's data folder.
    std::vector<Box> messages;
    bool keepsRunning;
    // Where the saved copy must be when the program writes elsewhere.
    const char16_t* savedCopy = nullptr;
    // What else must hold afterwards.
    void (*check)(ProgramRun& run) = nullptr;
    // Kills the program at once after the command: a save cut short.
    bool killed = false;
    friend void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }
};

QString resolved(const char16_t* pattern, ProgramRun& run)
{
    return QString::fromUtf16(pattern)
        .replace(QStringLiteral("{folder}"), run.folder().path())
        .replace(QStringLiteral("{user}"), run.userDataFolder());
}

void chmod(ProgramRun& run, const char* relative, mode_t mode)
{
    ::chmod(QFile::encodeName(run.folder().path(QString::fromLatin1(relative))).constData(), mode);
}

void replaceByFolder(ProgramRun& run, const QString& relative)
{
    QFile::remove(run.folder().path(relative));
    QDir().mkpath(run.folder().path(relative + QStringLiteral("/inside")));
}

void openFromMenu(const QString& stage, const QStringList& keys)
{
    press(stage, QStringLiteral("Menu"));
    QTest::qWait(500);
    for (const QString& key : keys)
        xdotool({QStringLiteral("key"), key});
}

class Faults : public ::testing::TestWithParam<Fault> {};

TEST_P(Faults, SayWhatFailedAndKeepEveryFileWhole)
{
    const Fault& fault = GetParam();
    ProgramRun run;
    std::optional<testing_support::SmallFileSystem> disk;
    if (fault.fullDisk) {
        disk.emplace(run.folder().path(QStringLiteral("database")), "size=64k");
        if (!disk->isMounted())
            GTEST_SKIP() << disk->skipReason();
    }
    run.folder().writeDeck(QStringLiteral("database/ziku.txt"),
                           {QStringLiteral("口"), QStringLiteral("一"), QStringLiteral("爸爸")});
    run.folder().writeSettings(kSettings);
    if (fault.prepare)
        fault.prepare(run);
    if (disk)
        disk->fill();
    if (fault.asOrdinaryUser) {
        if (const QString reason = run.runAsOrdinaryUser(); !reason.isEmpty())
            GTEST_SKIP() << reason.toStdString();
    }
    const QMap<QString, QByteArray> before = contentsOf(run.folder().path(QStringLiteral("database")));

    run.start();
    std::vector<QImage> messages = answerMessageBoxes(run.process(), 1500);
    const auto more = [&messages](std::vector<QImage> boxes) {
        messages.insert(messages.end(), boxes.begin(), boxes.end());
    };
    const std::optional<QString> stage = stageOf(run.process());
    ASSERT_TRUE(stage) << "the stage did not appear after " << messages.size() << " message boxes";
    switch (fault.command) {
    case Command::Close:
        openFromMenu(*stage, {QStringLiteral("Up"), QStringLiteral("Return")}); // the last command
        break;
    case Command::DisplaySettings: {
        openFromMenu(*stage, {QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down"),
                              QStringLiteral("Return")});
        const std::optional<QString> dialog = waitForWindow(run.process(), QStringLiteral("^显示设置$"));
        ASSERT_TRUE(dialog) << "the display settings did not open";
        click(*dialog, {184 + 36, 328 + 15}); // 设置
        break;
    }
    case Command::LeaveEditor: {
        openFromMenu(*stage, {QStringLiteral("Down"), QStringLiteral("Return")});
        more(answerMessageBoxes(run.process(), 1000)); // a library the editor can't read
        const std::optional<QString> dialog = waitForWindow(run.process(), QStringLiteral("^添加字$"));
        ASSERT_TRUE(dialog) << "the library editor did not open";
        click(*dialog, {168 + 68, 368 + 20}); // 离开了
        break;
    }
    case Command::JudgeAndReview:
        press(*stage, QStringLiteral("space"));
        more(answerMessageBoxes(run.process(), 1500)); // what the record says
        // 复习篇, eighth from the bottom: 关闭, 帮助, 学习记录, 孩子, 自动朗读,
        // 录音, 随机顺序.
        openFromMenu(*stage, QStringList(8, QStringLiteral("Up")) << QStringLiteral("Return"));
        break;
    }
    if (fault.killed) {
        QTest::qWait(int(QRandomGenerator::global()->bounded(150)));
        run.process().kill();
        run.waitForExit(5000);
    }
    more(answerMessageBoxes(run.process(), 1500));

    if (!qEnvironmentVariableIsEmpty("QUENLO_E2E_SHOTS")) {
        for (size_t i = 0; i < messages.size(); ++i)
            messages[i].save(qEnvironmentVariable("QUENLO_E2E_SHOTS")
                             + QStringLiteral("/%1-%2.png").arg(QString::fromLatin1(fault.name)).arg(i));
    }
    ASSERT_EQ(messages.size(), fault.messages.size()) << "message boxes";
    for (size_t i = 0; i < fault.messages.size(); ++i) {
        const Box& box = fault.messages[i];
        const std::optional<std::string> difference = differenceFrom(messages[i], resolved(box.text, run),
                                                                     box.error);
        EXPECT_FALSE(difference) << "box " << i << " is " << *difference;
    }
    if (fault.keepsRunning)
        EXPECT_EQ(run.process().state(), QProcess::Running) << "the program ended";
    else
        EXPECT_TRUE(run.process().state() == QProcess::NotRunning || run.waitForExit(5000))
            << "the program did not end";
    QMap<QString, QByteArray> after = contentsOf(run.folder().path(QStringLiteral("database")));
    // A save cut short may leave its temporary file behind, never a data file changed.
    if (fault.killed)
        after.removeIf([](const auto& entry) { return entry.key().startsWith(QStringLiteral("ziku.txt.")); });
    EXPECT_EQ(after, before);
    if (fault.savedCopy) {
        EXPECT_EQ(contentsOf(run.userDataFolder()).value(resolved(fault.savedCopy, run)),
                  before.value(QFileInfo(resolved(fault.savedCopy, run)).fileName()));
    }
    if (fault.check)
        fault.check(run);
}

// The library the cases start with, as the program writes it back.
QByteArray libraryBytes()
{
    return testing_support::gbk(QStringLiteral("口\r\n一\r\n爸爸\r\n"));
}

// The library lives elsewhere, reached through a link in database/, and was
// last written long ago.
void linkLibrary(ProgramRun& run)
{
    QDir().mkpath(run.folder().path(QStringLiteral("elsewhere")));
    const QString target = run.folder().path(QStringLiteral("elsewhere/library.txt"));
    QFile::rename(run.folder().path(QStringLiteral("database/ziku.txt")), target);
    QFile::link(target, run.folder().path(QStringLiteral("database/ziku.txt")));
    QFile file(target);
    file.open(QIODevice::ReadWrite);
    file.setFileTime(QDateTime(QDate(2001, 1, 1), QTime(0, 0)), QFileDevice::FileModificationTime);
}

void checkWrittenThroughTheLink(ProgramRun& run)
{
    const QString target = run.folder().path(QStringLiteral("elsewhere/library.txt"));
    EXPECT_EQ(run.folder().readFile(QStringLiteral("elsewhere/library.txt")), libraryBytes());
    EXPECT_GT(QFileInfo(target).lastModified().date().year(), 2001) << "the library was not written";
}

// A library large enough that its save takes a while.
void largeLibrary(ProgramRun& run)
{
    run.folder().writeDeck(QStringLiteral("database/ziku.txt"),
                           std::vector<QString>(200000, QStringLiteral("爸爸")));
}

const Box kSettingsNotWritten {true, u"Unable to write to {folder}/database/qrnv.ini"};
const Box kLibraryOnFullDisk {true,
                              u"Cannot create file \"{folder}/database/ziku.txt\". No space left on device"};
const Box kLibraryNotChanged {false, u"注意：字库中更改的内容，在系统再次启动时生效！"};

INSTANTIATE_TEST_SUITE_P(
    OnTheRealProgram, Faults,
    ::testing::Values(
        Fault {"FullDiskClose", nullptr, true, false, Command::Close, {kSettingsNotWritten}, true},
        Fault {"FullDiskDisplaySettings",
               nullptr,
               true,
               false,
               Command::DisplaySettings,
               {kSettingsNotWritten},
               true},
        Fault {"FullDiskLeaveEditor", nullptr, true, false, Command::LeaveEditor, {kLibraryOnFullDisk}, true},
        Fault {"ReadOnlySettingsClose",
               [](ProgramRun& run) { chmod(run, "database/qrnv.ini", 0444); },
               false,
               true,
               Command::Close,
               {kSettingsNotWritten},
               true},
        Fault {"ReadOnlyLibraryLeaveEditor",
               [](ProgramRun& run) { chmod(run, "database/ziku.txt", 0444); },
               false,
               true,
               Command::LeaveEditor,
               {{true, u"Cannot create file \"{folder}/database/ziku.txt\". Permission denied"}},
               true},
        // A database folder the user can't write makes the program an
        // installed one: the user's own copies go to the user's data folder,
        // and the program folder is never written.
        Fault {"ReadOnlyFolderLeaveEditor",
               [](ProgramRun& run) { chmod(run, "database", 0555); },
               false,
               true,
               Command::LeaveEditor,
               {kLibraryNotChanged},
               true,
               u"quenlo/ziku.txt"},
        Fault {"ReadOnlyFolderClose",
               [](ProgramRun& run) { chmod(run, "database", 0555); },
               false,
               true,
               Command::Close,
               {},
               false},
        Fault {"LibraryIsAFolderLeaveEditor",
               [](ProgramRun& run) { replaceByFolder(run, QStringLiteral("database/ziku.txt")); },
               false,
               false,
               Command::LeaveEditor,
               {{true, u"Cannot open file \"{folder}/database/ziku.txt\". Is a directory"},
                {true, u"Cannot open file \"{folder}/database/ziku.txt\". Is a directory"},
                {false, u"打开时没能读出字库文件，这次的更改不能保存，字库文件保持原样！"},
                // the stage reloads the library as the editor closes
                {true, u"Cannot open file \"{folder}/database/ziku.txt\". Is a directory"}},
               true},
        Fault {"SettingsAreAFolderClose",
               [](ProgramRun& run) { replaceByFolder(run, QStringLiteral("database/qrnv.ini")); },
               false,
               false,
               Command::Close,
               {kSettingsNotWritten},
               true},
        // Without database/ and without an installed share folder the program
        // is still a portable one: the files are missed where they belong.
        Fault {
            "MissingFolderClose",
            [](ProgramRun& run) { QDir(run.folder().path(QStringLiteral("database"))).removeRecursively(); },
            false,
            false,
            Command::Close,
            {{true, u"Cannot open file \"{folder}/database/ziku.txt\". 此文件或目录不存在"},
             {true, u"Unable to write to {folder}/database/qrnv.ini"}},
            true},
        // A learning record that can't be opened says so once, and 复习篇
        // says that it can't be read rather than that nothing is due.
        Fault {"RecordIsAFolderJudgeAndReview",
               [](ProgramRun& run) { replaceByFolder(run, QStringLiteral("database/record.sqlite")); },
               false,
               false,
               Command::JudgeAndReview,
               {{false, u"学习记录无法打开，这次的判断不会被记住。"},
                {false, u"学习记录无法读取，不知道今天要复习哪些字。"}},
               true},
        Fault {"SymlinkedLibraryLeaveEditor",
               linkLibrary,
               false,
               false,
               Command::LeaveEditor,
               {kLibraryNotChanged},
               true,
               nullptr,
               checkWrittenThroughTheLink},
        Fault {"KilledWhileSavingTheLibrary",
               largeLibrary,
               false,
               false,
               Command::LeaveEditor,
               {},
               false,
               nullptr,
               nullptr,
               true}),
    [](const auto& info) { return std::string(info.param.name); });

// The save the library and the settings go through, killed at every moment of
// its course: the file is always the old one or the new one.
TEST(FaultsOfASave, AKilledSaveLeavesTheOldFileOrTheNewOneWhole)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("ziku.txt"));
    const QByteArray versions[2] = {QByteArray(1 << 20, 'a'), QByteArray(3 << 19, 'b')};
    {
        QFile first(path);
        ASSERT_TRUE(first.open(QIODevice::WriteOnly) && first.write(versions[0]) == versions[0].size());
    }

    const auto saveInAChild = [&path](const QByteArray& bytes) {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(platform::replaceFile(path, bytes).ok() ? 0 : 1);
        return child;
    };
    // How long a whole save takes here sets the range of the kills.
    QElapsedTimer whole;
    whole.start();
    int status = 0;
    ::waitpid(saveInAChild(versions[1]), &status, 0);
    const qint64 saveMicroseconds = std::max<qint64>(whole.nsecsElapsed() / 1000, 1);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the save failed";

    int cutShort = 0;
    int completed = 0;
    for (int round = 0; round < 60; ++round) {
        const QByteArray& next = versions[round % 2];
        const QByteArray& old = versions[1 - round % 2];
        const pid_t child = saveInAChild(next);
        ::usleep(useconds_t(QRandomGenerator::global()->bounded(saveMicroseconds * 5 / 4)));
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        (WIFSIGNALED(status) ? cutShort : completed) += 1;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "round " << round << ": the file is gone";
        const QByteArray now = file.readAll();
        ASSERT_TRUE(now == old || now == next)
            << "round " << round << ": " << now.size() << " mixed or cut bytes";
        // The next round starts from what is there.
        if (now != next) {
            ASSERT_TRUE(platform::replaceFile(path, next).ok());
        }
    }
    EXPECT_GT(cutShort, 0) << "no save was ever cut short";
    std::cout << "[ killed ] " << cutShort << " saves cut short, " << completed << " completed; a save takes "
              << saveMicroseconds << " us\n";
}

// The judgements in the learning record at `path`, after checking that the
// file opens whole and that every item counts exactly its judgements; none
// when the file is not there or was killed before its first schema was
// written. Gives the fault found instead, if any.
struct RecordCount {
    int judgements = 0;
    std::string fault;
};

RecordCount judgementsIn(const QString& path)
{
    if (!QFileInfo::exists(path))
        return {};
    RecordCount count;
    const QString connection = QStringLiteral("killed record");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        QSqlQuery q(db);
        if (!db.open())
            count.fault = "the record does not open: " + db.lastError().text().toStdString();
        else if (!q.exec(QStringLiteral("PRAGMA integrity_check")) || !q.next()
                 || q.value(0).toString() != u"ok")
            count.fault = "the integrity check says " + q.value(0).toString().toStdString();
        else if (q.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")) && q.next()
                 && q.value(0).toInt() == 0)
            count.judgements = 0; // made, and killed before its tables were
        else if (!q.exec(QStringLiteral("SELECT (SELECT COUNT(*) FROM judgement),"
                                        " (SELECT COALESCE(SUM(right_count + wrong_count), 0) FROM item)"))
                 || !q.next())
            count.fault = "the record can't be counted: " + q.lastError().text().toStdString();
        else if (q.value(0).toInt() != q.value(1).toInt())
            count.fault = "the items count " + std::to_string(q.value(1).toInt())
                          + " judgements, the record holds " + std::to_string(q.value(0).toInt());
        else
            count.judgements = q.value(0).toInt();
    }
    QSqlDatabase::removeDatabase(connection);
    return count;
}

// The real program killed right after a judgement, round after round on the
// same record: the judgements given earlier in the run are all kept, the
// last one at most is lost, and the file always opens whole.
TEST(FaultsOfAJudgement, AKillRightAfterAJudgementLosesAtMostThatOne)
{
    ProgramRun run;
    run.folder().writeDeck(QStringLiteral("database/ziku.txt"),
                           {QStringLiteral("口"), QStringLiteral("一"), QStringLiteral("爸爸")});
    run.folder().writeSettings(kSettings);
    const QString record = run.folder().path(QStringLiteral("database/record.sqlite"));
    constexpr int kRounds = 20;
    int recorded = 0;
    int lastKept = 0;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        run.start();
        ASSERT_TRUE(run.waitForColour(kGlyph)) << "the stage did not appear";
        const QString stage = run.windowId();
        // One to three judgements, each on a showing of its own (only the
        // first key of a showing is recorded), right and wrong.
        const int judgements = 1 + round % 3;
        const auto key = [round](int judgement) {
            return (round + judgement) % 2 ? QStringLiteral("space") : QStringLiteral("7");
        };
        for (int judgement = 0; judgement + 1 < judgements; ++judgement) {
            press(stage, key(judgement));
            QTest::qWait(500); // time enough for it to be written
            const QRegion before = e2e::pixelsOf(e2e::grabScreen(), kGlyph);
            press(stage, QStringLiteral("Return"));
            ASSERT_NE(run.waitForChange(kGlyph, before), before) << "the stage did not step";
        }
        // The last key is sent while the kill comes: at random moments from
        // before the program has read the key to after it has written it.
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), stage});
        QProcess lastKey;
        lastKey.start(QStringLiteral("xdotool"), {QStringLiteral("key"), key(judgements - 1)});
        ::usleep(useconds_t(QRandomGenerator::global()->bounded(40000)));
        run.process().kill();
        lastKey.waitForFinished();
        ASSERT_TRUE(run.waitForExit(5000)) << "the program outlived SIGKILL";

        const RecordCount now = judgementsIn(record);
        ASSERT_EQ(now.fault, "");
        ASSERT_EQ(
            QDir(run.folder().path(QStringLiteral("database"))).entryList({QStringLiteral("*.corrupt-*")}),
            QStringList {})
            << "the program took the record for a corrupt one";
        ASSERT_GE(now.judgements, recorded + judgements - 1) << "more than the last judgement was lost";
        ASSERT_LE(now.judgements, recorded + judgements) << "judgements were recorded that were never given";
        lastKept += now.judgements == recorded + judgements;
        recorded = now.judgements;
    }
    std::cout << "[ killed ] " << kRounds << " runs, " << recorded
              << " judgements kept; the last one of a run was kept " << lastKept << " times and lost "
              << kRounds - lastKept << " times\n";
}

TEST(FaultsOnScreen, LeavingRightAfterACueEndsTheProgram)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        SCOPED_TRACE(attempt);
        ProgramRun run;
        run.folder().writeDeck(QStringLiteral("database/ziku.txt"),
                               {QStringLiteral("口"), QStringLiteral("一")});
        run.folder().writeSettings(kSettings);
        run.start();
        ASSERT_TRUE(run.waitForColour(kGlyph)) << "the stage did not appear";
        const QString stage = run.windowId();
        press(stage, QStringLiteral("Return")); // a step, with its cue
        press(stage, QStringLiteral("Escape"));
        ASSERT_TRUE(run.waitForExit(10000)) << "the program did not end";
        EXPECT_EQ(run.process().exitStatus(), QProcess::NormalExit) << "the program crashed on its way out";
    }
}

} // namespace

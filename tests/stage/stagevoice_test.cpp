// The parent's voice on the stage: R held down records the entry showing,
// V plays it back, 自动朗读 reads each new entry that has a recording; a
// missing microphone or a failed recording only says so.
#include "stagefixture.h"

#include "platform/voicerecorder.h"
#include "stage/levelmeter.h"
#include "stage/parentvoice.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTest>

using testing_support::gbk;

namespace {

class StageVoiceTest : public StageTest {
protected:
    void SetUp() override
    {
        StageTest::SetUp();
        writeLibrary({QStringLiteral("大"), QStringLiteral("小")});
    }

    void key(QEvent::Type type, Qt::Key code, const QString& text, bool autoRepeat = false)
    {
        QKeyEvent event(type, code, Qt::NoModifier, text, autoRepeat);
        QApplication::sendEvent(form.get(), &event);
    }
    void press(Qt::Key code, const QString& text, bool autoRepeat = false)
    {
        key(QEvent::KeyPress, code, text, autoRepeat);
    }
    void type(char16_t text) { press(Qt::Key(0), QString(QChar(text))); }
    void release(Qt::Key code, const QString& text) { key(QEvent::KeyRelease, code, text); }

    testing_support::FakeVoiceRecorder& voice() { return recorder->voice; }
    QString recordingOf(const QString& entry) const { return platform::recordingFile(gbk(entry)); }
    bool meterShowing() const
    {
        const stage::LevelMeter* meter = form->parentVoice().levelMeter();
        return meter && meter->isVisible();
    }
};

TEST_F(StageVoiceTest, HeldRRecordsTheEntryVPlaysItAndReadingAloudPlaysItAtEachShowing)
{
    start();
    ASSERT_EQ(shown(), QStringLiteral("大"));
    press(Qt::Key_R, QStringLiteral("r"));
    press(Qt::Key_R, QStringLiteral("r"), true); // held down
    // Key repeat as some X servers send it: a plain release and press.
    release(Qt::Key_R, QStringLiteral("r"));
    press(Qt::Key_R, QStringLiteral("r"));
    EXPECT_EQ(voice().started, QStringList {recordingOf(QStringLiteral("大"))});
    // The meter waits for the microphone's sound: speaking earlier is lost.
    ASSERT_TRUE(meterShowing());
    EXPECT_FALSE(form->parentVoice().levelMeter()->isCapturing());
    EXPECT_EQ(form->parentVoice().levelMeter()->level(), 0) << "a level before any sound";
    voice().capture(0.5);
    EXPECT_TRUE(form->parentVoice().levelMeter()->isCapturing());
    EXPECT_EQ(form->parentVoice().levelMeter()->level(), 0.5);
    QTest::qWait(200);
    EXPECT_EQ(voice().stops, 0);
    release(Qt::Key_R, QStringLiteral("r"));
    EXPECT_EQ(voice().stops, 0) << "a repeat's press may still follow";
    for (int wait = 0; wait < 20 && voice().stops == 0; ++wait)
        QTest::qWait(50);
    EXPECT_EQ(voice().stops, 1);
    voice().succeed();
    EXPECT_FALSE(meterShowing());

    press(Qt::Key_V, QStringLiteral("V"));
    EXPECT_EQ(voice().played, QStringList {recordingOf(QStringLiteral("大"))});

    // The menu item records too, until it is chosen again; the meter of the
    // last recording does not carry over.
    type(u'\r');
    action(QStringLiteral("录音"))->trigger();
    EXPECT_FALSE(form->parentVoice().levelMeter()->isCapturing());
    action(QStringLiteral("录音"))->trigger();
    EXPECT_EQ(voice().started.value(1), recordingOf(QStringLiteral("小")));
    EXPECT_EQ(voice().stops, 2);
    voice().fail(platform::recordingFailedMessage());

    // A recorded entry is made ready for V as it shows.
    voice().preloaded.clear();
    type(u'\r'); // 大, recorded
    type(u'\r'); // 小, whose recording failed
    EXPECT_EQ(voice().preloaded, QStringList {recordingOf(QStringLiteral("大"))});

    voice().played.clear();
    action(QStringLiteral("自动朗读"))->trigger();
    EXPECT_TRUE(
        QString::fromLatin1(folder.readFile(QStringLiteral("database/qrnv.ini"))).contains(u"zidong=1"));
    type(u'\r'); // 大, recorded
    type(u'\r'); // 小, whose recording failed
    EXPECT_EQ(voice().played, QStringList {recordingOf(QStringLiteral("大"))});

    // Remembered for the next start.
    form.reset();
    start();
    EXPECT_TRUE(action(QStringLiteral("自动朗读"))->isChecked());
}

// The microphone opens for the first recording and stays open while more
// follow; it closes a while after the last, or when the stage hides, but
// never under a recording running.
TEST_F(StageVoiceTest, TheMicrophoneStaysOpenBetweenRecordingsUntilIdleOrHidden)
{
    start();
    form->parentVoice().setKeepMicrophoneOpen(std::chrono::milliseconds(300));
    EXPECT_FALSE(voice().microphoneOpen) << "opened before anyone records";
    enum class Ending { Idle, Hidden };
    const std::pair<Ending, bool> cases[] = {
        {Ending::Idle, false}, {Ending::Idle, true}, {Ending::Hidden, false}, {Ending::Hidden, true}};
    for (const auto& [ending, whileRecording] : cases) {
        SCOPED_TRACE(testing::Message() << int(ending) << " while recording: " << whileRecording);
        if (!form->isVisible()) {
            form->show();
            QTest::qWait(50);
        }
        action(QStringLiteral("录音"))->trigger();
        ASSERT_TRUE(voice().microphoneOpen);
        if (!whileRecording) {
            action(QStringLiteral("录音"))->trigger();
            voice().succeed();
        }
        QTest::qWait(200);
        EXPECT_TRUE(voice().microphoneOpen) << "closed before the idle time";
        if (ending == Ending::Hidden)
            form->hide();
        else
            QTest::qWait(300);
        EXPECT_EQ(voice().microphoneOpen, whileRecording) << "closed under the recording";
        if (whileRecording) {
            action(QStringLiteral("录音"))->trigger();
            voice().succeed();
        }
        QTest::qWait(ending == Ending::Idle ? 400 : 0);
        EXPECT_FALSE(voice().microphoneOpen);
    }
    EXPECT_EQ(voice().started.size(), 4) << "each recording made once";
}

TEST_F(StageVoiceTest, NoMicrophoneOrAFailedRecordingSaysSoAndKeepsTheOldRecording)
{
    const QString recording = QDir(folder.path()).relativeFilePath(recordingOf(QStringLiteral("大")));
    QDir(folder.path()).mkpath(QFileInfo(recording).path());
    folder.writeFile(recording, "old");
    start();
    const std::pair<QString, bool> failures[] = {{platform::noMicrophoneMessage(), true},
                                                 {platform::recordingFailedMessage(), false}};
    for (const auto& [message, atStart] : failures) {
        recorder->clear();
        voice().failAtStart = atStart ? message : QString();
        press(Qt::Key_R, QStringLiteral("r"));
        if (!atStart)
            voice().fail(message);
        release(Qt::Key_R, QStringLiteral("r"));
        EXPECT_EQ(recorder->messages(), QStringList {message});
        EXPECT_FALSE(meterShowing());
        EXPECT_EQ(shown(), QStringLiteral("大"));
        EXPECT_EQ(folder.readFile(recording), "old");
    }
    press(Qt::Key_V, QStringLiteral("v"));
    EXPECT_EQ(voice().played, QStringList {recordingOf(QStringLiteral("大"))});
}

} // namespace

#pragma once

#include "tests/support/guiprinters.h"
#include "tests/support/programfolder.h"

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegion>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace e2e {

// Runs an X11 tool (xdotool, xsetroot) and returns what it printed.
QString runTool(const QString& program, const QStringList& arguments);

// Settings that draw every entry in plain red, without the outline, so that
// the glyphs' pixels can be told apart on the screen; the one-character
// entries' place is the top-left corner an earlier version wrote, which
// keeps the glyph where the tests' expected shapes put it.
inline const QString kRedGlyphsAtTheEarlierPlace = QStringLiteral(
    "[颜色]\nxuanze=2\ndanyi=clRed\nmiaobian=0\n[字体位置]\nx1=100\ny1=-100\n");

// The whole screen as the user sees it.
QImage grabScreen();

// The pixels of `image` that have exactly `colour`, as a region.
QRegion pixelsOf(const QImage& image, QRgb colour);

// A private PulseAudio server whose only output is a null sink,
// "quenlo_null", for the program under test: the program plays into it as
// into a sound card, and what it plays can be recorded from the sink's
// monitor. Nothing runs where pulseaudio is missing or does not start.
class SoundServer {
public:
    SoundServer();
    ~SoundServer();
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    bool isRunning() const { return m_process.state() == QProcess::Running && m_ready; }
    // Why the server is not running.
    QString failure() const { return m_failure; }
    // The environment of a client of this server.
    QProcessEnvironment clientEnvironment() const;

    // Gives the server a default microphone, "quenlo_microphone", that
    // hears whatever is played into a second null sink, "quenlo_voice".
    // Returns why it could not, else an empty string.
    QString addMicrophone();
    // Speaks into the microphone: plays `rawFile` (signed 16-bit mono,
    // SoundRecording::kRecordingRate) into "quenlo_voice" until it ends or
    // the server goes.
    bool feedMicrophone(const QString& rawFile);

private:
    // Runs pactl against this server; true when it succeeded.
    bool control(const QStringList& arguments) const;

    QTemporaryDir m_runtimeDir;
    QProcess m_process;
    QProcess m_feed;
    bool m_ready = false;
    QString m_failure;
};

// Records the null sink's monitor (signed 16-bit mono, kRecordingRate) with
// parec, into a file, from construction to stop().
class SoundRecording {
public:
    static constexpr int kRecordingRate = 44100;

    explicit SoundRecording(const SoundServer& server);
    ~SoundRecording();
    SoundRecording(const SoundRecording&) = delete;
    SoundRecording& operator=(const SoundRecording&) = delete;

    bool isRecording() const { return m_process.state() == QProcess::Running; }
    QByteArray stop();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
};

// A tone of `ms` milliseconds, loud enough for countSounds(), in the format
// SoundRecording writes.
QByteArray tone(int ms);

// What a compressed sound file holds, as decoded by Qt Multimedia.
struct DecodedSound {
    bool readable = false;
    double ms = 0;
    double peak = 0; // from 0 to 1
};
DecodedSound decodeSound(const QString& path);

// The number of separate sounds in a recording: loud stretches with at least
// `quietMs` of quiet between them.
int countSounds(const QByteArray& recording, int quietMs = 200);

// The real executable, copied with its data into a temporary program folder
// and started there, playing its sounds into a private sound server when
// there can be one.
class ProgramRun {
public:
    ProgramRun();
    ~ProgramRun();

    testing_support::ProgramFolder& folder() { return m_folder; }
    SoundServer& soundServer() { return m_soundServer; }
    // Makes start() run the program as an unprivileged user (nobody) when
    // the test runs as root, who would ignore every file permission. Gives
    // the reason when that can't be done here, else an empty string.
    QString runAsOrdinaryUser();
    // The folder the program takes as the user's data folder.
    QString userDataFolder() const { return m_folder.path(QStringLiteral("userdata")); }
    void start();
    // Sets a variable in the program's environment, before start().
    void addEnvironment(const QString& name, const QString& value) { m_extraEnvironment.insert(name, value); }
    // Waits until the screen shows pixels of `colour` (the stage's glyphs).
    bool waitForColour(QRgb colour, int timeoutMs = 10000);
    // Waits until the screen's pixels of `colour` differ from `before`.
    QRegion waitForChange(QRgb colour, const QRegion& before, int timeoutMs = 3000);
    bool waitForExit(int timeoutMs = 5000);
    QString windowId();
    QProcess& process() { return m_process; }

private:
    testing_support::ProgramFolder m_folder;
    SoundServer m_soundServer;
    QProcess m_process;
    bool m_asOrdinaryUser = false;
    QProcessEnvironment m_extraEnvironment;
};

} // namespace e2e

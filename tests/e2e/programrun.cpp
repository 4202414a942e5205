#include "programrun.h"

#include <QAudioBuffer>
#include <QAudioDecoder>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <cmath>

#include <unistd.h>
#include <vector>

namespace e2e {

QString runTool(const QString& program, const QStringList& arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    tool.waitForFinished(10000);
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

QImage grabScreen()
{
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
}

QRegion pixelsOf(const QImage& image, QRgb colour)
{
    std::vector<QRect> rects;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        int x = 0;
        while (x < image.width()) {
            while (x < image.width() && (row[x] & 0xFFFFFF) != (colour & 0xFFFFFF))
                ++x;
            const int start = x;
            while (x < image.width() && (row[x] & 0xFFFFFF) == (colour & 0xFFFFFF))
                ++x;
            if (x > start)
                rects.emplace_back(start, y, x - start, 1);
        }
    }
    QRegion region;
    region.setRects(rects.data(), int(rects.size()));
    return region;
}

SoundServer::SoundServer()
{
    const QString server = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
    if (server.isEmpty()) {
        m_failure = QStringLiteral("pulseaudio is not installed");
        return;
    }
    if (!m_runtimeDir.isValid()) {
        m_failure = QStringLiteral("no temporary folder for its socket");
        return;
    }
    m_process.setProcessEnvironment(clientEnvironment());
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start(server, {QStringLiteral("--daemonize=no"), QStringLiteral("-n"),
                             QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=no"),
                             QStringLiteral("--log-level=error"),
                             QStringLiteral("--load=module-null-sink sink_name=quenlo_null"),
                             QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1")});
    if (!m_process.waitForStarted(5000)) {
        m_failure = QStringLiteral("pulseaudio did not start: ") + m_process.errorString();
        return;
    }
    // Ready once a client gets an answer.
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000 && m_process.state() == QProcess::Running) {
        QProcess info;
        info.setProcessEnvironment(clientEnvironment());
        info.start(QStringLiteral("pactl"), {QStringLiteral("info")});
        if (info.waitForFinished(5000) && info.exitStatus() == QProcess::NormalExit && info.exitCode() == 0) {
            m_ready = true;
            return;
        }
        QTest::qWait(100);
    }
    m_failure = m_process.state() == QProcess::Running ? QStringLiteral("pulseaudio gave no answer")
                                                       : QStringLiteral("pulseaudio ended at start");
}

SoundServer::~SoundServer()
{
    if (m_feed.state() != QProcess::NotRunning) {
        m_feed.kill();
        m_feed.waitForFinished(3000);
    }
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QProcessEnvironment SoundServer::clientEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtimeDir.path());
    environment.insert(QStringLiteral("PULSE_SERVER"),
                       QStringLiteral("unix:") + m_runtimeDir.filePath(QStringLiteral("pulse/native")));
    return environment;
}

bool SoundServer::control(const QStringList& arguments) const
{
    QProcess pactl;
    pactl.setProcessEnvironment(clientEnvironment());
    pactl.start(QStringLiteral("pactl"), arguments);
    return pactl.waitForFinished(5000) && pactl.exitStatus() == QProcess::NormalExit && pactl.exitCode() == 0;
}

QString SoundServer::addMicrophone()
{
    if (!isRunning())
        return m_failure;
    const bool added = control({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                                QStringLiteral("sink_name=quenlo_voice")})
                       && control({QStringLiteral("load-module"), QStringLiteral("module-virtual-source"),
                                   QStringLiteral("source_name=quenlo_microphone"),
                                   QStringLiteral("master=quenlo_voice.monitor")})
                       // The program's sounds still go where they can be recorded.
                       && control({QStringLiteral("set-default-sink"), QStringLiteral("quenlo_null")})
                       && control(
                           {QStringLiteral("set-default-source"), QStringLiteral("quenlo_microphone")});
    return added ? QString() : QStringLiteral("pulseaudio cannot make a virtual microphone");
}

bool SoundServer::feedMicrophone(const QString& rawFile)
{
    m_feed.setProcessEnvironment(clientEnvironment());
    m_feed.setStandardOutputFile(QProcess::nullDevice());
    m_feed.setStandardErrorFile(QProcess::nullDevice());
    m_feed.start(QStringLiteral("paplay"),
                 {QStringLiteral("--raw"), QStringLiteral("--device=quenlo_voice"),
                  QStringLiteral("--format=s16le"), QStringLiteral("--channels=1"),
                  QStringLiteral("--rate=%1").arg(SoundRecording::kRecordingRate), rawFile});
    return m_feed.waitForStarted(5000);
}

SoundRecording::SoundRecording(const SoundServer& server)
{
    m_process.setProcessEnvironment(server.clientEnvironment());
    // Straight into a file: a pipe left unread for a moment would lose sound.
    m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("recording.raw")));
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start(QStringLiteral("parec"),
                    {QStringLiteral("--device=quenlo_null.monitor"), QStringLiteral("--format=s16le"),
                     QStringLiteral("--channels=1"), QStringLiteral("--rate=%1").arg(kRecordingRate),
                     QStringLiteral("--latency-msec=10")});
    m_process.waitForStarted(5000);
}

SoundRecording::~SoundRecording()
{
    stop();
}

QByteArray SoundRecording::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
    QFile file(m_dir.filePath(QStringLiteral("recording.raw")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray tone(int ms)
{
    constexpr double kPitch = 440;
    const int samples = SoundRecording::kRecordingRate / 1000 * ms;
    QByteArray sound(2 * samples, Qt::Uninitialized);
    for (int i = 0; i < samples; ++i) {
        const auto value = qint16(12000 * std::sin(2 * M_PI * kPitch * i / SoundRecording::kRecordingRate));
        qToLittleEndian(value, sound.data() + 2 * i);
    }
    return sound;
}

DecodedSound decodeSound(const QString& path)
{
    QAudioDecoder decoder;
    decoder.setSource(QUrl::fromLocalFile(path));
    DecodedSound sound;
    bool done = false;
    QObject::connect(&decoder, &QAudioDecoder::bufferReady, [&] {
        const QAudioBuffer buffer = decoder.read();
        sound.ms += buffer.duration() / 1000.0;
        const QAudioFormat format = buffer.format();
        const auto* bytes = buffer.constData<char>();
        for (qsizetype i = 0; i < buffer.byteCount(); i += format.bytesPerSample())
            sound.peak = std::max(sound.peak, double(std::abs(format.normalizedSampleValue(bytes + i))));
    });
    QObject::connect(&decoder, &QAudioDecoder::finished, [&] {
        sound.readable = true;
        done = true;
    });
    QObject::connect(&decoder, qOverload<QAudioDecoder::Error>(&QAudioDecoder::error), [&] { done = true; });
    decoder.start();
    if (!QTest::qWaitFor([&] { return done; }, 10000))
        return {};
    return sound;
}

int countSounds(const QByteArray& recording, int quietMs)
{
    constexpr int kWindow = SoundRecording::kRecordingRate / 100; // 10 ms
    constexpr int kLoud = 1000; // the cues peak far above this, silence is 0
    const qsizetype samples = recording.size() / 2;
    int sounds = 0;
    int quietWindows = quietMs / 10; // the recording starts in quiet
    for (qsizetype start = 0; start + kWindow <= samples; start += kWindow) {
        int loudest = 0;
        for (qsizetype i = start; i < start + kWindow; ++i)
            loudest = std::max(loudest,
                               std::abs(int(qFromLittleEndian<qint16>(recording.constData() + 2 * i))));
        if (loudest < kLoud) {
            ++quietWindows;
            continue;
        }
        if (quietWindows * 10 >= quietMs)
            ++sounds;
        quietWindows = 0;
    }
    return sounds;
}

ProgramRun::ProgramRun()
{
    const QString program = m_folder.path(QStringLiteral("quenlo"));
    QFile::copy(QStringLiteral(QUENLO_BINARY_DIR "/quenlo"), program);
    QFile::setPermissions(program, QFile::permissions(program) | QFileDevice::ExeOwner);
    m_folder.copySounds();
}

ProgramRun::~ProgramRun()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QString ProgramRun::runAsOrdinaryUser()
{
    if (::geteuid() != 0)
        return {}; // already ordinary
    if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        return QStringLiteral("setpriv is missing, and root would ignore the file permissions");
    if (qEnvironmentVariableIsEmpty("XAUTHORITY") && !qEnvironmentVariableIsEmpty("DISPLAY")
        && !qEnvironmentVariable("DISPLAY").startsWith(u':'))
        return QStringLiteral("the display is not local, so another user may not reach it");
    m_asOrdinaryUser = true;
    return {};
}

void ProgramRun::start()
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = m_soundServer.isRunning() ? m_soundServer.clientEnvironment()
                                                                : QProcessEnvironment::systemEnvironment();
    // Never the tester's own data folder, whatever mode the program chooses.
    environment.insert(QStringLiteral("XDG_DATA_HOME"), userDataFolder());
    QString program = m_folder.path(QStringLiteral("quenlo"));
    QStringList arguments;
    if (m_asOrdinaryUser) {
        // The sound server's socket and the display's cookie are root's: the
        // cookie is copied where the user can read it, the sound is left out.
        environment.remove(QStringLiteral("PULSE_SERVER"));
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        environment.insert(QStringLiteral("HOME"), m_folder.path(QStringLiteral("userdata")));
        const QString cookie = m_folder.path(QStringLiteral(".Xauthority"));
        if (QFile::copy(qEnvironmentVariable("XAUTHORITY"), cookie))
            environment.insert(QStringLiteral("XAUTHORITY"), cookie);
        QDir().mkpath(userDataFolder());
        runTool(QStringLiteral("chown"),
                {QStringLiteral("-R"), QStringLiteral("nobody:nogroup"), m_folder.path()});
        arguments = QStringList {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                 QStringLiteral("--clear-groups"), QStringLiteral("--"), program};
        program = QStringLiteral("setpriv");
    }
    for (const QString& name : m_extraEnvironment.keys())
        environment.insert(name, m_extraEnvironment.value(name));
    m_process.setProcessEnvironment(environment);
    m_process.start(program, arguments);
    m_process.waitForStarted(5000);
}

bool ProgramRun::waitForColour(QRgb colour, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (!pixelsOf(grabScreen(), colour).isEmpty())
            return true;
        QTest::qWait(50);
    }
    return false;
}

QRegion ProgramRun::waitForChange(QRgb colour, const QRegion& before, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    QRegion now = pixelsOf(grabScreen(), colour);
    while (now == before && timer.elapsed() < timeoutMs) {
        QTest::qWait(50);
        now = pixelsOf(grabScreen(), colour);
    }
    return now;
}

bool ProgramRun::waitForExit(int timeoutMs)
{
    return m_process.waitForFinished(timeoutMs);
}

QString ProgramRun::windowId()
{
    const QString pid = QString::number(m_process.processId());
    return runTool(QStringLiteral("xdotool"),
                   {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--pid"), pid,
                    QStringLiteral("--name"), QStringLiteral("^Quenlo$")})
        .section(u'\n', 0, 0);
}

} // namespace e2e

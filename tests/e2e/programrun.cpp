#include "programrun.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTest>

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

void ProgramRun::start()
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(m_folder.path(QStringLiteral("quenlo")), {});
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
    return runTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--pid"), pid,
                                               QStringLiteral("--name"), QStringLiteral("^Quenlo$")})
        .section(u'\n', 0, 0);
}

} // namespace e2e

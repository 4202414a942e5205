#pragma once

#include "tests/support/programfolder.h"

#include <QImage>
#include <QProcess>
#include <QRegion>
#include <QString>
#include <QStringList>

#include <memory>

namespace e2e {

// Runs an X11 tool (xdotool, xsetroot) and returns what it printed.
QString runTool(const QString& program, const QStringList& arguments);

// The whole screen as the user sees it.
QImage grabScreen();

// The pixels of `image` that have exactly `colour`, as a region.
QRegion pixelsOf(const QImage& image, QRgb colour);

// The real executable, copied with its data into a temporary program folder
// and started there.
class ProgramRun {
public:
    ProgramRun();
    ~ProgramRun();

    testing_support::ProgramFolder& folder() { return m_folder; }
    void start();
    // Waits until the screen shows pixels of `colour` (the stage's glyphs).
    bool waitForColour(QRgb colour, int timeoutMs = 10000);
    // Waits until the screen's pixels of `colour` differ from `before`.
    QRegion waitForChange(QRgb colour, const QRegion& before, int timeoutMs = 3000);
    bool waitForExit(int timeoutMs = 5000);
    QString windowId();
    QProcess& process() { return m_process; }

private:
    testing_support::ProgramFolder m_folder;
    QProcess m_process;
};

} // namespace e2e

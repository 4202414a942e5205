#pragma once

// Timing a dialog as the user waits for it: from the stage's menu command to
// the dialog's first frame on the display. The dialog is modal, so the
// command returns only once it has closed: the watch below notes the
// dialog's first paint, lets the frame reach the display, reads a pixel of
// it back from the display server (which answers only after drawing all it
// was sent before) and then closes the dialog.

#include "stage/stagewindow.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QPaintEvent>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <functional>
#include <optional>

namespace benchsupport {

// The colour the display shows at a point of the screen: a round trip to
// the display server.
inline QRgb displayedColour(QPoint global)
{
    const QImage pixel =
        QGuiApplication::primaryScreen()->grabWindow(0, global.x(), global.y(), 1, 1).toImage();
    return pixel.isNull() ? 0 : pixel.pixel(0, 0) & 0xFFFFFF;
}

inline QAction* menuCommand(stage::StageWindow& stage, const QString& text)
{
    for (QAction* action : stage.stageMenu()->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

struct DialogTiming {
    double seconds = 0;
    bool shownAsExpected = false;
};

// Watches for the first paint of a dialog window.
class FirstPaintWatch : public QObject {
public:
    explicit FirstPaintWatch(std::function<void(QDialog*)> painted)
        : m_painted(std::move(painted))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            auto* dialog = qobject_cast<QDialog*>(watched);
            if (dialog && dialog->isWindow()) {
                m_seen = true;
                // Runs once this paint, and its flush to the display, are done.
                QTimer::singleShot(0, dialog, [this, dialog] { m_painted(dialog); });
            }
        }
        return false;
    }

private:
    std::function<void(QDialog*)> m_painted;
    bool m_seen = false;
};

// Triggers the stage's menu command and times it to the dialog's first frame
// on the display, checked at the dialog's top-left client pixel against
// `background`. Then calls `whileShown` and closes the dialog (neither timed).
inline std::optional<DialogTiming>
timeMenuCommandToDialog(stage::StageWindow& stage, const QString& command, QRgb background,
                        const std::function<void(QDialog*)>& whileShown = {})
{
    QAction* action = menuCommand(stage, command);
    if (!action)
        return std::nullopt;
    QElapsedTimer timer;
    DialogTiming timing;
    FirstPaintWatch watch([&](QDialog* dialog) {
        const QRgb shown = displayedColour(dialog->mapToGlobal(QPoint(1, 1)));
        timing.seconds = double(timer.nsecsElapsed()) / 1e9;
        timing.shownAsExpected = shown == (background & 0xFFFFFF);
        if (whileShown)
            whileShown(dialog);
        dialog->reject();
    });
    qApp->installEventFilter(&watch);
    timer.start();
    action->trigger();
    qApp->removeEventFilter(&watch);
    return timing;
}

} // namespace benchsupport

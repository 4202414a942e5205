#pragma once

#include "platform/effects.h"
#include "platform/error.h"

#include <QString>

#include <exception>
#include <new>
#include <utility>

class QWidget;

namespace platform {

// The application title, shown on every message box.
inline QString applicationTitle()
{
    return QStringLiteral("Quenlo");
}

// The text of the standard error box for an error message: a full stop is
// appended when the last character's code is above that of the full stop.
QString errorBoxText(const QString& message);

// Shows `message` in the standard error box.
void showErrorBox(QWidget* parent, const QString& message);

// Runs one event handler's body. An error stops the handler and is shown in
// the standard error box; the program and any open dialog go on. Nothing
// escapes into Qt's event loop, which cannot carry exceptions.
template <typename Body> bool guarded(QWidget* parent, Body&& body)
{
    try {
        std::forward<Body>(body)();
        return true;
    } catch (const Error& error) {
        showErrorBox(parent, error.message());
    } catch (const std::bad_alloc&) {
        showErrorBox(parent, QStringLiteral("Out of memory"));
    } catch (const std::exception& error) {
        showErrorBox(parent, QString::fromLocal8Bit(error.what()));
    }
    return false;
}

} // namespace platform

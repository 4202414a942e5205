#include "platform/guard.h"

namespace platform {

QString errorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

void showErrorBox(QWidget* parent, const QString& message)
{
    effects().showError(parent, errorBoxText(message));
}

} // namespace platform

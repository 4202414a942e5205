#include "settings/settingsfile.h"

#include "platform/error.h"
#include "platform/profile.h"
#include "settings/integertext.h"

#include <QDebug>
#include <QDir>

namespace settings {

SettingsFile::SettingsFile(QString path)
    : m_path(std::move(path))
{
}

QByteArray SettingsFile::readString(QByteArrayView section, QByteArrayView key,
                                    QByteArrayView defaultValue) const
{
    return platform::profile::readString(m_path, section, key, defaultValue);
}

void SettingsFile::writeString(QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    const platform::WriteResult result = platform::profile::writeString(m_path, section, key, value);
    if (result.ok())
        return;
    const QString message = QStringLiteral("Unable to write to %1").arg(QDir::toNativeSeparators(m_path));
    // The message box names only the file; the reason is kept for whoever
    // looks into the failure.
    qWarning().noquote() << message + QStringLiteral(": ") + result.failureReason;
    throw platform::Error(message);
}

qint32 SettingsFile::readInteger(QByteArrayView section, QByteArrayView key, qint32 defaultValue) const
{
    // An empty value is malformed too, so an absent key needs no case of its own.
    return parseInteger(readString(section, key, {})).value_or(defaultValue);
}

void SettingsFile::writeInteger(QByteArrayView section, QByteArrayView key, qint32 value)
{
    writeString(section, key, integerText(value));
}

} // namespace settings

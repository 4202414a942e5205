#pragma once

#include <QByteArray>
#include <QString>

namespace settings {

// The program's settings file ("database\qrnv.ini"). Opening touches no
// file; every read goes to the file, and every write has reached the file
// when it returns.
class SettingsFile {
public:
    explicit SettingsFile(QString path);

    const QString& path() const { return m_path; }

    // The value text, or `defaultValue` if the section lacks the key.
    QByteArray readString(QByteArrayView section, QByteArrayView key, QByteArrayView defaultValue) const;
    // Throws platform::Error("Unable to write to <path>") when the write
    // fails, and logs the system's reason to standard error.
    void writeString(QByteArrayView section, QByteArrayView key, QByteArrayView value);

    // An absent key, an empty value and a malformed value give the default.
    qint32 readInteger(QByteArrayView section, QByteArrayView key, qint32 defaultValue) const;
    // Writes the value in plain decimal.
    void writeInteger(QByteArrayView section, QByteArrayView key, qint32 value);

private:
    QString m_path;
};

} // namespace settings

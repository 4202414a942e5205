#pragma once

#include "tests/support/printers.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <vector>

namespace testing_support {

// A temporary program folder with "database" and "Sound" subfolders, made the
// program directory for the lifetime of the object. Tests never touch the
// repository's data; the shipped stroke and reading files, which the program
// only reads, are linked into "database".
class ProgramFolder {
public:
    ProgramFolder();
    ~ProgramFolder();

    QString path(const QString& relative = {}) const;

    // Writes raw bytes to a file of the folder ("database/ziku.txt").
    void writeFile(const QString& relative, const QByteArray& bytes) const;
    QByteArray readFile(const QString& relative) const;

    // Writes a deck of UTF-8 entries as GBK lines ended by CR LF.
    void writeDeck(const QString& relative, const std::vector<QString>& entries) const;
    // Writes a settings file from UTF-8 text; lines are joined with CR LF.
    void writeSettings(const QString& utf8Text) const;

    // Copies the shipped sound cues into the folder.
    void copySounds() const;

private:
    QTemporaryDir m_dir;
};

// Encodes UTF-8 text as GBK (test data is always GBK-safe).
QByteArray gbk(const QString& text);
QString gbkDecode(const QByteArray& bytes);

} // namespace testing_support

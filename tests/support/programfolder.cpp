#include "tests/support/programfolder.h"

#include "platform/gbk.h"
#include "platform/programdir.h"

#include <QDir>
#include <QFile>

#include <stdexcept>

namespace testing_support {

ProgramFolder::ProgramFolder()
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot make a temporary folder");
    QDir(m_dir.path()).mkpath(QStringLiteral("database"));
    QDir(m_dir.path()).mkpath(QStringLiteral("Sound"));
    // The shipped stroke and reading files, which the program only reads,
    // stand in the folder as they do beside the installed program.
    for (const char* name : {"database/pinyin.bin", "database/strokes.bin"})
        QFile::link(QStringLiteral(QUENLO_SOURCE_DIR "/") + QLatin1String(name), path(QLatin1String(name)));
    platform::setProgramDir(m_dir.path());
}

ProgramFolder::~ProgramFolder()
{
    platform::setProgramDir({});
}

QString ProgramFolder::path(const QString& relative) const
{
    return relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative);
}

void ProgramFolder::writeFile(const QString& relative, const QByteArray& bytes) const
{
    QFile file(path(relative));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write test file");
}

QByteArray ProgramFolder::readFile(const QString& relative) const
{
    QFile file(path(relative));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void ProgramFolder::writeDeck(const QString& relative, const std::vector<QString>& entries) const
{
    QByteArray bytes;
    for (const QString& entry : entries)
        bytes += gbk(entry) + "\r\n";
    writeFile(relative, bytes);
}

void ProgramFolder::writeSettings(const QString& utf8Text) const
{
    QByteArray bytes = gbk(utf8Text);
    bytes.replace("\n", "\r\n");
    writeFile(QStringLiteral("database/qrnv.ini"), bytes);
}

void ProgramFolder::copySounds() const
{
    const QDir sounds(QStringLiteral(QUENLO_SOURCE_DIR "/Sound"));
    for (const QString& name : sounds.entryList(QDir::Files))
        QFile::copy(sounds.filePath(name), path(QStringLiteral("Sound/") + name));
}

QByteArray gbk(const QString& text)
{
    return platform::gbk::encodeLiteral(text);
}

QString gbkDecode(const QByteArray& bytes)
{
    return platform::gbk::decode(bytes);
}

} // namespace testing_support

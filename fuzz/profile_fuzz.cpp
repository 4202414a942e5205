// The settings file: reading any file never fails; a write succeeds (or is
// refused, leaving the file whole, for bytes a UTF-8 file can't hold), reads
// back, and changes only its own line (or adds one line for a new key, two
// for a new section); every other line stays as it was.
#include "fuzz/fuzzcheck.h"
#include "platform/gbk.h"
#include "platform/profile.h"
#include "platform/textencoding.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QTemporaryDir>

#include <algorithm>

namespace {

namespace profile = platform::profile;

// Pieces that names and values are made of: letters in both cases, blanks
// inside, GBK characters, and double-byte characters whose trail byte is an
// ASCII letter, "]" or "=".
const char* const kNamePieces[] = {"a",        "B",        "k",        "1",        "\xD7\xD6",
                                   "\xCC\xE5", "\x81\x5D", "\x81\x3D", "\x95\x41", "\xC6\xF0"};
const char* const kValuePieces[] = {" ", "=", ";", "[", "]", "\"", "-", "7"};

QByteArray makeName(FuzzedDataProvider& input)
{
    QByteArray name;
    const int pieces = input.ConsumeIntegralInRange(1, 4);
    for (int i = 0; i < pieces; ++i) {
        name += kNamePieces[input.ConsumeIntegralInRange<size_t>(0, std::size(kNamePieces) - 1)];
        if (i + 1 < pieces && input.ConsumeIntegralInRange(0, 5) == 0)
            name += ' ';
    }
    return name;
}

// A value that reads back as written: no blanks at its ends, not quoted.
QByteArray makeValue(FuzzedDataProvider& input)
{
    QByteArray value;
    const int pieces = input.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < pieces; ++i) {
        if (input.ConsumeBool())
            value += kNamePieces[input.ConsumeIntegralInRange<size_t>(0, std::size(kNamePieces) - 1)];
        else
            value += kValuePieces[input.ConsumeIntegralInRange<size_t>(0, std::size(kValuePieces) - 1)];
    }
    while (value.startsWith(' '))
        value.remove(0, 1);
    while (value.endsWith(' '))
        value.chop(1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value.prepend('x');
    return value;
}

// A file's lines without their line ends (CR, LF or CR LF).
QList<QByteArray> linesOf(const QByteArray& file)
{
    QList<QByteArray> lines;
    QByteArray line;
    for (qsizetype i = 0; i < file.size(); ++i) {
        if (file[i] == '\r' || file[i] == '\n') {
            lines.append(line);
            line.clear();
            if (file[i] == '\r' && i + 1 < file.size() && file[i + 1] == '\n')
                ++i;
        } else {
            line += file[i];
        }
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

// The lines that differ once the lines both files share at their start and
// at their end are set aside: how many of the old, how many of the new.
std::pair<qsizetype, qsizetype> changedLines(const QList<QByteArray>& before, const QList<QByteArray>& after)
{
    qsizetype front = 0;
    while (front < before.size() && front < after.size() && before[front] == after[front])
        ++front;
    qsizetype back = 0;
    while (back < before.size() - front && back < after.size() - front
           && before[before.size() - 1 - back] == after[after.size() - 1 - back])
        ++back;
    return {before.size() - front - back, after.size() - front - back};
}

// Whether the bytes are GBK characters and nothing else.
bool isGbkText(const QByteArray& bytes)
{
    return platform::gbk::encode(platform::gbk::decode(bytes)) == bytes;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Memory-backed when the system offers it: the fuzzer writes a file per run.
    static QTemporaryDir folder(QFileInfo::exists(QStringLiteral("/dev/shm"))
                                    ? QStringLiteral("/dev/shm/quenlo-fuzz-XXXXXX")
                                    : QDir::tempPath() + QStringLiteral("/quenlo-fuzz-XXXXXX"));
    const QString path = folder.filePath(QStringLiteral("qrnv.ini"));

    FuzzedDataProvider input(data, size);
    const QByteArray section = makeName(input);
    const QByteArray key = makeName(input);
    const QByteArray value = makeValue(input);
    const bool fileExists = input.ConsumeBool();
    const QByteArray before = QByteArray::fromStdString(input.ConsumeRemainingBytesAsString());

    QFile::remove(path);
    if (fileExists) {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly) && file.write(before) == before.size());
    }
    // Any file reads without harm, whatever it holds.
    const QByteArray unset("\x01unset");
    const QByteArray old = profile::readString(path, section, key, unset);
    FUZZ_CHECK(old.size() < profile::kBufferSize || old == unset);

    if (!profile::writeString(path, section, key, value).ok()) {
        // Refused only for bytes that are no GBK character going into a
        // UTF-8 file, which can't hold them; the file stays as it was.
        FUZZ_CHECK(fileExists
                   && platform::textencoding::detect(before) != platform::textencoding::Encoding::Gbk);
        FUZZ_CHECK(!isGbkText(section) || !isGbkText(key) || !isGbkText(value));
        FUZZ_CHECK(readAll(path) == before);
        return 0;
    }
    FUZZ_CHECK(profile::readString(path, section, key, unset) == value);

    // At most the key's old line goes; its new line comes, after a new
    // section's name when the section was missing.
    // Compared as the program reads the file (GBK): a write that must keep
    // text GBK can't hold turns a GBK file into UTF-8, every line's bytes
    // with it, and the text stays the same. Or compared byte for byte: a GBK
    // file whose stray bytes read otherwise once the edit is made keeps its
    // bytes and its settings, not its stray text.
    const auto asRead = [](const QByteArray& bytes) {
        return platform::textencoding::fromFileBytes(bytes).gbk;
    };
    const auto editedLinesOnly = [&](const QByteArray& earlier, const QByteArray& later) {
        const auto [removed, added] = changedLines(linesOf(fileExists ? earlier : QByteArray()),
                                                   linesOf(later));
        return removed <= 1 && added <= (old != unset ? 1 : 2);
    };
    const QByteArray after = readAll(path);
    FUZZ_CHECK(editedLinesOnly(asRead(before), asRead(after)) || editedLinesOnly(before, after));
    return 0;
}

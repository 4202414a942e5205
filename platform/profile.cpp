#include "platform/profile.h"

#include "platform/files.h"
#include "platform/gbk.h"
#include "platform/textencoding.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

// How a file is read, beyond what profile.h says:
// - A line is a section header when its first non-blank byte is '[' and a ']'
//   follows; the name is what lies between them, trimmed. Anything after the
//   ']' is ignored. A '[' line without ']' is treated like any other line.
// - A key line is a line of a section that holds '='; the key is what comes
//   before the first '=', the value what follows it, both trimmed. Other
//   lines (blank, comment or stray text) are kept but mean nothing.
// - Lines are split at every CR and LF byte. No GBK trail byte is a CR or LF,
//   so a broken double-byte character never joins two lines.
// - The buffer cut applies to the default too, as the classic services copy
//   either into the same buffer.
// - A file that exists but cannot be read gives the default on reading and
//   is never overwritten.
//
// How a file is written:
// - A replaced key line becomes "key=value" with the key spelt as the file
//   spells it (as the classic services do); its line end is kept.
// - Lines the layer adds end with CR LF.
namespace platform::profile {

namespace {

constexpr QByteArrayView kLineEnd = "\r\n";

bool isBlank(char byte)
{
    return byte == ' ' || byte == '\t';
}

char asciiLower(char byte)
{
    return (byte >= 'A' && byte <= 'Z') ? char(byte - 'A' + 'a') : byte;
}

// The position after the character at `i`: a lead byte takes the byte after
// it along, whatever that byte is.
qsizetype nextCharacter(QByteArrayView text, qsizetype i)
{
    const bool doubleByte = gbk::isLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
    return i + (doubleByte ? 2 : 1);
}

// The position of the first single-byte character `wanted`, or -1.
qsizetype findCharacter(QByteArrayView text, char wanted)
{
    for (qsizetype i = 0; i < text.size(); i = nextCharacter(text, i)) {
        if (text[i] == wanted)
            return i;
    }
    return -1;
}

QByteArrayView trimmed(QByteArrayView text)
{
    qsizetype begin = 0;
    while (begin < text.size() && isBlank(text[begin]))
        ++begin;
    // Walk forward, so that the second byte of a double-byte character is
    // never taken for a blank.
    qsizetype end = begin;
    for (qsizetype i = begin; i < text.size(); i = nextCharacter(text, i)) {
        if (!isBlank(text[i]))
            end = nextCharacter(text, i);
    }
    return text.sliced(begin, end - begin);
}

// Removes one pair of matching quotes around the whole value.
QByteArrayView unquoted(QByteArrayView value)
{
    if (value.size() < 2)
        return value;
    const char first = value.front();
    if (first != '"' && first != '\'')
        return value;
    const qsizetype closing = value.size() - 1;
    qsizetype i = 1;
    while (i < closing)
        i = nextCharacter(value, i);
    // i overshoots when the last byte is the second half of a character.
    if (i != closing || value[closing] != first)
        return value;
    return value.sliced(1, value.size() - 2);
}

// Names match ignoring ASCII letter case; double-byte characters match only
// byte for byte, since their second byte may look like an ASCII letter.
bool namesMatch(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size();) {
        const qsizetype next = nextCharacter(a, i);
        if (next - i == 2) {
            if (a.sliced(i, 2) != b.sliced(i, 2))
                return false;
        } else if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
        i = next;
    }
    return true;
}

enum class LineKind { Other, Section, Key };

struct Line {
    qsizetype begin = 0; // first byte of the line
    qsizetype end = 0;   // first byte of its line end, or the end of the file
    qsizetype next = 0;  // first byte of the next line
    LineKind kind = LineKind::Other;
    QByteArrayView name;  // section name or key
    QByteArrayView value; // key lines only, trimmed but still quoted
};

std::vector<Line> splitLines(QByteArrayView text)
{
    std::vector<Line> lines;
    qsizetype begin = 0;
    while (begin < text.size()) {
        qsizetype end = begin;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        qsizetype next = end;
        if (next < text.size() && text[next] == '\r')
            ++next;
        if (next < text.size() && text[next] == '\n')
            ++next;
        Line line;
        line.begin = begin;
        line.end = end;
        line.next = next;
        lines.push_back(line);
        begin = next;
    }
    return lines;
}

void classify(Line& line, QByteArrayView content)
{
    const QByteArrayView text = trimmed(content);
    if (text.isEmpty() || text.front() == ';')
        return;
    if (text.front() == '[') {
        const QByteArrayView inside = text.sliced(1);
        const qsizetype close = findCharacter(inside, ']');
        if (close >= 0) {
            line.kind = LineKind::Section;
            line.name = trimmed(inside.first(close));
            return;
        }
    }
    const qsizetype equals = findCharacter(text, '=');
    if (equals >= 0) {
        line.kind = LineKind::Key;
        line.name = trimmed(text.first(equals));
        line.value = trimmed(text.sliced(equals + 1));
    }
}

// The lines of a file with their meaning. Key lines before the first section
// belong to no section and are marked Other.
std::vector<Line> parse(QByteArrayView text)
{
    std::vector<Line> lines = splitLines(text);
    bool inSection = false;
    for (Line& line : lines) {
        classify(line, text.sliced(line.begin, line.end - line.begin));
        if (line.kind == LineKind::Section)
            inSection = true;
        else if (line.kind == LineKind::Key && !inSection)
            line.kind = LineKind::Other;
    }
    return lines;
}

// Where a section lies among the lines: its header and the index past its
// last line. Only the first copy of a section counts.
struct SectionSpan {
    std::size_t header = 0;
    std::size_t end = 0;
};

std::optional<SectionSpan> findSection(const std::vector<Line>& lines, QByteArrayView section)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != LineKind::Section || !namesMatch(lines[i].name, section))
            continue;
        std::size_t end = i + 1;
        while (end < lines.size() && lines[end].kind != LineKind::Section)
            ++end;
        return SectionSpan {i, end};
    }
    return std::nullopt;
}

const Line* findKey(const std::vector<Line>& lines, SectionSpan span, QByteArrayView key)
{
    for (std::size_t i = span.header + 1; i < span.end; ++i) {
        if (lines[i].kind == LineKind::Key && namesMatch(lines[i].name, key))
            return &lines[i];
    }
    return nullptr;
}

// The line a new key follows: the section's last key line, else its header.
const Line& lastKeyOrHeader(const std::vector<Line>& lines, SectionSpan span)
{
    std::size_t last = span.header;
    for (std::size_t i = span.header + 1; i < span.end; ++i) {
        if (lines[i].kind == LineKind::Key)
            last = i;
    }
    return lines[last];
}

// The file's text as GBK; an absent file reads as empty. Nothing, with the
// reason, when the file exists but cannot be read.
std::optional<textencoding::Text> readFile(const QString& path, QString* failureReason = nullptr)
{
    QFile file(path);
    if (!file.exists())
        return textencoding::Text {};
    const bool isFolder = QFileInfo(path).isDir();
    if (isFolder || !file.open(QIODevice::ReadOnly)) {
        if (failureReason)
            *failureReason = isFolder ? QString::fromLocal8Bit(std::strerror(EISDIR)) : file.errorString();
        return std::nullopt;
    }
    return textencoding::fromFileBytes(file.readAll());
}

QByteArray keyLine(QByteArrayView key, QByteArrayView value)
{
    QByteArray line;
    line.reserve(key.size() + 1 + value.size());
    line.append(key).append('=').append(value);
    return line;
}

QByteArray withReplacedKey(QByteArrayView text, const Line& line, QByteArrayView value)
{
    QByteArray result;
    result.append(text.first(line.begin));
    result.append(keyLine(line.name, value));
    result.append(text.sliced(line.end));
    return result;
}

QByteArray withInsertedKey(QByteArrayView text, const Line& after, QByteArrayView key, QByteArrayView value)
{
    QByteArray result;
    result.append(text.first(after.next));
    if (after.next == after.end) // the last line of the file, without a line end
        result.append(kLineEnd);
    result.append(keyLine(key, value)).append(kLineEnd);
    result.append(text.sliced(after.next));
    return result;
}

QByteArray withAddedSection(QByteArrayView text, QByteArrayView section, QByteArrayView key,
                            QByteArrayView value)
{
    QByteArray result(text.toByteArray());
    if (!result.isEmpty() && !result.endsWith('\r') && !result.endsWith('\n'))
        result.append(kLineEnd);
    result.append('[').append(section).append(']').append(kLineEnd);
    result.append(keyLine(key, value)).append(kLineEnd);
    return result;
}

QByteArray withValue(QByteArrayView text, QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    const std::vector<Line> lines = parse(text);
    const std::optional<SectionSpan> span = findSection(lines, section);
    if (!span)
        return withAddedSection(text, section, key, value);
    if (const Line* line = findKey(lines, *span, key))
        return withReplacedKey(text, *line, value);
    return withInsertedKey(text, lastKeyOrHeader(lines, *span), key, value);
}

// What fits in the caller's buffer, with room for its terminating zero.
// The sections and keys of a text with their values, in file order: all a
// reader of the file gets from it.
std::vector<QByteArray> settingsOf(QByteArrayView text)
{
    std::vector<QByteArray> settings;
    for (const Line& line : parse(text)) {
        if (line.kind == LineKind::Section)
            settings.push_back('[' + line.name.toByteArray() + ']');
        else if (line.kind == LineKind::Key)
            settings.push_back(line.name.toByteArray() + '=' + line.value.toByteArray());
    }
    return settings;
}

// A file in GBK whose stray text (bytes that are no GBK character, outside
// any key) no longer looks like GBK once a line is edited: it can't read back
// byte for byte in any encoding, but its bytes can still be kept as they are
// when every section and key reads back the same. Refusing would leave every
// later setting unsaved for the sake of a line that means nothing.
std::optional<QByteArray> bytesKeepingTheSettings(const QByteArray& edited, textencoding::Encoding existing)
{
    QByteArray bytes = textencoding::toFileBytes(edited, existing);
    if (settingsOf(textencoding::fromFileBytes(bytes).gbk) != settingsOf(edited))
        return std::nullopt;
    return bytes;
}

QByteArray cutToBuffer(QByteArrayView value)
{
    return value.first(gbk::prefixLength(value, kBufferSize - 1)).toByteArray();
}

} // namespace

QByteArray readString(const QString& path, QByteArrayView section, QByteArrayView key,
                      QByteArrayView defaultValue)
{
    const std::optional<textencoding::Text> text = readFile(path);
    if (!text)
        return cutToBuffer(defaultValue);
    const std::vector<Line> lines = parse(text->gbk);
    const std::optional<SectionSpan> span = findSection(lines, section);
    const Line* line = span ? findKey(lines, *span, key) : nullptr;
    if (!line)
        return cutToBuffer(defaultValue);
    return cutToBuffer(unquoted(line->value));
}

WriteResult writeString(const QString& path, QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    QString readFailure;
    const std::optional<textencoding::Text> text = readFile(path, &readFailure);
    if (!text)
        return {readFailure};
    const QByteArray edited = withValue(text->gbk, section, key, value);
    std::optional<QByteArray> bytes = textencoding::fileBytesReadingBackAs(edited, text->encoding);
    if (!bytes)
        bytes = bytesKeepingTheSettings(edited, text->encoding);
    if (!bytes)
        return {textencoding::textNotStorableReason()};
    return replaceFile(path, *bytes);
}

} // namespace platform::profile

#pragma once

#include "core/mappeddatafile.h"

#include <QString>
#include <QStringList>
#include <QStringView>

// How Chinese text is read aloud: the pinyin of each character, with tone
// marks, read from the shipped reading file (database/pinyin.bin, made by
// scripts/convert-pinyin.py).
namespace core {

// A reading file. It is opened and mapped into memory the first time it is
// asked; a file that is missing or damaged reads as one that knows no
// character. Safe to use from several threads.
class PinyinData {
public:
    explicit PinyinData(QString path);
    ~PinyinData();
    PinyinData(const PinyinData&) = delete;
    PinyinData& operator=(const PinyinData&) = delete;

    // One syllable with tone marks for each character (Unicode code point)
    // of `text`, as the text is read: a character that is no Chinese
    // character (a letter, a digit, a blank) gets an empty string. The text
    // is cut into the longest words the dictionary knows, from the front;
    // the rest reads character by character, each its most common reading.
    // 一 and 不 change their tone as spoken: 一个 yí gè, 一天 yì tiān,
    // 不是 bú shì, 看一看 kàn yi kàn, 是不是 shì bu shì; 一 keeps yī alone, at
    // the end, in ordinals and in numbers (第一, 十一, 一二三).
    QStringList pinyinOf(QStringView text) const;

    // The most common reading of one character, or an empty string.
    QString readingOf(char32_t character) const;

    // How many characters and words the file knows: 0 when it can't be read.
    qsizetype characterCount() const;
    qsizetype wordCount() const;

    // The shipped reading file, database/pinyin.bin in the shipped data
    // folder. Opened on first use.
    static const PinyinData& shipped();

private:
    class File;
    MappedDataFile<File> m_file;
};

// The pinyin of an entry from the shipped reading file.
inline QStringList pinyinOf(const QString& entry)
{
    return PinyinData::shipped().pinyinOf(entry);
}

// The pinyin of an entry as one line, as the parent reads it beside the
// entry: its syllables separated by blanks, characters without a reading
// left out ("1天" reads "tiān"). Empty when nothing of it is Chinese.
QString pinyinLine(const QString& entry);

} // namespace core

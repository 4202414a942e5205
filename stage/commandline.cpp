#include "stage/commandline.h"

#include "platform/programdir.h"

#include <algorithm>
#include <cstring>

namespace stage::commandline {

namespace {

struct MenuCommand {
    const char16_t* caption;
    const char* what;
};

// The stage menu from top to bottom; the colour submenu's items indented.
constexpr MenuCommand kMenu[] = {
    {u"添加", "the library editor (while the library is shown)"},
    {u"定位指针", "jump to any entry of the deck"},
    {u"设置", "the font sizes, positions and face"},
    {u"颜色设置", "the colour submenu:"},
    {u"  字体颜色随机", "a random colour for each entry"},
    {u"  字体单一颜色", "one colour for every entry"},
    {u"  设置单一字体颜色", "choose that colour"},
    {u"幕布", "a calm colour over the whole screen behind the entry"},
    {u"拼音", "the pinyin above each character (or press P)"},
    {u"笔顺", "write the entry stroke by stroke (key B)"},
    {u"描红", "trace the strokes one after another with the mouse or a finger"},
    {u"识字篇", "the library, from its first entry"},
    {u"百家姓篇", "the Hundred Family Surnames"},
    {u"三字经篇", "the Three Character Classic"},
    {u"千字文篇", "the Thousand Character Classic"},
    {u"复习篇", "the entries due for review today"},
    {u"随机顺序", "the library in an order shuffled once a day"},
    {u"录音", "record your own voice reading the entry (or hold R); V plays it"},
    {u"自动朗读", "play the recording at each new entry"},
    {u"孩子", "the children: each has a record and places of their own"},
    {u"学习记录", "progress: known, learning, due; export as CSV, clear"},
    {u"帮助", "the help page (in the program's own window without a browser)"},
    {u"关闭", "remember the entry shown and leave"},
};

// A Chinese caption padded to `columns` terminal columns (two per character).
QString padded(const QString& caption, int columns)
{
    qsizetype width = 0;
    for (QChar c : caption)
        width += c.unicode() < 0x80 ? 1 : 2;
    return caption + QString(std::max<qsizetype>(columns - width, 1), QLatin1Char(' '));
}

QString menuLines()
{
    QString lines;
    for (const MenuCommand& command : kMenu)
        lines += QStringLiteral("  ") + padded(QString::fromUtf16(command.caption), 20)
                 + QString::fromLatin1(command.what) + QLatin1Char('\n');
    return lines;
}

} // namespace

Request requestOf(int argc, char** argv)
{
    if (argc < 2)
        return Request::Run;
    const char* option = argv[1];
    if (std::strcmp(option, "--help") == 0 || std::strcmp(option, "-h") == 0)
        return Request::Help;
    if (std::strcmp(option, "--version") == 0 || std::strcmp(option, "-v") == 0)
        return Request::Version;
    if (option[0] == '-' && option[1] == '-' && option[2] != '\0')
        return Request::Unknown;
    return Request::Run;
}

QString helpText()
{
    const bool portable = platform::fileMode() == platform::FileMode::Portable;
    return QStringLiteral("用法: quenlo [--help | --version]\n"
                          "Usage: quenlo [--help | --version]\n"
                          "\n"
                          "Quenlo 帮助学龄前儿童认识汉字: 每次用大字显示一个条目.\n"
                          "Shows one entry at a time in huge type for preschool children.\n"
                          "\n"
                          "  -h, --help     show this help and exit\n"
                          "  -v, --version  show the version and exit\n"
                          "\n"
                          "Keys: a click on the glyphs or Enter shows the next entry; Space applauds\n"
                          "(read right); 1 to 9 say \"try again\" (read wrong); 0 does too and steps\n"
                          "back; B writes the entry stroke by stroke; Esc leaves. A right click on the\n"
                          "glyphs, or the menu key, opens the menu:\n"
                          "%1"
                          "\n"
                          "Files, %2:\n"
                          "  shipped data        %3\n"
                          "  library             %4\n"
                          "  settings            %5\n"
                          "  learning record     %6\n")
        .arg(menuLines(),
             portable ? QStringLiteral("portable (the database folder beside the program is writable)")
                      : QStringLiteral("installed (the user's own files are kept in their data folder)"),
             platform::shippedDataDir(), platform::userFilePath(u"ziku.txt"),
             platform::userFilePath(u"qrnv.ini"), platform::userFilePath(u"record.sqlite"));
}

} // namespace stage::commandline

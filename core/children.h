#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace settings {
class SettingsFile;
}

// The children who learn with the program. Each has a number that is never
// given again, a name (GBK) and a learning record of their own. The list and
// the current child are kept in the settings file, section 孩子: "dq" the
// current child's number, "zs" the highest number given, "mz<number>" each
// name (empty for a child deleted). Without the section there is one child,
// 孩子1, whose record is the one a single-child release kept.
namespace core {

struct Child {
    int number = 1;
    QByteArray name; // GBK
};

class Children {
public:
    static Children read(const settings::SettingsFile& file);

    const std::vector<Child>& all() const { return m_children; }
    const Child& current() const;
    int currentNumber() const { return m_current; }
    bool contains(int number) const;

    // Each change is written at once; throws platform::Error when the
    // settings file can't be written.
    void setCurrent(int number) { m_current = number; }
    int add(settings::SettingsFile& file, const QByteArray& name);
    void rename(settings::SettingsFile& file, int number, const QByteArray& name);
    // The last child is never removed.
    void remove(settings::SettingsFile& file, int number);
    void writeCurrent(settings::SettingsFile& file) const;

    // The name a child gets until renamed: 孩子<number>.
    static QByteArray defaultName(int number);

private:
    void writeName(settings::SettingsFile& file, int number, const QByteArray& name) const;

    std::vector<Child> m_children {{1, defaultName(1)}};
    int m_current = 1;
    int m_highest = 1;
};

// The file name of a child's learning record: "record.sqlite" for the first,
// "record-<number>.sqlite" for the others.
QString recordFileName(int number);

// Keeps a deleted child's record aside, renamed, never destroyed:
// <file>.deleted-<time>. Returns the new path; empty when there was no
// file. Throws platform::Error when it can't be renamed.
QString keepRecordAside(const QString& recordPath);

} // namespace core

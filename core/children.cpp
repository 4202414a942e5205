#include "core/children.h"

#include "platform/error.h"
#include "settings/settingsfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <algorithm>

namespace core {

namespace {

constexpr char kSection[] = "\xBA\xA2\xD7\xD3"; // 孩子
constexpr char kCurrent[] = "dq";
constexpr char kHighest[] = "zs";

QByteArray nameKey(int number)
{
    return "mz" + QByteArray::number(number);
}

} // namespace

QByteArray Children::defaultName(int number)
{
    return QByteArray("\xBA\xA2\xD7\xD3") + QByteArray::number(number); // 孩子<number>
}

Children Children::read(const settings::SettingsFile& file)
{
    Children children;
    const int highest = file.readInteger(kSection, kHighest, 1);
    if (highest <= 1)
        return children;
    children.m_children.clear();
    children.m_highest = highest;
    for (int number = 1; number <= highest; ++number) {
        const QByteArray name = file.readString(kSection, nameKey(number), number == 1 ? defaultName(1) : "");
        if (!name.isEmpty())
            children.m_children.push_back({number, name});
    }
    if (children.m_children.empty())
        children.m_children.push_back({1, defaultName(1)});
    const int current = file.readInteger(kSection, kCurrent, 1);
    children.m_current = children.contains(current) ? current : children.m_children.front().number;
    return children;
}

const Child& Children::current() const
{
    const auto found = std::find_if(m_children.begin(), m_children.end(),
                                    [this](const Child& child) { return child.number == m_current; });
    return found != m_children.end() ? *found : m_children.front();
}

bool Children::contains(int number) const
{
    return std::any_of(m_children.begin(), m_children.end(),
                       [number](const Child& child) { return child.number == number; });
}

int Children::add(settings::SettingsFile& file, const QByteArray& name)
{
    const int number = m_highest + 1;
    writeName(file, number, name);
    file.writeInteger(kSection, kHighest, number);
    m_highest = number;
    m_children.push_back({number, name});
    return number;
}

void Children::rename(settings::SettingsFile& file, int number, const QByteArray& name)
{
    writeName(file, number, name);
    for (Child& child : m_children) {
        if (child.number == number)
            child.name = name;
    }
}

void Children::remove(settings::SettingsFile& file, int number)
{
    if (m_children.size() <= 1 || !contains(number))
        return;
    // The highest number is written too, so that a list that was never
    // written (one child, 孩子1) is read back without the deleted child.
    file.writeInteger(kSection, kHighest, m_highest);
    writeName(file, number, "");
    std::erase_if(m_children, [number](const Child& child) { return child.number == number; });
    if (m_current == number)
        m_current = m_children.front().number;
}

void Children::writeCurrent(settings::SettingsFile& file) const
{
    file.writeInteger(kSection, kCurrent, m_current);
}

void Children::writeName(settings::SettingsFile& file, int number, const QByteArray& name) const
{
    file.writeString(kSection, nameKey(number), name);
}

QString recordFileName(int number)
{
    return number == 1 ? QStringLiteral("record.sqlite") : QStringLiteral("record-%1.sqlite").arg(number);
}

QString keepRecordAside(const QString& recordPath)
{
    if (!QFile::exists(recordPath))
        return {};
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = recordPath + QStringLiteral(".deleted-") + stamp;
    for (int n = 2; QFile::exists(aside); ++n)
        aside = recordPath + QStringLiteral(".deleted-") + stamp + u'-' + QString::number(n);
    if (!QFile::rename(recordPath, aside))
        throw platform::Error(QStringLiteral("学习记录 %1 无法改名保存，这个孩子没有删除")
                                  .arg(QDir::toNativeSeparators(recordPath)));
    // A log left by a program killed while writing goes with its file.
    QFile::rename(recordPath + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    QFile::remove(recordPath + QStringLiteral("-shm"));
    return aside;
}

} // namespace core

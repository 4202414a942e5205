// The library editor's rows: entries read from the file stay in the file's
// bytes and rows refer to them; every edit must still read back, and write
// out, exactly as a plain list of entries would.
#include "core/deck.h"
#include "libraryeditor/librarymodel.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<QByteArray> rowsShown(const libraryeditor::LibraryModel& model)
{
    std::vector<QByteArray> rows;
    for (int row = 0; row < model.rowCount(); ++row)
        rows.push_back(model.entry(row).toByteArray());
    return rows;
}

// The rows as LibraryRows::writeFile puts them in a new file, or over a
// file of `existing` bytes.
QByteArray writtenFile(const libraryeditor::LibraryModel& model, const QByteArray& existing = {})
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("ziku.txt"));
    if (!existing.isNull()) {
        QFile old(path);
        if (!old.open(QIODevice::WriteOnly) || old.write(existing) != existing.size())
            return "not prepared";
    }
    model.rows().writeFile(path);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("not written");
}

TEST(LibraryModelTest, EntriesOfTheFileWithEveryLineEnd)
{
    libraryeditor::LibraryModel model;
    model.setDeck(core::Deck::fromFileBytes("\xB4\xF3\r\n\rab\n \r\nlast"));
    const std::vector<QByteArray> expected = {"\xB4\xF3", "", "ab", " ", "last"};
    EXPECT_EQ(model.entries(), expected);
    EXPECT_EQ(model.toFileBytes(), QByteArray("\xB4\xF3\r\n\r\nab\r\n \r\nlast\r\n"));
    EXPECT_EQ(writtenFile(model), model.toFileBytes());
    // Over a UTF-8 file with LF line ends, as a modern editor saves it.
    EXPECT_EQ(writtenFile(model, "\xE6\x97\xA7\n"), QByteArray("\xE5\xA4\xA7\n\nab\n \nlast\n"));
    EXPECT_EQ(model.data(model.index(0), Qt::DisplayRole).toString(), QStringLiteral("大"));
}

TEST(LibraryModelTest, SetEntriesKeepsThemAsTheyAre)
{
    libraryeditor::LibraryModel model;
    const std::vector<QByteArray> entries = {"a", "", "b"};
    model.setEntries(entries);
    EXPECT_EQ(model.entries(), entries);
    model.setEntries({});
    EXPECT_EQ(model.count(), 0);
    EXPECT_EQ(model.toFileBytes(), QByteArray());
}

// Random edits on a library read from a file, against a plain vector; the
// rows are reported inserted and removed where they change.
TEST(LibraryModelTest, RandomEditsMatchAPlainList)
{
    QRandomGenerator random(3);
    QByteArray file;
    std::vector<QByteArray> reference;
    for (int i = 0; i < 100; ++i) {
        const QByteArray entry = QByteArray::number(i);
        reference.push_back(entry);
        file += entry + (i % 3 == 0 ? "\r" : "\r\n");
    }
    libraryeditor::LibraryModel model;
    model.setDeck(core::Deck::fromFileBytes(file));
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

    for (int step = 0; step < 500; ++step) {
        const int count = int(reference.size());
        switch (random.bounded(4)) {
        case 0: {
            const QByteArray typed = "t" + QByteArray::number(step);
            model.append(typed);
            reference.push_back(typed);
            ASSERT_EQ(inserted.takeLast().at(1).toInt(), count);
            break;
        }
        case 1: {
            const int row = int(random.bounded(count + 1));
            const QByteArray typed = "i" + QByteArray::number(step);
            model.insert(row, typed);
            reference.insert(reference.begin() + row, typed);
            ASSERT_EQ(inserted.takeLast().at(1).toInt(), row);
            break;
        }
        default: {
            if (count == 0)
                break;
            // A move is a take and an insert elsewhere.
            const int row = int(random.bounded(count));
            const QByteArray taken = model.take(row);
            ASSERT_EQ(taken, reference[size_t(row)]);
            ASSERT_EQ(removed.takeLast().at(1).toInt(), row);
            reference.erase(reference.begin() + row);
            if (random.bounded(2)) {
                const int to = int(random.bounded(count));
                model.insert(to, taken);
                reference.insert(reference.begin() + to, taken);
            }
        }
        }
        ASSERT_EQ(rowsShown(model), reference) << "after step " << step;
    }
    EXPECT_EQ(model.toFileBytes(), core::Deck::toFileBytes(reference));
    EXPECT_EQ(writtenFile(model), core::Deck::toFileBytes(reference));
}

} // namespace

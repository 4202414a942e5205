#include "core/recorddatabase.h"

#include "core/csv.h"
#include "core/pinyin.h"
#include "core/schedule.h"
#include "platform/textencoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QVariant>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace core {
namespace {

// SQLite's primary result codes that decide what a failure means.
constexpr int sqliteBusy = 5;
constexpr int sqliteLocked = 6;
constexpr int sqliteReadOnly = 8;
constexpr int sqliteIoError = 10;
constexpr int sqliteCorrupt = 11;
constexpr int sqliteFull = 13;
constexpr int sqliteCantOpen = 14;
constexpr int sqliteNotADatabase = 26;

// Less room than this on the record's file system is a full disk: SQLite
// then often fails with an I/O error rather than "full".
constexpr qint64 lowSpaceBytes = 64 * 1024;

// Judgements kept in memory while the record can't take them; the oldest
// go first beyond this.
constexpr std::size_t maximumUnwritten = 10000;

int sqliteCode(const QSqlError& error)
{
    return error.nativeErrorCode().toInt() & 0xff;
}

bool isCorruption(const QSqlError& error)
{
    const int code = sqliteCode(error);
    return code == sqliteCorrupt || code == sqliteNotADatabase;
}

// Failures that pass by themselves: the judgements wait for them.
bool isPassing(RecordFailureKind kind)
{
    return kind == RecordFailureKind::DiskFull || kind == RecordFailureKind::Locked;
}

bool diskIsFull(const QString& path)
{
    const QStorageInfo storage(QFileInfo(path).absolutePath());
    return storage.isValid() && storage.bytesAvailable() < lowSpaceBytes;
}

bool mayWrite(const QString& path)
{
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    return folder.isWritable() && (!file.exists() || file.isWritable());
}

RecordFailureKind kindOf(const QSqlError& error, const QString& path, RecordFailureKind otherwise)
{
    const int code = sqliteCode(error);
    if (code == sqliteFull)
        return RecordFailureKind::DiskFull;
    if (code == sqliteBusy || code == sqliteLocked)
        return RecordFailureKind::Locked;
    if (code == sqliteReadOnly)
        return RecordFailureKind::ReadOnly;
    if (code == sqliteIoError || code == sqliteCantOpen) {
        if (diskIsFull(path))
            return RecordFailureKind::DiskFull;
        if (!mayWrite(path))
            return RecordFailureKind::ReadOnly;
    }
    return otherwise;
}

QString reasonOf(const QSqlError& error, int systemError)
{
    QString reason = QStringLiteral("SQLite %1: %2").arg(error.nativeErrorCode(), error.text());
    const int code = sqliteCode(error);
    if (systemError != 0 && (code == sqliteIoError || code == sqliteCantOpen || code == sqliteFull))
        reason += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(systemError)));
    return reason;
}

bool exec(QSqlQuery& query, const QString& sql)
{
    return query.exec(sql);
}

// Each step brings the schema from version i to i + 1, so a file made by any
// earlier release is brought up to date in order.
using Migration = std::function<bool(QSqlQuery&)>;

bool createFirstSchema(QSqlQuery& q)
{
    // An item is its text as the program holds it (GBK bytes): the same
    // entry in two decks is one item.
    return exec(q, QStringLiteral("CREATE TABLE item ("
                                  " id INTEGER PRIMARY KEY,"
                                  " text BLOB NOT NULL UNIQUE,"
                                  " stability REAL NOT NULL,"
                                  " difficulty REAL NOT NULL,"
                                  " last_review INTEGER NOT NULL," // ms since the epoch
                                  " due_day INTEGER NOT NULL,"     // local Julian day
                                  " right_count INTEGER NOT NULL,"
                                  " wrong_count INTEGER NOT NULL,"
                                  " right_streak INTEGER NOT NULL)"))
           && exec(q, QStringLiteral("CREATE INDEX item_due ON item (due_day, wrong_count)"))
           && exec(q, QStringLiteral("CREATE TABLE judgement ("
                                     " id INTEGER PRIMARY KEY,"
                                     " item_id INTEGER NOT NULL REFERENCES item (id),"
                                     " at INTEGER NOT NULL,"  // ms since the epoch
                                     " day INTEGER NOT NULL," // local Julian day
                                     " right INTEGER NOT NULL)"))
           && exec(q, QStringLiteral("CREATE INDEX judgement_day ON judgement (day, right)"));
}

const std::vector<Migration>& migrations()
{
    static const std::vector<Migration> steps = {createFirstSchema};
    return steps;
}

// An item's schedule as a row: the columns in the order itemValues() gives
// and itemAt() reads them. Every statement on items is built from this list.
constexpr std::array<const char*, 7> itemColumns = {
    "stability", "difficulty", "last_review", "due_day", "right_count", "wrong_count", "right_streak",
};

QList<QVariant> itemValues(const ItemState& item)
{
    return {item.memory.stability,  item.memory.difficulty, item.lastReview.toMSecsSinceEpoch(),
            item.due.toJulianDay(), item.rightCount,        item.wrongCount,
            item.rightStreak};
}

ItemState itemAt(const QSqlQuery& q, int first)
{
    ItemState item;
    item.memory = {q.value(first).toDouble(), q.value(first + 1).toDouble()};
    item.lastReview = QDateTime::fromMSecsSinceEpoch(q.value(first + 2).toLongLong());
    item.due = QDate::fromJulianDay(q.value(first + 3).toLongLong());
    item.rightCount = q.value(first + 4).toInt();
    item.wrongCount = q.value(first + 5).toInt();
    item.rightStreak = q.value(first + 6).toInt();
    return item;
}

// The item columns, each written as `format` gives it (%1: the name).
QString itemColumnList(const QString& format)
{
    QStringList parts;
    for (const char* column : itemColumns)
        parts.append(format.arg(QLatin1String(column)));
    return parts.join(QStringLiteral(", "));
}

const QString& findItemSql()
{
    static const QString sql =
        QStringLiteral("SELECT id, %1 FROM item WHERE text = ?").arg(itemColumnList(QStringLiteral("%1")));
    return sql;
}

const QString& insertItemSql()
{
    const QStringList placeholders(qsizetype(itemColumns.size()), QStringLiteral("?"));
    static const QString sql = QStringLiteral("INSERT INTO item (%1, text) VALUES (%2, ?)")
                                   .arg(itemColumnList(QStringLiteral("%1")),
                                        placeholders.join(QStringLiteral(", ")));
    return sql;
}

const QString& updateItemSql()
{
    static const QString sql =
        QStringLiteral("UPDATE item SET %1 WHERE id = ?").arg(itemColumnList(QStringLiteral("%1 = ?")));
    return sql;
}

QString asideName(const QString& path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = path + QStringLiteral(".corrupt-") + stamp;
    for (int n = 2; QFile::exists(name); ++n)
        name = path + QStringLiteral(".corrupt-") + stamp + u'-' + QString::number(n);
    return name;
}

std::atomic<int> connectionCounter {0};

// True when some process has the record open: SQLite holds a read lock on
// the shared index's "dead man switch" byte while it does.
bool isOpenElsewhere(const QString& sharedIndex)
{
#ifdef Q_OS_UNIX
    constexpr off_t deadManSwitch = 128;
    const int fd = ::open(QFile::encodeName(sharedIndex).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = deadManSwitch;
    probe.l_len = 1;
    const bool held = ::fcntl(fd, F_GETLK, &probe) != 0 || probe.l_type != F_UNLCK;
    ::close(fd);
    return held;
#else
    Q_UNUSED(sharedIndex);
    return true; // can't tell: left alone
#endif
}

bool isReadOnlyFile(const QString& path)
{
    const QFileInfo file(path);
    return file.exists() && !file.isWritable();
}

// A record opened while its file was read-only leaves its write-ahead log
// and shared index read-only beside it; SQLite would then keep opening the
// record read-only after the file itself may be written again. When no one
// has the record open, the log is replaced by a writable copy (it may hold
// judgements not yet in the file) and the index is removed (SQLite builds it
// again from the log).
void replaceReadOnlyLeftovers(const QString& path)
{
    const QString log = path + QStringLiteral("-wal");
    const QString index = path + QStringLiteral("-shm");
    const QFileInfo file(path);
    if (!file.exists() || !file.isWritable() || !QFileInfo(file.absolutePath()).isWritable()
        || !(isReadOnlyFile(log) || isReadOnlyFile(index)) || isOpenElsewhere(index))
        return;
    if (QFile::exists(log)) {
        const QString copy = log + QStringLiteral(".writable");
        QFile::remove(copy);
        if (!QFile::copy(log, copy) || !QFile::setPermissions(copy, file.permissions())
            || std::rename(QFile::encodeName(copy).constData(), QFile::encodeName(log).constData()) != 0) {
            QFile::remove(copy);
            return;
        }
    }
    QFile::remove(index);
}

} // namespace

QString recordFailureMessage(RecordFailureKind kind, const QString& aside)
{
    switch (kind) {
    case RecordFailureKind::CannotOpen:
        return QStringLiteral("学习记录无法打开，这次的判断不会被记住。");
    case RecordFailureKind::CannotRead:
        return QStringLiteral("学习记录无法读取。");
    case RecordFailureKind::ReadOnly:
        return QStringLiteral("学习记录文件或它所在的文件夹不能写入，这次的判断不会被记住。");
    case RecordFailureKind::CannotWrite:
        return QStringLiteral("学习记录无法保存，这次的判断不会被记住。");
    case RecordFailureKind::DiskFull:
        return QStringLiteral("磁盘已满，学习记录暂时无法保存。腾出磁盘空间后，程序会再试着保存。");
    case RecordFailureKind::Locked:
        return QStringLiteral("学习记录正被另一个程序使用，暂时无法保存。程序过一会儿会再试着保存。");
    case RecordFailureKind::Damaged:
        return QStringLiteral("学习记录文件已损坏，已改名保存为 %1，从现在起重新记录。").arg(aside);
    case RecordFailureKind::NewerRelease:
        return QStringLiteral("学习记录是较新版本的程序写的，这个版本不能使用它，这次的判断不会被记住。");
    }
    return {};
}

RecordDatabase::RecordDatabase(QString path)
    : m_path(std::move(path))
    , m_connection(QStringLiteral("quenlo-record-%1").arg(connectionCounter.fetch_add(1)))
{
}

RecordDatabase::~RecordDatabase()
{
    closeConnection();
}

int RecordDatabase::schemaVersion()
{
    return static_cast<int>(migrations().size());
}

bool RecordDatabase::open()
{
    return openConnection();
}

bool RecordDatabase::ensureOpen()
{
    // A record left by a newer release stays closed; anything else may have
    // passed (space freed, the folder made writable) and is tried again.
    return m_open || (!m_newerRelease && openConnection());
}

bool RecordDatabase::openConnection()
{
    replaceReadOnlyLeftovers(m_path);
    QSqlError error;
    switch (prepareConnection(error)) {
    case Opening::Opened:
        m_open = true;
        return true;
    case Opening::NewerRelease:
        closeConnection();
        m_newerRelease = true;
        fail(RecordFailureKind::NewerRelease,
             QStringLiteral("the file's schema is newer than %1").arg(schemaVersion()));
        return false;
    case Opening::Failed:
        break;
    }
    return recover(error, RecordFailureKind::CannotOpen);
}

RecordDatabase::Opening RecordDatabase::prepareConnection(QSqlError& error)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    // Waits on the worker thread only, never on the screen's.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    QSqlQuery q(db);
    if (!db.open() || !exec(q, QStringLiteral("PRAGMA user_version")) || !q.next()) {
        error = q.lastError().isValid() ? q.lastError() : db.lastError();
        return Opening::Failed;
    }
    const int version = q.value(0).toInt();
    q.finish();
    // A file written by a newer release is left exactly as it is.
    if (version > schemaVersion())
        return Opening::NewerRelease;
    // Write-ahead logging: a process killed mid-write leaves the file whole.
    // NORMAL sync keeps every committed judgement across a killed process.
    if (!exec(q, QStringLiteral("PRAGMA journal_mode = WAL"))
        || !exec(q, QStringLiteral("PRAGMA synchronous = NORMAL"))) {
        error = q.lastError();
        return Opening::Failed;
    }
    for (int step = version; step < schemaVersion(); ++step) {
        QSqlQuery m(db);
        const bool migrated = exec(m, QStringLiteral("BEGIN IMMEDIATE")) && migrations()[step](m)
                              && exec(m, QStringLiteral("PRAGMA user_version = %1").arg(step + 1))
                              && exec(m, QStringLiteral("COMMIT"));
        if (!migrated) {
            error = m.lastError();
            exec(m, QStringLiteral("ROLLBACK"));
            return Opening::Failed;
        }
    }
    return Opening::Opened;
}

void RecordDatabase::closeConnection()
{
    m_open = false;
    if (!QSqlDatabase::contains(m_connection))
        return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

// A corrupt file is kept aside with its log, and a new record begins; any
// other failure leaves the record closed until it is tried again.
bool RecordDatabase::recover(const QSqlError& error, RecordFailureKind otherwise)
{
    closeConnection();
    if (!isCorruption(error))
        return fail(error, otherwise);
    const QString aside = asideName(m_path);
    // What could be taken back lived in the damaged file.
    m_undo.clear();
    if (!QFile::rename(m_path, aside)) {
        fail(
            RecordFailureKind::CannotWrite,
            QStringLiteral("%1; the damaged file could not be renamed to %2").arg(reasonOf(error, 0), aside));
        return false;
    }
    QFile::rename(m_path + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    QFile::remove(m_path + QStringLiteral("-shm"));
    if (!openConnection())
        return false;
    fail(RecordFailureKind::Damaged, reasonOf(error, 0));
    m_failure->message = recordFailureMessage(RecordFailureKind::Damaged, QFileInfo(aside).fileName());
    return true;
}

bool RecordDatabase::fail(const QSqlError& error, RecordFailureKind otherwise)
{
    const int systemError = errno;
    fail(kindOf(error, m_path, otherwise), reasonOf(error, systemError));
    return false;
}

void RecordDatabase::fail(RecordFailureKind kind, const QString& reason)
{
    m_failure = RecordFailure {kind, recordFailureMessage(kind), m_path + QStringLiteral(": ") + reason};
}

std::optional<RecordFailure> RecordDatabase::takeFailure()
{
    return std::exchange(m_failure, std::nullopt);
}

bool RecordDatabase::recordJudgement(const QByteArray& entry, bool right, const QDateTime& when)
{
    if (m_newerRelease)
        return false;
    m_unwritten.push_back({entry, right, when});
    if (m_unwritten.size() > maximumUnwritten)
        m_unwritten.pop_front();
    return writeWaiting();
}

bool RecordDatabase::retryUnwritten()
{
    return m_unwritten.empty() || writeWaiting();
}

// Writes the waiting judgements oldest first. One that fails for a passing
// reason stops the rest, which wait with it; one that fails for good is
// dropped (the failure says so) and the rest go on.
bool RecordDatabase::writeWaiting()
{
    bool allWritten = true;
    bool recovered = false;
    while (!m_unwritten.empty()) {
        if (!ensureOpen()) {
            if (!m_failure || !isPassing(m_failure->kind))
                m_unwritten.clear();
            return false;
        }
        const QSqlError error = writeInTransaction(m_unwritten.front());
        if (!error.isValid()) {
            m_unwritten.pop_front();
            continue;
        }
        // The new record starts with this judgement; once only, so that a
        // file damaged again at once can't keep the loop going.
        if (isCorruption(error) && !recovered) {
            recovered = true;
            if (recover(error, RecordFailureKind::CannotWrite))
                continue;
        } else {
            fail(error, RecordFailureKind::CannotWrite);
        }
        if (m_failure && isPassing(m_failure->kind))
            return false;
        m_unwritten.pop_front();
        allWritten = false;
    }
    return allWritten;
}

QSqlError RecordDatabase::writeInTransaction(const Judgement& judgement)
{
    // BEGIN and COMMIT as statements, not QSqlDatabase::commit(): only a
    // statement's error carries SQLite's code, which tells a full disk.
    QSqlQuery transaction(QSqlDatabase::database(m_connection, false));
    if (!exec(transaction, QStringLiteral("BEGIN IMMEDIATE")))
        return transaction.lastError();
    QSqlError error;
    m_written.reset();
    if (writeJudgement(judgement, error) && exec(transaction, QStringLiteral("COMMIT"))) {
        rememberForUndo();
        return {};
    }
    if (!error.isValid())
        error = transaction.lastError();
    exec(transaction, QStringLiteral("ROLLBACK"));
    return error;
}

bool RecordDatabase::writeJudgement(const Judgement& judgement, QSqlError& error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery find(db);
    find.prepare(findItemSql());
    find.addBindValue(judgement.entry);
    if (!find.exec()) {
        error = find.lastError();
        return false;
    }
    ItemState state;
    qint64 itemId = -1;
    if (find.next()) {
        itemId = find.value(0).toLongLong();
        state = itemAt(find, 1);
    } else if (find.lastError().isValid()) {
        error = find.lastError();
        return false;
    }
    find.finish();
    const ItemState after = judged(state, judgement.right, judgement.when, judgement.entry);

    QSqlQuery store(db);
    store.prepare(itemId < 0 ? insertItemSql() : updateItemSql());
    for (const QVariant& value : itemValues(after))
        store.addBindValue(value);
    store.addBindValue(itemId < 0 ? QVariant(judgement.entry) : QVariant(itemId));
    if (!store.exec()) {
        error = store.lastError();
        return false;
    }
    if (itemId < 0)
        itemId = store.lastInsertId().toLongLong();

    QSqlQuery add(db);
    add.prepare(QStringLiteral("INSERT INTO judgement (item_id, at, day, right) VALUES (?, ?, ?, ?)"));
    add.addBindValue(itemId);
    add.addBindValue(judgement.when.toMSecsSinceEpoch());
    add.addBindValue(judgement.when.date().toJulianDay());
    add.addBindValue(judgement.right ? 1 : 0);
    if (!add.exec()) {
        error = add.lastError();
        return false;
    }
    m_written = Undo {judgement.entry, itemId, add.lastInsertId().toLongLong(),
                      state.isNew() ? std::nullopt : std::optional<ItemState>(state)};
    return true;
}

void RecordDatabase::rememberForUndo()
{
    // Only the adult's last few slips are ever taken back.
    constexpr size_t kept = 1000;
    if (m_undo.size() == kept)
        m_undo.erase(m_undo.begin());
    m_undo.push_back(*m_written);
}

bool RecordDatabase::undoLastJudgement(const QByteArray& entry)
{
    // A judgement still waiting for a full disk or a lock is the latest one
    // of its entry: it is simply never written.
    const auto waiting = std::find_if(
        m_unwritten.rbegin(), m_unwritten.rend(),
        [&entry](const Judgement& judgement) { return judgement.entry == entry; });
    if (waiting != m_unwritten.rend()) {
        m_unwritten.erase(std::next(waiting).base());
        return true;
    }
    const auto last = std::find_if(m_undo.rbegin(), m_undo.rend(),
                                   [&entry](const Undo& undo) { return undo.entry == entry; });
    if (last == m_undo.rend())
        return false;
    const Undo taken = *last;
    const Read<bool> takeBack = [this, &taken](QSqlError& error) { return undo(taken, error); };
    const std::optional<bool> undone = readChecked(takeBack, RecordFailureKind::CannotWrite, false);
    // Kept to be tried again only when a full disk or a lock stopped it; a
    // damaged record set aside holds none of these judgements any more.
    if (undone || !m_failure || !isPassing(m_failure->kind)) {
        const auto again = std::find_if(m_undo.rbegin(), m_undo.rend(), [&taken](const Undo& undo) {
            return undo.judgementId == taken.judgementId;
        });
        if (again != m_undo.rend())
            m_undo.erase(std::next(again).base());
    }
    return undone.value_or(false);
}

// Deletes the judgement and puts its item back as it was, in one
// transaction: true when it was taken back, false when another program has
// judged the item since, nothing with `error` on a failure.
std::optional<bool> RecordDatabase::undo(const Undo& undo, QSqlError& error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery transaction(db);
    if (!exec(transaction, QStringLiteral("BEGIN IMMEDIATE"))) {
        error = transaction.lastError();
        return std::nullopt;
    }
    QSqlQuery remove(db);
    remove.prepare(QStringLiteral("DELETE FROM judgement WHERE id = ? AND NOT EXISTS"
                                  " (SELECT 1 FROM judgement WHERE item_id = ? AND id > ?)"));
    remove.addBindValue(undo.judgementId);
    remove.addBindValue(undo.itemId);
    remove.addBindValue(undo.judgementId);
    bool done = remove.exec();
    const bool removed = done && remove.numRowsAffected() == 1;
    QSqlQuery restore(db);
    if (done && removed && !undo.before) {
        restore.prepare(QStringLiteral("DELETE FROM item WHERE id = ?"));
        restore.addBindValue(undo.itemId);
        done = restore.exec();
    } else if (done && removed) {
        restore.prepare(updateItemSql());
        for (const QVariant& value : itemValues(*undo.before))
            restore.addBindValue(value);
        restore.addBindValue(undo.itemId);
        done = restore.exec();
    }
    if (done && exec(transaction, QStringLiteral("COMMIT")))
        return removed;
    error = restore.lastError().isValid()  ? restore.lastError()
            : remove.lastError().isValid() ? remove.lastError()
                                           : transaction.lastError();
    exec(transaction, QStringLiteral("ROLLBACK"));
    return std::nullopt;
}

template <typename Result>
std::optional<Result> RecordDatabase::readChecked(const Read<Result>& read, RecordFailureKind otherwise,
                                                  bool againOnNewRecord)
{
    if (!ensureOpen())
        return std::nullopt;
    QSqlError error;
    if (std::optional<Result> result = read(error))
        return result;
    if (!isCorruption(error)) {
        fail(error, otherwise);
        return std::nullopt;
    }
    // A damaged file is set aside as at opening; the new record is empty.
    if (!recover(error, otherwise) || !againOnNewRecord)
        return std::nullopt;
    QSqlError again;
    return read(again);
}

namespace {

// Runs a prepared query; its error, also one met while stepping through the
// rows, goes to `error`. `row` takes each row.
bool readRows(QSqlQuery& q, QSqlError& error, const std::function<void(const QSqlQuery&)>& row)
{
    if (!q.exec()) {
        error = q.lastError();
        return false;
    }
    while (q.next())
        row(q);
    error = q.lastError();
    return !error.isValid();
}

} // namespace

std::optional<QList<QByteArray>> RecordDatabase::reviewDeck(QDate today)
{
    const Read<QList<QByteArray>> read = [this, today](QSqlError& error) -> std::optional<QList<QByteArray>> {
        QSqlQuery q(QSqlDatabase::database(m_connection, false));
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT text FROM item WHERE due_day <= ?"
                                 " ORDER BY due_day, wrong_count DESC, text"));
        q.addBindValue(today.toJulianDay());
        QList<QByteArray> entries;
        if (!readRows(q, error,
                      [&entries](const QSqlQuery& row) { entries.append(row.value(0).toByteArray()); }))
            return std::nullopt;
        return entries;
    };
    return readChecked(read, RecordFailureKind::CannotRead, true);
}

std::optional<Statistics> RecordDatabase::statistics(QDate today)
{
    const Read<Statistics> read = [this, today](QSqlError& error) -> std::optional<Statistics> {
        Statistics stats;
        const QDate first = today.addDays(1 - statisticsDays);
        for (QDate d = first; d <= today; d = d.addDays(1))
            stats.lastDays.append({d, 0, 0});
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);

        QSqlQuery counts(db);
        counts.prepare(QStringLiteral("SELECT COALESCE(SUM(right_streak >= 2), 0),"
                                      " COALESCE(SUM(right_streak < 2), 0),"
                                      " COALESCE(SUM(due_day <= ?), 0) FROM item"));
        counts.addBindValue(today.toJulianDay());
        const bool counted = readRows(counts, error, [&stats](const QSqlQuery& row) {
            stats.known = row.value(0).toInt();
            stats.learning = row.value(1).toInt();
            stats.dueToday = row.value(2).toInt();
        });

        QSqlQuery days(db);
        days.setForwardOnly(true);
        days.prepare(QStringLiteral("SELECT day, SUM(right), COUNT(*) - SUM(right) FROM judgement"
                                    " WHERE day BETWEEN ? AND ? GROUP BY day"));
        days.addBindValue(first.toJulianDay());
        days.addBindValue(today.toJulianDay());
        const auto dayRow = [&stats, first](const QSqlQuery& row) {
            const auto index = first.daysTo(QDate::fromJulianDay(row.value(0).toLongLong()));
            stats.lastDays[index].right = row.value(1).toInt();
            stats.lastDays[index].wrong = row.value(2).toInt();
        };

        QSqlQuery wrong(db);
        wrong.setForwardOnly(true);
        wrong.prepare(QStringLiteral("SELECT text, wrong_count FROM item WHERE wrong_count > 0"
                                     " ORDER BY wrong_count DESC, text LIMIT ?"));
        wrong.addBindValue(mostWrongEntries);
        const auto wrongRow = [&stats](const QSqlQuery& row) {
            stats.mostWrong.append({row.value(0).toByteArray(), row.value(1).toInt()});
        };
        if (counted && readRows(days, error, dayRow) && readRows(wrong, error, wrongRow))
            return stats;
        return std::nullopt;
    };
    return readChecked(read, RecordFailureKind::CannotRead, true);
}

bool RecordDatabase::exportCsv(const QString& path)
{
    const Read<bool> write = [this, &path](QSqlError& error) -> std::optional<bool> {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        // UTF-8 with a byte-order mark: spreadsheet programs take a file
        // without one for the system's own code page.
        file.write(QByteArrayLiteral("\xEF\xBB\xBF"));
        file.write(csv::row({QStringLiteral("时间"), QStringLiteral("条目"), QStringLiteral("拼音"),
                             QStringLiteral("判断")})
                       .toUtf8());
        QSqlQuery q(QSqlDatabase::database(m_connection, false));
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT judgement.at, item.text, judgement.right FROM judgement"
                                 " JOIN item ON item.id = judgement.item_id ORDER BY judgement.id"));
        const bool read = readRows(q, error, [&file](const QSqlQuery& row) {
            const QString time = QDateTime::fromMSecsSinceEpoch(row.value(0).toLongLong())
                                     .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            const QString entry = platform::textencoding::displayText(row.value(1).toByteArray());
            const QString verdict = row.value(2).toInt() ? QStringLiteral("对") : QStringLiteral("错");
            file.write(csv::row({time, entry, pinyinLine(entry), verdict}).toUtf8());
        });
        // A read that stopped part way must not leave a short file behind.
        if (!read) {
            file.cancelWriting();
            return std::nullopt;
        }
        return file.commit();
    };
    // A damaged record exports nothing, not the new empty one.
    return readChecked(write, RecordFailureKind::CannotRead, false).value_or(false);
}

bool RecordDatabase::clear()
{
    const Read<bool> clearAll = [this](QSqlError& error) -> std::optional<bool> {
        QSqlQuery q(QSqlDatabase::database(m_connection, false));
        if (exec(q, QStringLiteral("BEGIN IMMEDIATE")) && exec(q, QStringLiteral("DELETE FROM judgement"))
            && exec(q, QStringLiteral("DELETE FROM item")) && exec(q, QStringLiteral("COMMIT")))
            return true;
        error = q.lastError();
        exec(q, QStringLiteral("ROLLBACK"));
        return std::nullopt;
    };
    m_undo.clear();
    return readChecked(clearAll, RecordFailureKind::CannotWrite, true).value_or(false);
}

} // namespace core

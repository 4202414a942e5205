#include "core/recorddatabase.h"

#include "core/csv.h"
#include "core/schedule.h"
#include "platform/gbk.h"

#include <QFile>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>
#include <functional>
#include <vector>

namespace core {
namespace {

// SQLite's primary result codes that decide what a failure means.
constexpr int sqliteCorrupt = 11;
constexpr int sqliteFull = 13;
constexpr int sqliteNotADatabase = 26;

int sqliteCode(const QSqlError& error)
{
    return error.nativeErrorCode().toInt() & 0xff;
}

bool isCorruption(const QSqlError& error)
{
    const int code = sqliteCode(error);
    return code == sqliteCorrupt || code == sqliteNotADatabase;
}

QString cannotSaveMessage()
{
    return QStringLiteral("学习记录无法保存，这次的判断不会被记住。");
}
QString diskFullMessage()
{
    return QStringLiteral("磁盘已满，学习记录无法保存，这次的判断不会被记住。");
}
QString newerVersionMessage()
{
    return QStringLiteral("学习记录是较新版本的程序写的，这个版本不能使用它，这次的判断不会被记住。");
}
QString corruptMessage(const QString& asideName)
{
    return QStringLiteral("学习记录文件已损坏，已改名保存为 %1，从现在起重新记录。").arg(asideName);
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

QString asideName(const QString& path)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = path + QStringLiteral(".corrupt-") + stamp;
    for (int n = 2; QFile::exists(name); ++n)
        name = path + QStringLiteral(".corrupt-") + stamp + u'-' + QString::number(n);
    return name;
}

std::atomic<int> connectionCounter {0};

} // namespace

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

bool RecordDatabase::openConnection()
{
    QSqlError error;
    switch (prepareConnection(error)) {
    case Opening::Opened:
        m_open = true;
        return true;
    case Opening::NewerRelease:
        closeConnection();
        m_failure = newerVersionMessage();
        return false;
    case Opening::Failed:
        break;
    }
    return recover(error);
}

RecordDatabase::Opening RecordDatabase::prepareConnection(QSqlError& error)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
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
        const bool migrated = db.transaction() && migrations()[step](m)
                              && exec(m, QStringLiteral("PRAGMA user_version = %1").arg(step + 1))
                              && db.commit();
        if (!migrated) {
            error = m.lastError().isValid() ? m.lastError() : db.lastError();
            db.rollback();
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
// other failure leaves the record closed for this run.
bool RecordDatabase::recover(const QSqlError& error)
{
    closeConnection();
    if (!isCorruption(error))
        return fail(error);
    const QString aside = asideName(m_path);
    if (!QFile::rename(m_path, aside)) {
        m_failure = cannotSaveMessage();
        return false;
    }
    QFile::rename(m_path + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
    QFile::remove(m_path + QStringLiteral("-shm"));
    const bool reopened = openConnection();
    if (reopened)
        m_failure = corruptMessage(aside.mid(aside.lastIndexOf(u'/') + 1));
    return reopened;
}

bool RecordDatabase::fail(const QSqlError& error)
{
    m_failure = sqliteCode(error) == sqliteFull ? diskFullMessage() : cannotSaveMessage();
    return false;
}

QString RecordDatabase::takeFailure()
{
    return std::exchange(m_failure, QString());
}

bool RecordDatabase::recordJudgement(const QByteArray& entry, bool right, const QDateTime& when)
{
    if (!m_open)
        return false;
    const QSqlError error = writeInTransaction(entry, right, when);
    if (!error.isValid())
        return true;
    if (isCorruption(error) && recover(error)) {
        // The new record starts with this judgement; the corruption stays
        // the failure to report.
        const QString message = m_failure;
        const bool written = writeInTransaction(entry, right, when).isValid() ? fail(error) : true;
        m_failure = message;
        return written;
    }
    return fail(error);
}

QSqlError RecordDatabase::writeInTransaction(const QByteArray& entry, bool right, const QDateTime& when)
{
    // BEGIN and COMMIT as statements, not QSqlDatabase::commit(): only a
    // statement's error carries SQLite's code, which tells a full disk.
    QSqlQuery transaction(QSqlDatabase::database(m_connection, false));
    if (!exec(transaction, QStringLiteral("BEGIN IMMEDIATE")))
        return transaction.lastError();
    QSqlError error;
    if (writeJudgement(entry, right, when, error) && exec(transaction, QStringLiteral("COMMIT")))
        return {};
    if (!error.isValid())
        error = transaction.lastError();
    exec(transaction, QStringLiteral("ROLLBACK"));
    return error;
}

bool RecordDatabase::writeJudgement(const QByteArray& entry, bool right, const QDateTime& when,
                                    QSqlError& error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery find(db);
    find.prepare(QStringLiteral("SELECT id, stability, difficulty, last_review, due_day, right_count,"
                                " wrong_count, right_streak FROM item WHERE text = ?"));
    find.addBindValue(entry);
    if (!find.exec()) {
        error = find.lastError();
        return false;
    }
    ItemState state;
    qint64 itemId = -1;
    if (find.next()) {
        itemId = find.value(0).toLongLong();
        state.memory = {find.value(1).toDouble(), find.value(2).toDouble()};
        state.lastReview = QDateTime::fromMSecsSinceEpoch(find.value(3).toLongLong());
        state.due = QDate::fromJulianDay(find.value(4).toLongLong());
        state.rightCount = find.value(5).toInt();
        state.wrongCount = find.value(6).toInt();
        state.rightStreak = find.value(7).toInt();
    }
    find.finish();
    const ItemState after = judged(state, right, when);

    QSqlQuery store(db);
    if (itemId < 0) {
        store.prepare(QStringLiteral("INSERT INTO item (stability, difficulty, last_review, due_day,"
                                     " right_count, wrong_count, right_streak, text)"
                                     " VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    } else {
        store.prepare(QStringLiteral("UPDATE item SET stability = ?, difficulty = ?, last_review = ?,"
                                     " due_day = ?, right_count = ?, wrong_count = ?,"
                                     " right_streak = ? WHERE id = ?"));
    }
    store.addBindValue(after.memory.stability);
    store.addBindValue(after.memory.difficulty);
    store.addBindValue(after.lastReview.toMSecsSinceEpoch());
    store.addBindValue(after.due.toJulianDay());
    store.addBindValue(after.rightCount);
    store.addBindValue(after.wrongCount);
    store.addBindValue(after.rightStreak);
    store.addBindValue(itemId < 0 ? QVariant(entry) : QVariant(itemId));
    if (!store.exec()) {
        error = store.lastError();
        return false;
    }
    if (itemId < 0)
        itemId = store.lastInsertId().toLongLong();

    QSqlQuery add(db);
    add.prepare(QStringLiteral("INSERT INTO judgement (item_id, at, day, right) VALUES (?, ?, ?, ?)"));
    add.addBindValue(itemId);
    add.addBindValue(when.toMSecsSinceEpoch());
    add.addBindValue(when.date().toJulianDay());
    add.addBindValue(right ? 1 : 0);
    if (!add.exec()) {
        error = add.lastError();
        return false;
    }
    return true;
}

QList<QByteArray> RecordDatabase::reviewDeck(QDate today)
{
    QList<QByteArray> entries;
    if (!m_open)
        return entries;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT text FROM item WHERE due_day <= ?"
                             " ORDER BY due_day, wrong_count DESC, text"));
    q.addBindValue(today.toJulianDay());
    if (!q.exec()) {
        fail(q.lastError());
        return entries;
    }
    while (q.next())
        entries.append(q.value(0).toByteArray());
    return entries;
}

Statistics RecordDatabase::statistics(QDate today)
{
    Statistics stats;
    const QDate first = today.addDays(1 - statisticsDays);
    for (QDate d = first; d <= today; d = d.addDays(1))
        stats.lastDays.append({d, 0, 0});
    if (!m_open)
        return stats;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);

    QSqlQuery counts(db);
    counts.prepare(QStringLiteral("SELECT COALESCE(SUM(right_streak >= 2), 0),"
                                  " COALESCE(SUM(right_streak < 2), 0),"
                                  " COALESCE(SUM(due_day <= ?), 0) FROM item"));
    counts.addBindValue(today.toJulianDay());
    if (counts.exec() && counts.next()) {
        stats.known = counts.value(0).toInt();
        stats.learning = counts.value(1).toInt();
        stats.dueToday = counts.value(2).toInt();
    }

    QSqlQuery days(db);
    days.setForwardOnly(true);
    days.prepare(QStringLiteral("SELECT day, SUM(right), COUNT(*) - SUM(right) FROM judgement"
                                " WHERE day BETWEEN ? AND ? GROUP BY day"));
    days.addBindValue(first.toJulianDay());
    days.addBindValue(today.toJulianDay());
    if (days.exec()) {
        while (days.next()) {
            const auto index = first.daysTo(QDate::fromJulianDay(days.value(0).toLongLong()));
            stats.lastDays[index].right = days.value(1).toInt();
            stats.lastDays[index].wrong = days.value(2).toInt();
        }
    }

    QSqlQuery wrong(db);
    wrong.setForwardOnly(true);
    wrong.prepare(QStringLiteral("SELECT text, wrong_count FROM item WHERE wrong_count > 0"
                                 " ORDER BY wrong_count DESC, text LIMIT ?"));
    wrong.addBindValue(mostWrongEntries);
    if (wrong.exec()) {
        while (wrong.next())
            stats.mostWrong.append({wrong.value(0).toByteArray(), wrong.value(1).toInt()});
    }
    return stats;
}

bool RecordDatabase::exportCsv(const QString& path)
{
    if (!m_open)
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(csv::row({QStringLiteral("时间"), QStringLiteral("条目"), QStringLiteral("判断")}).toUtf8());
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT judgement.at, item.text, judgement.right FROM judgement"
                               " JOIN item ON item.id = judgement.item_id ORDER BY judgement.id"))) {
        file.cancelWriting();
        return false;
    }
    while (q.next()) {
        const QString time = QDateTime::fromMSecsSinceEpoch(q.value(0).toLongLong())
                                 .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const QString entry = platform::gbk::decode(q.value(1).toByteArray());
        const QString verdict = q.value(2).toInt() ? QStringLiteral("对") : QStringLiteral("错");
        file.write(csv::row({time, entry, verdict}).toUtf8());
    }
    // A read that stopped part way must not leave a short file behind.
    if (q.lastError().isValid()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool RecordDatabase::clear()
{
    if (!m_open)
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (exec(q, QStringLiteral("BEGIN IMMEDIATE")) && exec(q, QStringLiteral("DELETE FROM judgement"))
        && exec(q, QStringLiteral("DELETE FROM item")) && exec(q, QStringLiteral("COMMIT")))
        return true;
    const QSqlError error = q.lastError();
    exec(q, QStringLiteral("ROLLBACK"));
    return fail(error);
}

} // namespace core

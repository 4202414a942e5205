#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QSqlError>
#include <QString>

namespace core {

struct DayCounts {
    QDate day;
    int right = 0;
    int wrong = 0;
};

struct WrongCount {
    QByteArray entry; // GBK bytes
    int wrong = 0;
};

// What the progress window shows.
struct Statistics {
    int known = 0;    // recalled right at the last two judgements
    int learning = 0; // met, not known
    int dueToday = 0;
    QList<DayCounts> lastDays;   // the last 30 days, oldest first, every day present
    QList<WrongCount> mostWrong; // at most 20, most often wrong first
};

inline constexpr int statisticsDays = 30;
inline constexpr int mostWrongEntries = 20;

// The learning record in one SQLite file: every judgement, and each item's
// schedule. Used from one thread only (Qt SQL connections belong to the
// thread that made them); Record runs it on a worker thread.
//
// Failures never throw: the operation returns false or nothing, and a plain
// message for the adult waits in takeFailure().
class RecordDatabase {
public:
    explicit RecordDatabase(QString path);
    ~RecordDatabase();
    RecordDatabase(const RecordDatabase&) = delete;
    RecordDatabase& operator=(const RecordDatabase&) = delete;

    // Opens the file, creating it or bringing its schema up to date. A
    // corrupt file is renamed aside, never overwritten, and a new record
    // begins in its place.
    bool open();
    bool isOpen() const { return m_open; }

    // The judgement and the item's new schedule, in one transaction.
    bool recordJudgement(const QByteArray& entry, bool right, const QDateTime& when);

    // Every item due on `today` or before: the most overdue first, then the
    // most often wrong.
    QList<QByteArray> reviewDeck(QDate today);
    Statistics statistics(QDate today);
    // One row per judgement, UTF-8 with a header row; the file is replaced
    // atomically.
    bool exportCsv(const QString& path);
    // Deletes every judgement and item.
    bool clear();

    // The message of the latest failure, once; empty when there was none.
    QString takeFailure();

    // The version a new file gets; stored as PRAGMA user_version.
    static int schemaVersion();

private:
    enum class Opening { Opened, NewerRelease, Failed };

    bool openConnection();
    Opening prepareConnection(QSqlError& error);
    void closeConnection();
    bool recover(const QSqlError& error);
    // The error of a failed write; an invalid error when it was written.
    QSqlError writeInTransaction(const QByteArray& entry, bool right, const QDateTime& when);
    bool writeJudgement(const QByteArray& entry, bool right, const QDateTime& when, QSqlError& error);
    bool fail(const QSqlError& error);

    QString m_path;
    QString m_connection;
    bool m_open = false;
    QString m_failure;
};

} // namespace core

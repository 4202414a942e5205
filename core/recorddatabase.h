#pragma once

#include "core/schedule.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QSqlError>
#include <QString>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

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

// What went wrong with the record, as the parent is told it: each kind has
// its own message, and is told once per run.
enum class RecordFailureKind {
    CannotOpen,   // the file can't be made or opened
    CannotRead,   // a query failed
    ReadOnly,     // the file or its folder may not be written
    CannotWrite,  // any other failed write
    DiskFull,     // judgements wait in memory until there is room
    Locked,       // another program holds the file; judgements wait
    Damaged,      // the file was kept aside and a new record begun
    NewerRelease, // left untouched for the release that wrote it
};

struct RecordFailure {
    RecordFailureKind kind;
    QString message; // plain Chinese, for the parent
    QString reason;  // technical: SQLite's error, the system's error text
};

// One judgement as it is written.
struct Judgement {
    QByteArray entry; // GBK bytes, foreign runs kept
    bool right = false;
    QDateTime when;
};

// The learning record in one SQLite file: every judgement, and each item's
// schedule. Used from one thread only (Qt SQL connections belong to the
// thread that made them); Record runs it on a worker thread.
//
// Failures never throw: the operation returns false or nothing, and the
// failure waits in takeFailure(). A record that could not be opened is tried
// again at the next operation. A judgement that could not be written for a
// passing reason (a full disk, another program's lock) is kept and written
// before the next one, or at retryUnwritten().
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

    // The judgement and the item's new schedule, in one transaction, after
    // every judgement still waiting. False when it was not written (it may
    // still wait: see hasUnwritten()).
    bool recordJudgement(const QByteArray& entry, bool right, const QDateTime& when);
    // Writes the judgements that wait; true when none is left.
    bool retryUnwritten();
    bool hasUnwritten() const { return !m_unwritten.empty(); }

    // Takes back the latest judgement of `entry` written by this object:
    // deletes it and puts the item's schedule back as it was before it. False
    // when there is none to take back.
    bool undoLastJudgement(const QByteArray& entry);

    // Every item due on `today` or before: the most overdue first, then the
    // most often wrong. Nothing when the record can't be read.
    std::optional<QList<QByteArray>> reviewDeck(QDate today);
    std::optional<Statistics> statistics(QDate today);
    // One row per judgement, UTF-8 with a byte-order mark and a header row;
    // the file is replaced atomically.
    bool exportCsv(const QString& path);
    // Deletes every judgement and item.
    bool clear();

    // The latest failure, once.
    std::optional<RecordFailure> takeFailure();

    // The version a new file gets; stored as PRAGMA user_version.
    static int schemaVersion();

private:
    enum class Opening { Opened, NewerRelease, Failed };

    bool ensureOpen();
    bool openConnection();
    Opening prepareConnection(QSqlError& error);
    void closeConnection();
    bool recover(const QSqlError& error, RecordFailureKind otherwise);
    bool writeWaiting();
    // The error of a failed write; an invalid error when it was written.
    QSqlError writeInTransaction(const Judgement& judgement);
    bool writeJudgement(const Judgement& judgement, QSqlError& error);
    // A query: its result, or nothing with the error.
    template <typename Result> using Read = std::function<std::optional<Result>(QSqlError&)>;
    // Runs `read` on the open record. Damage found on the way sets the file
    // aside; with `againOnNewRecord` the read is then done on the new, empty
    // record. Any other error is a failure of kind `otherwise` or of what
    // the error tells.
    template <typename Result>
    std::optional<Result> readChecked(const Read<Result>& read, RecordFailureKind otherwise,
                                      bool againOnNewRecord);
    bool fail(const QSqlError& error, RecordFailureKind otherwise);
    void fail(RecordFailureKind kind, const QString& reason);

    // What each judgement written by this object replaced, latest last.
    struct Undo {
        QByteArray entry;
        qint64 itemId = -1;
        qint64 judgementId = -1;
        std::optional<ItemState> before; // none: the judgement made the item
    };
    std::optional<bool> undo(const Undo& undo, QSqlError& error);
    void rememberForUndo();

    std::vector<Undo> m_undo;
    std::optional<Undo> m_written; // of the transaction under way
    QString m_path;
    QString m_connection;
    bool m_open = false;
    bool m_newerRelease = false;
    std::deque<Judgement> m_unwritten;
    std::optional<RecordFailure> m_failure;
};

// The plain message for a failure of `kind`; `aside` names the kept file of
// a damaged record.
QString recordFailureMessage(RecordFailureKind kind, const QString& aside = {});

} // namespace core

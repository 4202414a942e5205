#pragma once

#include "core/recorddatabase.h"

#include <QObject>
#include <QPointer>

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace core {

// The learning record as the program uses it. Every call only queues work;
// a worker thread with its own connection does it, so the screen never waits
// for the disk or for another program's lock. Queries see the judgements
// queued before them, and answer on the thread that made the Record.
//
// Nothing here throws into the caller. Each kind of failure is told once per
// run (failed()), with its technical reason in the "quenlo.record" log; the
// program goes on without the record, and judgements that a full disk or a
// lock held back are written once that has passed (at the next judgement, or
// within a minute).
//
// The record's file is whatever `path` the owner gives: one record per file.
class Record : public QObject {
    Q_OBJECT

public:
    // Opens `path` (made if missing) on the worker thread.
    explicit Record(const QString& path, QObject* parent = nullptr);
    // Writes every judgement still queued before returning.
    ~Record() override;

    // Records one judgement of `entry` (GBK bytes) at `when`.
    void judge(const QByteArray& entry, bool right, const QDateTime& when);
    void judge(const QByteArray& entry, bool right) { judge(entry, right, QDateTime::currentDateTime()); }

    // Takes back the latest judgement of `entry` made through this record
    // (queued after the judgements before it).
    void undoLastJudgement(const QByteArray& entry);

    // The answers come later on this object's thread, unless `receiver` is
    // gone by then. Nothing means the record can't be read.
    using DueEntries = std::optional<QList<QByteArray>>;
    void reviewDeck(QDate today, QObject* receiver, std::function<void(DueEntries)> done);
    void statistics(QDate today, QObject* receiver, std::function<void(std::optional<Statistics>)> done);
    void exportCsv(const QString& path, QObject* receiver, std::function<void(bool)> done);
    void clear(QObject* receiver, std::function<void(bool)> done);

    // The same, waiting for the answer: for tools and tests, never for a
    // window.
    DueEntries reviewDeck(QDate today);
    std::optional<Statistics> statistics(QDate today);
    bool exportCsv(const QString& path);
    bool clear();

    // Waits until every judgement queued so far is written (or has failed).
    void flush();

    // The messages told so far, in order.
    QStringList failureMessages() const;

Q_SIGNALS:
    // Once for each kind of failure, on this object's thread.
    void failed(const QString& message);

private:
    using Task = std::function<void(RecordDatabase&)>;

    void post(Task task);
    template <typename Result> Result call(std::function<Result(RecordDatabase&)> work);
    template <typename Result>
    void ask(std::function<Result(RecordDatabase&)> work, QObject* receiver,
             std::function<void(Result)> done);
    void run(const QString& path);
    std::optional<Task> nextTask(RecordDatabase& db);
    void report(std::optional<RecordFailure> failure);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Task> m_queue;
    bool m_stopping = false;
    std::set<RecordFailureKind> m_told;
    QStringList m_messages;
    std::thread m_worker;
};

} // namespace core

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
#include <thread>

namespace core {

// The learning record as the stage uses it. Judgements are only queued on
// the caller's thread; a worker thread with its own connection writes them,
// so a judgement never makes the stage wait for the disk. Queries wait for
// the judgements queued before them.
//
// Nothing here throws into the caller: a record that can't be opened or
// written reports one failure per run (failed() and failureMessage()) and
// the program goes on without it.
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

    // Waits until every judgement queued so far is written (or has failed).
    void flush();

    QList<QByteArray> reviewDeck(QDate today);
    // The same without waiting: `done` is called later on this object's
    // thread, unless `receiver` is gone by then.
    void reviewDeck(QDate today, QObject* receiver, std::function<void(QList<QByteArray>)> done);
    Statistics statistics(QDate today);
    bool exportCsv(const QString& path);
    bool clear();

    // The first failure of this run, empty while there was none.
    QString failureMessage() const;

Q_SIGNALS:
    // Emitted once per run, from the worker thread: connect with a queued
    // (or automatic) connection to show it.
    void failed(const QString& message);

private:
    using Task = std::function<void(RecordDatabase&)>;

    void post(Task task);
    template <typename Result> Result call(std::function<Result(RecordDatabase&)> work);
    void run(const QString& path);
    void report(const QString& message);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Task> m_queue;
    bool m_stopping = false;
    QString m_failure;
    std::thread m_worker;
};

} // namespace core

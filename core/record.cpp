#include "core/record.h"

#include <QLoggingCategory>

#include <chrono>

// Warnings only by default; QT_LOGGING_RULES="quenlo.record.debug=true" shows
// every repeat of a failure too.
Q_LOGGING_CATEGORY(recordLog, "quenlo.record", QtWarningMsg)

namespace core {
namespace {

// How often judgements held back by a full disk or a lock are tried again
// while no new one comes.
constexpr std::chrono::seconds retryInterval(60);

} // namespace

Record::Record(const QString& path, QObject* parent)
    : QObject(parent)
{
    m_worker = std::thread([this, path] { run(path); });
}

Record::~Record()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_worker.join();
}

void Record::judge(const QByteArray& entry, bool right, const QDateTime& when)
{
    post([entry, right, when](RecordDatabase& db) { db.recordJudgement(entry, right, when); });
}

void Record::undoLastJudgement(const QByteArray& entry)
{
    post([entry](RecordDatabase& db) { db.undoLastJudgement(entry); });
}

void Record::flush()
{
    call<bool>([](RecordDatabase&) { return true; });
}

void Record::reviewDeck(QDate today, QObject* receiver, std::function<void(DueEntries)> done)
{
    ask<DueEntries>([today](RecordDatabase& db) { return db.reviewDeck(today); }, receiver, std::move(done));
}

void Record::statistics(QDate today, QObject* receiver, std::function<void(std::optional<Statistics>)> done)
{
    ask<std::optional<Statistics>>([today](RecordDatabase& db) { return db.statistics(today); }, receiver,
                                   std::move(done));
}

void Record::exportCsv(const QString& path, QObject* receiver, std::function<void(bool)> done)
{
    ask<bool>([path](RecordDatabase& db) { return db.exportCsv(path); }, receiver, std::move(done));
}

void Record::clear(QObject* receiver, std::function<void(bool)> done)
{
    ask<bool>([](RecordDatabase& db) { return db.clear(); }, receiver, std::move(done));
}

Record::DueEntries Record::reviewDeck(QDate today)
{
    return call<DueEntries>([today](RecordDatabase& db) { return db.reviewDeck(today); });
}

std::optional<Statistics> Record::statistics(QDate today)
{
    return call<std::optional<Statistics>>([today](RecordDatabase& db) { return db.statistics(today); });
}

bool Record::exportCsv(const QString& path)
{
    return call<bool>([path](RecordDatabase& db) { return db.exportCsv(path); });
}

bool Record::clear()
{
    return call<bool>([](RecordDatabase& db) { return db.clear(); });
}

QStringList Record::failureMessages() const
{
    std::lock_guard lock(m_mutex);
    return m_messages;
}

void Record::post(Task task)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(task));
    }
    m_wake.notify_one();
}

template <typename Result> Result Record::call(std::function<Result(RecordDatabase&)> work)
{
    auto promise = std::make_shared<std::promise<Result>>();
    std::future<Result> result = promise->get_future();
    post([promise, work = std::move(work)](RecordDatabase& db) { promise->set_value(work(db)); });
    return result.get();
}

template <typename Result>
void Record::ask(std::function<Result(RecordDatabase&)> work, QObject* receiver,
                 std::function<void(Result)> done)
{
    // The answer travels through this object, which lives on the asking
    // thread and outlives the worker; the receiver is looked at there.
    QPointer<QObject> guard(receiver);
    post([this, guard, work = std::move(work), done = std::move(done)](RecordDatabase& db) {
        QMetaObject::invokeMethod(
            this,
            [guard, done, result = work(db)] {
                if (guard)
                    done(result);
            },
            Qt::QueuedConnection);
    });
}

void Record::run(const QString& path)
{
    RecordDatabase db(path);
    db.open();
    report(db.takeFailure());
    while (std::optional<Task> task = nextTask(db)) {
        if (*task)
            (*task)(db);
        else
            db.retryUnwritten();
        report(db.takeFailure());
    }
    // What a full disk or a lock still holds back gets a last try.
    db.retryUnwritten();
    report(db.takeFailure());
}

// The next task; an empty one when judgements wait and it is time to try
// them again; nothing once the record closes and the queue is empty.
std::optional<Record::Task> Record::nextTask(RecordDatabase& db)
{
    std::unique_lock lock(m_mutex);
    const auto ready = [this] { return m_stopping || !m_queue.empty(); };
    if (db.hasUnwritten()) {
        if (!m_wake.wait_for(lock, retryInterval, ready))
            return Task();
    } else {
        m_wake.wait(lock, ready);
    }
    if (m_queue.empty())
        return std::nullopt;
    Task task = std::move(m_queue.front());
    m_queue.pop_front();
    return task;
}

void Record::report(std::optional<RecordFailure> failure)
{
    if (!failure)
        return;
    {
        std::lock_guard lock(m_mutex);
        if (!m_told.insert(failure->kind).second) {
            qCDebug(recordLog).noquote() << failure->reason;
            return;
        }
        m_messages.append(failure->message);
    }
    qCWarning(recordLog).noquote() << failure->message << failure->reason;
    QMetaObject::invokeMethod(
        this, [this, message = failure->message] { Q_EMIT failed(message); }, Qt::QueuedConnection);
}

} // namespace core

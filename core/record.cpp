#include "core/record.h"

namespace core {

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

void Record::flush()
{
    call<bool>([](RecordDatabase&) { return true; });
}

QList<QByteArray> Record::reviewDeck(QDate today)
{
    return call<QList<QByteArray>>([today](RecordDatabase& db) { return db.reviewDeck(today); });
}

Statistics Record::statistics(QDate today)
{
    return call<Statistics>([today](RecordDatabase& db) { return db.statistics(today); });
}

bool Record::exportCsv(const QString& path)
{
    return call<bool>([path](RecordDatabase& db) { return db.exportCsv(path); });
}

bool Record::clear()
{
    return call<bool>([](RecordDatabase& db) { return db.clear(); });
}

QString Record::failureMessage() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
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

void Record::run(const QString& path)
{
    RecordDatabase db(path);
    db.open();
    report(db.takeFailure());
    for (;;) {
        Task task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            task = std::move(m_queue.front());
            m_queue.pop_front();
        }
        task(db);
        report(db.takeFailure());
    }
}

void Record::report(const QString& message)
{
    if (message.isEmpty())
        return;
    {
        std::lock_guard lock(m_mutex);
        if (!m_failure.isEmpty())
            return;
        m_failure = message;
    }
    Q_EMIT failed(message);
}

} // namespace core

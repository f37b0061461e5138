#include "core/logging/StoredLogLoader.h"

#include <QThread>

#include <algorithm>
#include <atomic>

struct StoredLogLoader::Job {
    QString path;
    std::atomic<bool> cancelled{false};
    StoredLog log;
    bool ok = false;
    QThread *thread = nullptr;
};

StoredLogLoader::StoredLogLoader(QObject *parent) : QObject(parent) {}

StoredLogLoader::~StoredLogLoader()
{
    // A cancelled reading stops after the chunk it is in.
    for (const std::shared_ptr<Job> &job : m_jobs)
        job->cancelled = true;
    for (const std::shared_ptr<Job> &job : m_jobs) {
        job->thread->wait();
        delete job->thread;
    }
}

void StoredLogLoader::start(const QString &path)
{
    cancel();
    auto job = std::make_shared<Job>();
    job->path = path;
    const std::function<void(const QString &)> hook = afterChunk;
    // The thread holds the job, never the loader beyond its events: the
    // loader waits for every thread before it goes.
    job->thread = QThread::create([this, job, hook] {
        int told = -1;
        job->ok = job->log.readFile(job->path, [&](qint64 done, qint64 total) {
            if (hook)
                hook(job->path);
            if (job->cancelled)
                return false;
            const int permille = total > 0 ? int(std::min<qint64>(1000, done * 1000 / total)) : 0;
            if (permille != told) {
                told = permille;
                QMetaObject::invokeMethod(
                    this,
                    [this, job, permille] {
                        if (job == m_current)
                            Q_EMIT progress(permille);
                    },
                    Qt::QueuedConnection);
            }
            return true;
        });
    });
    connect(job->thread, &QThread::finished, this, [this, job] { ended(job); });
    m_jobs.push_back(job);
    m_current = job;
    job->thread->start();
}

void StoredLogLoader::cancel()
{
    if (m_current) {
        m_current->cancelled = true;
        m_current.reset();
    }
}

// By value: the connection that calls this holds the job, and goes with the
// thread deleted here.
void StoredLogLoader::ended(std::shared_ptr<Job> job) // NOLINT(performance-unnecessary-value-param)
{
    job->thread->wait();
    delete job->thread;
    job->thread = nullptr;
    m_jobs.erase(std::remove(m_jobs.begin(), m_jobs.end(), job), m_jobs.end());
    if (job != m_current)
        return;
    m_current.reset();
    m_result = std::move(job->log);
    Q_EMIT finished(job->path, job->ok);
    m_result.clear();
}

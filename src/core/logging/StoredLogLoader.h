#pragma once

#include "core/logging/StoredLog.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// Reads a stored log on a thread of its own, so that the window keeps
// answering while millions of lines come in, and hands the result back on
// the thread that asked. One reading counts at a time: a new start or a
// cancel stops the one before, whose result is never reported.
class StoredLogLoader : public QObject {
    Q_OBJECT
public:
    explicit StoredLogLoader(QObject *parent = nullptr);
    // Stops every reading still going and waits for its thread.
    ~StoredLogLoader() override;

    void start(const QString &path);
    void cancel();
    // A reading was started and has not reported yet.
    bool isLoading() const { return m_current != nullptr; }
    // Threads still running, cancelled ones included.
    int threadsRunning() const { return int(m_jobs.size()); }
    // The log of the reading just reported (in a slot of `finished`).
    StoredLog takeLog() { return std::move(m_result); }

    // Called on the reading thread after every chunk, with the path read;
    // lets a test hold a reading where the window must go on answering.
    std::function<void(const QString &)> afterChunk;

Q_SIGNALS:
    // Share of the file read so far, 0 ... 1000.
    void progress(int permille);
    // The reading of `path` ended; when ok, takeLog() gives the log.
    void finished(const QString &path, bool ok);

private:
    struct Job;
    void ended(std::shared_ptr<Job> job);

    std::vector<std::shared_ptr<Job>> m_jobs;
    std::shared_ptr<Job> m_current;
    StoredLog m_result;
};

#pragma once

// What several benches measure alike: a process's resident memory and an
// event loop run until something holds.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <functional>

namespace BenchSupport {

// A "Key:  N kB" field of process `pid`'s status (0: this one), e.g. "VmRSS:"
// or "VmHWM:", in KiB; -1 when unknown.
inline long statusKiB(const char *key, qint64 pid = 0)
{
    QFile f(pid > 0 ? QStringLiteral("/proc/%1/status").arg(pid)
                    : QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Resident memory of process `pid` (0: this one) in KiB, -1 when unknown.
inline long residentKiB(qint64 pid = 0)
{
    return statusKiB("VmRSS:", pid);
}

// Runs the event loop until `done` holds or `ms` have passed.
inline bool runUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

} // namespace BenchSupport

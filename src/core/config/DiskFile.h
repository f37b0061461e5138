#pragma once

#include <QByteArray>
#include <QString>

// Files written so that what the program reports as written is on the disk.
//
// A replaced file is written beside its target under a temporary name, every
// write and the flush to the disk checked, and renamed over the target only
// when all of it is there: until then the old file stays as it was, whatever
// fails (a full disk, a removed stick, a kill). An append reaches the file
// whole or is taken back, so a log never ends in half a line. Every failure
// comes with the system's reason, worded for the user ("ディスクの空き容量が
// 不足しています。" for a full disk).
//
// An instance is an append-only file kept open, such as a log: created new,
// never truncated, each write whole or not at all.
class DiskFile {
public:
    // Replaces `target` with `bytes`.
    static bool replace(const QString &target, const QByteArray &bytes, QString *reason = nullptr);
    // Replaces `target` with a copy of `source`, read in pieces, so a large
    // log is never held in memory whole.
    static bool copy(const QString &source, const QString &target, QString *reason = nullptr);
    // Appends `bytes` to the existing file `path` (it is never created) and
    // flushes them to the disk; on failure the file keeps its old length.
    static bool append(const QString &path, const QByteArray &bytes, QString *reason = nullptr);

    // The system's reason for the error number `error`, as the user reads it.
    static QString reasonText(int error);

    // The next flush to the disk fails with the error number `error`: the one
    // failure a full test file system cannot show (a disk that fails, a
    // network folder whose server went away). For tests only.
    static void failNextSync(int error);

    DiskFile() = default;
    ~DiskFile();
    DiskFile(const DiskFile &) = delete;
    DiskFile &operator=(const DiskFile &) = delete;

    // Creates `path` as a new file; fails when a file of that name exists.
    bool create(const QString &path, QString *reason = nullptr);
    // Opens `path` to write after what it holds, creating it when absent.
    bool openAppending(const QString &path, QString *reason = nullptr);
    bool isOpen() const { return m_fd >= 0; }
    QString fileName() const { return m_path; }
    // Writes `bytes` at the end of the file, whole or not at all.
    bool write(const QByteArray &bytes, QString *reason = nullptr);
    // Flushes the file to the disk and closes it; false when the flush or the
    // close failed (what was written may then not be on the disk).
    bool close(QString *reason = nullptr);

private:
    bool open(const QString &path, int flags, QString *reason);

    int m_fd = -1;
    QString m_path;
};

#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

class QIODevice;

// A text log read back for drawing: per accepted line the time stamp and the
// four readings, as texts with their double quotes removed. Long logs are kept
// compactly (one byte pool and the field ends), so a million lines fit in a
// few tens of megabytes.
class StoredLog {
public:
    // The first record of a memo appended to a log; nothing from it on is data.
    static QByteArray memoMark() { return QByteArrayLiteral("-MEMO-"); }
    static constexpr qsizetype MaxLineBytes = 64 * 1024;

    // Reads every line to the end (or to a memo): lines are split at ","; a
    // line with fewer than five fields is skipped, further fields are ignored.
    // Returns false, holding nothing, when the device cannot be read or is no
    // text log: a NUL byte or a line longer than MaxLineBytes (its CR
    // counted, not its LF) before the memo ends the reading there, so a large
    // file of another kind is refused at once rather than read whole.
    bool read(QIODevice &device);
    bool readFile(const QString &path);
    void clear();

    qint64 count() const { return qint64(m_ends.size() / 5); }
    // Highest sample index, -1 when empty.
    qint64 highest() const { return count() - 1; }
    QString time(qint64 i) const { return field(i, 0); }
    // Sensor k's reading of sample i; empty outside the log.
    QString value(int sensor, qint64 i) const { return field(i, sensor + 1); }

    // Seconds per sample from the first two time stamps (their seconds
    // parts; 60 when both are 0); false when there are fewer than two lines
    // or the stamps are not numbers.
    bool interval(int *seconds) const;

    // Told when a stored log cannot be read, with its path.
    static QString unreadableText(const QString &path);

private:
    QString field(qint64 i, int f) const;
    void addLine(QByteArrayView line);

    QByteArray m_pool;
    std::vector<quint32> m_ends; // five per line: end of each field in m_pool
};

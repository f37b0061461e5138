#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QIODevice;

// A text log read back for drawing: per accepted line the time stamp and the
// four readings, as texts with their double quotes removed. Long logs are kept
// compactly: a stamp as its seconds past its block's first, a reading as a
// two-byte code into the log's own list of distinct readings (a log holds a
// few thousand at most), so a line costs ten bytes and ten million lines fit
// in 100 MB. Texts that do not fit that shape are kept aside, exactly.
class StoredLog {
public:
    // The first record of a memo appended to a log; nothing from it on is data.
    static QByteArray memoMark() { return QByteArrayLiteral("-MEMO-"); }
    static constexpr qsizetype MaxLineBytes = 64 * 1024;
    // A memo longer than this is kept cut there.
    static constexpr qsizetype MaxMemoBytes = 1024 * 1024;
    // Told after every chunk read: bytes read so far and the device's size (0
    // when unknown). Returning false stops the reading; nothing is kept.
    using Progress = std::function<bool(qint64 done, qint64 total)>;

    StoredLog();
    ~StoredLog();
    StoredLog(StoredLog &&other) noexcept;
    StoredLog &operator=(StoredLog &&other) noexcept;

    // Reads every line to the end (or to a memo). A line is a sample when it
    // ends with its line end and holds the six fields a log line has (split
    // at ","; the sixth and any further ones are not kept): a last line cut
    // by a full disk or a power cut, or a damaged line, is left out.
    // Returns false, holding nothing, when the device cannot be read or is no
    // text log: a NUL byte in a whole line or a line longer than MaxLineBytes
    // (its CR counted, not its LF) before the memo ends the reading there, so
    // a large file of another kind is refused at once rather than read whole.
    bool read(QIODevice &device, const Progress &progress = {});
    bool readFile(const QString &path, const Progress &progress = {});
    void clear();

    qint64 count() const { return m_count; }
    // Highest sample index, -1 when empty.
    qint64 highest() const { return count() - 1; }
    QString time(qint64 i) const;
    // Sensor k's reading of sample i; empty outside the log.
    QString value(int sensor, qint64 i) const;

    // Seconds per sample from the first two time stamps (their seconds
    // parts; 60 when both are 0); false when there are fewer than two lines
    // or the stamps are not numbers.
    bool interval(int *seconds) const;
    // The time between two samples as every stamp tells it: the largest
    // number of seconds that all the stamps written as this program writes
    // them are multiples of (a missed reply leaves no line, so the first two
    // stamps may be two intervals apart). 0 when the stamps tell nothing.
    qint64 sampleStep() const { return m_step; }

    // The memo appended to the log ("\n" between its lines), empty when it
    // has none.
    QString memo() const { return m_memo; }

    // Bytes held, for the figures.
    std::size_t bytes() const;

    // Told when a stored log cannot be read, with its path.
    static QString unreadableText(const QString &path);

private:
    struct Block;
    void addLine(QByteArrayView line);
    QString aside(qint64 key) const;

    std::vector<std::unique_ptr<Block>> m_blocks;
    qint64 m_count = 0;
    qint64 m_step = 0;
    // Readings by code.
    std::vector<QString> m_texts;
    // Fields that no code holds, by line * 5 + field, in that order.
    std::vector<std::pair<qint64, QString>> m_aside;
    // While reading: the code of each reading met so far.
    struct Codes;
    std::unique_ptr<Codes> m_codes;
    QByteArray m_scratch;
    QString m_memo;
};

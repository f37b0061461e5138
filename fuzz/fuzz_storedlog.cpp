// Stored logs are read back from disk, where they may have been cut by a power
// cut, edited by hand or had a memo appended; the reader must take any bytes.
// This target reads arbitrary content and compares the result with a plain
// line-by-line reading of the same bytes: the same samples (whole lines of six
// fields), no double quote in any field, nothing taken from a memo on, the
// same step between samples, and sensible page arithmetic.

#include "core/logging/GraphScale.h"
#include "core/logging/StoredLog.h"

#include <QBuffer>
#include <QList>

#include <cstddef>
#include <cstdint>
#include <numeric>
#include <optional>

#include "FuzzCheck.h"

namespace {

// Seconds of a stamp as the log writes it ("hh:mm:ss", hours of two digits
// or more), written the simple way; -1 for any other text.
qint64 writtenSeconds(const QByteArray &t)
{
    const QList<QByteArray> parts = t.split(':');
    if (parts.size() != 3 || parts.at(0).size() < 2 || parts.at(0).size() > 7 ||
        parts.at(1).size() != 2 || parts.at(2).size() != 2)
        return -1;
    for (const QByteArray &p : parts)
        for (char c : p)
            if (c < '0' || c > '9')
                return -1;
    const qint64 h = parts.at(0).toLongLong();
    const int m = parts.at(1).toInt();
    const int sec = parts.at(2).toInt();
    const qint64 total = h * 3600 + m * 60 + sec;
    if (m > 59 || sec > 59 || total >= 0xFFFFFFFFLL)
        return -1;
    const QByteArray again =
        QByteArray::number(h).rightJustified(2, '0') + ':' + parts.at(1) + ':' + parts.at(2);
    return again == t ? total : -1;
}

// The reading rules written the simple way; nothing when the content is
// refused as no log.
std::optional<QList<QList<QByteArray>>> reference(const QByteArray &content)
{
    QList<QList<QByteArray>> rows;
    QList<QByteArray> lines = content.split('\n');
    // After the last line end: a line cut as it was written, never a sample.
    const QByteArray cut = lines.takeLast();
    for (QByteArray line : lines) {
        if (line.size() > StoredLog::MaxLineBytes || line.contains('\0'))
            return std::nullopt;
        if (line.endsWith('\r'))
            line.chop(1);
        qsizetype lead = 0;
        while (lead < line.size() && (line.at(lead) == '"' || line.at(lead) == ' '))
            ++lead;
        if (line.mid(lead).startsWith("-MEMO-"))
            return rows;
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() < 6)
            continue;
        QList<QByteArray> row;
        for (int f = 0; f < 5; ++f)
            row << QByteArray(fields.at(f)).replace('"', QByteArray());
        rows << row;
    }
    if (cut.size() > StoredLog::MaxLineBytes)
        return std::nullopt;
    return rows;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&content);
    if (!buffer.open(QIODevice::ReadOnly))
        return 0;
    StoredLog log;
    const auto plain = reference(content);
    check(log.read(buffer) == plain.has_value(), "refused other than by a plain reading");
    if (!plain) {
        check(log.count() == 0, "a refused log holds samples");
        return 0;
    }
    const QList<QList<QByteArray>> &rows = *plain;
    check(log.count() == rows.size(), "sample count differs from a plain reading");
    for (qint64 i = 0; i < log.count(); ++i) {
        const QList<QByteArray> &row = rows.at(qsizetype(i));
        check(log.time(i) == QString::fromUtf8(row.at(0)), "time stamp differs");
        for (int k = 0; k < 4; ++k) {
            const QString v = log.value(k, i);
            check(v == QString::fromUtf8(row.at(k + 1)), "reading differs");
            check(!v.contains(QLatin1Char('"')), "double quote left in a reading");
            double t = 0.0;
            (void)sampleValue(v, &t);
        }
    }
    check(log.value(0, log.count()).isEmpty() && log.value(0, -1).isEmpty(),
          "a sample outside the log");
    qint64 step = 0;
    for (const QList<QByteArray> &row : rows)
        if (const qint64 s = writtenSeconds(row.at(0)); s >= 0)
            step = std::gcd(step, s);
    check(log.sampleStep() == step, "step between samples differs");
    int seconds = 0;
    if (log.interval(&seconds))
        check(seconds >= -59 && seconds <= 60, "interval out of range");

    const QStringList pages = GraphScale::pageEntries(log.highest());
    check(pages.isEmpty() == (log.highest() < 300), "paging threshold");
    if (!pages.isEmpty()) {
        const qint64 lastStart = GraphScale::pageStart(int(pages.size() - 1));
        check(lastStart + 600 > log.highest(), "last page ends before the log");
        check(lastStart <= log.highest(), "last page starts past the log");
    }
    return 0;
}

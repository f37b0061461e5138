// Stored logs are read back from disk, where they may have been cut by a power
// cut, edited by hand or had a memo appended; the reader must take any bytes.
// This target reads arbitrary content and compares the result with a plain
// line-by-line reading of the same bytes: the same samples, no double quote in
// any field, nothing taken from a memo on, and sensible page arithmetic.

#include "logging/GraphScale.h"
#include "logging/StoredLog.h"

#include <QBuffer>
#include <QList>

#include <cstddef>
#include <cstdint>
#include <optional>

#include "FuzzCheck.h"

namespace {

// The reading rules written the simple way; nothing when the content is
// refused as no log.
std::optional<QList<QList<QByteArray>>> reference(const QByteArray &content)
{
    QList<QList<QByteArray>> rows;
    QList<QByteArray> lines = content.split('\n');
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    for (QByteArray line : lines) {
        if (line.size() > StoredLog::MaxLineBytes || line.contains('\0'))
            return std::nullopt;
        if (line.endsWith('\r'))
            line.chop(1);
        qsizetype lead = 0;
        while (lead < line.size() && (line.at(lead) == '"' || line.at(lead) == ' '))
            ++lead;
        if (line.mid(lead).startsWith("-MEMO-"))
            break;
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() < 5)
            continue;
        QList<QByteArray> row;
        for (int f = 0; f < 5; ++f)
            row << QByteArray(fields.at(f)).replace('"', QByteArray());
        rows << row;
    }
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

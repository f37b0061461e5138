// A system log is read back to find the alarms noted while a stored log ran;
// it holds every line the instrument sent, so any bytes at all. This target
// reads arbitrary content and checks every alarm found against a plain
// reading: a whole line of the content, stamped inside the time asked for,
// found in the file's order, and no more of them than the content has lines.

#include "core/logging/SystemLogNotes.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&content);
    if (!buffer.open(QIODevice::ReadOnly))
        return 0;
    const QDateTime from(QDate(2008, 1, 15), QTime(12, 0, 0));
    const QDateTime to(QDate(2008, 1, 15), QTime(13, 0, 0));
    const QStringList found = SystemLogNotes::alarms(buffer, from, to);
    const QList<QByteArray> lines = content.split('\n');
    check(found.size() < lines.size(), "more alarms than whole lines");
    qsizetype at = 0;
    for (const QString &alarm : found) {
        const QStringList parts = alarm.split(QStringLiteral("　"));
        check(parts.size() >= 2, "an alarm without its time");
        const QDateTime when =
            QDateTime::fromString(parts.at(0), QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        check(when.isValid() && when >= from && when <= to, "an alarm stamped outside the time");
        check(alarm.mid(20).startsWith(QStringLiteral("アラーム発生：")), "not an alarm note");
        // The line it came from, after the one before it.
        const QString line = parts.at(0) + QLatin1Char(' ') + alarm.mid(20);
        bool seen = false;
        while (!seen && at < lines.size() - 1)
            seen = QString::fromUtf8(lines.at(at++)).trimmed() == line;
        check(seen, "an alarm no whole line holds, or out of the file's order");
    }
    return 0;
}

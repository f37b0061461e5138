#include "logging/StoredLog.h"

#include <QFile>

#include <limits>

void StoredLog::clear()
{
    m_pool.clear();
    m_ends.clear();
}

QString StoredLog::unreadableText(const QString &path)
{
    return QStringLiteral("ログファイルを読み込めませんでした。\n") + path;
}

bool StoredLog::readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return read(f);
}

bool StoredLog::read(QIODevice &device)
{
    clear();
    if (!device.isReadable())
        return false;
    constexpr qint64 ChunkSize = 1 << 20;
    QByteArray pending;
    bool memo = false;
    bool notLog = false;
    // Room for the whole text up front (quotes and commas make it smaller).
    if (const qint64 size = device.size(); size > 0 && size < (qint64(1) << 31)) {
        m_pool.reserve(qsizetype(size));
        m_ends.reserve(size_t(size / 10));
    }
    auto takeLines = [&](bool atEnd) {
        qsizetype from = 0;
        while (!memo && !notLog) {
            qsizetype nl = pending.indexOf('\n', from);
            if (nl < 0) {
                // No log line is anywhere near this long: refuse the file
                // rather than gather it whole in search of a line end.
                notLog = pending.size() - from > MaxLineBytes;
                if (notLog || !atEnd || from >= pending.size())
                    break;
                nl = pending.size();
            }
            QByteArrayView line(pending.constData() + from, nl - from);
            // A NUL byte or so long a line is never in a text log: this is
            // some other file.
            if (line.size() > MaxLineBytes || line.contains('\0')) {
                notLog = true;
                break;
            }
            if (line.endsWith('\r'))
                line.chop(1);
            // A memo appended to the log ends its samples: the memo text may
            // hold commas and must never be drawn.
            qsizetype lead = 0;
            while (lead < line.size() && (line.at(lead) == '"' || line.at(lead) == ' '))
                ++lead;
            if (line.sliced(lead).startsWith(memoMark()))
                memo = true;
            else
                addLine(line);
            from = nl + 1;
        }
        pending.remove(0, std::min(from, pending.size()));
    };
    while (!memo && !notLog && !device.atEnd()) {
        const QByteArray chunk = device.read(ChunkSize);
        if (chunk.isEmpty())
            break;
        pending += chunk;
        takeLines(false);
    }
    if (!memo && !notLog)
        takeLines(true);
    if (notLog) {
        clear();
        return false;
    }
    m_pool.squeeze();
    m_ends.shrink_to_fit();
    return true;
}

void StoredLog::addLine(QByteArrayView line)
{
    // Fields 0-4; the rest is ignored. Count first: short lines are skipped.
    qsizetype cuts[5];
    int found = 0;
    for (qsizetype i = 0; i < line.size() && found < 5; ++i)
        if (line.at(i) == ',')
            cuts[found++] = i;
    if (found < 4)
        return;
    const qsizetype fifthEnd = found == 5 ? cuts[4] : line.size();
    // The pool is addressed with 32-bit ends; a log beyond that is cut there.
    if (quint64(m_pool.size()) + quint64(fifthEnd) >= std::numeric_limits<quint32>::max())
        return;
    qsizetype start = 0;
    for (int f = 0; f < 5; ++f) {
        const qsizetype end = f < 4 ? cuts[f] : fifthEnd;
        // The text between the double quotes, in as few pieces as there are.
        while (start < end) {
            const qsizetype quote = line.sliced(start, end - start).indexOf('"');
            const qsizetype stop = quote < 0 ? end : start + quote;
            m_pool.append(line.sliced(start, stop - start));
            start = stop + 1;
        }
        m_ends.push_back(quint32(m_pool.size()));
        start = end + 1;
    }
}

QString StoredLog::field(qint64 i, int f) const
{
    if (i < 0 || i >= count() || f < 0 || f > 4)
        return QString();
    const size_t at = size_t(i) * 5 + size_t(f);
    const quint32 begin = at == 0 ? 0 : m_ends[at - 1];
    return QString::fromUtf8(m_pool.constData() + begin, qsizetype(m_ends[at] - begin));
}

bool StoredLog::interval(int *seconds) const
{
    if (count() < 2)
        return false;
    bool ok0 = false;
    bool ok1 = false;
    const int s0 = time(0).section(QLatin1Char(':'), 2, 2).toInt(&ok0);
    const int s1 = time(1).section(QLatin1Char(':'), 2, 2).toInt(&ok1);
    // A seconds part outside 0-59 is not a time stamp this program wrote
    // (a damaged or hand-made file): no interval rather than a wrong one.
    if (!ok0 || !ok1 || s0 < 0 || s0 > 59 || s1 < 0 || s1 > 59)
        return false;
    *seconds = s0 == 0 && s1 == 0 ? 60 : qint16(s1 - s0);
    return true;
}

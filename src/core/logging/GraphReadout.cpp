#include "core/logging/GraphReadout.h"

#include "core/config/Parameter.h"
#include "core/logging/LOG_Handling.h"
#include "core/logging/LogFile.h"
#include "core/logging/StoredLog.h"

#include <QRegularExpression>

#include <cmath>
#include <cstdlib>

namespace {

// "hh:mm:ss" with hours of any length; -1 when it is not one.
qint64 stampSeconds(const QString &stamp)
{
    const QStringList parts = stamp.split(QLatin1Char(':'));
    if (parts.size() != 3)
        return -1;
    bool ok[3] = {};
    const qint64 h = parts.at(0).toLongLong(&ok[0]);
    const int m = parts.at(1).toInt(&ok[1]);
    const int s = parts.at(2).toInt(&ok[2]);
    if (!ok[0] || !ok[1] || !ok[2] || h < 0 || h > 1000000 || m < 0 || m > 59 || s < 0 || s > 59)
        return -1;
    return h * 3600 + m * 60 + s;
}

QString hoursMinutes(qint64 seconds)
{
    const qint64 s = std::max<qint64>(seconds, 0);
    return QStringLiteral("%1:%2")
        .arg(s / 3600, 2, 10, QLatin1Char('0'))
        .arg((s % 3600) / 60, 2, 10, QLatin1Char('0'));
}

} // namespace

QDateTime GraphPage::clockAt(qint64 i) const
{
    if (!start.isValid())
        return {};
    return start.addSecs(elapsed ? elapsed(i) : i * interval);
}

QString GraphPage::title() const
{
    return isLive() ? QStringLiteral("ライブ") : fileName;
}

GraphPage GraphPage::live(const Parameter &p, const QString &stem)
{
    GraphPage page;
    const SampleStore *sen = &p.SenValues;
    page.values = [sen](int k, qint64 i) { return sen->text(k & 3, i); };
    const qint64 interval = p.sampleInterval();
    page.elapsed = [interval](qint64 i) { return i * interval; };
    page.interval = p.sampleInterval();
    page.start = GraphReadout::startFromFileName(stem + QStringLiteral(".txt"));
    page.first = p.GraphPageStart;
    page.last = p.LogCount;
    page.pagePoints = p.GraphPagePoints > 0 ? p.GraphPagePoints : 600;
    page.xScale = p.GraphXScale > 0 ? p.GraphXScale : 50;
    return page;
}

GraphPage GraphPage::stored(const StoredLog &log, const QString &fileName, int interval,
                            const Parameter &p, bool paged, qint64 pageStart)
{
    GraphPage page;
    const StoredLog *s = &log;
    page.values = [s](int k, qint64 i) { return s->value(k, i); };
    // A missed reply leaves no line, so a line's own stamp is its time.
    page.elapsed = [s, interval](qint64 i) {
        const qint64 stamped = stampSeconds(s->time(i));
        return stamped >= 0 ? stamped : i * interval;
    };
    const qint64 step = log.sampleStep();
    page.sampleOf = [s, step](qint64 i) {
        const qint64 stamped = stampSeconds(s->time(i));
        return step > 0 && stamped >= 0 && stamped % step == 0 ? stamped / step : -1;
    };
    page.sampleStep = step;
    page.interval = interval;
    page.fileName = fileName;
    page.start = GraphReadout::startFromFileName(fileName);
    page.first = paged ? pageStart : 0;
    page.last = paged ? std::min(log.highest(), pageStart + 600) : log.highest();
    page.pagePoints = p.GraphPagePoints > 0 ? p.GraphPagePoints : 600;
    page.xScale = p.GraphXScale > 0 ? p.GraphXScale : 50;
    return page;
}

namespace GraphReadout {

QDateTime startFromFileName(const QString &fileName)
{
    static const QRegularExpression name(
        QStringLiteral(
            R"(^(\d{4})_(\d{2})_(\d{2})_(\d{2})_(\d{2})_(\d{2})(?:_\d+)?\.(?:txt|csv)$)"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = name.match(fileName);
    if (!m.hasMatch())
        return {};
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

QString fileCaption(const QString &fileName)
{
    const QDateTime start = startFromFileName(fileName);
    return QStringLiteral("ファイル：") + fileName + QStringLiteral("　開始：") +
           (start.isValid() ? start.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                            : QStringLiteral("-"));
}

qint64 Placed::lineOf(qint64 n) const
{
    const auto it = std::lower_bound(lines.begin(), lines.end(), std::pair<qint64, qint64>(n, -1));
    return it != lines.end() && it->first == n ? it->second : -1;
}

qint64 Placed::sampleOf(qint64 line) const
{
    for (const auto &[n, l] : lines)
        if (l == line)
            return n;
    return -1;
}

Placed placed(const GraphPage &page)
{
    Placed out;
    out.firstSample = std::max<qint64>(0, page.first);
    if (!page.sampleOf) {
        for (qint64 i = out.firstSample; i <= page.last; ++i)
            out.lines.emplace_back(i, i);
        return out;
    }
    bool first = true;
    forEachRow(page, page.first, page.last, [&](qint64 index, qint64, qint64 line, bool) {
        if (first)
            out.firstSample = index;
        first = false;
        if (line >= 0)
            out.lines.emplace_back(index, line);
    });
    return out;
}

qint64 sampleAt(const GraphPage &page, int xPixel, int scrollTwips, double pixelsPerTwip)
{
    if (pixelsPerTwip <= 0 || page.xScale <= 0 || xPixel < 0)
        return -1;
    const double twips = scrollTwips + xPixel / pixelsPerTwip;
    const qint64 offset = qint64(std::llround(twips / page.xScale));
    if (page.sampleOf) {
        // A stored page: the line at that time, none where a reply was missed.
        const Placed p = placed(page);
        return p.lineOf(p.firstSample + offset);
    }
    const qint64 sample = page.first + offset;
    return sample >= page.first && sample <= page.last ? sample : -1;
}

Values at(const GraphPage &page, qint64 sample)
{
    Values v;
    if (sample < 0)
        return v;
    // A stored log's line is told by the number its CSV gives its sample.
    const qint64 numbered = page.sampleOf ? placed(page).sampleOf(sample) : -1;
    v.sample = numbered >= 0 ? numbered : sample;
    v.elapsed = LogFile::FormatElapsed(page.elapsed ? page.elapsed(sample) : 0);
    const QDateTime clock = page.clockAt(sample);
    v.clock = clock.isValid() ? clock.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                              : QStringLiteral("-");
    for (int k = 0; k < 4; ++k) {
        const QString t = page.values ? page.values(k, sample) : QString();
        v.temps[size_t(k)] = t.isEmpty() ? QStringLiteral("-") : t;
    }
    return v;
}

QString html(const Values &v)
{
    if (v.sample < 0)
        return {};
    static const char *const names[4] = {"PT100A", "PT100B", "SENSOR1", "SENSOR2"};
    QString s = QStringLiteral("サンプル：%1<br>経過時間：%2<br>時刻：%3")
                    .arg(v.sample)
                    .arg(v.elapsed, v.clock.toHtmlEscaped());
    for (int k = 0; k < 4; ++k)
        s += QStringLiteral("<br><span style=\"color:%1\">%2：%3</span>")
                 .arg(GraphCanvas::sensorColour(k).name(), QLatin1String(names[k]),
                      v.temps[size_t(k)].toHtmlEscaped());
    return s;
}

QString plainText(const Values &v)
{
    if (v.sample < 0)
        return {};
    static const char *const names[4] = {"PT100A", "PT100B", "SENSOR1", "SENSOR2"};
    QString s = QStringLiteral("サンプル：%1、経過時間：%2、時刻：%3")
                    .arg(v.sample)
                    .arg(v.elapsed, v.clock);
    for (int k = 0; k < 4; ++k)
        s += QStringLiteral("、%1：%2").arg(QLatin1String(names[k]), v.temps[size_t(k)]);
    return s;
}

QString axisLabel(const GraphPage &page, AxisMode mode, qint64 sample)
{
    switch (mode) {
    case AxisMode::Elapsed:
        return hoursMinutes(page.elapsed ? page.elapsed(sample) : sample * page.interval);
    case AxisMode::Clock: {
        const QDateTime t = page.clockAt(sample);
        return t.isValid() ? t.toString(QStringLiteral("HH:mm:ss")) : QStringLiteral("--:--:--");
    }
    case AxisMode::Sample:
        break;
    }
    return QString::number(sample);
}

QString sampleLabel(const GraphPage &page, AxisMode mode, qint64 n)
{
    const qint64 seconds = n * (page.sampleStep > 0 ? page.sampleStep : page.interval);
    switch (mode) {
    case AxisMode::Elapsed:
        return hoursMinutes(seconds);
    case AxisMode::Clock:
        return page.start.isValid()
                   ? page.start.addSecs(seconds).toString(QStringLiteral("HH:mm:ss"))
                   : QStringLiteral("--:--:--");
    case AxisMode::Sample:
        break;
    }
    return QString::number(n);
}

QStringList axisModeNames()
{
    return {QStringLiteral("サンプル"), QStringLiteral("経過時間"), QStringLiteral("時刻")};
}

void forEachRow(const GraphPage &page, qint64 first, qint64 last, const RowVisitor &visit)
{
    first = std::max<qint64>(first, 0);
    auto elapsedOf = [&page](qint64 i) {
        return page.elapsed ? page.elapsed(i) : i * page.interval;
    };
    if (!page.sampleOf) {
        for (qint64 i = first; i <= last; ++i)
            visit(i, elapsedOf(i), i, true);
        return;
    }
    // A stored log has a line only for each reply that came: the samples
    // between two lines are missing. A log restarts after RestartCount
    // samples, so a page spanning more is not told by its stamps (a damaged
    // or hand-made file): such a line, or one out of order, simply follows
    // the row before it.
    qint64 prev = -1;
    if (first > 0 && first <= last) {
        const qint64 n = page.sampleOf(first);
        prev = (n >= 0 ? n : first) - 1;
    }
    const qint64 base = prev + 1;
    const qint64 step = page.sampleStep > 0 ? page.sampleStep : page.interval;
    for (qint64 i = first; i <= last; ++i) {
        const qint64 stamped = page.sampleOf(i);
        qint64 n = stamped;
        bool fits = true;
        if (n <= prev || n - base > LOG_Handling::RestartCount) {
            n = prev + 1;
            // Its stamp is not the time of its place: beyond one interval
            // from it, the stamp is damaged and the row is timed by its place.
            const qint64 placed = n * step;
            fits = stamped < 0 || std::abs(elapsedOf(i) - placed) <= step;
        } else {
            for (qint64 m = prev + 1; m < n; ++m)
                visit(m, m * page.sampleStep, -1, true);
        }
        // A line whose stamp is no time of the log is timed by its row.
        visit(n, (stamped < 0 && page.sampleStep > 0) || !fits ? n * step : elapsedOf(i), i, fits);
        prev = n;
    }
}

} // namespace GraphReadout

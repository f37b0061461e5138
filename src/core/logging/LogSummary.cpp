#include "core/logging/LogSummary.h"

#include "core/logging/GraphScale.h"
#include "core/logging/SystemLogNotes.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace {

const QString kStamp = QStringLiteral("yyyy/MM/dd HH:mm:ss");

} // namespace

LogSummary LogSummary::of(const GraphPage &whole, const QString &memo)
{
    LogSummary s;
    s.fileName = whole.fileName;
    s.start = whole.start;
    s.interval = whole.sampleStep > 0 ? whole.sampleStep : whole.interval;
    s.memo = memo;
    std::array<double, 4> sums{};
    for (Sensor &sensor : s.sensors) {
        sensor.min = std::numeric_limits<double>::max();
        sensor.max = std::numeric_limits<double>::lowest();
    }
    std::vector<Gap> gaps;
    bool inGap = false;
    GraphReadout::forEachRow(
        whole, whole.first, whole.last, [&](qint64, qint64 elapsed, qint64 line, bool) {
            s.duration = elapsed;
            if (line < 0) {
                ++s.missing;
                if (!inGap)
                    gaps.push_back({elapsed, 0, 0});
                inGap = true;
                ++gaps.back().samples;
                return;
            }
            // A gap lasts from its first missing sample to the next reply.
            if (inGap)
                gaps.back().seconds = elapsed - gaps.back().start;
            inGap = false;
            ++s.samples;
            for (int k = 0; k < 4; ++k) {
                double v = 0.0;
                if (sampleValue(whole.values(k, line), &v) != SampleKind::Value)
                    continue;
                Sensor &sensor = s.sensors[k];
                ++sensor.readings;
                sensor.min = std::min(sensor.min, v);
                sensor.max = std::max(sensor.max, v);
                sums[k] += v;
            }
        });
    for (int k = 0; k < 4; ++k) {
        Sensor &sensor = s.sensors[k];
        if (sensor.readings == 0)
            sensor = Sensor();
        else
            sensor.mean = sums[k] / double(sensor.readings);
    }
    if (s.start.isValid())
        s.end = s.start.addSecs(s.duration);
    s.gapCount = qint64(gaps.size());
    const auto longest = gaps.begin() + std::min<std::ptrdiff_t>(LongestGaps, gaps.size());
    std::partial_sort(gaps.begin(), longest, gaps.end(), [](const Gap &a, const Gap &b) {
        return a.samples != b.samples ? a.samples > b.samples : a.start < b.start;
    });
    s.longestGaps = QList<Gap>(gaps.begin(), longest);
    return s;
}

QString LogSummary::stepsPath(const QString &logPath)
{
    QString stem = logPath;
    if (stem.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive))
        stem.chop(4);
    return stem + QStringLiteral(".steps.csv");
}

QList<LogSummary::Step> LogSummary::readSteps(const QString &path)
{
    QList<Step> out;
    QFile f(path);
    // A step file is a few hundred rows; anything far larger is no such file.
    if (!f.open(QIODevice::ReadOnly) || f.size() > 4 * 1024 * 1024)
        return out;
    const QList<QByteArray> lines = f.readAll().split('\n');
    if (lines.isEmpty() ||
        lines.first().trimmed() != "step,loop,set_c,hold_s,start,end,duration_s,over_hold_s")
        return out;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> c = lines.at(i).trimmed().split(',');
        if (c.size() != 8)
            continue;
        Step st;
        bool ok[4] = {};
        st.step = c.at(0).toInt(&ok[0]);
        st.loop = c.at(1).toInt(&ok[1]);
        st.setC = c.at(2).toDouble(&ok[2]);
        st.holdS = c.at(3).toLongLong(&ok[3]);
        if (!ok[0] || !ok[1] || !ok[2] || !ok[3])
            continue;
        bool known = false;
        const qint64 duration = c.at(6).toLongLong(&known);
        if (known)
            st.durationS = duration;
        const qint64 over = c.at(7).toLongLong(&known);
        if (known)
            st.overS = over;
        out.append(st);
    }
    return out;
}

QString LogSummary::alarmNote(const QString &code)
{
    return SystemLogNotes::alarmNote(code);
}

QStringList LogSummary::alarmsBetween(const QString &folder, const QDateTime &from,
                                      const QDateTime &to)
{
    QStringList found;
    if (!from.isValid() || !to.isValid())
        return found;
    QDirIterator it(folder, {QStringLiteral("*.txt")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.nextFileInfo());
        // A system log is named after the start of the program that wrote
        // it and written until that program ends: only one started before
        // the log ended and written after it began can hold its alarms.
        const QDateTime opened = GraphReadout::startFromFileName(info.fileName());
        if ((opened.isValid() && opened > to) || info.lastModified() < from)
            continue;
        QFile f(info.filePath());
        if (f.open(QIODevice::ReadOnly))
            found << SystemLogNotes::alarms(f, from, to);
    }
    // Each begins with its time, so the text's order is the time's.
    std::stable_sort(found.begin(), found.end());
    return found;
}

QStringList LogSummary::alarmsIn(const QString &folder) const
{
    if (!start.isValid())
        return {};
    // The clock of the last reply may run a few seconds behind its stamp.
    return alarmsBetween(folder, start, end.addSecs(std::max<qint64>(interval, 1) + 10));
}

QString LogSummary::clockText(qint64 seconds)
{
    const qint64 s = std::max<qint64>(seconds, 0);
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600, 2, 10, QLatin1Char('0'))
        .arg(s % 3600 / 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QList<std::pair<QString, QString>> LogSummary::lines() const
{
    auto time = [](const QDateTime &t) {
        return t.isValid() ? t.toString(kStamp) : QStringLiteral("-");
    };
    return {
        {QStringLiteral("ファイル"), fileName.isEmpty() ? QStringLiteral("-") : fileName},
        {QStringLiteral("開始"), time(start)},
        {QStringLiteral("終了"), time(end)},
        {QStringLiteral("記録時間"), clockText(duration)},
        {QStringLiteral("記録間隔"), QString::number(interval) + QStringLiteral("[s]")},
        {QStringLiteral("サンプル数"), QString::number(samples)},
        {QStringLiteral("欠測"), QString::number(missing)},
    };
}

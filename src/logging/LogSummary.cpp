#include "logging/LogSummary.h"

#include "control/AlarmTable.h"
#include "logging/GraphExport.h"
#include "logging/GraphScale.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace {

const QString kStamp = QStringLiteral("yyyy/MM/dd HH:mm:ss");
const QString kAlarmNote = QStringLiteral("アラーム発生：");

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
    GraphExport::forEachRow(whole, whole.first, whole.last,
                            [&](qint64, qint64 elapsed, qint64 line) {
                                s.duration = elapsed;
                                if (line < 0) {
                                    ++s.missing;
                                    return;
                                }
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
    return s;
}

QString LogSummary::alarmNote(const QString &code)
{
    // The alarm window's message names its code; an unknown code stands alone.
    const QString message = LookupAlarm(code).Message;
    return kAlarmNote + (message.isEmpty() ? code : message);
}

QStringList LogSummary::alarmsBetween(const QString &folder, const QDateTime &from,
                                      const QDateTime &to)
{
    QStringList found;
    if (!from.isValid() || !to.isValid())
        return found;
    static const QRegularExpression note(
        QStringLiteral(R"(^(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}) (%1.*)$)").arg(kAlarmNote));
    QList<std::pair<QDateTime, QString>> alarms;
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
        if (!f.open(QIODevice::ReadOnly))
            continue;
        while (!f.atEnd()) {
            const QByteArray raw = f.readLine(64 * 1024);
            // The received lines are quoted; only the program's own notes
            // start with their time.
            if (raw.isEmpty() || raw.at(0) < '0' || raw.at(0) > '9')
                continue;
            const QRegularExpressionMatch m = note.match(QString::fromUtf8(raw).trimmed());
            if (!m.hasMatch())
                continue;
            const QDateTime when = QDateTime::fromString(m.captured(1), kStamp);
            if (when.isValid() && when >= from && when <= to)
                alarms.append({when, m.captured(1) + QStringLiteral("　") + m.captured(2)});
        }
    }
    std::stable_sort(alarms.begin(), alarms.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &a : alarms)
        found << a.second;
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

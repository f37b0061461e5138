#include "core/session/StatusJson.h"

#include "core/config/Ini_Operation.h"
#include "core/config/Parameter.h"
#include "core/control/AlarmTable.h"
#include "core/control/PatternPlan.h"
#include "core/control/PatternRun.h"
#include "core/control/RunProgress.h"
#include "core/link/Reception_Show.h"
#include "core/logging/GraphExport.h"
#include "core/logging/GraphScale.h"

namespace {

// The registered pattern of the configuration whose steps hold `step`, when
// exactly one does: the status reply names the step only.
QJsonValue patternOfStep(int step)
{
    QJsonValue found = QJsonValue::Null;
    int matches = 0;
    for (int n = 0; n <= 9; ++n) {
        const QString record =
            ini().IniRead(QStringLiteral("PATTERN"), QStringLiteral("PATTERN%1").arg(n));
        const QStringList f = record.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (!isRegisteredPattern(record) || f.size() != 4)
            continue;
        if (f.at(2).toInt() <= step && step <= f.at(3).toInt()) {
            found = n;
            ++matches;
        }
    }
    return matches == 1 ? found : QJsonValue(QJsonValue::Null);
}

// The set temperature of `step` as the configuration stores it.
QString stepTarget(const QString &step)
{
    return ini()
        .IniRead(QStringLiteral("STEP"), QStringLiteral("STEP") + step)
        .split(QLatin1Char(' '))
        .value(3);
}

// A pattern run seen in a single reply: the run of the pattern that holds
// the step, found going.
QJsonValue runOfStep(int step, const QDateTime &now)
{
    const QJsonValue pattern = patternOfStep(step);
    if (pattern.isNull())
        return QJsonValue::Null;
    RunProgress run;
    run.start(PatternPlan::fromIni(ini(), pattern.toInt()), now, false);
    run.observe(step, now);
    return runJson(run, now);
}

} // namespace

namespace StatusJson {

QJsonValue reading(const QString &text)
{
    double v = 0;
    if (sampleValue(text, &v) == SampleKind::Value)
        return v;
    return QJsonValue::Null;
}

QJsonObject alarmObject(const QString &code)
{
    const AlarmText alarm = LookupAlarm(code);
    return QJsonObject{{QStringLiteral("code"), code},
                       {QStringLiteral("message"), alarm.Message},
                       {QStringLiteral("advice"), alarm.Advice}};
}

QJsonObject statusObject(const StatusReport &r, const QString &target)
{
    QJsonObject readings;
    for (int k = 0; k < 4; ++k)
        readings.insert(sensorName(k), reading(r.temps.at(k)));
    const bool standing = r.code() == QLatin1String("04");
    double t = 0;
    return QJsonObject{
        {QStringLiteral("readings"), readings},
        {QStringLiteral("internal"), reading(r.status.at(1))},
        {QStringLiteral("current"), reading(r.status.at(2))},
        {QStringLiteral("state"),
         QJsonObject{{QStringLiteral("code"), r.code()},
                     {QStringLiteral("text"), Reception_Show::statusText(r.code())}}},
        {QStringLiteral("step"), r.status.at(4).toInt()},
        {QStringLiteral("target"), sampleValue(target, &t) == SampleKind::Value
                                       ? QJsonValue(t)
                                       : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("alarm"),
         standing ? QJsonValue(alarmObject(r.status.at(3))) : QJsonValue(QJsonValue::Null)},
    };
}

QJsonObject statusJson(const StatusReport &r, const QDateTime &time, const RunProgress *followed)
{
    const bool running = r.code() == QLatin1String("02");
    // The target of a running step; a fixed-value run's is not stored.
    const QString target = running ? stepTarget(r.status.at(4)) : QString();
    const QString lastAlarm = r.status.at(3);
    const bool anyAlarm = !lastAlarm.isEmpty() && lastAlarm.toInt() != 0;
    QJsonObject o = statusObject(r, target);
    o.insert(QStringLiteral("time"), GraphExport::isoTime(time));
    o.insert(QStringLiteral("units"),
             QJsonObject{{QStringLiteral("temperature"), QStringLiteral("°C")},
                         {QStringLiteral("current"), QStringLiteral("A")}});
    o.insert(QStringLiteral("pattern"),
             running ? patternOfStep(r.status.at(4).toInt()) : QJsonValue(QJsonValue::Null));
    o.insert(QStringLiteral("last_alarm"),
             anyAlarm ? QJsonValue(alarmObject(lastAlarm)) : QJsonValue(QJsonValue::Null));
    o.insert(QStringLiteral("link"), QStringLiteral("ok"));
    QJsonValue run = QJsonValue::Null;
    if (running && followed && followed->active())
        run = runJson(*followed, time);
    else if (running)
        run = runOfStep(r.status.at(4).toInt(), time);
    o.insert(QStringLiteral("run"), run);
    return o;
}

QJsonObject errorJson(const QString &id, int exitCode, const QString &message)
{
    return QJsonObject{{QStringLiteral("error"), id},
                       {QStringLiteral("exit"), exitCode},
                       {QStringLiteral("message"), message}};
}

} // namespace StatusJson

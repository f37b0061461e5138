#include "core/control/RunProgress.h"

#include "core/logging/GraphExport.h"

#include <QJsonObject>
#include <QJsonValue>

void RunProgress::start(const PatternPlan &plan, const QDateTime &now, bool startKnown)
{
    m_plan = plan;
    m_active = true;
    m_startKnown = startKnown;
    m_loopKnown = startKnown || plan.loops() == 1;
    m_step = -1;
    m_loop = 1;
    m_stepStart = now;
    m_rows.clear();
}

void RunProgress::closeRow(const QDateTime &now)
{
    if (m_step < 0)
        return;
    StepRow row;
    row.step = m_step;
    row.loop = m_loop;
    const int i = index();
    if (i >= 0) {
        row.setC = m_plan.steps().at(i).setC;
        row.holdS = m_plan.steps().at(i).holdS;
    }
    row.start = m_stepStart;
    row.end = now;
    row.startKnown = m_startKnown;
    row.loopKnown = m_loopKnown;
    m_rows.append(row);
}

void RunProgress::observe(int step, const QDateTime &now)
{
    if (!m_active || step == m_step)
        return;
    const bool first = m_step < 0;
    closeRow(now);
    // Back at the pattern's first step from another one: the next loop.
    if (!first && step == m_plan.firstStep())
        ++m_loop;
    if (!first)
        m_startKnown = true;
    m_step = step;
    m_stepStart = now;
}

void RunProgress::finish(const QDateTime &now)
{
    if (!m_active)
        return;
    closeRow(now);
    m_active = false;
    m_step = -1;
}

int RunProgress::index() const
{
    if (m_step < 0)
        return -1;
    return m_plan.indexOf(m_step, m_loopKnown ? m_loop : m_plan.loops());
}

int RunProgress::place() const
{
    if (m_step < m_plan.firstStep() || m_step > m_plan.lastStep())
        return -1;
    return m_step - m_plan.firstStep() + 1;
}

QString RunProgress::positionText() const
{
    if (m_step < 0)
        return QString();
    return place() > 0 ? QStringLiteral("ステップ %1（%2 / %3）")
                             .arg(m_step)
                             .arg(place())
                             .arg(m_plan.stepsPerLoop())
                       : QStringLiteral("ステップ %1").arg(m_step);
}

QString RunProgress::loopText() const
{
    if (m_step < 0)
        return QString();
    const QString loop = m_loopKnown ? QString::number(m_loop) : QStringLiteral("不明");
    return m_plan.endless() ? QStringLiteral("ループ %1 / 無限").arg(loop)
                            : QStringLiteral("ループ %1 / %2").arg(loop).arg(m_plan.loops());
}

std::optional<qint64> RunProgress::stepLeftS(const QDateTime &now) const
{
    if (m_step < 0 || !m_startKnown || index() < 0)
        return std::nullopt;
    return m_plan.stepLeftS(index(), m_stepStart.secsTo(now));
}

QString RunProgress::stepLeftText(const QDateTime &now) const
{
    const std::optional<qint64> left = stepLeftS(now);
    return left ? PatternPlan::hms(*left) : QStringLiteral("不明");
}

std::optional<QDateTime> RunProgress::earliestEnd(const QDateTime &now) const
{
    if (m_step < 0)
        return std::nullopt;
    const std::optional<qint64> left = m_plan.earliestLeftS(
        index(), m_startKnown ? std::optional<qint64>(m_stepStart.secsTo(now)) : std::nullopt);
    if (!left)
        return std::nullopt;
    return now.addSecs(*left);
}

QString RunProgress::endText(const QDateTime &now) const
{
    if (m_plan.endless())
        return QStringLiteral("なし（繰り返し）");
    const std::optional<QDateTime> end = earliestEnd(now);
    if (!end)
        return QStringLiteral("不明");
    return end->date() == now.date() ? end->toString(QStringLiteral("HH:mm:ss"))
                                     : end->toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QList<RunProgress::Ahead> RunProgress::ahead(const QDateTime &now) const
{
    QList<Ahead> out;
    const int i = index();
    if (i < 0)
        return out;
    const QList<PlannedStep> &steps = m_plan.steps();
    // The current step from now to the end of its hold (all of it when its
    // start is unknown), then every later step after the one before.
    qint64 at = m_startKnown ? m_plan.stepLeftS(i, m_stepStart.secsTo(now)) : steps.at(i).holdS;
    if (steps.at(i).registered())
        out.append({0, at, steps.at(i).setC, steps.at(i).sensor});
    for (qsizetype k = i + 1; k < steps.size(); ++k) {
        const PlannedStep &s = steps.at(k);
        if (!s.registered())
            continue;
        out.append({at, at + s.holdS, s.setC, s.sensor});
        at += s.holdS;
    }
    return out;
}

QByteArray RunProgress::rowsCsv(const QList<StepRow> &rows)
{
    QByteArray out = "step,loop,set_c,hold_s,start,end,duration_s,over_hold_s\r\n";
    for (const StepRow &r : rows) {
        // A step whose start was not seen has no duration to tell.
        const QString duration = r.startKnown ? QString::number(r.durationS()) : QString();
        const QString over = r.startKnown ? QString::number(r.overHoldS()) : QString();
        out += QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8\r\n")
                   .arg(r.step)
                   .arg(r.loopKnown ? QString::number(r.loop) : QString())
                   .arg(r.setC, 0, 'f', 2)
                   .arg(r.holdS)
                   .arg(r.startKnown ? r.start.toString(Qt::ISODate) : QString(),
                        r.end.toString(Qt::ISODate), duration, over)
                   .toUtf8();
    }
    return out;
}

QString RunProgress::rowNote(const StepRow &r)
{
    return QStringLiteral(
               "ステップ実績：ステップ %1　ループ %2　設定 %3℃　保持 %4　所要 %5　超過 %6")
        .arg(r.step)
        .arg(r.loopKnown ? QString::number(r.loop) : QStringLiteral("不明"))
        .arg(r.setC, 0, 'f', 2)
        .arg(PatternPlan::hms(r.holdS),
             r.startKnown ? PatternPlan::hms(r.durationS()) : QStringLiteral("不明"),
             r.startKnown ? PatternPlan::hms(r.overHoldS()) : QStringLiteral("不明"));
}

QJsonValue runJson(const RunProgress &run, const QDateTime &now)
{
    if (!run.active() || run.step() < 0)
        return QJsonValue::Null;
    const PatternPlan &plan = run.plan();
    const auto orNull = [](bool known, const QJsonValue &v) {
        return known ? v : QJsonValue(QJsonValue::Null);
    };
    const std::optional<qint64> left = run.stepLeftS(now);
    const std::optional<QDateTime> end = run.earliestEnd(now);
    return QJsonObject{
        {QStringLiteral("pattern"), orNull(plan.number() >= 0, plan.number())},
        {QStringLiteral("step"), run.step()},
        {QStringLiteral("index"), orNull(run.place() > 0, run.place())},
        {QStringLiteral("steps"), orNull(plan.isValid(), plan.stepsPerLoop())},
        {QStringLiteral("loop"), orNull(run.loopKnown(), run.loop())},
        {QStringLiteral("loops"), orNull(plan.isValid(), plan.loops())},
        {QStringLiteral("step_left_s"), orNull(bool(left), left.value_or(0))},
        {QStringLiteral("earliest_end"),
         orNull(bool(end), end ? GraphExport::isoTime(*end) : QString())},
    };
}

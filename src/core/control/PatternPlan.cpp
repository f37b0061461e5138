#include "core/control/PatternPlan.h"

#include "core/config/Ini_Operation.h"
#include "core/control/PatternEditor.h"
#include "core/control/StepCheck.h"
#include "core/control/StepView.h"

#include <QStringList>

namespace {

// Step numbers the instrument holds, and the most loops the editor takes.
constexpr int kLastStep = 99;
constexpr int kMostLoops = 50;

PlannedStep plannedStep(int number, const QString &record, const std::array<QString, 4> &senUse)
{
    PlannedStep s;
    s.step = number;
    // The registration drops a step without a sensor or on a sensor not in
    // use ("×" in the step view); the instrument then runs a free step.
    StepCheck::StepRecord r;
    if (!StepCheck::parseStepRecord(record, &r) || r.sensor > 1 ||
        senUse.at(size_t(r.sensor)) == QLatin1String("0"))
        return s;
    double set = 0;
    const std::optional<qint64> hold = PatternPlan::holdSeconds(r.time);
    if (!StepCheck::isPlainNumber(r.temperature, &set) || !hold)
        return s;
    s.sensor = r.sensor;
    s.setC = set;
    s.holdS = *hold;
    return s;
}

} // namespace

std::optional<qint64> PatternPlan::holdSeconds(const QString &time)
{
    const QString normalized = StepCheck::NormalizeTime(time.trimmed());
    if (!StepCheck::timeValid(normalized))
        return std::nullopt;
    qint64 seconds = 0;
    for (const QString &part : normalized.split(QLatin1Char(':')))
        seconds = seconds * 60 + part.toLongLong();
    return seconds;
}

PatternPlan PatternPlan::fromRecords(const QString &patternRecord, const StepRecords &steps,
                                     const std::array<QString, 4> &senUse)
{
    PatternPlan plan;
    StepCheck::PatternRecord r;
    // "*" in the action marks a pattern the instrument does not hold.
    if (patternRecord.split(QLatin1Char(' ')).size() != 4 ||
        !StepCheck::parsePatternRecord(patternRecord, &r) || r.action > 1 || r.start < 0 ||
        r.end < r.start || r.end > kLastStep || r.loop < 0 || r.loop > kMostLoops)
        return plan;
    plan.m_valid = true;
    plan.m_loops = r.loop;
    plan.m_first = r.start;
    plan.m_last = r.end;
    plan.m_perLoop = r.end - r.start + 1;

    QList<PlannedStep> oneLoop;
    for (int n = r.start; n <= r.end; ++n)
        oneLoop.append(plannedStep(n, steps(n), senUse));
    qint64 at = 0;
    for (int loop = 1; loop <= std::max(1, r.loop); ++loop) {
        for (PlannedStep s : oneLoop) {
            s.loop = loop;
            s.earliestStartS = at;
            if (s.registered())
                at += s.holdS;
            plan.m_steps.append(s);
        }
    }
    plan.m_totalHoldS = at;
    return plan;
}

PatternPlan PatternPlan::fromIni(const Ini_Operation &ini, int number)
{
    std::array<QString, 4> senUse;
    for (size_t n = 0; n < senUse.size(); ++n)
        senUse[n] = ini.IniRead(QStringLiteral("SEN"), QStringLiteral("SEN%1").arg(n)).left(1);
    PatternPlan plan = fromRecords(
        ini.IniRead(QStringLiteral("PATTERN"), QStringLiteral("PATTERN%1").arg(number)),
        [&ini](int step) {
            return ini.IniRead(QStringLiteral("STEP"), QStringLiteral("STEP%1").arg(step));
        },
        senUse);
    if (plan.m_valid)
        plan.m_number = number;
    return plan;
}

PatternPlan PatternPlan::fromEditor(const PatternEditor &e, const Ini_Operation &ini)
{
    const int k = e.sel_pattern;
    if (k < 0 || k >= PatternEditor::Patterns)
        return {};
    int lastBlock = k;
    while (lastBlock + 1 < PatternEditor::Patterns && !e.pattern(lastBlock + 1).optionVisible)
        ++lastBlock;
    const int first = PatternEditor::stepstart(k);
    const int last = 10 * lastBlock + PatternEditor::Rows - 1;
    QStringList records;
    int end = first - 1;
    for (int n = first; n <= last; ++n) {
        int sensor = PatternEditor::FreeSensor;
        QString temp;
        QString time;
        bool valid = false;
        const int r = n - e.page_top;
        if (r >= 0 && r < PatternEditor::Rows) {
            // The rows shown: their marks are the editor's own judgement.
            const PatternEditor::StepRow &row = e.row(r);
            sensor = row.sensor;
            temp = row.temp;
            time = row.time;
            valid = row.mark == stepMarkValid();
        } else {
            const size_t i = size_t(n);
            StepCheck::StepRecord rec;
            if (!e.step_sen.at(i).isEmpty() && !e.step_temp.at(i).isEmpty() &&
                !e.step_time.at(i).isEmpty()) {
                bool ok = false;
                sensor = e.step_sen.at(i).toInt(&ok);
                if (!ok)
                    sensor = PatternEditor::FreeSensor;
                temp = e.step_temp.at(i);
                time = e.step_time.at(i);
            } else if (StepCheck::parseStepRecord(
                           ini.IniRead(QStringLiteral("STEP"), QStringLiteral("STEP%1").arg(n)),
                           &rec)) {
                sensor = rec.sensor;
                temp = rec.temperature;
                time = rec.time;
            }
            valid = (sensor == 0 || sensor == 1) &&
                    e.sen_use.at(size_t(sensor)) == QLatin1String("1") &&
                    StepCheck::checkTemperature(StepCheck::toHalfWidth(temp)) ==
                        StepCheck::TempResult::Valid &&
                    StepCheck::timeValid(StepCheck::NormalizeTime(StepCheck::toHalfWidth(time)));
        }
        if (sensor == 0 || sensor == 1)
            end = n;
        records.append(valid ? QStringLiteral("%1 0 0 %2 %3")
                                   .arg(sensor)
                                   .arg(StepCheck::toHalfWidth(temp), StepCheck::toHalfWidth(time))
                             : QString());
    }
    const PatternEditor::PatternRow &p = e.pattern(k);
    const QString loop = StepCheck::toHalfWidth(p.loop);
    double loops = -1;
    if (end < first || !StepCheck::isWholeNumber(loop) || !StepCheck::isPlainNumber(loop, &loops))
        return {};
    // The end action changes nothing of the plan: a blank one still shows it.
    const int action = p.action == 1 ? 1 : 0;
    return fromRecords(
        QStringLiteral("%1 %2 %3 %4").arg(int(loops)).arg(action).arg(first).arg(end),
        [&](int n) { return records.value(n - first); }, e.sen_use);
}

QString PatternPlan::hms(qint64 seconds)
{
    seconds = std::max<qint64>(0, seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString PatternPlan::summaryLine() const
{
    if (endless())
        return QStringLiteral("ステップ数 %1　ループ 無限　保持時間の合計 %2（1 ループ）")
            .arg(m_perLoop)
            .arg(hms(m_totalHoldS));
    return QStringLiteral("ステップ数 %1　ループ %2 回　保持時間の合計 %3")
        .arg(m_perLoop)
        .arg(m_loops)
        .arg(hms(m_totalHoldS));
}

int PatternPlan::indexOf(int step, int loop) const
{
    if (!m_valid || step < m_first || step > m_last)
        return -1;
    // Loops past the plan's (an endless pattern plans one) fold back.
    const int planned = std::max(1, m_loops);
    const int l = endless() ? 1 : std::clamp(loop, 1, planned);
    return (l - 1) * m_perLoop + (step - m_first);
}

qint64 PatternPlan::stepLeftS(int index, qint64 stepElapsedS) const
{
    if (index < 0 || index >= m_steps.size() || !m_steps.at(index).registered())
        return 0;
    return std::max<qint64>(0, m_steps.at(index).holdS - stepElapsedS);
}

std::optional<qint64> PatternPlan::earliestLeftS(int index,
                                                 std::optional<qint64> stepElapsedS) const
{
    if (endless() || index < 0 || index >= m_steps.size())
        return std::nullopt;
    const PlannedStep &s = m_steps.at(index);
    const qint64 later = m_totalHoldS - s.earliestStartS - (s.registered() ? s.holdS : 0);
    return later + (stepElapsedS ? stepLeftS(index, *stepElapsedS) : 0);
}

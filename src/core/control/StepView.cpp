#include "core/control/StepView.h"

#include "core/config/Ini_Operation.h"
#include "core/control/StepCheck.h"

#include <QStringList>

namespace {

// A free step shows the blank sensor, 40 degrees and no hold time.
const QString kFreeTemp = QStringLiteral("40");
const QString kFreeTime = QStringLiteral("0");

bool wholeNumber(const QString &text, int &value)
{
    bool ok = false;
    value = text.toInt(&ok);
    return ok;
}

} // namespace

const QString &stepMarkValid()
{
    static const QString mark = QStringLiteral("○");
    return mark;
}

const QString &stepMarkInvalid()
{
    static const QString mark = QStringLiteral("×");
    return mark;
}

StepViewRow StepView::rowFor(int stepNo, const QString &record,
                             const std::array<QString, 4> &senUse)
{
    StepViewRow row;
    row.stepNo = stepNo;
    row.temp = kFreeTemp;
    row.time = kFreeTime;
    // Records read back from the instrument carry "*" for a step it does not
    // hold; such a record, like any that is not a step, shows a free step.
    StepCheck::StepRecord step;
    if (!StepCheck::parseStepRecord(record, &step))
        return row;
    row.sensorIndex = step.sensor;
    if (step.sensor != BlankSensor) {
        const QString &use = senUse.at(size_t(step.sensor));
        if (use == QLatin1String("0"))
            row.mark = stepMarkInvalid();
        else if (use == QLatin1String("1"))
            row.mark = stepMarkValid();
    }
    row.temp = step.temperature;
    row.time = step.time;
    return row;
}

void StepView::reLoad(qint16 first)
{
    view_first = first;
    std::array<QString, 4> senUse;
    for (size_t n = 0; n < senUse.size(); ++n)
        senUse[n] = m_ini.IniRead(QStringLiteral("SEN"), QStringLiteral("SEN%1").arg(n)).left(1);
    for (int i = 0; i < RowCount; ++i) {
        const int n = first + i;
        // A missing key reads "ERR", which is no step record either.
        m_rows[size_t(i)] = rowFor(
            n, m_ini.IniRead(QStringLiteral("STEP"), QStringLiteral("STEP%1").arg(n)), senUse);
    }

    const QStringList pattern =
        m_ini.IniRead(QStringLiteral("PATTERN"), QStringLiteral("PATTERN%1").arg(first / 10))
            .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    int start = 0;
    int end = 0;
    // A record whose range is not numeric cannot set a range to page in.
    if (pattern.size() > 3 && wholeNumber(pattern.at(2), start) &&
        wholeNumber(pattern.at(3), end)) {
        view_end = pattern.at(3);
        view_start = pattern.at(2);
        setButtons();
    }
}

void StepView::setButtons()
{
    m_nextEnabled = view_end.toInt() >= view_first + 10;
    m_aheadEnabled = view_start.toInt() <= view_first - 10;
}

void StepView::nextPage()
{
    const int end = view_end.toInt();
    view_first = qint16(view_first + 10);
    if (end < view_first)
        view_first = qint16((end / 10) * 10);
    setButtons();
    reLoad(view_first);
}

void StepView::aheadPage()
{
    const int start = view_start.toInt();
    view_first = qint16(view_first - 10);
    if (start >= view_first)
        view_first = qint16(start);
    setButtons();
    reLoad(view_first);
}

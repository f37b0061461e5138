// Feeds the stored pattern and step records, and the texts the editor
// checks, through the record readers and the step check: every line of the
// input is read as a step record, a pattern record, a temperature and a hold
// time. What the readers accept must be something the editor can show.

#include "core/control/StepCheck.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"

namespace {

void checkLine(const QString &line)
{
    StepCheck::StepRecord step;
    if (StepCheck::parseStepRecord(line, &step)) {
        check(step.sensor >= 0 && step.sensor <= 2, "step sensor outside the list");
        check(step.heater >= 0 && step.heater <= 2 && step.fan >= 0 && step.fan <= 2,
              "heater or fan outside the list");
        check(step.temperature != QLatin1String("*") && step.time != QLatin1String("*"),
              "unregistered step read as a record");
    }
    StepCheck::PatternRecord pattern;
    if (StepCheck::parsePatternRecord(line, &pattern))
        check(pattern.action >= 0 && pattern.action <= 2, "action outside the list");

    const QString half = StepCheck::toHalfWidth(line);
    check(half.size() == line.size(), "half-width conversion changed the length");
    if (StepCheck::checkTemperature(half) == StepCheck::TempResult::Valid) {
        double v = 0;
        check(StepCheck::isPlainNumber(half, &v) && v >= -50 && v <= 150,
              "valid temperature out of range");
    }
    const QString t = StepCheck::NormalizeTime(line);
    const qsizetype parts = line.split(QLatin1Char(':')).size();
    if (parts == 1 || parts > 3)
        check(t == line, "a time of one or many parts was changed");
    if (StepCheck::timeValid(t))
        check(!t.split(QLatin1Char(':')).contains(QStringLiteral("e")), "a marked part passed");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QString &line : text.split(QLatin1Char('\n')))
        checkLine(line);
    return 0;
}

#include "core/link/AnswerShape.h"

#include "core/config/SettingRanges.h"
#include "core/control/StepCheck.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

bool matches(const QString &pattern, const QString &text)
{
    // Anchored, so a field never passes on a matching part.
    const QRegularExpression re(QRegularExpression::anchoredPattern(pattern));
    return re.match(text).hasMatch();
}

// A field of digits only whose value lies in lo...hi (leading zeros are
// only zeros).
bool countIn(const QString &digits, int lo, int hi)
{
    qsizetype first = 0;
    while (first + 1 < digits.size() && digits.at(first) == QLatin1Char('0'))
        ++first;
    bool ok = false;
    const int v = digits.size() - first <= 9 ? digits.mid(first).toInt(&ok) : -1;
    return ok && v >= lo && v <= hi;
}

const QString kTemperature = QStringLiteral(R"(\*|[+-]\d{3}\.\d{2})");
// SENSOR1 and SENSOR2 report whole degrees ("+080"); the decimal form is
// taken too, as configuration files hold it.
const QString kWholeOrTemperature = QStringLiteral(R"(\*|[+-]\d{3}(\.\d{2})?)");
const QString kResistance = QStringLiteral(R"(\*|\d{3}\.\d{2})");
const QString kNumber = QStringLiteral(R"(\d+(\.\d+)?)");

// The number in `key` after `prefix` (case as the file's keys are matched:
// without regard to case), or -1.
int slotOf(const QString &key, const QString &prefix, int count)
{
    if (!key.startsWith(prefix, Qt::CaseInsensitive))
        return -1;
    const QString digits = key.mid(prefix.size());
    if (digits.isEmpty() || digits.size() > 2 || !matches(QStringLiteral(R"(\d+)"), digits))
        return -1;
    const int n = digits.toInt();
    return n < count && QString::number(n) == digits ? n : -1;
}

} // namespace

bool AnswerShape::statusLine(const QString &line)
{
    return matches(QStringLiteral(R"(\d{2} [+-]?\d+(\.\d+)? \d+(\.\d+)? \d{3} \d+)"), line);
}

bool AnswerShape::temperatureLine(const QString &line)
{
    return matches(QStringLiteral("(%1) (%1) (%1) (\\*|[+-]\\d{3})").arg(kTemperature), line);
}

bool AnswerShape::sensorReply(int n, const QString &reply)
{
    return reply.size() > 2 && reply.at(0) == QChar(u'0' + n) && reply.at(1) == QLatin1Char(' ') &&
           sensorRecord(n, reply.mid(2));
}

bool AnswerShape::sensorRecord(int n, const QString &record)
{
    if (n < 0 || n > 3)
        return false;
    const QStringList f = record.split(QLatin1Char(' '));
    if (f.size() != (n < 2 ? 5 : 4))
        return false;
    if (f[0] != QLatin1String("0") && f[0] != QLatin1String("1"))
        return false;
    for (int i = 1; i <= 3; ++i) {
        if (!matches(n < 2 ? kTemperature : kWholeOrTemperature, f[i]))
            return false;
    }
    return (n >= 2 || matches(kResistance, f[4])) && SettingRanges::sensorRecord(n, record);
}

bool AnswerShape::unit(const QString &value)
{
    return matches(kNumber + QLatin1Char(' ') + kNumber, value) && SettingRanges::unit(value);
}

bool AnswerShape::switchValue(const QString &section, const QString &value)
{
    return SettingRanges::option(section, value);
}

bool AnswerShape::pattern(const QString &record)
{
    if (record.isEmpty())
        return true;
    if (!matches(QStringLiteral(R"(\d{1,2} [01] \d{1,2} \d{1,2})"), record))
        return false;
    // In range too: a dropped digit leaves a number of the right shape.
    const QStringList f = record.split(QLatin1Char(' '));
    return countIn(f[0], 0, 50) && countIn(f[2], 0, 99) && countIn(f[3], 0, 99) &&
           f[2].toInt() <= f[3].toInt();
}

bool AnswerShape::step(const QString &record)
{
    if (record == QLatin1String("* * * * *"))
        return true;
    if (!matches(QStringLiteral(R"([01] [01] [01] [+-]\d{3}\.\d{2} \d{2}:[0-5]\d:[0-5]\d)"),
                 record))
        return false;
    // A garbled digit keeps the shape: the temperature must still be a set
    // temperature and the hold time at most ten hours.
    const QStringList f = record.split(QLatin1Char(' '));
    const QStringList t = f[4].split(QLatin1Char(':'));
    const int seconds = t[0].toInt() * 3600 + t[1].toInt() * 60 + t[2].toInt();
    return StepCheck::checkTemperature(f[3]) == StepCheck::TempResult::Valid && seconds <= 36000;
}

bool AnswerShape::storedValue(const QString &section, const QString &key, const QString &value)
{
    auto is = [&](const char *name) {
        return section.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    };
    const bool para = key.compare(QLatin1String("para"), Qt::CaseInsensitive) == 0;
    if (is("SEN")) {
        const int n = slotOf(key, QStringLiteral("SEN"), 4);
        return n < 0 || sensorRecord(n, value);
    }
    if (is("UNI"))
        return !para || unit(value);
    if (is("BEEP") || is("LIT") || is("FAN"))
        return !para || switchValue(section, value);
    if (is("PATTERN"))
        return slotOf(key, QStringLiteral("PATTERN"), 10) < 0 || pattern(value);
    if (is("STEP"))
        return slotOf(key, QStringLiteral("STEP"), 100) < 0 || step(value);
    return true;
}

bool AnswerShape::wholeAnswer(const QString &command, const QString &raw, QString *valueLine)
{
    const QStringList lines = raw.split(QLatin1Char('\r'));
    // Three CRs at least: echo, acknowledgement and value line all ended.
    if (lines.size() < 4 || lines[0] != command || lines[1] != QLatin1String("OK"))
        return false;
    *valueLine = lines[2];
    return true;
}

bool AnswerShape::sensorLine(int n, const QString &line, QString *record)
{
    static const QRegularExpression pt(QRegularExpression::anchoredPattern(QStringLiteral(
        R"([01] (\*|[+-]\d{3}\.\d{2}) (\*|[+-]\d{3}\.\d{2}) (\*|[+-]\d{3}\.\d{2}):(\*|\d{3}\.\d{2}))")));
    static const QRegularExpression whole(QRegularExpression::anchoredPattern(
        QStringLiteral(R"([01] (\*|[+-]\d{3}) (\*|[+-]\d{3}) (\*|[+-]\d{3}))")));
    if (n < 0 || n > 3 || line.size() < 2 || line.at(0) != QChar(u'0' + n) ||
        line.at(1) != QLatin1Char(' '))
        return false;
    const QString rest = line.mid(2);
    if (!(n < 2 ? pt : whole).match(rest).hasMatch())
        return false;
    QString r = rest;
    r.replace(QLatin1Char(':'), QLatin1Char(' '));
    if (!sensorRecord(n, r))
        return false;
    *record = r;
    return true;
}

namespace {

// "<letter><n> " and the rest of the line.
bool slotLine(QChar letter, int n, const QString &line, QString *rest)
{
    const QString head = letter + QString::number(n) + QLatin1Char(' ');
    if (!line.startsWith(head))
        return false;
    *rest = line.mid(head.size());
    return true;
}

} // namespace

bool AnswerShape::patternLine(int n, const QString &line, QString *record)
{
    QString rest;
    if (!slotLine(QLatin1Char('P'), n, line, &rest))
        return false;
    if (rest == QLatin1String("* * * *")) {
        record->clear();
        return true;
    }
    if (rest.isEmpty() || !pattern(rest))
        return false;
    *record = rest;
    return true;
}

bool AnswerShape::stepLine(int n, const QString &line, QString *record)
{
    QString rest;
    if (!slotLine(QLatin1Char('S'), n, line, &rest) || !step(rest))
        return false;
    *record = rest;
    return true;
}

bool AnswerShape::switchLine(const QString &section, const QString &line)
{
    const bool known = section == QLatin1String("BEEP") || section == QLatin1String("LIT") ||
                       section == QLatin1String("FAN");
    return known && matches(QStringLiteral(R"(\d)"), line) && switchValue(section, line);
}

bool AnswerShape::unitLine(const QString &line)
{
    // The resistance with one decimal, as the settings window writes it;
    // the current a whole number of one or two digits.
    return matches(QStringLiteral(R"(\d\.\d \d{1,2})"), line) && unit(line);
}

bool AnswerShape::logLine(const QString &line)
{
    return matches(QStringLiteral(R"(\d \d)"), line);
}

bool AnswerShape::answerValue(const QString &command, const QString &raw, QString *value)
{
    QString line;
    if (!wholeAnswer(command, raw, &line))
        return false;
    const QStringList f = command.split(QLatin1Char(' '));
    const int n = f.size() > 1 ? f[1].toInt() : -1;
    const QString &head = f[0];
    if (head == QLatin1String("SEN") && f.size() == 2)
        return sensorLine(n, line, value);
    if (head == QLatin1String("LP") && f.size() == 3)
        return patternLine(n, line, value);
    if (head == QLatin1String("LS") && f.size() == 3)
        return stepLine(n, line, value);
    if (f.size() != 1)
        return false;
    *value = line;
    if (head == QLatin1String("UNI"))
        return unitLine(line);
    if (head == QLatin1String("LOG"))
        return logLine(line);
    return switchLine(head, line);
}

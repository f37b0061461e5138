#include "core/config/SettingRanges.h"

#include <QStringList>

namespace SettingRanges {

namespace {

// More integer digits than any of the ranges can use.
constexpr int MaxIntegerDigits = 12;

const QString kStar = QStringLiteral("*");

bool isPt(int sensor)
{
    return sensor < 2;
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool sectionIs(const QString &section, const char *name)
{
    return section.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

// Sensor n of a key "SEN0" ... "SEN3" (any case), or -1.
int sensorOfKey(const QString &key)
{
    if (key.size() != 4 || !key.startsWith(QLatin1String("SEN"), Qt::CaseInsensitive))
        return -1;
    const int n = key.at(3).unicode() - '0';
    return n >= 0 && n < SensorCount ? n : -1;
}

} // namespace

int sensorFields(int sensor)
{
    return isPt(sensor) ? 5 : 4;
}

Range limit(int sensor)
{
    return isPt(sensor) ? Range{-5000, 15000, 5} : Range{0, 10000, 100};
}

Range offset(int sensor)
{
    return Range{-1000, 1000, limit(sensor).step};
}

std::optional<qint64> hundredths(const QString &text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    qint64 whole = 0;
    int intDigits = 0;
    int digits = 0;
    while (i < text.size() && isAsciiDigit(text.at(i))) {
        if (intDigits > 0 || text.at(i) != QLatin1Char('0'))
            ++intDigits;
        if (intDigits > MaxIntegerDigits)
            return std::nullopt;
        whole = whole * 10 + (text.at(i).unicode() - '0');
        ++digits;
        ++i;
    }
    qint64 fraction = 0;
    if (i < text.size() && text.at(i) == QLatin1Char('.')) {
        ++i;
        int place = 0;
        while (i < text.size() && isAsciiDigit(text.at(i))) {
            const int d = text.at(i).unicode() - '0';
            // Beyond hundredths only zeros keep the value exact.
            if (place == 0)
                fraction += d * 10;
            else if (place == 1)
                fraction += d;
            else if (d != 0)
                return std::nullopt;
            ++place;
            ++digits;
            ++i;
        }
    }
    if (digits == 0 || i != text.size())
        return std::nullopt;
    const qint64 value = whole * 100 + fraction;
    return negative ? -value : value;
}

bool within(const QString &text, const Range &range)
{
    const std::optional<qint64> v = hundredths(text);
    return v && *v >= range.min && *v <= range.max && *v % range.step == 0;
}

SensorFault sensorFault(int sensor, const QString &upper, const QString &lower,
                        const QString &offsetText, const QString &resistance)
{
    if (sensor < 0 || sensor >= SensorCount)
        return SensorFault::Limit;
    const Range l = limit(sensor);
    auto limitOk = [&l](const QString &t) { return t == kStar || within(t, l); };
    if (!limitOk(upper) || !limitOk(lower))
        return SensorFault::Limit;
    if (upper != kStar && lower != kStar && *hundredths(lower) >= *hundredths(upper))
        return SensorFault::Order;
    if (!within(offsetText, offset(sensor)))
        return SensorFault::Offset;
    if (isPt(sensor) && !within(resistance, Resistance))
        return SensorFault::Resistance;
    return SensorFault::None;
}

bool sensorRecord(int sensor, const QString &record)
{
    if (sensor < 0 || sensor >= SensorCount)
        return false;
    const QStringList f = record.split(QLatin1Char(' '));
    if (f.size() != sensorFields(sensor))
        return false;
    if (f[0] != QLatin1String("0") && f[0] != QLatin1String("1"))
        return false;
    const QString offsetText = f[3] == kStar ? QStringLiteral("0") : f[3];
    const QString resistance =
        !isPt(sensor) ? QString() : (f[4] == kStar ? QStringLiteral("100") : f[4]);
    return sensorFault(sensor, f[1], f[2], offsetText, resistance) == SensorFault::None;
}

bool unit(const QString &value)
{
    const QStringList f = value.split(QLatin1Char(' '));
    return f.size() == 2 && within(f[0], UnitResistance) && within(f[1], UnitCurrent);
}

bool option(const QString &section, const QString &value)
{
    const int count = sectionIs(section, "FAN")    ? FanModes
                      : sectionIs(section, "BEEP") ? BeepModes
                      : sectionIs(section, "LIT")  ? LitModes
                                                   : 0;
    // One digit, as the window writes and the instrument answers.
    return value.size() == 1 && isAsciiDigit(value.at(0)) && value.at(0).unicode() - '0' < count;
}

bool storedValue(const QString &section, const QString &key, const QString &value)
{
    const bool para = key.compare(QLatin1String("para"), Qt::CaseInsensitive) == 0;
    if (sectionIs(section, "SEN")) {
        const int n = sensorOfKey(key);
        return n < 0 || sensorRecord(n, value);
    }
    if (sectionIs(section, "UNI"))
        return !para || unit(value);
    if (sectionIs(section, "BEEP") || sectionIs(section, "LIT") || sectionIs(section, "FAN"))
        return !para || option(section, value);
    return true;
}

} // namespace SettingRanges

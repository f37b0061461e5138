#pragma once

#include <QString>

#include <optional>

// The ranges of the instrument's settings: the sensors, the thermal unit, the
// beeper, the backlight and the fan. The detailed settings window checks what
// the user typed with them, "開く" checks a configuration set with them, and
// the whole-set read checks the instrument's answers with them, so a value
// that one of these ways refuses cannot reach the instrument by another.
//
// Every rule is exact on the decimal text: values are compared in hundredths,
// so binary rounding neither accepts a value with more decimals nor refuses a
// valid one.
namespace SettingRanges {

// Minimum, maximum and step, in hundredths.
struct Range {
    qint64 min;
    qint64 max;
    qint64 step;
};

inline constexpr int SensorCount = 4;
// Sensors 0 and 1 (PT100A, PT100B) have a resistance field; 2 and 3
// (SENSOR1, SENSOR2) do not.
int sensorFields(int sensor);
// Upper and lower limit: -50.00 ... 150.00 in steps of 0.05 for the PT100
// inputs, 0 ... 100 in whole degrees for SENSOR1 and SENSOR2.
Range limit(int sensor);
// Offset: -10 ... 10 in the limit's step.
Range offset(int sensor);
// PT100 resistance: 95.00 ... 105.00 in steps of 0.05.
inline constexpr Range Resistance{9500, 10500, 5};
// Thermal unit: resistance 1.0 ... 6.0 ohms in steps of 0.1, current 3 ... 16
// amperes in whole amperes.
inline constexpr Range UnitResistance{100, 600, 10};
inline constexpr Range UnitCurrent{300, 1600, 100};
// Status sampling interval: whole seconds up to 60 (0 is taken as 1).
inline constexpr Range Interval{0, 6000, 100};
// Option counts: the fan (SYNC, 停止, 動作), beeper and backlight (off, on).
inline constexpr int FanModes = 3;
inline constexpr int BeepModes = 2;
inline constexpr int LitModes = 2;

// The value of a plain decimal text ("+025.00", "-5", ".5") times 100 when it
// is exact in hundredths; nothing for any other text (blanks included), and
// for a value with more integer digits than any range can use.
std::optional<qint64> hundredths(const QString &text);
// A number between the range's minimum and maximum that is a multiple of its
// step.
bool within(const QString &text, const Range &range);

// The first rule one sensor's fields break, in the order the window checks
// them. Limits may be "*" (no limit); offset and resistance must be numbers.
enum class SensorFault { None, Limit, Order, Resistance, Offset };
SensorFault sensorFault(int sensor, const QString &upper, const QString &lower,
                        const QString &offset, const QString &resistance);

// A stored sensor record of `sensor`: use flag 0 or 1, upper and lower limit,
// offset, and for the PT100 inputs the resistance, single blanks between. An
// offset or resistance of "*" (none set) is judged as the write sends it, 0
// and 100.
bool sensorRecord(int sensor, const QString &record);
// A stored thermal-unit value: resistance and current.
bool unit(const QString &value);
// A stored beeper, backlight or fan value: the option's index, one digit.
// `section` is "BEEP", "LIT" or "FAN" (any case); false for other sections.
bool option(const QString &section, const QString &value);

// The check of a value stored under `key` of `section` for the sensors, the
// thermal unit, the beeper, the backlight and the fan; true for every other
// key, which these rules do not cover.
bool storedValue(const QString &section, const QString &key, const QString &value);

} // namespace SettingRanges

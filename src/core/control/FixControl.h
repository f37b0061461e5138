#pragma once

#include <QString>

// A set temperature as typed into the fixed-value control window, judged on
// its decimal text so that no binary rounding accepts 25.025 or refuses 25.05.
struct SetTempCheck {
    bool numeric = false; // the text is a number
    double value = 0;     // its value, when numeric
    bool valid = false;   // numeric, within -50 ... 150 and a whole multiple of 0.05
};

SetTempCheck checkSetTemp(const QString &text);

// The shortest decimal text of a number, without sign for zero, leading zeros
// or trailing decimals: 25 -> "25", -10.5 -> "-10.5".
QString shortestDecimal(double value);

// The refusal of a set temperature.
QString setTempErrorText();

// Whether a set temperature lies above the upper or below the lower limit of
// a sensor record ("use upper lower offset resistance"); false when the
// record carries no numeric limits.
bool beyondSensorLimits(const QString &record, double value);

// The question asked before a run beyond the chosen sensor's limits.
QString sensorLimitQuestion();

#pragma once

#include <QString>

// Checks of one step of a temperature programme as the pattern editor judges
// it while the user types, and the readers of the stored pattern and step
// records. Everything here is pure text arithmetic.
namespace StepCheck {

// Full-width ASCII forms (and the ideographic space) as their half-width
// characters; everything else unchanged.
QString toHalfWidth(const QString &text);

// A plain decimal number: optional sign, digits, optional fraction; no
// blanks, no exponent (a record splits at blanks, and the instrument reads
// plain decimals only).
bool isPlainNumber(const QString &text, double *value = nullptr);
// A plain number whose fraction, if any, is all zeros.
bool isWholeNumber(const QString &text);

// The temperature part of the check.
enum class TempResult {
    Valid,     // numeric, -50 to 150, on the 0.05 grid
    OffGrid,   // numeric, within range, not a multiple of 0.05
    NotUsable, // not a number, or out of range
};
// Judged on the decimal text itself, so 0.05 and 149.95 are exact.
TempResult checkTemperature(const QString &text);

// Hold-time normaliser: carries seconds into minutes and minutes into hours
// ("0:0:90" gives "0:1:30"), prefixes "00:" to "m:s", marks a part that is
// not a whole number with "e" so the result fails both time rules.
QString NormalizeTime(const QString &text);

// A hold time (already normalised) is valid when it is a whole number of
// seconds 0-36000, or two or three numeric parts h:m:s (m:s) whose total is
// 0-36000 seconds. Every edit of a step judges its time by this one rule.
bool timeValid(const QString &normalized);

// The forms a step record is written in, the instrument's own: a valid
// temperature as sign, three digits and two decimals ("40.5" gives
// "+040.50"), a valid hold time as "hh:mm:ss" ("90" and "0:1:30" give
// "00:01:30"). Empty for a text that fails its rule.
QString instrumentTemperature(const QString &text);
QString clockTime(const QString &normalized);

// A stored step record "sensor heater fan temperature time". Only a value
// of exactly five fields whose list indexes are 0-2 counts; "*" (the
// instrument's answer for a step it does not hold) or anything else reads as
// a free step.
struct StepRecord {
    int sensor = 2;
    int heater = 0;
    int fan = 0;
    QString temperature;
    QString time;
};
bool parseStepRecord(const QString &value, StepRecord *out);

// A stored pattern record "loop action start end". A record whose loop or
// action is not a number (such as the instrument's "*") reads as no pattern.
struct PatternRecord {
    int loop = 0;
    int action = 2; // 0 end, 1 continue, 2 blank
    int start = -1; // -1 when the field is missing or not a number
    int end = -1;
};
bool parsePatternRecord(const QString &value, PatternRecord *out);

} // namespace StepCheck

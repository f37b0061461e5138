#pragma once

#include <QString>

// The shapes of the answers the whole-set read stores, as the instrument
// sends them: numbers where numbers go, with the instrument's signs and
// widths, and "*" where it reports none. A line that picked up noise on the
// way rarely keeps its shape, and storing it would hand a corrupt setting to
// the next write. The values must also lie in the ranges of SettingRanges,
// the same the settings window and "開く" apply.
class AnswerShape {
public:
    // Sensor reply of slot n as the parser collects it: the echoed slot
    // number, a space, then the sensor record.
    static bool sensorReply(int n, const QString &reply);
    // Sensor record of slot n: use flag (0 or 1), upper and lower limit,
    // offset, and for slots 0 and 1 the resistance. Temperatures are a sign,
    // three digits and two decimals ("+150.00"), the resistance three digits
    // and two decimals ("100.00"); the offset and resistance may be "*", the
    // limits "*" too.
    static bool sensorRecord(int n, const QString &record);
    // Thermal unit: resistance and current, two numbers ("3.0 8").
    static bool unit(const QString &value);
    // Beeper, backlight and fan (`section` "BEEP", "LIT" or "FAN"): the
    // option's index.
    static bool switchValue(const QString &section, const QString &value);
    // Pattern record as stored (trimmed) and as the editor writes it: four
    // whole numbers of one or two digits, the loop count 0-50, the action 0
    // (end) or 1 (continue), and the start and end steps 0-99, start not
    // after end; or empty for a pattern the instrument does not hold (its
    // "*" fields are not kept).
    static bool pattern(const QString &record);
    // Step record as stored (trimmed) and as the editor writes it: sensor 0
    // (PT100A) or 1 (PT100B), heater and fan 0 or 1, a temperature in the
    // instrument's width ("+040.00") from -50 to 150 on the 0.05 grid, a
    // hold time "hh:mm:ss" of at most ten hours; or "*" in all five fields
    // for a step the instrument does not hold.
    static bool step(const QString &record);

    // A whole answer to the query `command` as the instrument sends it: the
    // echo of the command exactly, "OK", and the value line, each ended by
    // CR; lines after the value line are not part of the value. Fills
    // `valueLine` and returns true only for that shape.
    static bool wholeAnswer(const QString &command, const QString &raw, QString *valueLine);
    // The value lines of the queries, exactly as the instrument writes them,
    // with what the read stores for each: the sensor record of slot n ("n
    // use upper lower offset:resistance" for slots 0 and 1, whole degrees
    // "n use upper lower offset" for 2 and 3), the pattern record of slot n
    // ("P<n> " and a pattern, or "* * * *" stored empty), the step record
    // of slot n ("S<n> " and a step, "* * * * *" included). No character of
    // the line is dropped or mended: a line of any other shape is refused.
    static bool sensorLine(int n, const QString &line, QString *record);
    static bool patternLine(int n, const QString &line, QString *record);
    static bool stepLine(int n, const QString &line, QString *record);
    // The unit, a switch (`section` "BEEP", "LIT" or "FAN") and the
    // instrument log's setting: the whole line is the value.
    static bool unitLine(const QString &line);
    static bool switchLine(const QString &section, const QString &line);
    static bool logLine(const QString &line);

    // The whole answer to one of the whole-set read's queries ("SEN n",
    // "UNI", "BEEP", "LIT", "LOG", "FAN", "LP n 0", "LS n 1") checked as
    // above, and the value the read stores from it.
    static bool answerValue(const QString &command, const QString &raw, QString *value);

    // The status poll's lines, trimmed, as the instrument writes them. The
    // status line: a two-digit code, the internal temperature and the
    // maximum current as decimal numbers, a three-digit alarm code and the
    // step number. The temperature line: PT100A, PT100B and SENSOR1 as
    // "+025.00", SENSOR2 in whole degrees as "+025", each "*" when the
    // instrument has no reading. A sample is logged and drawn, so a line
    // noise bent out of this shape is never taken for one.
    static bool statusLine(const QString &line);
    static bool temperatureLine(const QString &line);

    // The check for a value the read stores under `key` of `section`; true
    // for keys the read does not write.
    static bool storedValue(const QString &section, const QString &key, const QString &value);
};

#pragma once

#include "core/logging/GraphReadout.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>

// What a whole log holds, for the first page of its report: when it ran, how
// many samples came and went missing, each sensor's range and mean, the memo
// written after it and the alarms the system log recorded while it ran.
struct LogSummary {
    struct Sensor {
        qint64 readings = 0; // samples with a number for this sensor
        double min = 0.0;
        double max = 0.0;
        double mean = 0.0;
    };

    QString fileName;
    QDateTime start; // invalid when unknown
    QDateTime end;
    qint64 duration = 0; // seconds from the first sample to the last
    qint64 interval = 0; // seconds between samples
    qint64 samples = 0;  // samples whose reply came
    qint64 missing = 0;  // samples whose reply never came
    std::array<Sensor, 4> sensors{};
    // A run of samples whose replies never came.
    struct Gap {
        qint64 start = 0;   // seconds from the log's start to its first sample
        qint64 samples = 0; // samples missing
        qint64 seconds = 0; // their length
    };
    qint64 gapCount = 0;
    QList<Gap> longestGaps; // the longest few, longest first (earlier first when equal)
    static constexpr int LongestGaps = 5;

    // A step of the pattern run the log recorded, as the run wrote it beside
    // the log when it ended; -1 where its start was not seen.
    struct Step {
        int step = 0;
        int loop = 0;
        double setC = 0.0;
        qint64 holdS = 0;
        qint64 durationS = -1;
        qint64 overS = -1;
    };
    QList<Step> steps;

    // Pages of graph the report prints after the summary; pages of a long
    // log overlap by half.
    int graphPages = 0;

    QString memo;
    QStringList alarms; // "yyyy/MM/dd HH:mm:ss　<what the system log says>"

    // Over every sample of `whole` (a stored log, unpaged).
    static LogSummary of(const GraphPage &whole, const QString &memo);

    // The system log's line when an alarm stops a run, after its time stamp.
    static QString alarmNote(const QString &code);
    // The alarm notes of the system logs below `folder` (one file per start
    // of the program, in a folder per day) stamped from `from` to `to`.
    static QStringList alarmsBetween(const QString &folder, const QDateTime &from,
                                     const QDateTime &to);
    // The same for this summary's log: from its start until its last sample
    // has had its interval (an alarm stops the log as its reply comes).
    QStringList alarmsIn(const QString &folder) const;

    // The step rows of "<log>.steps.csv" (header
    // "step,loop,set_c,hold_s,start,end,duration_s,over_hold_s"); none when
    // the file is missing or of another kind. A row that is not one is left out.
    static QList<Step> readSteps(const QString &path);
    // The path of that file beside the text log `logPath`.
    static QString stepsPath(const QString &logPath);

    // The summary's lines as the report prints them, label and value.
    QList<std::pair<QString, QString>> lines() const;
    // "hh:mm:ss", hours of any length.
    static QString clockText(qint64 seconds);
};

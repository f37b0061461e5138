#pragma once

#include "core/control/PatternPlan.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

class QJsonValue;

// Where a pattern run is, followed from the status replies (the step being
// executed), against its plan: the step and its place in the pattern, the
// loop (counted when the step returns to the pattern's first step), the
// earliest time left of the step and of the run, and afterwards what each
// step reached really took.
class RunProgress {
public:
    // One step reached: from the reply that first showed it to the one that
    // showed the next (or the end of the run).
    struct StepRow {
        int step = 0;
        int loop = 1;
        double setC = 0;
        qint64 holdS = 0;
        QDateTime start;
        QDateTime end;
        bool startKnown = true;
        // False in a run found going with several loops: which loop it was
        // in is nowhere to be read.
        bool loopKnown = true;
        qint64 durationS() const { return start.secsTo(end); }
        // The ramp and any catch-up: the time beyond the hold, never below 0.
        qint64 overHoldS() const { return std::max<qint64>(0, durationS() - holdS); }
    };

    // A run of `plan` begins at `now`. `startKnown` false: the program found
    // the run already going (a start-up during a run), so the first step's
    // own start is not known.
    void start(const PatternPlan &plan, const QDateTime &now, bool startKnown = true);
    // A status reply of the running instrument naming `step`.
    void observe(int step, const QDateTime &now);
    // The run ended (its last step done, STOP, an alarm); the rows are kept
    // until the next start.
    void finish(const QDateTime &now);

    bool active() const { return m_active; }
    const PatternPlan &plan() const { return m_plan; }
    // The step being executed, -1 before the first reply.
    int step() const { return m_step; }
    int loop() const { return m_loop; }
    // Whether loop() is the run's loop: the status reply tells the step
    // only, so a run found going knows it only when it has a single loop.
    bool loopKnown() const { return m_loopKnown; }
    // Its index in the plan, -1 when unknown. An unknown loop counts as the
    // last: every time derived from it stays the earliest.
    int index() const;
    // Its place in one loop, 1-based; -1 outside the pattern's steps.
    int place() const;

    // "ステップ 23（3 / 8）": the step and its place in one loop.
    QString positionText() const;
    // "ループ 2 / 3", or "ループ 2 / 無限"; "ループ 不明 / 3" when the loop
    // is not known.
    QString loopText() const;
    // What is left of the step's hold, "h:mm:ss", or "不明" when the step's
    // start is not known.
    QString stepLeftText(const QDateTime &now) const;
    // The same in seconds; no value when unknown.
    std::optional<qint64> stepLeftS(const QDateTime &now) const;
    // The earliest end: no value for loops without end or an unknown place.
    std::optional<QDateTime> earliestEnd(const QDateTime &now) const;
    // "HH:mm:ss" of the earliest end (the date before it when not today),
    // "なし（繰り返し）" when the loops never end, "不明" otherwise unknown.
    QString endText(const QDateTime &now) const;

    // The rest of the plan from now on, each step as seconds from now (its
    // earliest start and end) at its set temperature; a step the
    // registration drops is left out. Empty when the place is unknown.
    struct Ahead {
        qint64 fromS = 0;
        qint64 toS = 0;
        double setC = 0;
        int sensor = 0;
    };
    QList<Ahead> ahead(const QDateTime &now) const;

    const QList<StepRow> &rows() const { return m_rows; }
    // The rows as the file beside the text log holds them, with its header.
    static QByteArray rowsCsv(const QList<StepRow> &rows);
    // One line of the system log for a row.
    static QString rowNote(const StepRow &row);

    static QString stepLeftCaption() { return QStringLiteral("ステップ残り（最短）"); }
    static QString endCaption() { return QStringLiteral("終了予定（最短）"); }

private:
    void closeRow(const QDateTime &now);

    PatternPlan m_plan;
    bool m_active = false;
    bool m_startKnown = true;
    bool m_loopKnown = true;
    int m_step = -1;
    int m_loop = 1;
    QDateTime m_stepStart;
    QList<StepRow> m_rows;
};

// A run as "status --json" tells it: {"pattern", "step", "index", "steps",
// "loop", "loops", "step_left_s", "earliest_end"}, what is not known null,
// "loops" 0 for loops without end, "earliest_end" ISO 8601 with its offset;
// null when no pattern run is followed.
QJsonValue runJson(const RunProgress &run, const QDateTime &now);

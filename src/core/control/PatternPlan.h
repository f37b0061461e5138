#pragma once

#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <optional>

class Ini_Operation;
class PatternEditor;

// One step of a pattern as the instrument will run it.
struct PlannedStep {
    int step = 0; // step number (key STEP<n>)
    int loop = 1; // 1-based loop the step belongs to
    // Control sensor: 0 PT100A, 1 PT100B; -1 for a step the registration
    // would drop (no sensor, or a sensor not in use), drawn as a gap.
    int sensor = -1;
    double setC = 0;
    qint64 holdS = 0;
    // Seconds from the run's start to this step's start if every ramp took
    // no time: the earliest the step can begin.
    qint64 earliestStartS = 0;
    bool registered() const { return sensor >= 0; }
};

// The plan of one pattern: its steps in the order the instrument runs them,
// repeated by the loop count, each with its sensor, set temperature and
// hold. The ramp to each set temperature takes a time only the instrument
// knows, so every time the plan gives is the earliest: hold times are
// exact, ramps count as nothing.
class PatternPlan {
public:
    // The records as the configuration holds them: the pattern record
    // "loop action start end", and the step record of a step number; `senUse`
    // the first character of SEN0 to SEN3 (whether a sensor is in use).
    using StepRecords = std::function<QString(int step)>;
    static PatternPlan fromRecords(const QString &patternRecord, const StepRecords &steps,
                                   const std::array<QString, 4> &senUse);
    // Pattern `number` of the configuration file.
    static PatternPlan fromIni(const Ini_Operation &ini, int number);
    // The pattern selected in the editor as typed, before it is registered:
    // its blocks up to the last step given a sensor, the rows shown as they
    // stand, the other pages from the editor's copies or else the file. A
    // step the registration would drop ("×", or a sensor whose use is not
    // known) is a gap; no plan while the loop count is not one it takes.
    static PatternPlan fromEditor(const PatternEditor &editor, const Ini_Operation &ini);

    // A registered pattern whose range names at least one step.
    bool isValid() const { return m_valid; }
    // The pattern's number when read from the configuration, else -1.
    int number() const { return m_number; }
    // 0: the loops never end.
    int loops() const { return m_loops; }
    bool endless() const { return m_valid && m_loops == 0; }
    int firstStep() const { return m_first; }
    int lastStep() const { return m_last; }
    // Steps of one loop (registered or not, as the range names them).
    int stepsPerLoop() const { return m_perLoop; }
    // Every step of every loop; one loop when the loops never end.
    const QList<PlannedStep> &steps() const { return m_steps; }
    // Sum of the holds of the registered steps of all loops (of one loop
    // when endless).
    qint64 totalHoldS() const { return m_totalHoldS; }

    // "ステップ数 %1　ループ %2 回　保持時間の合計 %3", or for loops without
    // end "ステップ数 %1　ループ 無限　保持時間の合計 %3（1 ループ）".
    QString summaryLine() const;

    // Where a run is, from the step the instrument reports and the loop
    // counted by the caller: the plan's index of that step in that loop, or
    // -1 when the step is not in the pattern.
    int indexOf(int step, int loop) const;
    // The earliest seconds left of the run at plan index `index`: what is
    // left of its hold (`stepElapsedS` since the step began; unknown counts
    // from the next step) plus every later hold. No value when the loops
    // never end.
    std::optional<qint64> earliestLeftS(int index, std::optional<qint64> stepElapsedS) const;
    // What is left of the hold of step `index`, never below zero.
    qint64 stepLeftS(int index, qint64 stepElapsedS) const;

    // "h:mm:ss".
    static QString hms(qint64 seconds);
    // Seconds of a hold time as the editor writes it ("hh:mm:ss", also
    // "m:s" and whole seconds); no value when it is not a valid hold.
    static std::optional<qint64> holdSeconds(const QString &time);

private:
    bool m_valid = false;
    int m_number = -1;
    int m_loops = 0;
    int m_first = 0;
    int m_last = -1;
    int m_perLoop = 0;
    qint64 m_totalHoldS = 0;
    QList<PlannedStep> m_steps;
};

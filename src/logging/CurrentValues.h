#pragma once

#include <QString>

#include <array>

struct Parameter;
struct StatuslogState;

// What the "現在値" window shows: the newest sample of the log and the status
// line that came with it. Read from the parameter set and the status-log
// state each time, so the window keeps nothing of its own.
struct CurrentValues {
    // Each reading as received ("+025.00", "*"); "-" before the first sample.
    std::array<QString, 4> temps;
    QString setPoint; // the running step's or fixed-value run's temperature, or "-"
    QString state;    // "平常状態", "動作状態", ...; "-" when none yet
    QString step;     // number of the step being executed, or "-"
    QString elapsed;  // "hh:mm:ss" of the newest sample, or "-"
    QString link;     // the status bar's link text

    static CurrentValues from(const Parameter &p, const StatuslogState &status,
                              const QString &linkText);
    // Index of the newest sample that arrived, -1 when none.
    static qint64 newestSample(const Parameter &p);
};

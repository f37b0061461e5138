#pragma once

#include <QDateTime>
#include <QString>

#include <array>

struct Parameter;
struct StatuslogState;

// What the "現在値" window shows: the newest sample of the log and the status
// line that came with it. Read from the parameter set and the status-log
// state each time, so the window keeps nothing of its own.
struct CurrentValues {
    // Whether the samples still come, as the window's owner knows it.
    struct Feed {
        bool polling = false;   // a log or a run polls the instrument
        bool linkLost = false;  // ... and the instrument has stopped answering
        QDateTime lastReading;  // when the newest sample arrived; invalid if none
        QDateTime pollingEnded; // when the last log ended; invalid before any
        QDateTime now;
    };
    enum class Freshness {
        Live,        // the readings are the newest of a running poll
        LinkLost,    // polled, but nothing arrives: the readings are old
        NotUpdating, // nothing is polled: the readings are the last log's
    };

    // Each reading as received ("+025.00", "*"); "-" before the first sample;
    // unusableText() for a sensor switched off in the settings.
    std::array<QString, 4> temps;
    QString setPoint; // the running step's or fixed-value run's temperature, or "-"
    QString state;    // "平常状態", "動作状態", ...; "-" when none yet
    QString step;     // number of the step being executed, or "-"
    QString elapsed;  // "hh:mm:ss" of the newest sample, or "-"
    QString link;     // the status bar's link text
    // A pattern run followed against its plan: "ステップ 23（3 / 8）",
    // "ループ 2 / 3", the step's earliest time left and the run's earliest
    // end; all empty when no pattern runs.
    QString runPosition;
    QString runLoop;
    QString runStepLeft;
    QString runEnd;

    Freshness freshness = Freshness::Live;
    // What is wrong with the readings while they are not live: the headline
    // ("通信異常", "更新停止"), what the time tells ("最終受信", "ログ終了",
    // with the date when it is not today) and the time ("hh:mm:ss", empty
    // when there is none).
    QString staleWhat;
    QString staleSince;
    QString staleTime;

    static CurrentValues from(const Parameter &p, const StatuslogState &status,
                              const QString &linkText, const Feed &feed);
    // Index of the newest sample that arrived, -1 when none.
    static qint64 newestSample(const Parameter &p);
    // Whether the settings switch sensor k off (its record's use flag is 0).
    static bool sensorUnusable(const Parameter &p, int k);
    static QString unusableText() { return QStringLiteral("使用不可"); }
};

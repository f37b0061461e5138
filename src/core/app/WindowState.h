#pragma once

#include "core/settings/SensorLog.h"
#include "core/settings/StatusLabels.h"

#include <QLocale>
#include <QString>

// The data of windows that outlives their widgets. The application owns one of
// each for the whole run; a window reads its state when it opens and writes it
// back as it changes, and others write here even while the window is closed.

// Sensor and device settings window.
struct DetailedSettingsState {
    bool flg_s = true;    // false when the user declined to apply pending changes
    bool flg_s2 = false;  // the user accepted the write offered after applying
    int flg_i = 0;        // input-error code; 0 when every entry is valid
    bool flg_csv = false; // CSV copies of the logs are written
};

// Pattern and step editor.
struct OperationSettingState {
    bool flg_d = true; // false when the user declined to register pending changes
};

// Graph window.
struct GraphState {
    bool readflg = false;     // a control run is in progress
    bool stopEnabled = false; // Stop_c
    bool goEnabled = true;    // C_go
    bool readEnabled = true;  // C_read (off while a control run drives the graph)
    bool printEnabled = true; // Print_c
};

// Status-log window: the labels the status poll fills, shown when it opens.
struct StatuslogState {
    bool alarmVisible = false; // alarm_c
    QString nj_l;              // status text
    bool nj_red = false;       // status text in red (alarm)
    QString no_l;              // internal temperature
    QString sd_l;              // maximum current
    QString sa_l;              // last alarm code
    QString js_l;              // step being executed
};

// Alarm window.
struct AlarmState {
    QString code;          // alarm code shown when the window opens
    bool standing = false; // the last status reply carried "04" (until ACLR)
};

// Fixed-value control window: the choices of the last run, which the memo
// reports after the window has closed.
struct FixControlState {
    int SensorChoice = 0; // 0 PT100A, 1 PT100B
    int HeaterChoice = 0; // 0 not used, 1 used
    int FanChoice = 0;    // 0 not used, 1 used
    int ReachChoice = 0;  // 0 end on reaching the set temperature, 1 keep it
    double SetTemp = 0;   // the last numeric set temperature typed
    // The last run this program started was this window's RUN, not a
    // pattern's GO: the instrument reports it as step 0, yet its target is
    // the set temperature, not STEP0's.
    bool lastRunFixed = false;
    // A pattern run this program started, as the polls have seen it: "GO"
    // sent, reported running, or none (stopped here, or its end was seen).
    enum class PatternRun { None, Sent, Running };
    PatternRun patternRun = PatternRun::None;

    // The "RUN" arguments: "sensor heater fan temp reach", the temperature as
    // its shortest decimal text (25 -> "25", -10.5 -> "-10.5").
    QString GetFixpara() const
    {
        const double t = SetTemp == 0 ? 0.0 : SetTemp; // never "-0"
        return QStringLiteral("%1 %2 %3 %4 %5")
            .arg(SensorChoice)
            .arg(HeaterChoice)
            .arg(FanChoice)
            .arg(QString::number(t, 'f', QLocale::FloatingPointShortest))
            .arg(ReachChoice);
    }
};

// Memo window.
struct MemoState {
    QString MemoText;         // the memo as last registered
    bool MemoWithLog = false; // opened from the end of a log: append to it
    QString logFile;          // text log most recently closed (append target)
};

struct WindowState {
    DetailedSettingsState detailed;
    OperationSettingState operation;
    GraphState graph;
    StatuslogState statuslog;
    AlarmState alarm;
    MemoState memo;
    FixControlState fix;
    StatusWindowState status; // status window
    SensorLogState senlog;    // sensor-log window
};

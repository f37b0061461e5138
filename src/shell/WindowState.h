#pragma once

#include <QString>

// The data of windows that outlives their widgets. The application owns one of
// each for the whole run; a window reads its state when it opens and writes it
// back as it changes, and others write here even while the window is closed.

// Sensor and device settings window.
struct DetailedSettingsState {
    bool flg_s = true;    // false when the user declined to apply pending changes
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
    QString code; // alarm code shown when the window opens
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
};

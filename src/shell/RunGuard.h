#pragma once

#include <QString>

class QWidget;
struct WindowState;

// A run started into a standing alarm would start a log that the next status
// reply stops at once, while the start command still goes out. Every "実行"
// asks here first.

// The refusal shown while the last status reply carried an alarm.
QString alarmStandingText();

// True (after telling the user) when a run must not start now.
bool refuseRunInAlarm(const WindowState &state, QWidget *parent);

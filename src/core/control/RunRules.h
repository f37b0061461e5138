#pragma once

#include <QString>

// A run started into a standing alarm would start a log that the next status
// reply stops at once, while the start command still goes out: every start
// of a run is refused while the last status reply carried an alarm.

// The refusal shown then.
QString alarmStandingText();

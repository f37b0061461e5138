#pragma once

class WindowHost;

// Registers the windows of this folder that show run-time data and notes:
// the status, status-log and sensor-log windows and the memo.
void registerSettingsWindows(WindowHost &w);

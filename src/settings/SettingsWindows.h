#pragma once

class KRM2200;

// Registers the windows of this folder that show run-time data and notes:
// the status, status-log and sensor-log windows and the memo.
void registerSettingsWindows(KRM2200 &w);

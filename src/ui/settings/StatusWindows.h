#pragma once

class WindowHost;

// Registers the status, status-log and sensor-log windows with the main
// window and connects what fills them: the status-window parser, the status
// poll's labels, and the sensor-log hooks (clearSensorLog, echoSensorLog).
void registerStatusWindows(WindowHost &w);

// Shows the status-log labels again after something other than the status
// poll changed them in the state (the graph window's "not connected" text).
void refreshStatuslog(WindowHost &w);

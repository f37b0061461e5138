#pragma once

class WindowHost;

// Registers the task windows of control, logging and settings in `host`,
// and the watch of its link; the one place that knows them all.
void registerTaskWindows(WindowHost &host);

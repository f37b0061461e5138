#pragma once

class WindowHost;

// The fixed-value control window and the alarm window: registers the one and
// opens the other when the status poll reports an alarm.
void registerFixControlWindows(WindowHost &w);

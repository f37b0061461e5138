#pragma once

class KRM2200;

// The fixed-value control window and the alarm window: registers the one and
// opens the other when the status poll reports an alarm.
void registerFixControlWindows(KRM2200 &w);

#pragma once

class WindowHost;

// Registers the "現在値" window, its entry in the 表示 menu, its opening at
// every log start and its refresh at every status reply and link change.
void registerCurrentValuesWindow(WindowHost &w);

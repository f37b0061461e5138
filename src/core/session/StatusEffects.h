#pragma once

class Ini_Operation;
struct Parameter;
struct StatusReport;
struct WindowState;

// What an accepted status-poll reply changes that no window shows by itself:
// the sample store, the step's target line and the status-log labels. The
// main window and the session both apply a reply through these, each with
// its own effects around them, so the two never disagree.
namespace StatusEffects {

// Stores the reply's four readings as sample `n`: the store grows to hold it,
// with two empty slots beyond it as the arrays have always had.
void storeSample(Parameter &p, int n, const StatusReport &report);

// Sets or clears the target line for sample `n`; true when it changed, so a
// graph draws it again. Reads the labels of the previous reply: call before
// updateLabels.
bool updateTarget(Parameter &p, const WindowState &state, Ini_Operation &cfg, int n,
                  const StatusReport &report);

// The status-log labels, red for an alarm.
void updateLabels(WindowState &state, const StatusReport &report);

} // namespace StatusEffects

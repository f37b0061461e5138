#pragma once

#include "core/control/RunRules.h"

class QWidget;
struct WindowState;

// Every "実行" of the control windows asks here first.

// True (after telling the user) when a run must not start now.
bool refuseRunInAlarm(const WindowState &state, QWidget *parent);

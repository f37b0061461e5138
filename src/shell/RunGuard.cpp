#include "shell/RunGuard.h"

#include "shell/Dialogs.h"
#include "shell/WindowState.h"

bool refuseRunInAlarm(const WindowState &state, QWidget *parent)
{
    if (!state.alarm.standing)
        return false;
    Dialogs::instance().message(parent, alarmStandingText(), QStringLiteral("確認"));
    return true;
}

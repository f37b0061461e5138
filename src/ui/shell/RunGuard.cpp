#include "ui/shell/RunGuard.h"

#include "core/app/WindowState.h"
#include "ui/shell/Dialogs.h"

bool refuseRunInAlarm(const WindowState &state, QWidget *parent)
{
    if (!state.alarm.standing)
        return false;
    Dialogs::instance().message(parent, alarmStandingText(), QStringLiteral("確認"));
    return true;
}

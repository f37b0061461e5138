#include "shell/RunGuard.h"

#include "shell/Dialogs.h"
#include "shell/WindowState.h"

QString alarmStandingText()
{
    return QStringLiteral("アラームが発生しています。\n"
                          "ACLRでアラームを解除してから実行してください。");
}

bool refuseRunInAlarm(const WindowState &state, QWidget *parent)
{
    if (!state.alarm.standing)
        return false;
    Dialogs::instance().message(parent, alarmStandingText(), QStringLiteral("確認"));
    return true;
}

#include "core/control/RunRules.h"

QString alarmStandingText()
{
    return QStringLiteral("アラームが発生しています。\n"
                          "ACLRでアラームを解除してから実行してください。");
}

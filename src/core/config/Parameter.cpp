#include "core/config/Parameter.h"

void Parameter::ResetReplyBuffers()
{
    SenReply.clear();
    BeepReply.clear();
    LitReply.clear();
    LogReply.clear();
    FanReply.clear();
    LpReply.clear();
    LsReply.clear();
    UniReply.clear();
}

void Parameter::reset()
{
    *this = Parameter{};
}

Parameter &param()
{
    static Parameter instance;
    return instance;
}

QString sensorName(int n)
{
    static const char *const names[] = {"PT100A", "PT100B", "SENSOR1", "SENSOR2"};
    if (n < 0 || n > 3)
        return {};
    return QString::fromLatin1(names[n]);
}
